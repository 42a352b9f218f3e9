// WaveWriter: writes a RIFF WAVE file (one format chunk, one data chunk) whose
// header is rewritten with the final data size when the file is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sint {

struct WaveFormat {
    std::uint16_t format_tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t sample_rate = 16000;
    std::uint32_t byte_rate = 32000;
    std::uint16_t block_align = 2;
    std::uint16_t bits_per_sample = 16;
};

class WaveWriter {
public:
    WaveWriter() = default;
    explicit WaveWriter(const WaveFormat& format) : format_(format) {}
    ~WaveWriter() { close(); }
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    void set_format(const WaveFormat& format) { format_ = format; }
    const WaveFormat& format() const { return format_; }

    // Closes any open file, creates `path` and writes the header.
    bool open(const std::string& path);
    // 8-bit samples; only when the format has 8 bits per sample.
    bool write8(const std::uint8_t* bytes, std::size_t count);
    // 16-bit samples, count frames of `channels` samples each; only at 16 bits.
    bool write16(const std::int16_t* samples, std::size_t count);
    // Rewrites the header when data were written since it was last written, then closes.
    void close();

    std::uint32_t data_bytes() const { return data_bytes_; }
    const std::string& last_error() const { return error_; }

private:
    bool write_header();

    WaveFormat format_;
    std::uint32_t data_bytes_ = 0;
    std::FILE* file_ = nullptr;
    bool header_dirty_ = false;
    std::string error_;
};

}  // namespace sint
