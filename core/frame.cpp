#include "core/frame.h"

#include <cstring>

namespace sint {

void put_u32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void put_u16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint32_t get_u32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

std::uint16_t get_u16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>(in[0] | in[1] << 8);
}

void encode_header(std::uint8_t* out, std::size_t length, std::uint16_t kind) {
    std::memcpy(out, kFrameMagic, sizeof kFrameMagic);
    put_u32(out + 4, static_cast<std::uint32_t>(length));
    put_u16(out + 8, kind);
    put_u16(out + 10, 0);
}

std::vector<std::uint8_t> encode_frame(const void* payload, std::size_t length,
                                       std::uint16_t kind) {
    std::vector<std::uint8_t> frame(kFrameHeaderSize + length);
    encode_header(frame.data(), length, kind);
    if (length > 0) std::memcpy(frame.data() + kFrameHeaderSize, payload, length);
    return frame;
}

std::vector<std::uint8_t> encode_frame(std::string_view payload, std::uint16_t kind) {
    return encode_frame(payload.data(), payload.size(), kind);
}

bool starts_with_magic(const std::uint8_t* data, std::size_t size) {
    return size >= sizeof kFrameMagic && std::memcmp(data, kFrameMagic, sizeof kFrameMagic) == 0;
}

FrameHeader decode_header(const std::uint8_t* data) {
    FrameHeader header;
    header.length = get_u32(data + 4);
    header.kind = get_u16(data + 8);
    header.reserved = get_u16(data + 10);
    return header;
}

}  // namespace sint
