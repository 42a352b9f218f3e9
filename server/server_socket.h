// The TCP server: a listening socket and up to 60 client connections, served
// by one loop that waits for readable and writable sockets, cuts frames out of
// each connection's byte stream and hands complete requests to on-message, one
// request per connection in turn. Replies go into the connection's output
// queue, which the loop writes out as the client reads; the loop never waits
// for one client. A request handed to a synthesis worker holds its
// connection: no further request of it is served until the worker's reply has
// been posted back to the loop, so that each connection is answered in order.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/frame.h"
#include "server/frame_slot.h"
#include "server/output_queue.h"
#include "server/wake_up.h"

namespace sint {

// How long a stopping loop waits for the replies of held requests.
inline constexpr int kStopDrainMs = 10000;
// A client whose queued replies take no byte for this long is dropped.
inline constexpr int kStallTimeoutMs = 10000;
// A reply is refused, and its client dropped, when more than this many bytes
// of earlier replies still wait for it. A single reply may be longer (a long
// text gives one long audio frame); only replies piling up behind it count.
inline constexpr std::size_t kOutputQueueLimit = 8u * 1024 * 1024;

// The three hooks of the server, all no-ops until set.
class Tserver_client {
public:
    using MessageHook = std::function<void(int socket, const char* payload, std::size_t length,
                                           std::uint16_t kind)>;
    using SocketHook = std::function<void(int socket)>;

    MessageHook on_message;
    SocketHook on_connect;
    SocketHook on_disconnect;
};

struct ServerSocketOptions {
    // The address to listen on; the loopback interface unless configured.
    std::string address = "127.0.0.1";
    // How long one wait for readable sockets lasts; a stop request also wakes it.
    int select_timeout_ms = 2000;
    // How long queued replies may wait without a byte taken before the client
    // is dropped.
    int stall_timeout_ms = kStallTimeoutMs;
    // Bytes of replies that may wait for one client when another is queued.
    std::size_t output_limit = kOutputQueueLimit;
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
    // How long the listener rests when not even the spare descriptor helps.
    static constexpr int kAcceptPauseMs = 100;

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

    // Queues one frame for the socket and writes what the socket takes now;
    // the rest goes out as the client reads. Returns the frame's size, or −1
    // when nothing was queued: a negative length, an unknown socket, or a
    // client that is being dropped (its earlier replies pass the output
    // limit, or its connection broke). Called on the loop's thread.
    long send(int socket, const void* data, long length, std::uint16_t kind);
    // The same for a payload in two pieces (a reply's code and its samples,
    // which stay where they are unless the socket cannot take them at once).
    long send(int socket, std::span<const std::uint8_t> payload, std::span<const std::uint8_t> more,
              std::uint16_t kind);

    // Marks the connection's request as handed away (called from on-message):
    // the connection is not served again until release(). Returns the
    // connection's serial number, which tells it from a later connection on
    // the same descriptor; 0 for an unknown socket.
    std::uint64_t hold(int socket);
    // True while that connection is open and held.
    bool holds(int socket, std::uint64_t serial) const;
    // Serves the connection again (when it is still that connection).
    void release(int socket, std::uint64_t serial);
    // Runs `task` on the loop's thread at its next pass; safe from any thread.
    void post(std::function<void()> task);

    int state() const { return state_; }
    // The port actually listened on (useful when opened on port 0).
    int port() const { return bound_port_; }
    std::size_t client_count() const { return count_; }
    // Passes the loop has made (each wait that returned counts one).
    std::uint64_t loop_passes() const { return passes_; }

private:
    // A free slot of the client table (0 is a valid descriptor on POSIX).
    static constexpr int kFreeSlot = -1;

    struct Slot {
        int socket = kFreeSlot;
        bool drop = false;
        // The client has shut its side: no more requests, but those buffered
        // are still served and their replies sent before the connection closes.
        bool input_ended = false;
        // The buffer may hold a complete frame not yet served; nothing more is
        // read until it is.
        bool frame_waiting = false;
        // A request of the connection is with a worker.
        bool held = false;
        std::uint64_t serial = 0;
        FrameSlot buffer;
        OutputQueue output;
    };

    void accept_client();
    // Accepts and closes a connection when the process has no descriptor for it.
    void refuse_client();
    // Reads what the client sent (up to kReadPerPass) into its buffer.
    void receive(Slot& slot);
    // Serves the next complete request of the connection, if any.
    void serve_one(Slot& slot);
    // Writes queued replies; a broken connection is marked for dropping.
    void flush(Slot& slot);
    // Drops connections that broke, stalled or have finished after their
    // client shut its side.
    void close_finished(OutputQueue::Clock::time_point now);
    // How long the next wait may last.
    int wait_ms(OutputQueue::Clock::time_point now) const;
    void close_client(Slot& slot);
    Slot* find_slot(int socket);
    const Slot* find_slot(int socket) const;
    // Runs the tasks posted since the last pass.
    void run_posted();
    // After a stop request: delivers the replies of held requests, for at
    // most kStopDrainMs.
    void drain_held();

    int port_;
    ServerSocketOptions options_;
    int listener_ = -1;
    WakeUp wake_up_;  // ends the wait when stop is requested
    // Held in reserve: when the process runs out of descriptors, it is freed to
    // accept the waiting connection and close it at once, so that the
    // listener does not stay readable and spin the loop.
    int spare_fd_ = -1;
    // While no descriptor can be had at all, the listener rests until then.
    std::chrono::steady_clock::time_point accept_resumes_{};
    std::atomic<std::uint64_t> passes_{0};
    int bound_port_ = 0;
    int state_ = kNotOpened;
    std::atomic<bool> loop_{false};
    std::atomic<bool> stopped_{false};
    std::vector<Slot> slots_;
    std::atomic<std::size_t> count_{0};
    std::uint64_t next_serial_ = 0;
    std::mutex posted_mutex_;
    std::vector<std::function<void()>> posted_;
};

}  // namespace sint
