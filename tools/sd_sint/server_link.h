// sd_sint's connection to sintsrv: reaching the server on its local port and,
// when nobody answers, starting it as a detached process from its own folder
// and waiting until it answers TEST with "SINT_OK". Every wait can be cut
// short by the caller's stop check.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/protocol_client.h"

namespace sint {

// How long a started server may take to become ready.
inline constexpr int kLinkStartWaitMs = 30000;
// How long a ready server may take to answer TEST.
inline constexpr int kLinkTestWaitMs = 2000;
inline constexpr std::uint16_t kLinkDefaultPort = 10150;

class ServerLink {
public:
    // `port` 0: the port of the sint.ini beside the server, else 10150.
    ServerLink(std::string server_path, std::uint16_t port, int lifespan);

    // A connection to a ready server (connecting, or starting the server, when
    // there is none); nullptr with `error` set on failure or when `stop` says so.
    ProtocolConnection* ready(const std::function<bool()>& stop, std::string& error);
    // Drops the connection (a stop, or a server that broke off).
    void drop() { connection_.close(); }

    const std::string& server_path() const { return server_path_; }
    std::uint16_t port() const { return port_; }

private:
    bool test(const std::function<bool()>& stop, int limit_ms);
    bool start(std::string& error);

    std::string server_path_;
    std::uint16_t port_;
    int lifespan_;
    ProtocolConnection connection_;
};

}  // namespace sint
