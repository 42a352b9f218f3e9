// The voice settings of one engine object: the speech API's volume and rate,
// and the rate, pitch and gain chosen for each sentence from the markup of its
// words.
#pragma once

#include <array>

#include "engine/speech_api.h"

namespace sint {

inline constexpr int kRateLimit = 10;  // rate and adjustments are clamped to ±10
inline constexpr unsigned kMaxVolume = 100;

// The gain of a volume 0..100: 1.999969482421875^(v/100) − 0.999969482421875,
// 1.0 at 100 and 2^−15 at 0.
double volume_gain(unsigned volume);

class VoiceSettings {
public:
    void set_rate(long rate);
    void set_volume(unsigned volume);
    void reset_statistics();
    // Counts the markup of one spoken word; neutral markup is not counted.
    void record(const SPVSTATE& state);
    // Chooses the sentence's markup volume (and gain), rate and pitch values.
    void choose();

    double gain() const { return gain_; }
    double rate_value() const { return rate_value_; }
    double pitch_value() const { return pitch_value_; }
    unsigned volume() const { return volume_; }
    unsigned markup_volume() const { return markup_volume_; }
    long rate() const { return rate_; }

private:
    static constexpr int kAdjustments = 2 * kRateLimit + 1;

    unsigned volume_ = kMaxVolume;
    unsigned markup_volume_ = kMaxVolume;
    long rate_ = 0;
    long pitch_adjustment_ = 0;
    double gain_ = 1.0;
    double rate_value_ = 0.0;
    double pitch_value_ = 0.0;
    std::array<unsigned, kMaxVolume + 1> volume_counts_{};
    std::array<unsigned, kAdjustments> rate_counts_{};
    std::array<unsigned, kAdjustments> pitch_counts_{};
};

}  // namespace sint
