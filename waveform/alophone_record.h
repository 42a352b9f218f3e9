// AlophoneRecord: one acoustic unit with its target duration and pitch contour,
// produced by the phone conversion and consumed by PSOLA.
#pragma once

#include <cstdint>

namespace sint {

// 20 bytes, packed by construction. An array of them ends with a record whose
// name is empty.
struct AlophoneRecord {
    char name[4] = {};           // SAMPA name, at most 3 characters, NUL-terminated
    std::int32_t duration = 0;   // ms; 0 keeps the recorded duration
    std::int32_t f0_start = 0;   // Hz; 0 keeps the recorded pitch
    std::int32_t f0_middle = 0;  // Hz
    std::int32_t f0_end = 0;     // Hz
};

static_assert(sizeof(AlophoneRecord) == 20, "AlophoneRecord is a 20-byte record");

}  // namespace sint
