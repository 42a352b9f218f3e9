// TPsola: pitch-synchronous overlap-add synthesis over the wave database.
//
// `synthesise` takes the AlophoneRecord array of one sentence, selects the
// longest matching stretches of the recordings, joins them inside the phone
// they share, and lays two-period Hamming windows centred on the recorded pitch
// marks at the target pitch period, stretched or compressed to the target
// duration. The output buffer is kept and reused between sentences.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "waveform/alophone_record.h"
#include "waveform/table_sint.h"

namespace sint {

// Limits checked for every phone.
inline constexpr int kMinPitchHz = 40;
inline constexpr int kMaxPitchHz = 500;
inline constexpr int kMaxDurationMs = 1500;
inline constexpr int kMinPeriod = 32;  // samples between two recorded pitch marks
inline constexpr int kMaxPeriod = 400;
// Samples needed on either side of a pitch mark at window width 100.
inline constexpr int kWindowMargin = 400;
// Silence before the first phone of a sentence, in samples.
inline constexpr int kLeadingSilence = 400;
// The window width percentage is kept within these bounds.
inline constexpr int kMinWindowWidth = 1;
inline constexpr int kMaxWindowWidth = 200;
// Window table entries (0 to 100) and the Q14 unit of its values.
inline constexpr int kWindowSteps = 100;
inline constexpr int kQ14 = 16384;

struct PitchMarkRef {
    std::int32_t window = 0;  // index in Windows
    std::int32_t offset = 0;  // samples from the unit's first mark in the recording
};

struct PsolaUnit {
    std::uint8_t symbol = 0;
    std::int32_t db_index = 0;  // position in Data
    std::int32_t f0_start = 0;
    std::int32_t f0_middle = 0;
    std::int32_t f0_end = 0;
    std::int32_t duration = 0;  // ms
    // The unit's pitch marks: mark_count entries of the sentence's mark list
    // from first_mark on (TPsola::marks_of).
    std::int32_t first_mark = 0;
    std::int32_t mark_count = 0;
};

class TPsola : public TTableSint {
public:
    // Builds the database from the wave files listed in `list_file`. Throws
    // std::runtime_error (after logging why) when that fails.
    TPsola(const std::string& list_file, int alophone_track, int pitch_track,
           WaveDatabaseOptions options = {});
    // Loads the database from its packed file; throws as above.
    explicit TPsola(WaveDatabaseOptions options = {});
    // Synthesises over the tables of `source`, which must stay loaded while
    // this object is used; the output and the disk-read buffers are its own.
    TPsola(Share, const TPsola& source);

    // Synthesises one sentence (the array ends with an empty name). 0 when every
    // phone was placed, -2 when some were skipped, -1 when nothing could be
    // placed or the output buffer could not be had.
    int synthesise(const AlophoneRecord* records);

    const std::int16_t* samples_out() const { return output_.data(); }
    std::int16_t* samples_out() { return output_.data(); }
    std::int32_t sample_count() const { return length_; }

    // Window length in percent of the pitch period, clamped to 1..200.
    void set_window_width(std::int32_t percent);
    std::int32_t window_width() const { return window_width_; }

    // The right half of a Hamming window in Q14, 101 entries.
    static const std::array<std::int32_t, kWindowSteps + 1>& window_table();

    // The units of the last sentence after gluing (for tests and tools).
    const std::vector<PsolaUnit>& units() const { return units_; }
    std::span<const PitchMarkRef> marks_of(const PsolaUnit& unit) const {
        return {marks_.data() + unit.first_mark, static_cast<std::size_t>(unit.mark_count)};
    }

private:
    int init(const AlophoneRecord* records);
    bool check_phone(const AlophoneRecord& record, std::int32_t d, std::int32_t i,
                     std::int32_t input_count, PsolaUnit& unit, bool& adjusted);
    void glue();
    int overlap_add();
    void add_window(std::int64_t centre_in, std::int32_t half, std::int64_t centre_out,
                    bool& read_failed);

    std::int32_t window_width_ = 100;
    // The units of the sentence and the pitch marks they refer to; both keep
    // their memory between sentences, so a sentence allocates nothing per unit.
    std::vector<PsolaUnit> units_;
    std::vector<PsolaUnit> placed_;  // glue's new list
    std::vector<PitchMarkRef> marks_;
    std::vector<std::int16_t> output_;
    std::int32_t length_ = 0;
    // The whole window (2 × half + 1 weights) for a half length, built when
    // first needed and kept: the same half length always has the same weights.
    const std::int16_t* weights_for(std::int32_t half);
    std::vector<std::vector<std::int16_t>> weights_;
    std::vector<std::int16_t> odd_weights_;  // a half length beyond the table's
    // Reused between sentences: the samples under one window in disk mode, and
    // each unit's recorded and target length.
    std::vector<std::int16_t> window_samples_;
    std::vector<std::int64_t> recorded_, target_;
};

}  // namespace sint
