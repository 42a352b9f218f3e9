#include "server/output_queue.h"

#include <sys/socket.h>

#include <cerrno>

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
        const ssize_t n = ::send(socket, front.data() + written_, front.size() - written_,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
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
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Flush::Blocked;
        return Flush::Failed;
    }
    return Flush::Drained;
}

void OutputQueue::clear() {
    frames_.clear();
    written_ = 0;
    pending_ = 0;
}

}  // namespace sint
