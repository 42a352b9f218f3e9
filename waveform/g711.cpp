#include "waveform/g711.h"

namespace sint {

namespace {

// Upper ends of the eight segments of the compressed scales.
constexpr int kAlawSegmentEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
constexpr int kUlawSegmentEnd[8] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
// mu-law adds this bias before finding the segment, and clips the magnitude here.
constexpr int kUlawBias = 0x84;
constexpr int kUlawClip = 8159;

// Drops the low `shift` bits rounding to nearest (the top value saturates), as
// sox does, so that files coded here and by sox are byte for byte the same.
int to_fewer_bits(std::int16_t sample, int shift) {
    const int top = 32767 >> shift;
    const int value = (sample + (1 << (shift - 1))) >> shift;
    return value > top ? top : value;
}

int segment_of(int value, const int (&ends)[8]) {
    for (int i = 0; i < 8; ++i)
        if (value <= ends[i]) return i;
    return 8;
}

}  // namespace

std::uint8_t linear_to_alaw(std::int16_t sample) {
    int value = to_fewer_bits(sample, 3);  // 13-bit scale
    int mask;
    if (value >= 0) {
        mask = 0xD5;
    } else {
        mask = 0x55;
        value = -value - 1;
    }
    const int seg = segment_of(value, kAlawSegmentEnd);
    if (seg >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
    int code = seg << 4;
    code |= seg < 2 ? (value >> 1) & 0x0F : (value >> seg) & 0x0F;
    return static_cast<std::uint8_t>(code ^ mask);
}

std::int16_t alaw_to_linear(std::uint8_t code) {
    code ^= 0x55;
    int t = (code & 0x0F) << 4;
    const int seg = (code & 0x70) >> 4;
    switch (seg) {
        case 0:
            t += 8;
            break;
        case 1:
            t += 0x108;
            break;
        default:
            t += 0x108;
            t <<= seg - 1;
    }
    return static_cast<std::int16_t>((code & 0x80) ? t : -t);
}

std::uint8_t linear_to_ulaw(std::int16_t sample) {
    int value = to_fewer_bits(sample, 2);  // 14-bit scale
    int mask;
    if (value < 0) {
        value = -value;
        mask = 0x7F;
    } else {
        mask = 0xFF;
    }
    if (value > kUlawClip) value = kUlawClip;
    value += kUlawBias >> 2;
    const int seg = segment_of(value, kUlawSegmentEnd);
    if (seg >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
    const int code = (seg << 4) | ((value >> (seg + 1)) & 0x0F);
    return static_cast<std::uint8_t>(code ^ mask);
}

std::int16_t ulaw_to_linear(std::uint8_t code) {
    code = static_cast<std::uint8_t>(~code);
    int t = ((code & 0x0F) << 3) + kUlawBias;
    t <<= (code & 0x70) >> 4;
    return static_cast<std::int16_t>((code & 0x80) ? (kUlawBias - t) : (t - kUlawBias));
}

}  // namespace sint
