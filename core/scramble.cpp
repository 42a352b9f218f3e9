#include "core/scramble.h"

#include <cstdint>

namespace sint {

void scramble_bytes(char* data, std::size_t size, std::size_t offset) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t pos = offset + i;
        // A key byte that changes with the position and never repeats within 256
        // bytes, so plain text does not show through as a repeated pattern.
        const auto key = static_cast<std::uint8_t>(0xA5 ^ (pos * 167 + (pos >> 8) * 29));
        data[i] = static_cast<char>(static_cast<std::uint8_t>(data[i]) ^ key);
    }
}

}  // namespace sint
