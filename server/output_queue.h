// The replies waiting for one client connection. The server loop queues each
// reply frame here and goes on; the queue is written to the socket as far as
// the socket takes it, now and whenever the loop sees the socket writable
// again. A client that reads nothing for too long, or lets too much pile up,
// is dropped by the loop: the queue only says how much waits and since when
// nothing moved.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace sint {

class OutputQueue {
public:
    using Clock = std::chrono::steady_clock;

    enum class Flush {
        Drained,  // everything is written
        Blocked,  // the socket is full; the rest waits
        Failed,   // the connection is broken (reset, closed by the peer)
    };

    // Appends one frame. On an empty queue the stall clock starts now.
    void push(std::vector<std::uint8_t> frame, Clock::time_point now = Clock::now());
    // Writes as much as the non-blocking socket takes; each write that moves
    // bytes restarts the stall clock.
    Flush flush(int socket, Clock::time_point now = Clock::now());
    // Queues a frame given in pieces (its header, then the payload in one or
    // more pieces; at most net::kMaxPieces) and writes what the socket takes.
    // While nothing else waits, the bytes go out straight from the caller's
    // memory and only what the socket does not take is copied.
    using Bytes = std::span<const std::uint8_t>;
    Flush send_frame(int socket, std::span<const Bytes> pieces,
                     Clock::time_point now = Clock::now());

    bool empty() const { return frames_.empty(); }
    // Bytes not yet written.
    std::size_t pending() const { return pending_; }
    // When bytes last moved (or the queue last became non-empty).
    Clock::time_point last_progress() const { return last_progress_; }
    void clear();

private:
    std::deque<std::vector<std::uint8_t>> frames_;
    std::size_t written_ = 0;  // bytes of the front frame already written
    std::size_t pending_ = 0;
    Clock::time_point last_progress_{};
};

}  // namespace sint
