// Checks of a built voice: every recorded alophone as PSOLA checks the phones
// it uses, the diphone coverage of unit strings, and clipping in synthesised
// speech. Used by sint-voicecheck and by the tests of the default voice.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "waveform/table_sint.h"

namespace sint::voicebuild {

// Largest sample magnitude that PSOLA stores when a sum saturates.
inline constexpr int kSaturated = 32760;

// An alophone of the database that PSOLA would skip.
struct PhoneFault {
    std::int32_t index = 0;  // position in Data
    std::uint8_t symbol = 0;
    std::string what;
};

// Checks every alophone but the last (PSOLA never uses it) and those labelled
// "#" (silence at the ends of a recording, never asked for): pitch-mark indices
// inside Windows, a recorded span of 0 to 1500 ms, at least one mark, periods of
// 32 to 400 samples and enough recording around every mark for windows of
// `window_width` percent.
std::vector<PhoneFault> check_alophones(const TTableSint& db, int window_width);

// Diphone coverage of unit strings (SAMPA unit names, as the phone conversion
// hands them to PSOLA).
struct Coverage {
    std::int64_t phones = 0;
    std::int64_t unknown = 0;                  // names that are not table symbols
    std::int64_t missing_count = 0;            // adjacent pairs not in the recordings
    std::map<std::string, int> missing;        // "a+b" -> occurrences
    std::map<std::string, int> absent_phones;  // units never recorded
};
Coverage check_coverage(const TTableSint& db, const std::vector<std::vector<std::string>>& lines);

// Splits a line of unit names separated by blanks.
std::vector<std::string> split_units(const std::string& line);

// Samples at the saturation limit.
std::int64_t count_saturated(const std::int16_t* samples, std::int64_t count);

}  // namespace sint::voicebuild
