#include "engine/voice_settings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sint::test {
namespace {

SPVSTATE word(ULONG volume, LONG rate = 0, LONG pitch = 0) {
    SPVSTATE state{};
    state.Volume = volume;
    state.RateAdj = rate;
    state.PitchAdj.MiddleAdj = pitch;
    return state;
}

TEST(VoiceSettings, GainCurve) {
    EXPECT_DOUBLE_EQ(volume_gain(100), 1.0);
    EXPECT_NEAR(volume_gain(75), 0.6818, 1e-4);
    EXPECT_NEAR(volume_gain(50), 0.4142, 1e-4);
    EXPECT_NEAR(volume_gain(25), 0.1892, 1e-4);
    EXPECT_NEAR(volume_gain(0), std::ldexp(1.0, -15), 1e-12);
}

TEST(VoiceSettings, OneMarkedWordSetsTheWholeSentence) {
    VoiceSettings s;
    s.reset_statistics();
    s.record(word(50));
    for (int i = 0; i < 4; ++i) s.record(word(100));
    s.choose();
    EXPECT_EQ(s.markup_volume(), 50u);
    EXPECT_NEAR(s.gain(), volume_gain(50), 1e-12);
    EXPECT_EQ(s.rate_value(), 0.0);
    EXPECT_EQ(s.pitch_value(), 0.0);
}

TEST(VoiceSettings, TiesGoToTheLowestValue) {
    VoiceSettings s;
    s.set_rate(2);
    s.reset_statistics();
    s.record(word(100, -3));
    s.record(word(100, -3));
    s.record(word(100, 3, 4));
    s.record(word(100, 3, -4));
    s.record(word(70));
    s.record(word(60));
    s.choose();
    EXPECT_EQ(s.rate_value(), 2.0 - 3.0);
    EXPECT_EQ(s.pitch_value(), -4.0);
    EXPECT_EQ(s.markup_volume(), 60u);
}

TEST(VoiceSettings, ApiVolumeAndMarkupVolumeMultiply) {
    VoiceSettings s;
    s.reset_statistics();
    s.record(word(50));
    s.choose();
    s.set_volume(80);
    EXPECT_NEAR(s.gain(), volume_gain(40), 1e-12);
    s.set_volume(250);  // beyond 100 is 100
    EXPECT_EQ(s.volume(), 100u);
    EXPECT_NEAR(s.gain(), volume_gain(50), 1e-12);
}

TEST(VoiceSettings, OutOfRangeMarkupIsClamped) {
    VoiceSettings s;
    s.set_rate(-40);
    EXPECT_EQ(s.rate(), -10);
    s.reset_statistics();
    s.record(word(400, -25, 99));
    s.choose();
    EXPECT_EQ(s.markup_volume(), 100u);
    EXPECT_EQ(s.rate_value(), -20.0);
    EXPECT_EQ(s.pitch_value(), 10.0);
    s.reset_statistics();
    s.choose();
    EXPECT_EQ(s.rate_value(), -10.0);
    EXPECT_EQ(s.pitch_value(), 0.0);
}

}  // namespace
}  // namespace sint::test
