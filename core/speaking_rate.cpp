#include "core/speaking_rate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sint {

double tempo_factor(std::int32_t tempo) {
    return std::pow(kTempoTopFactor, std::clamp(tempo, kTempoMin, kTempoMax) / 10.0);
}

RateRequest rate_request(double factor) {
    RateRequest request;
    if (!(factor > 0)) return request;  // no factor (or NaN): the normal rate
    const double steps = 10.0 * std::log(factor) / std::log(kTempoTopFactor);
    request.tempo = static_cast<std::int32_t>(
        std::clamp(std::lround(steps), static_cast<long>(kTempoMin), static_cast<long>(kTempoMax)));
    const double rest = factor / tempo_factor(request.tempo) * 100.0;
    request.speed_percent =
        static_cast<std::int32_t>(std::clamp(std::lround(rest), static_cast<long>(kSpeedPercentMin),
                                             static_cast<long>(kSpeedPercentMax)));
    return request;
}

std::optional<double> parse_speed(std::string_view text, std::string& note, std::string& error) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end == copy.c_str() || *end != '\0' || !std::isfinite(value)) {
        error = "the speed \"" + copy + "\" is not a number (a factor from 0.3 to 6)";
        return std::nullopt;
    }
    const double clamped = std::clamp(value, kSpeedMin, kSpeedMax);
    if (clamped != value) {
        char text_value[32];
        std::snprintf(text_value, sizeof text_value, "%g", clamped);
        note = "the speed " + copy + " is outside 0.3 to 6: " + text_value + " is used";
    }
    return clamped;
}

}  // namespace sint
