// The speaking-rate scale every part of the system shares: a speed factor of
// the normal rate, 3^(t/10) for the server's TEMPO steps t of -10..10 (three
// times faster at the top, a third of the speed at the bottom), with a speed
// boost of 0.3 to 6 on top of it that the SPEED request carries in percent.
// Clients turn whatever scale they offer into one factor and split it here
// into the TEMPO step and the SPEED percentage to send.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sint {

// TEMPO steps; the server clamps the request to them.
inline constexpr std::int32_t kTempoMin = -10;
inline constexpr std::int32_t kTempoMax = 10;
// The factor of TEMPO +10 (and 1 / it of TEMPO -10).
inline constexpr double kTempoTopFactor = 3.0;
// The speed boost in percent of the TEMPO rate; the server clamps SPEED to it.
inline constexpr std::int32_t kSpeedPercentMin = 30;
inline constexpr std::int32_t kSpeedPercentMax = 600;
inline constexpr std::int32_t kSpeedPercentNormal = 100;
// The same as factors, for the front ends that take a factor.
inline constexpr double kSpeedMin = 0.3;
inline constexpr double kSpeedMax = 6.0;

// 3^(t/10) of a TEMPO step (clamped to -10..10).
double tempo_factor(std::int32_t tempo);

// What a client sends for a speed factor: the TEMPO step nearest to it and
// the SPEED percentage for the rest. Factors beyond what the two reach
// together are cut to the ends of the scale.
struct RateRequest {
    std::int32_t tempo = 0;
    std::int32_t speed_percent = kSpeedPercentNormal;
    bool operator==(const RateRequest&) const = default;
};
RateRequest rate_request(double factor);

// A speed factor typed by a person ("2", "2.5"): the factor, clamped to
// kSpeedMin..kSpeedMax with a note in `note` when it was outside; nothing with
// the reason in `error` when the text is not a number.
std::optional<double> parse_speed(std::string_view text, std::string& note, std::string& error);

}  // namespace sint
