#include "server/frame_slot.h"

#include <cstring>

namespace sint {

FrameSlot::FrameSlot()
    : buffer_(new std::uint8_t[kSlotBufferSize]), payload_(new char[kSlotBufferSize + 1]) {}

bool FrameSlot::commit(std::size_t count) {
    if (count > room()) return false;
    fill_ += count;
    return true;
}

bool FrameSlot::append(const void* data, std::size_t size) {
    if (size > room()) return false;
    if (size > 0) std::memcpy(tail(), data, size);
    fill_ += size;
    return true;
}

void FrameSlot::drop_front(std::size_t count) {
    if (count >= fill_) {
        fill_ = 0;
        return;
    }
    std::memmove(buffer_.get(), buffer_.get() + count, fill_ - count);
    fill_ -= count;
}

FrameSlot::Status FrameSlot::extract(const Handler& handler) {
    while (fill_ >= kFrameHeaderSize) {
        // A magic counts only where a whole header fits after it.
        std::size_t at = 0;
        const std::size_t last_start = fill_ - kFrameHeaderSize;
        while (at <= last_start && !starts_with_magic(buffer_.get() + at, kFrameHeaderSize)) ++at;
        if (at > last_start) {
            drop_front(fill_ - (kFrameHeaderSize - 1));
            return Status::Waiting;
        }
        const FrameHeader header = decode_header(buffer_.get() + at);
        if (header.length > kMaxPayload) {
            fill_ = 0;
            return Status::Oversized;
        }
        if (fill_ - at - kFrameHeaderSize < header.length) {
            drop_front(at);
            return Status::Waiting;
        }
        std::memcpy(payload_.get(), buffer_.get() + at + kFrameHeaderSize, header.length);
        payload_[header.length] = '\0';
        drop_front(at + kFrameHeaderSize + header.length);
        if (!handler(payload_.get(), header.length, header.kind)) return Status::Stopped;
    }
    return Status::Waiting;
}

}  // namespace sint
