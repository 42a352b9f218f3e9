// The TCP server as the shell sees it: start on a port, stop, and whether any
// client is connected. It joins the server socket, the client list and the
// request protocol, and runs the server loop on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "server/client_list.h"
#include "server/protocol.h"
#include "server/server_socket.h"

namespace sint {

class ProfileFile;
class SynthesisService;
class ShellState;
struct ServerSettings;

// The sint.ini key naming the address the server listens on (127.0.0.1 when absent).
inline constexpr const char* kListenAddressKey = "naslov_streznika";
inline constexpr const char* kDefaultListenAddress = "127.0.0.1";

// The listen address named in sint.ini under kListenAddressKey, else 127.0.0.1.
std::string listen_address(const ProfileFile* sint_ini);

struct TcpServerOptions {
    ServerSocketOptions socket;
    // Where relative wave file names are written; ends in "/".
    std::string program_folder = "./";
};

class TcpServer {
public:
    // Stop polls the loop's stopped flag this often.
    static constexpr int kStopPollMs = 50;

    TcpServer(SynthesisService& synthesis, ShellState& shell, ServerSettings& settings,
              TcpServerOptions options = {});
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Creates the server socket and starts the loop on its thread: 0, or −1
    // when the object cannot be created. A port that cannot be bound still
    // gives 0 (logged); the server then has no listener and the idle rule
    // ends the process.
    int server_start(std::int32_t port);
    // Ends the loop (at once: the wait is woken) and joins the thread.
    void server_stop();
    // True while no client is connected (read without the list's lock).
    bool clients_empty() const { return clients_.is_empty(); }

    // Take effect at the next start.
    void set_listen_address(std::string address) { options_.socket.address = std::move(address); }
    void set_program_folder(std::string folder) { protocol_.set_program_folder(std::move(folder)); }

    // The port listened on, or 0 when not listening.
    int port() const;
    bool listening() const;
    Tclient_buffer& clients() { return clients_; }
    const Protocol& protocol() const { return protocol_; }

private:
    TcpServerOptions options_;
    Tclient_buffer clients_;
    Protocol protocol_;
    std::unique_ptr<Tserver_socket> socket_;
    std::thread thread_;
};

}  // namespace sint
