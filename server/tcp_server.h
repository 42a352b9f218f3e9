// The TCP server as the shell sees it: start on a port, stop, and whether any
// client is connected. It joins the server socket, the client list, the
// request protocol and the synthesis workers. The server loop runs on its own
// thread and only frames, queues and sends; each request that synthesises goes
// to a worker with the worker's own synthesiser, and its reply comes back to
// the loop. Stopping lets the workers finish what they hold and sends those
// replies before the connections close.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/client_list.h"
#include "server/protocol.h"
#include "server/server_socket.h"
#include "server/worker_pool.h"

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
// True for an IPv4 address of the loopback network 127.0.0.0/8.
bool is_loopback_address(const std::string& address);

// The sint.ini key with the number of synthesis workers: 0 means one per core.
inline constexpr const char* kWorkersKey = "delavci";
// One worker keeps requests one at a time, as a desktop's single client needs.
inline constexpr int kDefaultWorkers = 1;
// More workers than connections could never all be busy.
inline constexpr int kMaxWorkers = 60;
// The number of workers sint.ini asks for (0: one per core); a value that is
// negative, above kMaxWorkers or not a number is reported and gives the default.
int configured_workers(const ProfileFile* sint_ini);
// The sint.ini key that lets a server listening beyond loopback obey wave-file
// requests, REINIT and TERMINATE ("true"); they are refused otherwise.
inline constexpr const char* kRemoteControlKey = "dovoli_oddaljeno_upravljanje";
bool remote_control_allowed(const ProfileFile* sint_ini);

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
    // One synthesiser per worker (the first is the one given at construction
    // unless replaced); the server starts as many workers as there are.
    void set_workers(std::vector<SynthesisService*> workers) { workers_ = std::move(workers); }
    std::size_t worker_count() const { return workers_.size(); }
    // Wave-file requests, REINIT and TERMINATE are refused when the listen
    // address is not a loopback one, unless allowed here.
    void set_remote_control(bool allowed) { remote_control_ = allowed; }

    // The port listened on, or 0 when not listening.
    int port() const;
    bool listening() const;
    Tclient_buffer& clients() { return clients_; }
    const Protocol& protocol() const { return protocol_; }

private:
    TcpServerOptions options_;
    Tclient_buffer clients_;
    Protocol protocol_;
    std::vector<SynthesisService*> workers_;
    bool remote_control_ = false;
    std::unique_ptr<Tserver_socket> socket_;
    std::unique_ptr<WorkerPool> pool_;
    // The reply of a request synthesised on the loop's thread (one worker),
    // kept between requests so that its memory is reused.
    std::vector<std::uint8_t> reply_;
    // The workers' reply buffers, handed back once their reply is sent, so
    // that a reply's memory is reused rather than allocated for every request.
    std::vector<std::uint8_t> take_spare_reply();
    void give_spare_reply(std::vector<std::uint8_t> reply);
    std::mutex spare_mutex_;
    std::vector<std::vector<std::uint8_t>> spare_replies_;
    std::thread thread_;
};

}  // namespace sint
