// Fitting the durations of one request to a speaking rate. The facade runs
// the prosody stages and then asks for a spoken length: this file scales the
// phones and pauses of the macro-prosody output to it. Uniformly, to bring
// the rate machinery of micro-prosody to the exact factor of a TEMPO step;
// pauses first and more than phones, for a speed boost. No phone goes below
// its floor, so none vanishes however fast the speech is.
//
// The spoken length is what PSOLA will make of the records: the pauses, each
// phone in whole pitch periods (at least one), the recorded release of each
// plosive, the leading pause of the phone conversion and PSOLA's own lead-in.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "prosody/prosody_record.h"

namespace sint {

// The least duration of an unvoiced phone (ms); a voiced one keeps at least
// one period of its pitch.
inline constexpr int kUnvoicedPhoneFloorMs = 10;
// Above the normal rate a boost scales pauses by its factor raised to this
// power: pauses shrink first, and more than phones.
inline constexpr double kBoostPauseExponent = 1.5;
// The silence PSOLA puts before every request (400 samples).
inline constexpr double kPsolaLeadInMs = 25.0;

// How the records will be spoken, as far as their length goes.
struct SpokenModel {
    // The pitch a record is spoken at, from its prosody pitch (the phone
    // conversion moves it by the articulation and the pitch offset); none:
    // the prosody pitch.
    std::function<int(int)> pitch;
    // The recorded length (ms) a phone brings along whatever its duration:
    // the release of a plosive, which keeps its recorded length; none: 0.
    std::function<double(std::string_view)> kept_ms;
};

// True for a pause or punctuation record, false for a phone.
bool is_pause_record(const ProsodyRecord& record);
// The shortest a phone may become: one period of its spoken pitch when it is
// voiced, else kUnvoicedPhoneFloorMs.
int phone_floor_ms(const ProsodyRecord& record, const SpokenModel& model);

// The expected length of the records when spoken (ms), opened by a pause of
// `lead_pause_ms`.
double spoken_length_ms(std::span<const ProsodyRecord> records, double lead_pause_ms,
                        const SpokenModel& model);

struct DurationFit {
    double pause_scale = 1.0;  // what the pauses, the leading one too, were multiplied by
    double phone_scale = 1.0;  // the same for phones (before their floors)
};

// Scales `records` so that their spoken length (as spoken_length_ms, with the
// leading pause scaled alike) becomes `target_ms`, as nearly as the floors
// allow. A `pause_exponent` of 1 scales pauses and phones alike; above 1 a
// shortening scales pauses by (old / new length) ^ -exponent and phones by
// what is left. A lengthening is always uniform.
DurationFit fit_durations(std::span<ProsodyRecord> records, double lead_pause_ms, double target_ms,
                          double pause_exponent, const SpokenModel& model);

}  // namespace sint
