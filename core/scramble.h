// The scrambled storage form of the system's own data files (profiles,
// dictionaries, the dictionary index, the wave database tables).
//
// The transform is a position-keyed XOR: it keeps the length, and applying it
// twice gives the original bytes back, so one function both scrambles and
// descrambles. `offset` is the position of data[0] within the file, so a file
// may be processed in pieces.
#pragma once

#include <cstddef>
#include <string>

namespace sint {

void scramble_bytes(char* data, std::size_t size, std::size_t offset = 0);

inline std::string scrambled(std::string text) {
    scramble_bytes(text.data(), text.size());
    return text;
}

}  // namespace sint
