// The voice checks on synthetic recordings with known faults.
#include "tools/voicebuild/voice_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/voice_fixture.h"

namespace sint::test {
namespace {

using VoiceCheckTest = VoiceTest;

std::vector<std::string> faults_of(const TTableSint& db, int width) {
    std::vector<std::string> out;
    for (const auto& f : voicebuild::check_alophones(db, width)) {
        out.push_back(std::string(1, static_cast<char>(f.symbol)) + ": " + f.what);
    }
    return out;
}

TEST_F(VoiceCheckTest, SoundRecordingHasNoFaults) {
    TTableSint db(options());
    add_recording(make_recording({{"_", 3, 160}, {"a", 5, 140}, {"t", 2, 160}, {"_", 3, 160}}));
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    EXPECT_TRUE(faults_of(db, 100).empty());
    EXPECT_TRUE(faults_of(db, 200).empty());
}

TEST_F(VoiceCheckTest, FindsEachKindOfFault) {
    struct Case {
        const char* name;
        std::vector<SynthPhone> phones;
        int width;
        const char* fault;  // start of the expected fault of the phone "a"
    };
    const std::vector<Case> cases = {
        {"short period", {{"_", 3, 160}, {"a", 3, 20}, {"_", 3, 160}}, 100, "a: period of 20"},
        {"long period", {{"_", 3, 160}, {"a", 2, 450}, {"_", 3, 160}}, 100, "a: period of 450"},
        {"no mark", {{"_", 3, 160}, {"a", 0, 100}, {"_", 3, 160}}, 100, "a: no pitch mark"},
        {"too long", {{"_", 3, 160}, {"a", 70, 360}, {"_", 3, 160}}, 100, "a: recorded span"},
        // The recording starts 900 samples before "a": too near at width 250.
        {"margin", {{"a", 3, 140}, {"_", 3, 160}}, 250, "a: mark"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        write_file(dir.file("Cost.dat"), "1\n_\t1\n");
        const auto rec = make_recording(c.phones);
        write_file(dir.file("r.wav"), recording_file(rec));
        write_file(dir.file("list.ini"), dir.file("r.wav") + "\n");
        WaveDatabaseOptions o;
        o.work_dir = dir.path().string();
        TTableSint db(o);
        ASSERT_EQ(db.build(dir.file("list.ini"), 1, 0), 0);
        const auto faults = faults_of(db, c.width);
        ASSERT_FALSE(faults.empty());
        EXPECT_EQ(faults.front().rfind(c.fault, 0), 0u) << faults.front();
    }
}

TEST_F(VoiceCheckTest, HashLabelledSilenceIsNotChecked) {
    TTableSint db(options());
    add_recording(make_recording({{"#", 1, 20}, {"a", 3, 140}, {"_", 3, 160}, {"#", 2, 160}}));
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    EXPECT_TRUE(faults_of(db, 100).empty());
}

TEST_F(VoiceCheckTest, CoverageCountsMissingPairsAndUnknownNames) {
    TTableSint db(options());
    add_recording(make_recording({{"_", 3, 160}, {"a", 3, 140}, {"t", 2, 160}, {"_", 3, 160}}));
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    const auto c = voicebuild::check_coverage(
        db, {voicebuild::split_units("_ a t _"), voicebuild::split_units("_ t a x a: _")});
    EXPECT_EQ(c.phones, 10);
    EXPECT_EQ(c.unknown, 1);  // x
    // "_ t" and "t a" are missing; pairs next to x are not counted; a: is absent.
    EXPECT_EQ(c.missing_count, 3);
    EXPECT_EQ(c.missing.at("_+t"), 1);
    EXPECT_EQ(c.missing.at("t+a"), 1);
    EXPECT_EQ(c.missing.at("a:+_"), 1);
    EXPECT_EQ(c.absent_phones.at("a:"), 1);
}

TEST(VoiceCheck, SplitUnitsAndSaturation) {
    EXPECT_EQ(voicebuild::split_units("  _ a:\tt  _ "),
              (std::vector<std::string>{"_", "a:", "t", "_"}));
    EXPECT_TRUE(voicebuild::split_units("   ").empty());
    const std::vector<std::int16_t> s = {0, 32760, -32760, 32759, -32759, 32767, -32768};
    EXPECT_EQ(voicebuild::count_saturated(s.data(), static_cast<std::int64_t>(s.size())), 4);
}

}  // namespace
}  // namespace sint::test
