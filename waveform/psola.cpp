#include "waveform/psola.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "core/log.h"
#include "core/phone_symbols.h"
#include "core/status.h"

namespace sint {

namespace {

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

bool pitch_in_limits(std::int32_t f) {
    return f == 0 || (f >= kMinPitchHz && f <= kMaxPitchHz);
}

std::int32_t clamp_pitch(std::int32_t f) {
    return f == 0 ? 0 : std::clamp(f, kMinPitchHz, kMaxPitchHz);
}

}  // namespace

const std::array<std::int32_t, kWindowSteps + 1>& TPsola::window_table() {
    static const auto table = [] {
        std::array<std::int32_t, kWindowSteps + 1> w{};
        for (int k = 0; k <= kWindowSteps; ++k)
            w[k] = static_cast<std::int32_t>((0.54 + 0.46 * std::cos(3.14159 * k / kWindowSteps)) *
                                             kQ14);
        return w;
    }();
    return table;
}

TPsola::TPsola(const std::string& list_file, int alophone_track, int pitch_track,
               WaveDatabaseOptions options)
    : TTableSint(std::move(options)) {
    window_table();
    if (build(list_file, alophone_track, pitch_track) != 0) {
        release();
        const std::string message =
            "TPsola::TPsola>>Could not initialize the database>>Error calling InitTables function "
            "to read the wave database from file \"" +
            list_file + "\"";
        log_write(message);
        throw std::runtime_error(message);
    }
}

TPsola::TPsola(WaveDatabaseOptions options) : TTableSint(std::move(options)) {
    window_table();
    if (load() != 0) {
        release();
        const std::string message =
            "TPsola::TPsola>>Could not initialize the database>>Error calling InitTables function "
            "to read the wave database";
        log_write(message);
        throw std::runtime_error(message);
    }
}

TPsola::TPsola(Share, const TPsola& source) : TTableSint(Share{}, source) {
    window_table();
}

void TPsola::set_window_width(std::int32_t percent) {
    window_width_ = std::clamp(percent, kMinWindowWidth, kMaxWindowWidth);
}

int TPsola::synthesise(const AlophoneRecord* records) {
    if (!records) return kNotPossible;
    int result;
    try {
        result = init(records);
    } catch (const std::bad_alloc&) {
        units_.clear();
        result = -1;
    }
    glue();
    if (overlap_add() != 0) return kNotPossible;
    return result;
}

int TPsola::init(const AlophoneRecord* records) {
    units_.clear();
    marks_.clear();
    std::vector<std::uint8_t> target;
    std::int32_t count = 0;
    for (; records[count].name[0] != '\0'; ++count) {
        const std::string_view name(records[count].name, strnlen(records[count].name, 4));
        const char* symbol = sampa_to_byte(name);
        if (symbol[0] == '\0') {
            log_write(
                format("TPsola::Init>>Error reading input alophones data>>SAMPA symbol "
                       "\"%.4s\" at position %d in input array could not be converted to "
                       "byte symbol using function ConvertSAMPA. The array of alophones was "
                       "left empty.",
                       records[count].name, count));
            return kNotPossible;
        }
        target.push_back(static_cast<std::uint8_t>(symbol[0]));
    }
    const std::vector<Segment> segments = make_sentence(target);
    if (segments.empty()) {
        const std::string text(target.begin(), target.end());
        log_write(
            format("TPsola::Init>>Error finding longest continuous segment in "
                   "database>>Function MakeSentence returned NULL, when trying to segment "
                   "the sentence \"%s\"",
                   text.c_str()));
        return kNotPossible;
    }
    int result = 0;
    for (const Segment& segment : segments) {
        for (std::int32_t k = 0; k < segment.length; ++k) {
            PsolaUnit unit;
            const std::int32_t i = segment.target_pos + k;
            const AlophoneRecord& record = records[std::min(i, count)];
            bool adjusted = false;
            const std::size_t marks_before = marks_.size();
            if (check_phone(record, segment.db_start + k, i, count, unit, adjusted)) {
                units_.push_back(unit);
            } else {
                marks_.resize(marks_before);  // a skipped phone leaves no marks
                result = -2;
            }
            if (adjusted) result = -2;
        }
    }
    return result;
}

bool TPsola::check_phone(const AlophoneRecord& record, std::int32_t d, std::int32_t i,
                         std::int32_t input_count, PsolaUnit& unit, bool& adjusted) {
    const std::int32_t n = alophone_count();
    if (d < 0 || d >= n - 1) {
        log_write(
            format("TPsola::Init>>Invalid alophone found>>Function MakeSentence returned "
                   "index of the alophone %d, which is not located within database. Valid "
                   "indexes are from 0 to %d. Note that the last alophone in database is not "
                   "valid, since the algorithem needs reference to the next one. The "
                   "alophone was skipped.",
                   d, n - 2));
        return false;
    }
    const char symbol = static_cast<char>(data()[d]);
    if (i >= input_count) {
        log_write(
            format("TPsola::Init>>Invalid alophone found>>Function MakeSentence returned "
                   "index of the alophone with byte name \"%c\" which could not be found in "
                   "input string. Index was %d. Valid indexes are from 0 to %d. The alophone "
                   "was skipped.",
                   symbol, i, input_count - 1));
        return false;
    }
    const char* name = record.name;
    std::int32_t start = record.f0_start, middle = record.f0_middle, end = record.f0_end;
    std::int32_t duration = record.duration;
    if (!pitch_in_limits(start) || !pitch_in_limits(middle) || !pitch_in_limits(end) ||
        duration < 0 || duration > kMaxDurationMs) {
        log_write(format(
            "TPsola::Init>>Invalid alophone data>>Frequency or duration of the alophone in input "
            "array was out of the limits. Frequency should be between %dHz and %dHz and duration "
            "should be between 0 and %dms. The alophone was skipped.     Alophone data: byte "
            "name=\"%c\", SAMPA name=\"%.4s\", index in database=%d, position in input array=%d, "
            "start frequency=%dHz, middle frequency=%dHz, end frequency=%dHz, duration=%dms",
            kMinPitchHz, kMaxPitchHz, kMaxDurationMs, symbol, name, d, i, start, middle, end,
            duration));
        adjusted = true;
        if (duration < 0) return false;
        start = clamp_pitch(start);
        middle = clamp_pitch(middle);
        end = clamp_pitch(end);
        duration = std::min(duration, kMaxDurationMs);
    }
    // A contour with a start but no middle or end holds the last given value.
    if (start != 0 && middle == 0) middle = start;
    if (start != 0 && end == 0) end = middle;

    const auto& win = windows();
    const auto m = static_cast<std::int32_t>(win.size());
    const std::int32_t w0 = win_index()[d], w1 = win_index()[d + 1];
    if (w0 < 0 || w0 > m - 2 || w1 < 0 || w1 > m - 2) {
        log_write(format(
            "TPsola::Init>>Invalid marker index>>Index of a marker for alophone is invalid. This "
            "index should be between 0 and %d. Note that the last marker in database is also "
            "invalid, because the algorithm needs reference to the next marker in database. Check "
            "and correct the entry in the database for this partiucular alophone. The alophone "
            "was skipped.     Alophone data: byte name=\"%c\", SAMPA name=\"%.4s\", index in "
            "database=%d, position in input array=%d",
            m - 2, symbol, name, d, i));
        return false;
    }
    const std::int64_t span = static_cast<std::int64_t>(win[w1]) - win[w0];
    if (span < 0 || span > static_cast<std::int64_t>(kMaxDurationMs) * kSamplesPerMs) {
        log_write(format(
            "TPsola::Init>>Invalid alophone in wave database>>Duration of the alophone in database "
            "was found to be either negative or longer than %dms. Check and correct the wave "
            "database. The alophone was skipped.     Alophone data: byte name=\"%c\", SAMPA "
            "name=\"%.4s\", index in database=%d, position in input array=%d, first sample of the "
            "alophone=%d, last sample of the alophone=%d",
            kMaxDurationMs, symbol, name, d, i, win[w0], win[w1]));
        return false;
    }
    const std::size_t first_mark = marks_.size();
    const std::int64_t margin = static_cast<std::int64_t>(kWindowMargin) * window_width_ / 100;
    for (std::int32_t k = w0; k < w1; ++k) {
        const std::int64_t x = win[k];
        if (x - margin < 0 || x + margin > sample_total() - 1) {
            log_write(format(
                "TPsola::Init>>Marker too close to the beginning or the end of wave "
                "database>>Marker doesn't have enough samples around it to perform windowing. This "
                "means that the marker is too close to the either beginning or the end of the wave "
                "database. Check and correct the entry in the database for this partiucular "
                "alophone. The alophone was skipped.     Alophone data: byte name=\"%c\", SAMPA "
                "name=\"%.4s\", index in database=%d, position in input array=%d, marker index in "
                "database=%d",
                symbol, name, d, i, k));
            return false;
        }
        const std::int64_t period = static_cast<std::int64_t>(win[k + 1]) - x;
        if (period < kMinPeriod || period > kMaxPeriod) {
            log_write(format(
                "TPsola::Init>>Invalid frequency of the alophone in wave database>>Distance "
                "between two consequent markers in wave database was found to be greater than %d "
                "or less than %d samples. As a consequence, the frequency at some point within the "
                "alophone was less than %dHz or more than %dHz. Check and correct the entry in the "
                "database for this partiucular alophone. The alophone was skipped.     Alophone "
                "data: byte name=\"%c\", SAMPA name=\"%.4s\", index in database=%d, position in "
                "input array=%d, marker index in database=%d, frequency found within the "
                "database=%dHz",
                kMaxPeriod, kMinPeriod, kMinPitchHz, kMaxPitchHz, symbol, name, d, i, k,
                static_cast<int>(period == 0 ? 0 : kSampleRate / period)));
            return false;
        }
        marks_.push_back({k, 0});
    }
    unit.first_mark = static_cast<std::int32_t>(first_mark);
    unit.mark_count = static_cast<std::int32_t>(marks_.size() - first_mark);
    if (unit.mark_count == 0) {
        log_write(format(
            "TPsola::Init>>Empty alophone>>No markers were found for alophone in wave "
            "database. The alophone should probably be removed from the wave database. The "
            "alophone was skipped. Alophone data: byte name=\"%c\", SAMPA name=\"%.4s\", index "
            "in database=%d, position in input array=%d",
            symbol, name, d, i));
        return false;
    }
    unit.symbol = static_cast<std::uint8_t>(symbol);
    unit.db_index = d;
    unit.f0_start = start;
    unit.f0_middle = middle;
    unit.f0_end = end;
    unit.duration = duration;
    return true;
}

}  // namespace sint
