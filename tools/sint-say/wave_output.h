// Where sint-say puts the audio: a RIFF wave file (16 kHz, 16-bit, mono) or
// raw samples on a stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace sint {

inline constexpr std::uint32_t kSayRate = 16000;
// The most samples a wave file holds: its RIFF size (data + 36 bytes) is 32 bits.
inline constexpr std::uint64_t kWaveSamplesMax = (0xFFFFFFFFull - 36) / 2;

// The 44-byte header of a 16 kHz 16-bit mono PCM file with `sample_count` samples.
std::vector<std::uint8_t> wave_header(std::uint32_t sample_count);

// Writes audio as it arrives; a wave file gets its sizes when it is finished.
class AudioSink {
public:
    // `path` empty: raw little-endian samples to `raw` (standard output).
    // `samples_max` bounds a wave file (tests make it small).
    AudioSink(const std::string& path, std::FILE* raw, std::uint64_t samples_max = kWaveSamplesMax);
    ~AudioSink();
    AudioSink(const AudioSink&) = delete;
    AudioSink& operator=(const AudioSink&) = delete;

    bool ok() const { return file_ != nullptr && !failed_; }
    // False on a write error, and for a wave file that would pass kWaveSamplesMax
    // (then full() is true and nothing more is written).
    bool write(std::span<const std::int16_t> samples);
    bool full() const { return full_; }
    // Completes the header (wave file) or flushes; false on a write error.
    bool finish();
    std::uint64_t samples() const { return count_; }

private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
    bool failed_ = false;
    bool full_ = false;
    std::uint64_t samples_max_;
    std::uint64_t count_ = 0;
};

}  // namespace sint
