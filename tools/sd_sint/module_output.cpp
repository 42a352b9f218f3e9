#include "tools/sd_sint/module_output.h"

#include <unistd.h>

#include <cerrno>

namespace sint {
namespace {

constexpr unsigned char kEscape = 0x7D;
constexpr unsigned char kEscapeFlip = 0x20;

void append_escaped(std::string& out, unsigned char byte) {
    if (byte == '\n' || byte == kEscape) {
        out.push_back(static_cast<char>(kEscape));
        byte ^= kEscapeFlip;
    }
    out.push_back(static_cast<char>(byte));
}

}  // namespace

std::string audio_event(std::span<const std::int16_t> samples) {
    std::string event = "705-bits=16\n705-num_channels=1\n705-sample_rate=16000\n705-num_samples=" +
                        std::to_string(samples.size()) + "\n705-big_endian=0\n705-AUDIO";
    event.push_back('\0');
    event.reserve(event.size() + samples.size() * 2 + samples.size() / 64 + 16);
    for (const std::int16_t sample : samples) {
        const auto value = static_cast<std::uint16_t>(sample);
        append_escaped(event, static_cast<unsigned char>(value & 0xFF));
        append_escaped(event, static_cast<unsigned char>(value >> 8));
    }
    event += "\n705 AUDIO\n";
    return event;
}

ModuleOutput::ModuleOutput(int fd) : fd_(fd), thread_([this] { run(); }) {}

ModuleOutput::~ModuleOutput() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ModuleOutput::write_locked(std::string_view bytes) {
    queue_.push_back({std::string(bytes), nullptr});
    queued_bytes_ += bytes.size();
    changed_.notify_all();
}

void ModuleOutput::write_audio_locked(std::string event, const void* owner) {
    queued_bytes_ += event.size();
    queue_.push_back({std::move(event), owner});
    changed_.notify_all();
}

void ModuleOutput::drop_audio_locked(const void* owner) {
    for (auto chunk = queue_.begin(); chunk != queue_.end();) {
        if (chunk->owner == owner) {
            queued_bytes_ -= chunk->bytes.size();
            chunk = queue_.erase(chunk);
        } else {
            ++chunk;
        }
    }
    changed_.notify_all();
}

void ModuleOutput::line(std::string_view text) {
    std::string bytes(text);
    bytes.push_back('\n');
    const std::lock_guard lock(mutex_);
    write_locked(bytes);
}

void ModuleOutput::wait_for_room() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return quit_ || queued_bytes_ < kOutputQueueMax; });
}

void ModuleOutput::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (queue_.empty()) return;  // quitting, and everything is written
        // The chunk leaves the queue before it is written: a stop cannot drop
        // it halfway, and the lock is free meanwhile.
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::string_view bytes = chunk.bytes;
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // Speech Dispatcher has gone; the next read ends the module
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        lock.lock();
        queued_bytes_ -= chunk.bytes.size();
        changed_.notify_all();
    }
}

}  // namespace sint
