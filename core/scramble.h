// The scrambled storage form of the system's own data files (profiles,
// dictionaries, the dictionary index, the wave database tables).
//
// The transform is a position-keyed XOR: it keeps the length, and applying it
// twice gives the original bytes back, so one function both scrambles and
// descrambles. `offset` is the position of data[0] within the file, so a file
// may be processed in pieces. The key repeats every kScramblePeriod bytes, so
// it is kept as a table and applied a machine word at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sint {

// The key of the byte at file position p is the key of p modulo this.
inline constexpr std::size_t kScramblePeriod = 65536;

void scramble_bytes(char* data, std::size_t size, std::size_t offset = 0);

// Descrambles `count` 16-bit little-endian samples stored from file position
// `offset` on (`stored` points at their first byte) into `out`, in one pass.
// Safe to call from several threads at once.
void descramble_samples(const unsigned char* stored, std::size_t count, std::size_t offset,
                        std::int16_t* out);

inline std::string scrambled(std::string text) {
    scramble_bytes(text.data(), text.size());
    return text;
}

}  // namespace sint
