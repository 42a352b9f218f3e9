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

OutputQueue::Flush OutputQueue::send_frame(int socket, std::span<const Bytes> pieces,
                                           Clock::time_point now) {
    std::size_t total = 0;
    for (const Bytes& piece : pieces) total += piece.size();
    std::size_t done = 0;
    if (frames_.empty()) {
        net::Piece rest[net::kMaxPieces];
        while (done < total) {
            // The pieces from the first byte not yet sent on.
            std::size_t count = 0;
            std::size_t skip = done;
            for (const Bytes& piece : pieces) {
                if (skip >= piece.size()) {
                    skip -= piece.size();
                    continue;
                }
                if (count < net::kMaxPieces)
                    rest[count++] = {piece.data() + skip, piece.size() - skip};
                skip = 0;
            }
            const long n = net::send_pieces(socket, rest, count);
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
    std::vector<std::uint8_t> left;
    left.reserve(total - done);
    std::size_t skip = done;
    for (const Bytes& piece : pieces) {
        if (skip >= piece.size()) {
            skip -= piece.size();
            continue;
        }
        left.insert(left.end(), piece.begin() + static_cast<std::ptrdiff_t>(skip), piece.end());
        skip = 0;
    }
    push(std::move(left), now);
    return flush(socket, now);
}

void OutputQueue::clear() {
    frames_.clear();
    written_ = 0;
    pending_ = 0;
}

}  // namespace sint
