// What sd_sint writes to Speech Dispatcher: reply lines and events from the
// command loop and the speech worker, in the order they are queued, and the
// 705 AUDIO event with its samples in the escaped binary form.
//
// A thread of its own does the writing, so that nobody holds the lock while
// bytes go out: the command loop queues its reply (703 STOP among them) at
// once even while Speech Dispatcher is slow to read an audio event. The worker
// waits for room before it queues more audio, so the queue stays small.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace sint {

// The most samples in one 705 AUDIO event (one second): longer audio goes out
// in several events, so a stop never waits for more than one of them.
inline constexpr std::size_t kAudioEventSamples = 16000;
// The worker queues no more audio while this many bytes wait to be written.
inline constexpr std::size_t kOutputQueueMax = 256 * 1024;

// The 705 AUDIO event for 16 kHz 16-bit mono samples: the format lines, then
// "705-AUDIO", a NUL and the little-endian bytes with every LF and 0x7D byte
// escaped as 0x7D followed by the byte with its bit 5 inverted, then "705 AUDIO".
std::string audio_event(std::span<const std::int16_t> samples);

class ModuleOutput {
public:
    explicit ModuleOutput(int fd);
    // Writes out what is queued, then ends the writing thread.
    ~ModuleOutput();
    ModuleOutput(const ModuleOutput&) = delete;
    ModuleOutput& operator=(const ModuleOutput&) = delete;

    // Queues bytes (the caller holds the lock).
    void write_locked(std::string_view bytes);
    // Queues an audio event of `owner` (the caller holds the lock).
    void write_audio_locked(std::string event, const void* owner);
    // Drops the audio events of `owner` not yet being written (the caller holds the lock).
    void drop_audio_locked(const void* owner);
    std::mutex& mutex() { return mutex_; }

    // Queues the text and a line feed under the lock.
    void line(std::string_view text);
    // Waits, without the lock held, until the queue has room for more audio.
    void wait_for_room();

private:
    struct Chunk {
        std::string bytes;
        const void* owner = nullptr;  // an audio event's job; nullptr for anything else
    };
    void run();

    int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    std::size_t queued_bytes_ = 0;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace sint
