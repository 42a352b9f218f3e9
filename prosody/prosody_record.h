// ProsodyRecord: one phone, pause or punctuation mark with its duration and
// pitch, as the prosody stages produce it and the phone conversion reads it.
#pragma once

#include <cstdint>

namespace sint {

// 8 bytes, packed by construction (no padding between the fields).
struct ProsodyRecord {
    char name[4] = {};          // SAMPA name, at most 3 characters, NUL-terminated
    std::int16_t duration = 0;  // milliseconds
    std::int16_t pitch = 0;     // Hz, 0 for pauses and punctuation
};

static_assert(sizeof(ProsodyRecord) == 8, "ProsodyRecord is an 8-byte record");

}  // namespace sint
