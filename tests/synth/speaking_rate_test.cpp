// The speaking rate at the facade, with the default voice and its recordings
// (built into a wave database in a temporary folder): the TEMPO scale, the
// speed boost, and the fit of durations that both rest on.
#include "core/speaking_rate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/cp1250.h"
#include "core/log.h"
#include "synth/duration_fit.h"
#include "synth/facade.h"
#include "tests/support/rate_paragraph.h"
#include "tests/support/temp_dir.h"
#include "waveform/overlap_add.h"

namespace sint {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::vector<std::string> kParagraph = test::rate_paragraph();

class SpeakingRateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        const fs::path voice = fs::path(SINT_SOURCE_DIR) / "voice";
        for (const char* name :
             {"gfp.ini", "mikro.ini", "makro.ini", "slovarji", "statistika", "Cost.dat"})
            fs::copy(voice / name, dir_->path() / name, fs::copy_options::recursive);
        fs::create_directory_symlink(voice / "wave", dir_->path() / "wave");
        fs::copy(voice / "filenames.ini", dir_->path() / "filenames.ini");
        const fs::path saved = fs::current_path();
        fs::current_path(dir_->path());
        SynthesiserOptions options;
        options.gfp_profile = "gfp.ini";
        options.mikro_profile = "mikro.ini";
        options.makro_profile = "makro.ini";
        options.text.dictionary_dir = "slovarji/";
        options.text.statistics_dir = "statistika/";
        options.text.dictionaries_scrambled = false;
        options.text.fast_start = false;
        options.log_dir = dir_->path().string() + "/";
        options.wave.samples_in_memory = true;
        options.wave.work_dir = dir_->path().string() + "/";
        set_log_disabled(true);
        sint_ = new Synthesiser(options);
        const bool ready = sint_->init() == 0 && sint_->wave_init_slow("filenames.ini");
        fs::current_path(saved);
        ASSERT_TRUE(ready) << "the default voice did not load";
    }
    static void TearDownTestSuite() {
        delete sint_;
        delete dir_;
    }

    struct Spoken {
        double ms = 0;
        long clipped = 0;
        double pause_ms = 0, phone_ms = 0;  // of the timed records
        bool floors_kept = true;
    };

    static Spoken speak(int tempo, int speed_percent) {
        Spoken spoken;
        sint_->set_tempo(tempo);
        sint_->set_speed(speed_percent);
        long samples = 0;
        for (const std::string& sentence : kParagraph) {
            EXPECT_EQ(sint_->convert(utf8_to_cp1250(sentence)), 0);
            EXPECT_EQ(sint_->prosody(std::nullopt), 0);
            // The phone conversion has written the spoken pitch into the records.
            for (const ProsodyRecord& r : sint_->timed_records()) {
                if (is_pause_record(r)) {
                    spoken.pause_ms += r.duration;
                } else {
                    spoken.phone_ms += r.duration;
                    spoken.floors_kept = spoken.floors_kept && r.duration >= phone_floor_ms(r, {});
                }
            }
            for (const std::int16_t s : sint_->synthesise_to_memory(100)) {
                if (std::abs(static_cast<int>(s)) >= kSampleCeiling) ++spoken.clipped;
                ++samples;
            }
        }
        spoken.ms = samples / 16.0;
        return spoken;
    }

    static TempDir* dir_;
    static Synthesiser* sint_;
};

TempDir* SpeakingRateTest::dir_ = nullptr;
Synthesiser* SpeakingRateTest::sint_ = nullptr;

TEST_F(SpeakingRateTest, EveryTempoStepIsFasterAtThreeToTheTenth) {
    const double normal = speak(0, kSpeedPercentNormal).ms;
    double previous = 0;
    for (int tempo = kTempoMin; tempo <= kTempoMax; ++tempo) {
        const Spoken s = speak(tempo, kSpeedPercentNormal);
        if (tempo > kTempoMin) {
            EXPECT_LT(s.ms, previous) << "TEMPO " << tempo;
        }
        previous = s.ms;
        EXPECT_EQ(s.clipped, 0) << "TEMPO " << tempo;
        if (tempo % 5 == 0) {
            // Within 12 % of 3^(t/10), measured on the whole paragraph.
            const double factor = normal / s.ms;
            EXPECT_NEAR(factor / tempo_factor(tempo), 1.0, 0.12) << "TEMPO " << tempo;
        }
    }
}

