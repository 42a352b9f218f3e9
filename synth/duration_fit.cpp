#include "synth/duration_fit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "synth/phone_conversion.h"

namespace sint {
namespace {

// Halvings in the search for the phone scale: far below a millisecond.
constexpr int kSearchSteps = 50;

std::string_view name_of(const ProsodyRecord& record) {
    return std::string_view(record.name, strnlen(record.name, sizeof record.name));
}

int spoken_pitch(const ProsodyRecord& record, const SpokenModel& model) {
    return record.pitch > 0 ? (model.pitch ? model.pitch(record.pitch) : record.pitch) : 0;
}

// One period of the record's spoken pitch in ms, or 0 without a pitch.
double period_ms(const ProsodyRecord& record, const SpokenModel& model) {
    const int f = spoken_pitch(record, model);
    return f > 0 ? 1000.0 / f : 0.0;
}

// How long PSOLA makes a unit of `duration` ms: whole periods, at least one.
double in_periods(double duration, double period) {
    if (period <= 0) return duration;
    return std::max(1.0, std::ceil(duration / period - 1e-9)) * period;
}

// What a phone brings beyond its own duration: a recorded part that keeps
// its length (a plosive's release), itself laid down in whole periods.
double kept_ms(const ProsodyRecord& record, const SpokenModel& model) {
    const double kept = model.kept_ms ? model.kept_ms(name_of(record)) : 0.0;
    return kept > 0 ? kept + period_ms(record, model) / 2 : 0.0;
}

}  // namespace

bool is_pause_record(const ProsodyRecord& record) {
    const std::string_view name = name_of(record);
    return name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '@');
}

int phone_floor_ms(const ProsodyRecord& record, const SpokenModel& model) {
    const double period = period_ms(record, model);
    // Whole milliseconds within one period, so that PSOLA lays exactly one.
    return period > 0 ? std::max(1, static_cast<int>(period)) : kUnvoicedPhoneFloorMs;
}

double spoken_length_ms(std::span<const ProsodyRecord> records, double lead_pause_ms,
                        const SpokenModel& model) {
    double length = kPsolaLeadInMs + lead_pause_ms;
    for (const ProsodyRecord& r : records) {
        if (is_pause_record(r))
            length += std::max<int>(r.duration, 0);
        else
            length +=
                in_periods(std::max<int>(r.duration, 0), period_ms(r, model)) + kept_ms(r, model);
    }
    return length;
}

DurationFit fit_durations(std::span<ProsodyRecord> records, double lead_pause_ms, double target_ms,
                          double pause_exponent, const SpokenModel& model) {
    DurationFit fit;
    double pauses = lead_pause_ms, fixed = kPsolaLeadInMs;
    std::vector<double> floors(records.size(), 0.0), periods(records.size(), 0.0);
    bool any_phone = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ProsodyRecord& r = records[i];
        if (is_pause_record(r)) {
            pauses += std::max<int>(r.duration, 0);
            continue;
        }
        any_phone = true;
        fixed += kept_ms(r, model);
        periods[i] = period_ms(r, model);
        // A phone already shorter than its floor is not lengthened by a shortening.
        floors[i] = std::min<double>(phone_floor_ms(r, model), std::max<int>(r.duration, 0));
    }
    // The phones' spoken total at scale k, each kept at its floor.
    const auto phones_at = [&](double k) {
        double sum = 0;
        for (std::size_t i = 0; i < records.size(); ++i)
            if (!is_pause_record(records[i]))
                sum += in_periods(std::max(floors[i], std::max<int>(records[i].duration, 0) * k),
                                  periods[i]);
        return sum;
    };
    const double movable = pauses + phones_at(1.0);
    const double budget = std::max(0.0, target_ms - fixed);
    if (movable <= 0) return fit;

    if (budget >= movable || pause_exponent <= 1.0) {
        // Alike for all; floors take room, which the others give back.
        double low = 0, high = std::max(1.0, 2 * budget / movable);
        for (int step = 0; step < kSearchSteps; ++step) {
            const double k = (low + high) / 2;
            (phones_at(k) + pauses * k <= budget ? low : high) = k;
        }
        fit.pause_scale = fit.phone_scale = low;
    } else {
        fit.pause_scale = std::pow(movable / std::max(budget, 1e-9), -pause_exponent);
        const double phone_budget = budget - pauses * fit.pause_scale;
        double low = 0, high = 1;
        for (int step = 0; step < kSearchSteps; ++step) {
            const double k = (low + high) / 2;
            (phones_at(k) <= phone_budget ? low : high) = k;
        }
        fit.phone_scale = low;
        // Phones at their floors: the pauses give what they still can.
        const double floor_total = phones_at(0);
        if (any_phone && floor_total > phone_budget && pauses > 0)
            fit.pause_scale = std::clamp((budget - floor_total) / pauses, 0.0, fit.pause_scale);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        ProsodyRecord& r = records[i];
        if (r.duration <= 0) continue;
        if (is_pause_record(r)) {
            r.duration = static_cast<std::int16_t>(
                std::clamp(std::lround(r.duration * fit.pause_scale), 0L, 32767L));
        } else {
            const double d = std::max(floors[i], r.duration * fit.phone_scale);
            r.duration = static_cast<std::int16_t>(std::clamp(std::lround(d), 1L, 32767L));
        }
    }
    return fit;
}

}  // namespace sint
