#include "engine/voice_settings.h"

#include <algorithm>
#include <cmath>

namespace sint {
namespace {

constexpr double kGainBase = 1.999969482421875;
constexpr double kGainOffset = 0.999969482421875;

long clamp_adjustment(long value) {
    return std::clamp<long>(value, -kRateLimit, kRateLimit);
}

// The index of the highest counter (the lowest index on a tie), or nothing
// when every counter is 0.
template <std::size_t N>
int most_counted(const std::array<unsigned, N>& counts) {
    int best = -1;
    unsigned best_count = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (counts[i] > best_count) {
            best_count = counts[i];
            best = static_cast<int>(i);
        }
    }
    return best;
}

}  // namespace

double volume_gain(unsigned volume) {
    static const double factor = std::log(kGainBase) / 100.0;
    return std::exp(static_cast<double>(volume) * factor) - kGainOffset;
}

void VoiceSettings::set_rate(long rate) {
    rate_ = clamp_adjustment(rate);
    rate_value_ = static_cast<double>(rate_);
}

void VoiceSettings::set_volume(unsigned volume) {
    volume_ = std::min(volume, kMaxVolume);
    gain_ = volume_gain(volume_ * markup_volume_ / 100);
}

void VoiceSettings::reset_statistics() {
    volume_counts_.fill(0);
    rate_counts_.fill(0);
    pitch_counts_.fill(0);
}

void VoiceSettings::record(const SPVSTATE& state) {
    if (state.Volume != kMaxVolume) ++volume_counts_[std::min<ULONG>(state.Volume, kMaxVolume)];
    if (state.RateAdj != 0) ++rate_counts_[clamp_adjustment(state.RateAdj) + kRateLimit];
    if (state.PitchAdj.MiddleAdj != 0)
        ++pitch_counts_[clamp_adjustment(state.PitchAdj.MiddleAdj) + kRateLimit];
}

void VoiceSettings::choose() {
    const int volume = most_counted(volume_counts_);
    markup_volume_ = volume < 0 ? kMaxVolume : static_cast<unsigned>(volume);
    gain_ = volume_gain(volume_ * markup_volume_ / 100);
    const int rate = most_counted(rate_counts_);
    rate_value_ = static_cast<double>(rate_ + (rate < 0 ? 0 : rate - kRateLimit));
    const int pitch = most_counted(pitch_counts_);
    pitch_adjustment_ = pitch < 0 ? 0 : pitch - kRateLimit;
    pitch_value_ = static_cast<double>(pitch_adjustment_);
}

}  // namespace sint