TEST_F(SpeakingRateTest, BoostShrinksPausesFirstAndKeepsEveryPhone) {
    const Spoken normal = speak(0, kSpeedPercentNormal);
    double share = normal.pause_ms / (normal.pause_ms + normal.phone_ms);
    for (const int speed : {2, 4, 5, 6}) {
        const Spoken s = speak(0, speed * 100);
        const double pauses = s.pause_ms / (s.pause_ms + s.phone_ms);
        EXPECT_LT(pauses, share) << "speed " << speed;
        share = pauses;
        EXPECT_TRUE(s.floors_kept) << "speed " << speed;
        EXPECT_EQ(s.clipped, 0) << "speed " << speed;
        // Pauses shrink more than phones.
        EXPECT_LT(s.pause_ms / normal.pause_ms, s.phone_ms / normal.phone_ms) << "speed " << speed;
        const double factor = normal.ms / s.ms;
        EXPECT_GE(factor, speed * 0.9) << "speed " << speed;
        EXPECT_LE(factor, speed * 1.12) << "speed " << speed;
    }
    // A boost rides on the TEMPO step; the facade clamps both.
    const double fast = speak(10, kSpeedPercentNormal).ms;
    EXPECT_LT(speak(10, 200).ms, fast * 0.6);
    sint_->set_speed(1000);
    EXPECT_EQ(sint_->speed_percent(), kSpeedPercentMax);
    sint_->set_speed(0);
    EXPECT_EQ(sint_->speed_percent(), kSpeedPercentMin);
    sint_->set_tempo(-30);
    EXPECT_EQ(sint_->tempo(), kTempoMin);
}

// The fit by itself on a few records: a pause, voiced and unvoiced phones.
TEST(DurationFit, ReachesTheTargetWithinTheFloors) {
    const auto records = [] {
        std::vector<ProsodyRecord> r(4);
        const struct {
            const char* name;
            int duration, pitch;
        } values[] = {{"a:", 120, 100}, {"s", 90, 100}, {"_", 400, 0}, {"m", 60, 125}};
        for (std::size_t i = 0; i < r.size(); ++i) {
            std::snprintf(r[i].name, sizeof r[i].name, "%s", values[i].name);
            r[i].duration = static_cast<std::int16_t>(values[i].duration);
            r[i].pitch = static_cast<std::int16_t>(values[i].pitch);
        }
        return r;
    };
    const SpokenModel model;
    std::vector<ProsodyRecord> r = records();
    const double normal = spoken_length_ms(r, kLeadingPauseMs, model);
    EXPECT_DOUBLE_EQ(normal, kPsolaLeadInMs + 50 + 120 + 90 + 400 + 64);  // m: 8 ms periods

    // Uniform: pauses and phones alike.
    const DurationFit uniform = fit_durations(r, kLeadingPauseMs, normal / 2, 1.0, model);
    EXPECT_NEAR(uniform.pause_scale, uniform.phone_scale, 1e-9);
    EXPECT_NEAR(spoken_length_ms(r, kLeadingPauseMs * uniform.pause_scale, model), normal / 2, 12);

    // A boost: pauses first; far beyond what phones allow, every one at its floor.
    r = records();
    const DurationFit boost = fit_durations(r, kLeadingPauseMs, normal / 3, 1.5, model);
    EXPECT_LT(boost.pause_scale, boost.phone_scale);
    r = records();
    fit_durations(r, kLeadingPauseMs, 1, 1.5, model);
    EXPECT_EQ(r[0].duration, 10);  // one period at 100 Hz
    EXPECT_EQ(r[1].duration, 10);
    EXPECT_EQ(r[2].duration, 0);
    EXPECT_EQ(r[3].duration, 8);
    EXPECT_EQ(phone_floor_ms(r[1], {}), 10);

    // Slower: everything longer alike (phones in whole periods, so nearly).
    r = records();
    fit_durations(r, kLeadingPauseMs, normal * 2, 1.5, model);
    EXPECT_NEAR(r[2].duration, 800, 10);
    EXPECT_NEAR(r[0].duration, 240, 10);
}

}  // namespace
}  // namespace sint
