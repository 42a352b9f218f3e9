// TPsola: joining the selected units (Glue) and the overlap-add itself.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/log.h"
#include "core/status.h"
#include "waveform/overlap_add.h"
#include "waveform/psola.h"

namespace sint {

namespace {

// Extra samples in the output beyond the phones (silence at both ends).
constexpr std::int64_t kOutputSlack = 800;
// The output buffer is halved when a sentence needs less than this part of it.
constexpr std::int64_t kShrinkDivisor = 10;
// The longest half window: the longest period at the widest window.
constexpr std::int32_t kMaxHalfWindow = kMaxPeriod * kMaxWindowWidth / 100;

}  // namespace

void TPsola::glue() {
    std::vector<PsolaUnit>& placed = placed_;
    placed.clear();
    if (units_.size() < 2) {
        units_.clear();  // a single unit is only ever pending
        return;
    }
    std::size_t pending = 0;
    bool p_placed = false;  // p is a unit of `placed` rather than of units_
    std::size_t p_index = 0;
    auto ref = [&]() -> PsolaUnit& { return p_placed ? placed[p_index] : units_[p_index]; };
    auto place_pending_whole = [&] {
        placed.push_back(units_[pending]);
        p_placed = true;
        p_index = placed.size() - 1;
    };
    for (std::size_t q = 1; q < units_.size(); ++q) {
        const PsolaUnit& next = units_[q];
        const bool follows = q == pending + 1;
        if (next.db_index == ref().db_index + 1) {
            // Consecutive in the recording: the pending unit goes out as it is;
            // the first phone of the sentence is played from its middle.
            if (follows) {
                PsolaUnit unit = units_[pending];
                if (pending == 0) {
                    unit.first_mark += unit.mark_count / 2;
                    unit.mark_count -= unit.mark_count / 2;
                    unit.duration /= 2;
                }
                placed.push_back(unit);
            }
            pending = q;
            p_placed = false;
            p_index = q;
        } else if (next.symbol == ref().symbol) {
            // The phone shared by two segments: its first half from the one, its
            // second half from the other, as a new stretch of the mark list.
            if (follows) place_pending_whole();
            PsolaUnit& p = ref();
            const std::int32_t keep = p.mark_count / 2;
            const std::int32_t from = next.first_mark + next.mark_count / 2;
            const std::int32_t take = next.mark_count - next.mark_count / 2;
            const auto joined = static_cast<std::int32_t>(marks_.size());
            for (std::int32_t k = 0; k < keep; ++k) marks_.push_back(marks_[p.first_mark + k]);
            for (std::int32_t k = 0; k < take; ++k) marks_.push_back(marks_[from + k]);
            p.first_mark = joined;
            p.mark_count = keep + take;
            p.db_index = next.db_index;
            if (p.f0_start != 0 && next.f0_start != 0) {
                p.f0_start = (p.f0_start + next.f0_start) / 2;
                p.f0_middle = (p.f0_middle + next.f0_middle) / 2;
                p.f0_end = (p.f0_end + next.f0_end) / 2;
            } else {
                p.f0_start = 0;
            }
            p.duration =
                p.duration != 0 && next.duration != 0 ? (p.duration + next.duration) / 2 : 0;
        } else {
            char message[256];
            std::snprintf(message, sizeof message,
                          "TPsola::Glue>>Diphone not found>>Diphone (%c,%c) was not found in wave "
                          "database. Temporary glueing alophones together. Update the master wave "
                          "database to include that diphone!",
                          ref().symbol, next.symbol);
            log_write(message);
            if (follows) place_pending_whole();
            PsolaUnit& p = ref();
            if (p.f0_start != 0 && next.f0_start != 0) {
                p.f0_end = next.f0_end;
                p.f0_middle = (p.f0_start + next.f0_end) / 2;
            } else {
                p.f0_start = 0;
            }
            const std::int32_t d = units_[pending].db_index;
            const std::int32_t recorded = std::max(win_index()[d + 1] - win_index()[d], 0);
            p.mark_count -= std::min(p.mark_count, recorded / 10);
            PsolaUnit unit = next;
            unit.first_mark += unit.mark_count / 10;
            unit.mark_count -= unit.mark_count / 10;
            placed.push_back(unit);
            p_placed = true;
            p_index = placed.size() - 1;
        }
    }
    units_.swap(placed);
}

int TPsola::overlap_add() {
    const auto& win = windows();
    auto period = [&](std::int32_t mark) { return win[mark + 1] - win[mark]; };

    // Mark offsets, recorded and target lengths, and the buffer the sentence needs.
    std::vector<std::int64_t>& recorded = recorded_;
    std::vector<std::int64_t>& target = target_;
    recorded.resize(units_.size());
    target.resize(units_.size());
    std::int64_t need = kOutputSlack;
    // Every step is at most one longest period, and the widest half window
    // reaches two of them past the last step.
    std::int64_t bound = kOutputSlack + 2 * kMaxPeriod * kMaxWindowWidth / 100;
    for (std::size_t u = 0; u < units_.size(); ++u) {
        const PsolaUnit& unit = units_[u];
        const std::span<PitchMarkRef> marks(marks_.data() + unit.first_mark,
                                            static_cast<std::size_t>(unit.mark_count));
        std::int32_t offset = 0;
        for (std::size_t k = 0; k < marks.size(); ++k) {
            marks[k].offset = offset;
            offset += period(marks[k].window);
        }
        recorded[u] = marks.empty() ? 0 : marks.back().offset;
        target[u] = unit.duration != 0 ? static_cast<std::int64_t>(unit.duration) * kSamplesPerMs
                                       : recorded[u];
        std::int64_t extra = 0;
        if (unit.f0_start != 0) {
            extra = kSampleRate / (unit.f0_end != 0 ? unit.f0_end : unit.f0_middle);
        } else if (!marks.empty()) {
            extra = period(marks.back().window);
        }
        need += target[u] + extra;
        bound += target[u] + kMaxPeriod;
    }
    need = std::max(need, bound);
    try {
        if (output_.size() < static_cast<std::size_t>(need)) {
            output_ = std::vector<std::int16_t>(static_cast<std::size_t>(need));
        } else if (need < static_cast<std::int64_t>(output_.size()) / kShrinkDivisor) {
            output_ = std::vector<std::int16_t>(output_.size() / 2);
        }
    } catch (const std::bad_alloc&) {
        output_.clear();
        length_ = 0;
        return kNotPossible;
    }
    std::fill(output_.begin(), output_.begin() + need, 0);

    std::int64_t w = kLeadingSilence;
    for (std::size_t u = 0; u < units_.size(); ++u) {
        const PsolaUnit& unit = units_[u];
        const std::span<const PitchMarkRef> marks = marks_of(unit);
        if (marks.empty()) continue;
        const std::int64_t d = target[u], r = recorded[u], h = d / 2;
        std::int64_t t = 0;
        std::size_t current = 0;
        bool read_failed = false;
        while (t < d && !read_failed) {
            const std::int64_t at = t * r / d;
            while (current + 1 < marks.size() && std::llabs(marks[current + 1].offset - at) <
                                                     std::llabs(marks[current].offset - at))
                ++current;
            std::int64_t p;
            if (unit.f0_start != 0) {
                std::int64_t f =
                    t < h ? unit.f0_start + t * (unit.f0_middle - unit.f0_start) / h
                          : unit.f0_middle + (t - h) * (unit.f0_end - unit.f0_middle) / (d - h);
                f = std::clamp<std::int64_t>(f, kMinPitchHz, kMaxPitchHz);
                p = kSampleRate / f;
            } else {
                p = period(marks[current].window);
            }
            const auto half = static_cast<std::int32_t>(p * window_width_ / 100);
            add_window(win[marks[current].window], half, w + t, read_failed);
            t += p;
        }
        w += t;
    }
    length_ = static_cast<std::int32_t>(w);
    return 0;
}

const std::int16_t* TPsola::weights_for(std::int32_t half) {
    const auto& table = window_table();
    const auto fill = [&](std::vector<std::int16_t>& weights) {
        weights.resize(2 * static_cast<std::size_t>(half) + 1);
        for (std::int32_t j = -half; j <= half; ++j) {
            const std::int32_t k = j < 0 ? -j : j;
            weights[j + half] =
                static_cast<std::int16_t>(table[half == 0 ? 0 : k * kWindowSteps / half]);
        }
    };
    if (half > kMaxHalfWindow) {
        fill(odd_weights_);
        return odd_weights_.data();
    }
    if (weights_.empty()) weights_.resize(kMaxHalfWindow + 1);
    std::vector<std::int16_t>& weights = weights_[half];
    if (weights.empty()) fill(weights);
    return weights.data();
}

void TPsola::add_window(std::int64_t centre_in, std::int32_t half, std::int64_t centre_out,
                        bool& read_failed) {
    const std::int16_t* weights = weights_for(half);
    const std::int64_t first = centre_in - half;
    const std::int64_t span = 2 * static_cast<std::int64_t>(half) + 1;
    if (first < 0 || first + span > sample_total()) return;
    const std::int16_t* source;
    if (!samples().empty()) {
        source = samples().data() + first;
        if (options().read_test && !sources().empty()) {
            // The read test: what the disk gives must equal the memory copy.
            if (read_samples(first, span) != 0 ||
                !std::equal(source, source + span, disk_samples())) {
                read_failed = true;
                return;
            }
        }
    } else {
        if (window_samples_.size() < static_cast<std::size_t>(span))
            window_samples_.resize(std::max<std::size_t>(span, 2 * kMaxHalfWindow + 1));
        if (copy_samples(first, span, window_samples_.data()) != 0) return;
        source = window_samples_.data();
    }
    // A window reaching before the start of the output loses its first samples.
    const std::int64_t skip = std::max<std::int64_t>(0, half - centre_out);
    if (skip >= span) return;
    overlap_add_window(output_.data() + centre_out - half + skip, source + skip, weights + skip,
                       static_cast<std::size_t>(span - skip));
}

}  // namespace sint
