// What sd_sint writes to Speech Dispatcher: reply lines and events, one writer
// at a time (the command loop and the speech worker share standard output),
// and the 705 AUDIO event with its samples in the escaped binary form.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace sint {

// The 705 AUDIO event for 16 kHz 16-bit mono samples: the format lines, then
// "705-AUDIO", a NUL and the little-endian bytes with every LF and 0x7D byte
// escaped as 0x7D followed by the byte with its bit 5 inverted, then "705 AUDIO".
std::string audio_event(std::span<const std::int16_t> samples);

class ModuleOutput {
public:
    explicit ModuleOutput(int fd) : fd_(fd) {}

    // Writes the bytes whole (the caller holds the lock).
    void write_locked(std::string_view bytes);
    std::mutex& mutex() { return mutex_; }

    // Writes the text and a line feed under the lock.
    void line(std::string_view text);

private:
    int fd_;
    std::mutex mutex_;
};

}  // namespace sint
