#include "waveform/wave_writer.h"

#include <vector>

namespace sint {

namespace {

// Bytes of the header before the samples.
constexpr std::uint32_t kHeaderBytes = 44;

void put16(unsigned char*& p, std::uint16_t v) {
    *p++ = static_cast<unsigned char>(v);
    *p++ = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char*& p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>(v >> (8 * i));
}
void put_id(unsigned char*& p, const char* id) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>(id[i]);
}

}  // namespace

bool WaveWriter::write_header() {
    unsigned char header[kHeaderBytes];
    unsigned char* p = header;
    put_id(p, "RIFF");
    put32(p, data_bytes_ + kHeaderBytes - 8);
    put_id(p, "WAVE");
    put_id(p, "fmt ");
    put32(p, 16);
    put16(p, format_.format_tag);
    put16(p, format_.channels);
    put32(p, format_.sample_rate);
    put32(p, format_.byte_rate);
    put16(p, format_.block_align);
    put16(p, format_.bits_per_sample);
    put_id(p, "data");
    put32(p, data_bytes_);
    return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
}

bool WaveWriter::open(const std::string& path) {
    close();
    data_bytes_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = "Couldn't open output file";
        return false;
    }
    if (!write_header()) {
        error_ = "Error writing header";
        return false;
    }
    return true;
}

bool WaveWriter::write8(const std::uint8_t* bytes, std::size_t count) {
    if (format_.bits_per_sample != 8) {
        error_ = "Sample size mismatch";
        return false;
    }
    if (!file_ || std::fwrite(bytes, 1, count, file_) != count) {
        error_ = "Couldn't write samples";
        return false;
    }
    data_bytes_ += static_cast<std::uint32_t>(count);
    header_dirty_ = true;
    return true;
}

bool WaveWriter::write16(const std::int16_t* samples, std::size_t count) {
    if (format_.bits_per_sample != 16) {
        error_ = "Sample size mismatch";
        return false;
    }
    const std::size_t values = count * (format_.channels ? format_.channels : 1);
    // Stored little-endian whatever the machine's byte order.
    std::vector<unsigned char> bytes(values * 2);
    for (std::size_t i = 0; i < values; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(samples[i]);
        bytes[2 * i + 1] = static_cast<unsigned char>(static_cast<std::uint16_t>(samples[i]) >> 8);
    }
    if (!file_ || std::fwrite(bytes.data(), 2, values, file_) != values) {
        error_ = "Couldn't write samples";
        return false;
    }
    data_bytes_ += static_cast<std::uint32_t>(2 * count);
    header_dirty_ = true;
    return true;
}

void WaveWriter::close() {
    if (!file_) return;
    if (header_dirty_) {
        const long end = std::ftell(file_);
        if (std::fseek(file_, 0, SEEK_SET) == 0) write_header();
        std::fseek(file_, end, SEEK_SET);
        header_dirty_ = false;
    }
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace sint
