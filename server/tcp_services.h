// The TCP server's part of the shell's services. The synthesiser's part (the
// facade and the wave database) is added by deriving from this class.
#pragma once

#include <cstdint>
#include <string>

#include "server/shell.h"
#include "server/tcp_server.h"

namespace sint {

class TcpShellServices : public ShellServices {
public:
    // The server thread uses `synthesis` for every request. Until the first
    // start, `options` may leave the listen address and the program folder
    // empty: the start then takes the address from sint.ini (key
    // naslov_streznika, else 127.0.0.1) and the folder from the current
    // directory, which the shell has set to the program folder.
    TcpShellServices(SynthesisService& synthesis, TcpServerOptions options,
                     ShellState& state = shell_state(),
                     ServerSettings& settings = server_settings());

    int server_start(std::int32_t port) override;
    void server_stop() override;
    bool clients_empty() override;

    TcpServer& tcp() { return tcp_; }

private:
    ServerSettings& settings_;
    bool address_from_ini_;
    bool folder_from_cwd_;
    TcpServer tcp_;
};

}  // namespace sint
