// The TCP server: a listening socket and up to 60 client connections, served
// by one loop that waits for readable sockets, cuts frames out of each
// connection's byte stream and hands every complete request to on-message.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/frame.h"
#include "server/frame_slot.h"
#include "server/wake_up.h"

namespace sint {

// Error codes given to on-error.
inline constexpr int kErrorListen = -21;         // bind or listen failed
inline constexpr int kErrorOverflow = -22;       // a client's buffer would overflow
inline constexpr int kErrorUnknownSocket = -30;  // data from a socket not in the table
inline constexpr int kErrorOversized = -23;      // a frame longer than a slot buffer
inline constexpr int kErrorSendTimeout = -24;    // a reply could not be sent whole in time

// The frame header of outgoing messages and the five hooks, all no-ops until set.
class Tserver_client {
public:
    using MessageHook = std::function<void(int socket, const char* payload, std::size_t length,
                                           std::uint16_t kind)>;
    using SendHook = std::function<void(int socket, const void* data, std::size_t length)>;
    using ErrorHook =
        std::function<void(int socket, const void* data, std::size_t length, int code)>;
    using SocketHook = std::function<void(int socket)>;

    MessageHook on_message;
    SendHook on_send;
    ErrorHook on_error;
    SocketHook on_connect;
    SocketHook on_disconnect;

protected:
    FrameHeader header_;
    bool send_with_header_ = true;
};

struct ServerSocketOptions {
    // The address to listen on; the loopback interface unless configured.
    std::string address = "127.0.0.1";
    // How long one wait for readable sockets lasts; a stop request also wakes it.
    int select_timeout_ms = 2000;
    // How long a reply may wait for a client that does not read before the
    // client is dropped.
    int send_timeout_ms = 10000;
    // SO_RCVBUF for the listening socket; 0 leaves the system default.
    int receive_buffer_size = 0;
};

class Tserver_socket : public Tserver_client {
public:
    // Connections served at once; more wait in the backlog.
    static constexpr std::size_t kMaxClients = 60;
    static constexpr int kBacklog = 60;
    // Bytes read from one connection per pass before the others get their turn.
    static constexpr std::size_t kReadPerPass = 4 * kSlotBufferSize;

    enum State { kListening = 0, kNotOpened = 1, kBindFailed = 2, kListenFailed = 3 };

    // Allocates the 60 slot buffers (std::bad_alloc when memory is short).
    Tserver_socket(int port, ServerSocketOptions options = {});
    ~Tserver_socket();
    Tserver_socket(const Tserver_socket&) = delete;
    Tserver_socket& operator=(const Tserver_socket&) = delete;

    // Creates, binds and starts the listening socket; returns the state.
    int open_listener();
    // The loop; returns when stop is requested (at once when not listening).
    void run_loop();
    void request_stop();
    bool stopped() const { return stopped_; }

    // Sends one frame whole (waiting while the socket is full, up to the send
    // time-out): the frame's size, or −1. A negative length sends nothing. A
    // client that cannot take the frame is dropped after the current request.
    long send(int socket, const void* data, long length, std::uint16_t kind);

    int state() const { return state_; }
    // The port actually listened on (useful when opened on port 0).
    int port() const { return bound_port_; }
    std::size_t client_count() const { return count_; }

private:
    // A free slot of the client table (0 is a valid descriptor on POSIX).
    static constexpr int kFreeSlot = -1;

    struct Slot {
        int socket = kFreeSlot;
        bool drop = false;
        FrameSlot buffer;
    };

    void accept_client();
    void serve_client(Slot& slot);
    void close_client(Slot& slot);
    Slot* find_slot(int socket);

    int port_;
    ServerSocketOptions options_;
    int listener_ = -1;
    WakeUp wake_up_;  // ends the wait when stop is requested
    int bound_port_ = 0;
    int state_ = kNotOpened;
    std::atomic<bool> loop_{false};
    std::atomic<bool> stopped_{false};
    std::vector<Slot> slots_;
    std::atomic<std::size_t> count_{0};
};

}  // namespace sint
