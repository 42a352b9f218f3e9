#include "synth/facade.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/log.h"
#include "core/status.h"
#include "tests/support/temp_dir.h"
#include "text/tgfp.h"
#include "tools/voicebuild/synthetic_voice.h"
#include "waveform/psola.h"

namespace sint {
namespace {

using sint::test::TempDir;

// The default voice's text and prosody profiles in a temporary program folder,
// with a small synthetic wave database of "_ m a: m a _".
class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_cwd_ = std::filesystem::current_path();
        const std::filesystem::path voice = std::filesystem::path(SINT_SOURCE_DIR) / "voice";
        for (const char* name : {"gfp.ini", "mikro.ini", "makro.ini", "slovarji", "statistika"})
            if (std::filesystem::exists(voice / name))
                std::filesystem::copy(voice / name, dir_.path() / name,
                                      std::filesystem::copy_options::recursive);
        std::filesystem::current_path(dir_.path());
        settings_.gfp_profile = "gfp.ini";
        settings_.mikro_profile = "mikro.ini";
        settings_.makro_profile = "makro.ini";
        settings_.text.dictionary_dir = "slovarji/";
        settings_.text.statistics_dir = "statistika/";
        settings_.log_dir = dir_.path().string() + "/";
        settings_.text.dictionaries_scrambled = false;
        settings_.text.fast_start = false;
        settings_.wave.samples_in_memory = true;
        set_log_path(dir_.file("sint.log"));
        set_log_disabled(false);

        using namespace sint::test;
        write_file(dir_.file("rec.wav"), recording_file(make_recording({{"_", 3, 100},
                                                                        {"m", 4, 90},
                                                                        {"a:", 6, 80},
                                                                        {"m", 4, 90},
                                                                        {"a", 5, 100},
                                                                        {"_", 3, 100}})));
        write_file(dir_.file("filenames.ini"), dir_.file("rec.wav") + "\r\n");
        write_file(dir_.file("Cost.dat"), "1\n_\t1\n");
    }
    void TearDown() override {
        std::filesystem::current_path(saved_cwd_);
        set_log_disabled(true);
        set_log_path("sint.log");
    }
    std::string log() const { return TempDir::read(dir_.file("sint.log")); }

    TempDir dir_;
    std::filesystem::path saved_cwd_;
    SynthesiserOptions settings_;
};

TEST_F(FacadeTest, LifecycleCodesAndMessages) {
    Synthesiser sint(settings_);
    EXPECT_EQ(sint.convert("Dober dan."), kFacadeFailure);
    EXPECT_NE(log().find("Sint Ni inicializiran!"), std::string::npos);
    EXPECT_EQ(sint.duration_ms(), kNotPossible);
    EXPECT_EQ(sint.free(), kNotPossible);

    ASSERT_EQ(sint.init(), 0);
    clear_error();
    EXPECT_EQ(sint.init(), kNotPossible);
    EXPECT_EQ(last_error(), "Sintetizator je ze inicializiran!");
    EXPECT_NE(log().find("Sint launched"), std::string::npos);

    EXPECT_EQ(sint.convert(""), kFacadeFailure);
    EXPECT_NE(log().find("Vhod je prazen niz!"), std::string::npos);
    const std::string before = log();
    EXPECT_EQ(sint.convert(std::string_view()), kNotPossible);  // no text at all: nothing logged
    EXPECT_EQ(log(), before);

    EXPECT_EQ(sint.convert("Dober dan."), 0);
    EXPECT_NE(std::string(sint.transcription()), "");
    EXPECT_NE(log().find("GFP: "), std::string::npos);
    EXPECT_GE(sint.convert_first_sentence("Prvi stavek. Drugi stavek."), 1);

    EXPECT_EQ(sint.free(), 0);
    EXPECT_NE(log().find("Sint stopped"), std::string::npos);
    EXPECT_EQ(sint.free(), kNotPossible);
}

TEST_F(FacadeTest, VoiceSettingsAreClamped) {
    Synthesiser sint(settings_);
    struct Case {
        std::int32_t set, articulation, pitch;
    } cases[] = {{0, 1, 0}, {500, 200, 50}, {-80, 1, -50}, {90, 90, 50}};
    for (const Case& c : cases) {
        sint.set_articulation(c.set);
        sint.set_pitch_offset(c.set);
        EXPECT_EQ(sint.articulation(), c.articulation) << c.set;
        EXPECT_EQ(sint.pitch_offset(), c.pitch) << c.set;
    }
    sint.set_articulation(50);
    EXPECT_EQ(sint.scale_deviation(140, 100), 120);
    EXPECT_EQ(Synthesiser::format_seconds(15), "0.015000 s");
}

TEST_F(FacadeTest, ProsodyAndPsolaFromATranscription) {
    Synthesiser sint(settings_);
    ASSERT_EQ(sint.init(), 0);
    ASSERT_TRUE(sint.wave_init_slow(dir_.file("filenames.ini")));
    EXPECT_FALSE(sint.wave_init_slow(dir_.file("filenames.ini")));  // already ready
    ASSERT_TRUE(sint.ready());

    ASSERT_EQ(sint.prosody(std::string_view("m a: m a")), 0);
    ASSERT_GT(sint.converter().count(), 0);
    const auto samples = sint.synthesise_to_memory(100);
    ASSERT_GT(samples.size(), 0u);
    EXPECT_EQ(sint.duration_ms(), static_cast<std::int32_t>(samples.size() / 16));
    EXPECT_EQ(sint.byte_count(), static_cast<std::int32_t>(samples.size() * 2));

    for (const char* name : {"mikro.out", "makro.out", "convert.out"}) {
        const std::string dump = TempDir::read(dir_.file(name));
        EXPECT_EQ(dump.rfind(std::string(40, '-') + "\n", 0), 0u) << name;
        EXPECT_GT(std::count(dump.begin(), dump.end(), '\n'), 2) << name;
    }
    for (const char* lap : {"Mikro: ", "Makro: ", "Convert: ", "Psola: ", "PsolaStream: "})
        EXPECT_NE(log().find(lap), std::string::npos) << lap;

    sint.synthesise_to_file(2, 16000, 1, 3, dir_.file("out.wav"), 100);
    const std::string wave = TempDir::read(dir_.file("out.wav"));
    ASSERT_GE(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(wave.size() - 44, samples.size() * 2);
}

TEST_F(FacadeTest, SavedTablesLoadAtFastStart) {
    {
        Synthesiser sint(settings_);
        ASSERT_TRUE(sint.wave_init_slow(dir_.file("filenames.ini")));
        sint.wave_save_tables();
        sint.wave_free();
        EXPECT_FALSE(sint.wave_ready());
    }
    Synthesiser sint(settings_);
    EXPECT_TRUE(sint.wave_init_fast());
}

TEST_F(FacadeTest, NoLogMeansNoDiagnosticFiles) {
    set_log_disabled(true);
    Synthesiser sint(settings_);
    ASSERT_EQ(sint.init(), 0);
    ASSERT_TRUE(sint.wave_init_slow(dir_.file("filenames.ini")));
    ASSERT_EQ(sint.prosody(std::string_view("m a: m a")), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("mikro.out")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("sint.log")));
}

}  // namespace
}  // namespace sint
