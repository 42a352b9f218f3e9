// The frame that carries every request and reply between sintsrv and its
// clients: a 12-byte header ("Z!MF", payload length, kind, reserved; integers
// little-endian) followed by the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sint {

inline constexpr std::size_t kFrameHeaderSize = 12;
// The largest frame, header included, that sintsrv takes in: every request
// must fit its receive buffer whole. Clients hold replies to the same bound.
inline constexpr std::size_t kFrameLimit = 100000;
inline constexpr std::size_t kFramePayloadLimit = kFrameLimit - kFrameHeaderSize;
// An audio reply carries all the speech of one request and may exceed the
// frame limit by far (32000 bytes per second of speech); clients accept it up
// to this size, over two hours of speech: the longest request the clients
// send (some 20 KB of text, about 25 minutes at the usual rate) fits even
// spoken slowly or full of numbers. A header announcing more fails the exchange.
inline constexpr std::size_t kAudioPayloadLimit = std::size_t{256} << 20;
inline constexpr char kFrameMagic[4] = {'Z', '!', 'M', 'F'};
// Kinds: the reply to TEST carries 1, every other server frame 0; clients send 1.
inline constexpr std::uint16_t kFrameKindPlain = 0;
inline constexpr std::uint16_t kFrameKindTest = 1;

struct FrameHeader {
    std::uint32_t length = 0;
    std::uint16_t kind = 0;
    std::uint16_t reserved = 0;
};

// Writes the header of a frame of `length` payload bytes into `out`
// (kFrameHeaderSize bytes).
void encode_header(std::uint8_t* out, std::size_t length, std::uint16_t kind);
// Header and payload in one buffer, ready for a single send.
std::vector<std::uint8_t> encode_frame(const void* payload, std::size_t length, std::uint16_t kind);
std::vector<std::uint8_t> encode_frame(std::string_view payload, std::uint16_t kind);

// True when `data` starts with the magic.
bool starts_with_magic(const std::uint8_t* data, std::size_t size);
// Reads the length and kind fields of a header that starts at `data` (which
// must hold kFrameHeaderSize bytes and begin with the magic).
FrameHeader decode_header(const std::uint8_t* data);

// Little-endian helpers shared by the frame and the audio payloads.
void put_u32(std::uint8_t* out, std::uint32_t value);
void put_u16(std::uint8_t* out, std::uint16_t value);
std::uint32_t get_u32(const std::uint8_t* in);
std::uint16_t get_u16(const std::uint8_t* in);

}  // namespace sint
