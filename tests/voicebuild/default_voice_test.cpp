// The default voice committed under voice/: its recordings pass every check
// that PSOLA makes, it records the diphones of Slovenian speech, and speech
// made from it is neither cut short nor clipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/phone_symbols.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/synthetic_voice.h"
#include "tools/voicebuild/voice_check.h"
#include "waveform/psola.h"

namespace sint::test {
namespace {

const std::string kVoiceDir = std::string(SINT_SOURCE_DIR) + "/voice";

// Sentences as the phone conversion hands them to PSOLA.
const std::vector<std::string> kSentences = {
    "_ = d o: = b @ r = d a: n _",
    "_ - k a: - k O s - t E = d a: n E s _",
    "_ s E = d m e: = g a = d E - t s e: m = b r a _",
    "_ = b o: U l j u = b l j a: n i s n e: - k i: n v e: - t @ r _",
    "_ Z E l E z n i: S - k a - p O s - t a: j a j E z a - p @: r - t a _",
    "_ - p E - t i n = d v a: I s E - t O: - t r O - k j E S l o: - t S e: s - t s e: s - t O _",
};

class DefaultVoiceTest : public ::testing::Test {
protected:
    // The recordings are named relative to the voice folder (the program folder
    // once installed); Average.dat goes to a temporary folder.
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kVoiceDir + "/filenames.ini"));
        old_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(kVoiceDir);
        std::filesystem::copy_file(kVoiceDir + "/Cost.dat", work_.file("Cost.dat"));
        options_.work_dir = work_.path().string();
    }
    void TearDown() override { std::filesystem::current_path(old_dir_); }

    TempDir work_;
    std::filesystem::path old_dir_;
    WaveDatabaseOptions options_;
};

TEST_F(DefaultVoiceTest, EveryRecordedAlophonePassesThePsolaChecks) {
    TTableSint db(options_);
    ASSERT_EQ(db.build("filenames.ini", 1, 0), 0);
    EXPECT_GT(db.sample_total(), 60 * kSampleRate);
    for (int width : {100, 200}) {
        const auto faults = voicebuild::check_alophones(db, width);
        EXPECT_TRUE(faults.empty()) << "width " << width << ": " << faults.size()
                                    << " faults, first: " << faults.front().what;
    }
}

TEST_F(DefaultVoiceTest, RecordsTheDiphonesOfSpeech) {
    TTableSint db(options_);
    ASSERT_EQ(db.build("filenames.ini", 1, 0), 0);
    const std::vector<std::string> vowels = {
        "a", "a:", "E", "E:", "e:", "i", "i:", "O", "O:", "o:", "u", "u:", "@", "@:"};
    // First and last unit of each consonant as the phone conversion splits it.
    const std::vector<std::pair<std::string, std::string>> consonants = {
        {"-", "p"}, {"-", "t"}, {"-", "k"}, {"=", "b"}, {"=", "d"}, {"=", "g"},
        {"f", "f"}, {"v", "v"}, {"s", "s"}, {"z", "z"}, {"S", "S"}, {"Z", "Z"},
        {"h", "h"}, {"m", "m"}, {"n", "n"}, {"l", "l"}, {"r", "r"}, {"j", "j"}};
    std::vector<std::vector<std::string>> pairs;
    for (const auto& v : vowels) {
        pairs.push_back({"_", v});
        pairs.push_back({v, "_"});
        for (const auto& [first, last] : consonants) {
            pairs.push_back({v, first});
            pairs.push_back({last, v});
        }
    }
    for (const auto& [first, last] : consonants) {
        pairs.push_back({"_", first});
        pairs.push_back({last, "_"});  // voiced ones too: recorded as spoken, devoiced
        if (first != last) pairs.push_back({first, last});
    }
    // Obstruents of mixed voicing, as a transcription without assimilation has them.
    for (const char* a : {"b", "d", "g", "z", "Z"}) {
        for (const char* b : {"-", "s", "S", "f", "h"}) pairs.push_back({a, b});
    }
    for (const char* a : {"p", "t", "k", "s", "S", "f", "h"}) {
        for (const char* b : {"=", "z", "Z"}) pairs.push_back({a, b});
    }
    for (const char* v : {"a", "E", "i", "O", "u", "a:", "e:", "o:"}) {
        pairs.push_back({v, "I"});
        pairs.push_back({v, "U"});
    }
    const auto c = voicebuild::check_coverage(db, pairs);
    EXPECT_EQ(c.unknown, 0);
    EXPECT_TRUE(c.absent_phones.empty());
    std::string missing;
    for (const auto& [pair, n] : c.missing) missing += pair + " ";
    EXPECT_EQ(c.missing_count, 0) << missing;
}

TEST_F(DefaultVoiceTest, SentencesAreSynthesisedWholeAndUnclipped) {
    std::unique_ptr<TPsola> psola;
    ASSERT_NO_THROW(psola = std::make_unique<TPsola>("filenames.ini", 1, 0, options_));
    struct Setting {
        int pitch;     // Hz at the start and end of each phone, 0 = recorded
        int duration;  // ms, 0 = recorded
        int width;     // window width in percent
    };
    for (const Setting s : {Setting{0, 0, 100}, Setting{90, 70, 100}, Setting{180, 120, 100},
                            Setting{140, 0, 200}, Setting{250, 40, 60}}) {
        SCOPED_TRACE(std::to_string(s.pitch) + " Hz, " + std::to_string(s.duration) + " ms");
        psola->set_window_width(s.width);
        for (const auto& sentence : kSentences) {
            std::vector<AlophoneRecord> records;
            for (const auto& unit : voicebuild::split_units(sentence)) {
                AlophoneRecord r;
                std::strncpy(r.name, unit.c_str(), sizeof r.name - 1);
                r.duration = unit == "_" ? 0 : s.duration;
                r.f0_start = s.pitch;
                r.f0_middle = s.pitch ? s.pitch + s.pitch / 8 : 0;
                r.f0_end = s.pitch;
                records.push_back(r);
            }
            records.push_back(AlophoneRecord{});
            ASSERT_EQ(psola->synthesise(records.data()), 0) << sentence;
            const std::int32_t n = psola->sample_count();
            EXPECT_GT(n, kLeadingSilence + 3 * kSampleRate / 10) << sentence;
            EXPECT_EQ(voicebuild::count_saturated(psola->samples_out(), n), 0) << sentence;
        }
    }
}

}  // namespace
}  // namespace sint::test
