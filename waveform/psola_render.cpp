// TPsola: joining the selected units (Glue) and the overlap-add itself.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/log.h"
#include "core/status.h"
#include "waveform/psola.h"

namespace sint {

namespace {

// Extra samples in the output beyond the phones (silence at both ends).
constexpr std::int64_t kOutputSlack = 800;
// The output buffer is halved when a sentence needs less than this part of it.
constexpr std::int64_t kShrinkDivisor = 10;
// Saturation bounds of the output samples.
constexpr std::int32_t kSampleCeiling = 32760;

}  // namespace

void TPsola::glue() {
    std::vector<PsolaUnit> placed;
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
                    unit.marks.erase(unit.marks.begin(),
                                     unit.marks.begin() + static_cast<long>(unit.marks.size() / 2));
                    unit.duration /= 2;
                }
                placed.push_back(std::move(unit));
            }
            pending = q;
            p_placed = false;
            p_index = q;
        } else if (next.symbol == ref().symbol) {
            // The phone shared by two segments: its first half from the one, its
            // second half from the other.
            if (follows) place_pending_whole();
            PsolaUnit& p = ref();
            p.marks.resize(p.marks.size() / 2);
            p.marks.insert(p.marks.end(),
                           next.marks.begin() + static_cast<long>(next.marks.size() / 2),
                           next.marks.end());
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
            const auto recorded =
                static_cast<std::size_t>(std::max(win_index()[d + 1] - win_index()[d], 0));
            p.marks.resize(p.marks.size() - std::min(p.marks.size(), recorded / 10));
            PsolaUnit unit = next;
            unit.marks.erase(unit.marks.begin(),
                             unit.marks.begin() + static_cast<long>(unit.marks.size() / 10));
            placed.push_back(std::move(unit));
            p_placed = true;
            p_index = placed.size() - 1;
        }
    }
    units_ = std::move(placed);
}

int TPsola::overlap_add() {
    const auto& win = windows();
    auto period = [&](std::int32_t mark) { return win[mark + 1] - win[mark]; };

    // Mark offsets, recorded and target lengths, and the buffer the sentence needs.
    std::vector<std::int64_t> recorded(units_.size()), target(units_.size());
    std::int64_t need = kOutputSlack;
    // Every step is at most one longest period, and the widest half window
    // reaches two of them past the last step.
    std::int64_t bound = kOutputSlack + 2 * kMaxPeriod * kMaxWindowWidth / 100;
    for (std::size_t u = 0; u < units_.size(); ++u) {
        PsolaUnit& unit = units_[u];
        std::int32_t offset = 0;
        for (std::size_t k = 0; k < unit.marks.size(); ++k) {
            unit.marks[k].offset = offset;
            offset += period(unit.marks[k].window);
        }
        recorded[u] = unit.marks.empty() ? 0 : unit.marks.back().offset;
        target[u] = unit.duration != 0 ? static_cast<std::int64_t>(unit.duration) * kSamplesPerMs
                                       : recorded[u];
        std::int64_t extra = 0;
        if (unit.f0_start != 0) {
            extra = kSampleRate / (unit.f0_end != 0 ? unit.f0_end : unit.f0_middle);
        } else if (!unit.marks.empty()) {
            extra = period(unit.marks.back().window);
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
        if (unit.marks.empty()) continue;
        const std::int64_t d = target[u], r = recorded[u], h = d / 2;
        std::int64_t t = 0;
        std::size_t current = 0;
        bool read_failed = false;
        while (t < d && !read_failed) {
            const std::int64_t at = t * r / d;
            while (current + 1 < unit.marks.size() &&
                   std::llabs(unit.marks[current + 1].offset - at) <
                       std::llabs(unit.marks[current].offset - at))
                ++current;
            std::int64_t p;
            if (unit.f0_start != 0) {
                std::int64_t f =
                    t < h ? unit.f0_start + t * (unit.f0_middle - unit.f0_start) / h
                          : unit.f0_middle + (t - h) * (unit.f0_end - unit.f0_middle) / (d - h);
                f = std::clamp<std::int64_t>(f, kMinPitchHz, kMaxPitchHz);
                p = kSampleRate / f;
            } else {
                p = period(unit.marks[current].window);
            }
            const auto half = static_cast<std::int32_t>(p * window_width_ / 100);
            add_window(win[unit.marks[current].window], half, w + t, read_failed);
            t += p;
        }
        w += t;
    }
    length_ = static_cast<std::int32_t>(w);
    return 0;
}

void TPsola::add_window(std::int64_t centre_in, std::int32_t half, std::int64_t centre_out,
                        bool& read_failed) {
    if (half != weights_half_) {
        const auto& table = window_table();
        weights_.resize(static_cast<std::size_t>(half) + 1);
        for (std::int32_t k = 0; k <= half; ++k)
            weights_[k] = table[half == 0 ? 0 : k * kWindowSteps / half];
        weights_half_ = half;
    }
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
        if (read_samples(first, span) != 0) return;
        source = disk_samples();
    }
    std::int16_t* out = output_.data() + centre_out;
    const std::int32_t* weights = weights_.data();
    const std::int32_t begin =
        static_cast<std::int32_t>(std::max<std::int64_t>(-half, -centre_out));
    for (std::int32_t j = begin; j <= half; ++j) {
        const std::int32_t value = out[j] + source[j + half] * weights[j < 0 ? -j : j] / kQ14;
        out[j] = static_cast<std::int16_t>(value > kSampleCeiling    ? kSampleCeiling
                                           : value < -kSampleCeiling ? -kSampleCeiling
                                                                     : value);
    }
}

}  // namespace sint
