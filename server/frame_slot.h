// The receive buffer of one client connection and the extraction of complete
// frames from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/frame.h"

namespace sint {

// Bytes one connection may have buffered: the frame limit, since a frame must
// fit in it whole; the largest payload is 100000 − 12 bytes.
inline constexpr std::size_t kSlotBufferSize = kFrameLimit;
inline constexpr std::size_t kMaxPayload = kSlotBufferSize - kFrameHeaderSize;

class FrameSlot {
public:
    // Called with each complete frame: payload (NUL-terminated after `length`
    // bytes), length and kind. It runs to its end before the next frame is cut;
    // returning false stops the extraction (the connection is being dropped).
    using Handler =
        std::function<bool(const char* payload, std::size_t length, std::uint16_t kind)>;

    enum class Status {
        Waiting,    // no complete frame left
        Stopped,    // the handler asked to stop
        Oversized,  // a header announces a payload that can never fit: close the connection
    };

    FrameSlot();

    // Room left for received bytes.
    std::size_t room() const { return kSlotBufferSize - fill_; }
    std::size_t fill() const { return fill_; }
    // Where the next received bytes go (`room()` bytes available).
    std::uint8_t* tail() { return buffer_.get() + fill_; }
    // Accounts for `count` bytes written at tail(); false (nothing kept) when
    // they do not fit.
    bool commit(std::size_t count);
    // Copies bytes in; false (nothing kept) when they do not fit.
    bool append(const void* data, std::size_t size);

    // Cuts out and delivers every complete frame. Without a magic only the
    // last 11 bytes are kept; bytes before a magic are dropped.
    Status extract(const Handler& handler);

    void clear() { fill_ = 0; }

private:
    void drop_front(std::size_t count);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t fill_ = 0;
    // Payload copy handed to the handler, with room for the NUL.
    std::unique_ptr<char[]> payload_;
};

}  // namespace sint
