#include "tools/voicebuild/voice_check.h"

#include <sstream>

#include "core/phone_symbols.h"
#include "waveform/psola.h"

namespace sint::voicebuild {

namespace {

std::string name_of(std::uint8_t symbol) {
    const char* sampa = byte_to_sampa(static_cast<char>(symbol));
    if (sampa != nullptr && sampa[0] != '\0') return sampa;
    return std::string(1, static_cast<char>(symbol));
}

}  // namespace

std::vector<PhoneFault> check_alophones(const TTableSint& db, int window_width) {
    std::vector<PhoneFault> faults;
    const auto& data = db.data();
    const auto& win_index = db.win_index();
    const auto& windows = db.windows();
    const std::int64_t m_count = static_cast<std::int64_t>(windows.size());
    const std::int64_t margin = static_cast<std::int64_t>(kWindowMargin) * window_width / 100;
    const std::int64_t samples = db.sample_total();
    const std::int32_t n = db.alophone_count();
    for (std::int32_t d = 0; d + 1 < n; ++d) {
        const std::uint8_t symbol = data[d];
        if (symbol == '#') continue;
        auto fault = [&](std::string what) { faults.push_back({d, symbol, std::move(what)}); };
        const std::int64_t w0 = win_index[d];
        const std::int64_t w1 = win_index[d + 1];
        if (w0 < 0 || w1 < 0 || w0 > m_count - 2 || w1 > m_count - 2) {
            fault("pitch-mark index outside the marks");
            continue;
        }
        const std::int64_t span = windows[w1] - windows[w0];
        if (span < 0 || span > static_cast<std::int64_t>(kMaxDurationMs) * kSamplesPerMs) {
            fault("recorded span of " + std::to_string(span) + " samples");
            continue;
        }
        if (w0 == w1) {
            fault("no pitch mark");
            continue;
        }
        for (std::int64_t m = w0; m < w1; ++m) {
            const std::int64_t x = windows[m];
            const std::int64_t period = windows[m + 1] - x;
            if (x - margin < 0 || x + margin > samples - 1) {
                fault("mark " + std::to_string(m) + " too near the end of the recordings");
                break;
            }
            if (period < kMinPeriod || period > kMaxPeriod) {
                fault("period of " + std::to_string(period) + " samples at mark " +
                      std::to_string(m));
                break;
            }
        }
    }
    return faults;
}

Coverage check_coverage(const TTableSint& db, const std::vector<std::vector<std::string>>& lines) {
    Coverage c;
    for (const auto& line : lines) {
        std::vector<std::uint8_t> bytes;
        for (const auto& unit : line) {
            ++c.phones;
            if (unit.size() > 2 || !is_sampa_string(unit)) {
                ++c.unknown;
                bytes.push_back(0);
                continue;
            }
            const char* b = sampa_to_byte(unit);
            bytes.push_back(static_cast<std::uint8_t>(b[0]));
            if (db.find_alophone(bytes.back()) == nullptr) ++c.absent_phones[unit];
        }
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
            if (bytes[i] == 0 || bytes[i + 1] == 0) continue;
            if (db.find_diphone(bytes[i], bytes[i + 1]) == nullptr) {
                ++c.missing_count;
                ++c.missing[name_of(bytes[i]) + "+" + name_of(bytes[i + 1])];
            }
        }
    }
    return c;
}

std::vector<std::string> split_units(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string unit;
    while (in >> unit) out.push_back(unit);
    return out;
}

std::int64_t count_saturated(const std::int16_t* samples, std::int64_t count) {
    std::int64_t n = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        if (samples[i] >= kSaturated || samples[i] <= -kSaturated) ++n;
    }
    return n;
}

}  // namespace sint::voicebuild
