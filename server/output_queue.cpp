#include "server/output_queue.h"

#include "core/socket_platform.h"

namespace sint {

void OutputQueue::push(std::vector<std::uint8_t> frame, Clock::time_point now) {
    if (frame.empty()) return;
    if (frames_.empty()) last_progress_ = now;
    pending_ += frame.size();
    frames_.push_back(std::move(frame));
}

OutputQueue::Flush OutputQueue::flush(int socket, Clock::time_point now) {
    while (!frames_.empty()) {
        const std::vector<std::uint8_t>& front = frames_.front();
        // Client sockets are non-blocking: a full socket reports "would block".
        const long n = net::send_bytes(socket, front.data() + written_, front.size() - written_);
        if (n > 0) {
            written_ += static_cast<std::size_t>(n);
            pending_ -= static_cast<std::size_t>(n);
            last_progress_ = now;
            if (written_ == front.size()) {
                frames_.pop_front();
                written_ = 0;
            }
            continue;
        }
        if (n < 0 && net::interrupted()) continue;
        if (n < 0 && net::would_block()) return Flush::Blocked;
        return Flush::Failed;
    }
    return Flush::Drained;
}

OutputQueue::Flush OutputQueue::send_frame(int socket, std::span<const std::uint8_t> header,
                                           std::span<const std::uint8_t> payload,
                                           Clock::time_point now) {
    const std::size_t total = header.size() + payload.size();
    std::size_t done = 0;
    if (frames_.empty()) {
        while (done < total) {
            const long n = done < header.size()
                               ? net::send_two(socket, header.data() + done, header.size() - done,
                                               payload.data(), payload.size())
                               : net::send_bytes(socket, payload.data() + (done - header.size()),
                                                 total - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                last_progress_ = now;
                continue;
            }
            if (n < 0 && net::interrupted()) continue;
            if (n < 0 && net::would_block()) break;
            return Flush::Failed;
        }
        if (done == total) return Flush::Drained;
    }
    std::vector<std::uint8_t> rest;
    rest.reserve(total - done);
    if (done < header.size()) rest.insert(rest.end(), header.begin() + done, header.end());
    const std::size_t from = done > header.size() ? done - header.size() : 0;
    rest.insert(rest.end(), payload.begin() + from, payload.end());
    push(std::move(rest), now);
    return flush(socket, now);
}

void OutputQueue::clear() {
    frames_.clear();
    written_ = 0;
    pending_ = 0;
}

}  // namespace sint
