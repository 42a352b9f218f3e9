#include "tools/sint-say/wave_output.h"

#include <bit>
#include <cstring>

#include "core/frame.h"

namespace sint {

std::vector<std::uint8_t> wave_header(std::uint32_t sample_count) {
    const std::uint32_t data_bytes = sample_count * 2;
    std::vector<std::uint8_t> header(44);
    std::uint8_t* h = header.data();
    std::memcpy(h, "RIFF", 4);
    put_u32(h + 4, 36 + data_bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put_u32(h + 16, 16);            // format chunk size
    put_u16(h + 20, 1);             // PCM
    put_u16(h + 22, 1);             // mono
    put_u32(h + 24, kSayRate);      // samples per second
    put_u32(h + 28, kSayRate * 2);  // bytes per second
    put_u16(h + 32, 2);             // block align
    put_u16(h + 34, 16);            // bits per sample
    std::memcpy(h + 36, "data", 4);
    put_u32(h + 40, data_bytes);
    return header;
}

AudioSink::AudioSink(const std::string& path, std::FILE* raw, std::uint64_t samples_max)
    : samples_max_(samples_max) {
    if (path.empty()) {
        file_ = raw;
        return;
    }
    file_ = std::fopen(path.c_str(), "wb");
    owned_ = true;
    if (file_) {
        const auto header = wave_header(0);
        failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    }
}

AudioSink::~AudioSink() {
    if (owned_ && file_) std::fclose(file_);
}

bool AudioSink::write(std::span<const std::int16_t> samples) {
    if (!ok()) return false;
    if (owned_ && count_ + samples.size() > samples_max_) {
        full_ = failed_ = true;
        return false;
    }
    const std::size_t size = samples.size() * 2;
    if constexpr (std::endian::native == std::endian::little) {
        // The samples are already in the file's byte order.
        failed_ = std::fwrite(samples.data(), 1, size, file_) != size;
    } else {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < samples.size(); ++i)
            put_u16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
        failed_ = std::fwrite(bytes.data(), 1, size, file_) != size;
    }
    if (!owned_) std::fflush(file_);  // a player on the pipe starts at once
    count_ += samples.size();
    return !failed_;
}

bool AudioSink::finish() {
    if (!ok()) return false;
    if (owned_) {
        const auto header = wave_header(static_cast<std::uint32_t>(count_));
        failed_ = std::fseek(file_, 0, SEEK_SET) != 0 ||
                  std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    }
    failed_ = std::fflush(file_) != 0 || failed_;
    return !failed_;
}

}  // namespace sint
