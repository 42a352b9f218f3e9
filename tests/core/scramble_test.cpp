#include "core/scramble.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace sint {
namespace {

// The key byte by byte, as files written by earlier versions were scrambled.
std::uint8_t reference_key(std::size_t pos) {
    return static_cast<std::uint8_t>(0xA5 ^ (pos * 167 + (pos >> 8) * 29));
}

std::vector<std::uint8_t> pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// Pieces at odd positions, across the key's period and longer than one pass
// over the key table.
struct Piece {
    std::size_t offset, size;
};
constexpr Piece kPieces[] = {{0, 1},     {1, 7},     {4095, 3}, {65530, 20},   {131071, 9},
                             {3, 10000}, {65535, 1}, {7, 0},    {12345, 70001}};

TEST(Scramble, BytesAreKeyedByFilePositionAcrossThePeriod) {
    for (const Piece& p : kPieces) {
        std::vector<std::uint8_t> bytes = pattern(p.size);
        scramble_bytes(reinterpret_cast<char*>(bytes.data()), bytes.size(), p.offset);
        const std::vector<std::uint8_t> plain = pattern(p.size);
        for (std::size_t i = 0; i < p.size; ++i)
            ASSERT_EQ(bytes[i], plain[i] ^ reference_key(p.offset + i))
                << "offset " << p.offset << " byte " << i;
    }
}

TEST(Scramble, SamplesAreDescrambledInOnePass) {
    for (const Piece& p : kPieces) {
        const std::size_t count = p.size / 2;
        std::vector<std::uint8_t> stored = pattern(2 * count);
        std::vector<std::int16_t> out(count + 1, 0x5555);
        descramble_samples(stored.data(), count, p.offset, out.data());
        for (std::size_t i = 0; i < count; ++i) {
            const auto lo =
                static_cast<std::uint16_t>(stored[2 * i] ^ reference_key(p.offset + 2 * i));
            const auto hi =
                static_cast<std::uint16_t>(stored[2 * i + 1] ^ reference_key(p.offset + 2 * i + 1));
            ASSERT_EQ(out[i], static_cast<std::int16_t>(lo | hi << 8))
                << "offset " << p.offset << " sample " << i;
        }
        EXPECT_EQ(out[count], 0x5555) << "written past the end at offset " << p.offset;
    }
}

}  // namespace
}  // namespace sint
