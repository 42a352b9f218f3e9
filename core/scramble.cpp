#include "core/scramble.h"

#include <array>
#include <bit>
#include <cstring>

namespace sint {
namespace {

// Bytes processed against one contiguous stretch of the key table; the table
// holds the period and this much again, so no stretch wraps around.
constexpr std::size_t kChunk = 4096;

// A key byte that changes with the position and never repeats within 256
// bytes, so plain text does not show through as a repeated pattern.
constexpr std::uint8_t key_at(std::size_t pos) {
    return static_cast<std::uint8_t>(0xA5 ^ (pos * 167 + (pos >> 8) * 29));
}

struct KeyTable {
    std::array<std::uint8_t, kScramblePeriod + kChunk> bytes;
    KeyTable() {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = key_at(i);
    }
};

const std::uint8_t* key_from(std::size_t offset) {
    static const KeyTable table;  // built once, thread-safe
    return table.bytes.data() + offset % kScramblePeriod;
}

}  // namespace

void scramble_bytes(char* data, std::size_t size, std::size_t offset) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(data);
    while (size > 0) {
        const std::size_t n = size < kChunk ? size : kChunk;
        const std::uint8_t* key = key_from(offset);
        // Plain byte loop over contiguous arrays: the compiler turns it into
        // vector XORs.
        for (std::size_t i = 0; i < n; ++i) bytes[i] ^= key[i];
        bytes += n;
        offset += n;
        size -= n;
    }
}

void descramble_samples(const unsigned char* stored, std::size_t count, std::size_t offset,
                        std::int16_t* out) {
    constexpr std::size_t kSamplesPerChunk = kChunk / 2;
    while (count > 0) {
        const std::size_t n = count < kSamplesPerChunk ? count : kSamplesPerChunk;
        const std::uint8_t* key = key_from(offset);
        if constexpr (std::endian::native == std::endian::little) {
            for (std::size_t i = 0; i < n; ++i) {
                std::uint16_t word, mask;
                std::memcpy(&word, stored + 2 * i, 2);
                std::memcpy(&mask, key + 2 * i, 2);
                out[i] = static_cast<std::int16_t>(word ^ mask);
            }
        } else {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = static_cast<std::int16_t>(
                    static_cast<std::uint16_t>(stored[2 * i] ^ key[2 * i]) |
                    static_cast<std::uint16_t>(stored[2 * i + 1] ^ key[2 * i + 1]) << 8);
        }
        stored += 2 * n;
        out += n;
        offset += 2 * n;
        count -= n;
    }
}

}  // namespace sint
