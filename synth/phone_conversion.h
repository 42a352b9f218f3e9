// PhoneConverter: turns the macro-prosody output (one ProsodyRecord per phone,
// pause or boundary) into the PSOLA input (one AlophoneRecord per acoustic unit
// with a start, middle and end pitch).
//
// On the way it applies the articulation and pitch offset, splits plosives and
// affricates into closure and release, splits long pauses, maps stressed and
// allophonic names to database unit names, picks glide variants by context,
// smooths the pitch across unit boundaries and draws straight pitch lines
// through voiceless stretches.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "prosody/prosody_record.h"
#include "waveform/alophone_record.h"

namespace sint {

// True for a phone or unit name that is spoken voiced (a vowel or a voiced
// consonant, by its database unit name).
bool is_voiced_unit(std::string_view name);

// The pause that opens every output unless set otherwise.
inline constexpr std::int32_t kLeadingPauseMs = 50;

class PhoneConverter {
public:
    // Converts `count` input records; writes the adjusted pitch back into each.
    // Returns the number of output records (the terminator not counted), or -1
    // when the output cannot be allocated.
    int run(ProsodyRecord* input, int count, std::int32_t boundary_pitch, std::int32_t articulation,
            std::int32_t pitch_offset);

    // Releases the output array.
    void free();

    // The length of the pause that opens the output (the speaking rate
    // shortens it with the other pauses); at least 1 ms.
    void set_leading_pause(std::int32_t ms) { leading_pause_ = ms < 1 ? 1 : ms; }

    // The output, followed by one terminator record (empty name); valid until the
    // next run or free.
    const AlophoneRecord* output() const { return output_.empty() ? nullptr : output_.data(); }
    int count() const { return count_; }

private:
    std::vector<AlophoneRecord> output_;
    int count_ = 0;
    std::int32_t leading_pause_ = kLeadingPauseMs;
};

}  // namespace sint
