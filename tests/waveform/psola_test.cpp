#include "waveform/psola.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/status.h"
#include "tests/support/voice_fixture.h"

namespace sint {
namespace {

using test::make_recording;
using test::mama_recording;

struct Phone {
    const char* name;
    int duration;
    int f0_start, f0_middle, f0_end;
};

// An input array with its terminator.
std::vector<AlophoneRecord> records(std::initializer_list<Phone> phones) {
    std::vector<AlophoneRecord> out;
    for (const Phone& p : phones) {
        AlophoneRecord r;
        std::strncpy(r.name, p.name, 3);
        r.duration = p.duration;
        r.f0_start = p.f0_start;
        r.f0_middle = p.f0_middle;
        r.f0_end = p.f0_end;
        out.push_back(r);
    }
    out.push_back(AlophoneRecord{});
    return out;
}

std::vector<std::int16_t> output(const TPsola& psola) {
    return {psola.samples_out(), psola.samples_out() + psola.sample_count()};
}

class PsolaTest : public test::VoiceTest {};

TEST(PsolaWindow, TableIsTheRightHalfOfAHammingWindowInQ14) {
    const auto& w = TPsola::window_table();
    EXPECT_EQ(w[0], 16384);
    EXPECT_EQ(w[50], 8847);
    EXPECT_EQ(w[100], 1310);
    EXPECT_TRUE(std::is_sorted(w.rbegin(), w.rend()));
}

TEST_F(PsolaTest, ConstructionFailuresThrowAfterLogging) {
    test::write_file(dir_.file("empty.ini"), "# nothing here\n");
    EXPECT_THROW(TPsola(dir_.file("empty.ini"), 1, 0, options()), std::runtime_error);
    EXPECT_EQ(log_count("TPsola::TPsola>>Could not initialize the database>>Error calling "
                        "InitTables function to read the wave database from file \"" +
                        dir_.file("empty.ini") + "\""),
              1);
    EXPECT_THROW(TPsola{options()}, std::runtime_error);  // no packed file
    EXPECT_EQ(log_count("Error calling InitTables function to read the wave database\n"), 1);
}

TEST_F(PsolaTest, AWholeStringFromTheRecordingsIsOneSegment) {
    const test::SynthRecording rec = mama_recording();
    add_recording(rec);
    TPsola psola(list_file(), 1, 0, options());
    // Durations and pitches 0 keep the recorded ones.
    const auto in =
        records({{"m", 0, 0, 0, 0}, {"a:", 0, 0, 0, 0}, {"m", 0, 0, 0, 0}, {"a", 0, 0, 0, 0}});
    ASSERT_EQ(psola.synthesise(in.data()), 0);
    // The first m from its middle (2 of 4 marks), a: and m whole, the last a left out.
    ASSERT_EQ(psola.units().size(), 3u);
    EXPECT_EQ(psola.units()[0].marks.size(), 2u);
    EXPECT_EQ(psola.units()[1].marks.size(), 6u);
    EXPECT_EQ(psola.units()[2].marks.size(), 4u);
    // Each unit lasts the recorded periods between its first and last mark.
    EXPECT_EQ(psola.sample_count(), kLeadingSilence + 90 + 5 * 80 + 3 * 90);
    const std::vector<std::int16_t> out = output(psola);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 300, [](int s) { return s == 0; }));
    // Inside a: the windows, one period apart, add up to 1.08 times the recording.
    const int a_start = rec.alophones[2].position;
    const int out_start = kLeadingSilence + 90;
    // (the last period also holds the next unit's first window).
    for (int k = 80; k < 320 - 90; ++k)
        EXPECT_NEAR(out[out_start + k], 1.08 * rec.samples[a_start + k], 250) << k;
}

TEST_F(PsolaTest, TargetPitchSetsTheStepAndTheWindowLength) {
    add_recording(
        make_recording({{"_", 2, 100}, {"a", 10, 100}, {"_", 3, 100}, {"_", 3, 100}}, 1000, true));
    TPsola psola(list_file(), 1, 0, options());
    auto in = records({{"_", 0, 0, 0, 0}, {"a", 4, 250, 250, 250}, {"_", 0, 0, 0, 0}});
    ASSERT_EQ(psola.synthesise(in.data()), 0);
    // One window of 2 x 64 + 1 samples centred after the leading silence.
    EXPECT_EQ(psola.sample_count(), kLeadingSilence + 64);
    const std::int16_t* out = psola.samples_out();
    EXPECT_EQ(out[kLeadingSilence - 65], 0);
    EXPECT_NE(out[kLeadingSilence - 64], 0);
    EXPECT_EQ(out[kLeadingSilence], 1000);
    EXPECT_NE(out[kLeadingSilence + 64], 0);
    EXPECT_EQ(out[kLeadingSilence + 65], 0);

    // Twice the duration: a second window one 64-sample step later.
    in = records({{"_", 0, 0, 0, 0}, {"a", 8, 250, 250, 250}, {"_", 0, 0, 0, 0}});
    ASSERT_EQ(psola.synthesise(in.data()), 0);
    EXPECT_EQ(psola.sample_count(), kLeadingSilence + 128);

    psola.set_window_width(90);
    in = records({{"_", 0, 0, 0, 0}, {"a", 4, 250, 250, 250}, {"_", 0, 0, 0, 0}});
    ASSERT_EQ(psola.synthesise(in.data()), 0);
    out = psola.samples_out();
    EXPECT_EQ(out[kLeadingSilence - 58], 0);  // 115 samples: 57 either side
    EXPECT_NE(out[kLeadingSilence - 57], 0);
    EXPECT_NE(out[kLeadingSilence + 57], 0);
    EXPECT_EQ(out[kLeadingSilence + 58], 0);

    psola.set_window_width(0);
    EXPECT_EQ(psola.window_width(), 1);
    psola.set_window_width(500);
    EXPECT_EQ(psola.window_width(), 200);
}

TEST_F(PsolaTest, AMissingDiphoneIsLoggedOnceAndTheUnitsAreButted) {
    add_recording(make_recording(
        {{"_", 3, 100}, {"a:", 6, 80}, {"_", 3, 100}, {"m", 4, 90}, {"_", 3, 100}, {"_", 3, 100}}));
    TPsola psola(list_file(), 1, 0, options());
    const auto in =
        records({{"_", 0, 0, 0, 0}, {"a:", 0, 0, 0, 0}, {"m", 0, 0, 0, 0}, {"_", 0, 0, 0, 0}});
    ASSERT_EQ(psola.synthesise(in.data()), 0);
    EXPECT_EQ(log_count("TPsola::Glue>>Diphone not found>>Diphone (A,m) was not found in wave "
                        "database. Temporary glueing alophones together. Update the master wave "
                        "database to include that diphone!"),
              1);
    ASSERT_EQ(psola.units().size(), 3u);
    EXPECT_EQ(psola.units()[1].symbol, 'A');
    EXPECT_EQ(psola.units()[2].symbol, 'm');
    EXPECT_EQ(psola.units()[2].marks.size(), 4u);  // 4 / 10 marks dropped
    EXPECT_GT(psola.sample_count(), kLeadingSilence + 5 * 80);
}

TEST_F(PsolaTest, SumsSaturateAt32760) {
    for (int sign : {1, -1}) {
        recordings_.clear();
        add_recording(make_recording({{"_", 2, 100}, {"a", 10, 100}, {"_", 3, 100}, {"_", 3, 100}},
                                     sign * 32000, true));
        TPsola psola(list_file(), 1, 0, options());
        psola.set_window_width(200);  // four windows over every sample
        const auto in = records({{"_", 0, 0, 0, 0}, {"a", 40, 200, 200, 200}, {"_", 0, 0, 0, 0}});
        ASSERT_EQ(psola.synthesise(in.data()), 0);
        const std::vector<std::int16_t> out = output(psola);
        if (sign > 0) {
            EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32760);
        } else {
            EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32760);
        }
        EXPECT_EQ(std::count_if(out.begin(), out.end(), [](int s) { return std::abs(s) > 32760; }),
                  0);
    }
}

TEST_F(PsolaTest, InputChecks) {
    add_recording(mama_recording());
    TPsola psola(list_file(), 1, 0, options());
    EXPECT_EQ(psola.synthesise(nullptr), kNotPossible);

    // A name that is no symbol: nothing is placed, the output is the leading silence.
    auto in = records({{"m", 0, 0, 0, 0}, {"x", 0, 0, 0, 0}});
    EXPECT_EQ(psola.synthesise(in.data()), kNotPossible);
    EXPECT_EQ(psola.sample_count(), kLeadingSilence);
    EXPECT_EQ(log_count("TPsola::Init>>Error reading input alophones data>>SAMPA symbol \"x\" at "
                        "position 1 in input array could not be converted"),
              1);

    // Out-of-range values are clamped and reported; a negative duration skips the phone.
    in = records(
        {{"m", 0, 0, 0, 0}, {"a:", 3000, 600, 30, 100}, {"m", 0, 0, 0, 0}, {"a", 0, 0, 0, 0}});
    EXPECT_EQ(psola.synthesise(in.data()), kStageFailed);
    ASSERT_EQ(psola.units().size(), 3u);
    EXPECT_EQ(psola.units()[1].duration, 1500);
    EXPECT_EQ(psola.units()[1].f0_start, 500);
    EXPECT_EQ(psola.units()[1].f0_middle, 40);
    EXPECT_EQ(log_count("Frequency should be between 40Hz and 500Hz and duration should be "
                        "between 0 and 1500ms."),
              1);
    in = records({{"m", 0, 0, 0, 0}, {"a:", -5, 0, 0, 0}, {"m", 0, 0, 0, 0}, {"a", 0, 0, 0, 0}});
    EXPECT_EQ(psola.synthesise(in.data()), kStageFailed);
}

TEST_F(PsolaTest, DamagedRecordingsSkipThePhone) {
    test::SynthRecording rec = mama_recording();
    // The a: marks: one period too short, then the next phone's marks out of order.
    rec.pitch_marks[8].position = rec.pitch_marks[7].position + 20;
    std::swap(rec.pitch_marks[13].position, rec.pitch_marks[14].position);
    add_recording(rec);
    TPsola psola(list_file(), 1, 0, options());
    const auto in = records({{"_", 0, 0, 0, 0},
                             {"m", 0, 0, 0, 0},
                             {"a:", 0, 0, 0, 0},
                             {"m", 0, 0, 0, 0},
                             {"a", 0, 0, 0, 0}});
    EXPECT_EQ(psola.synthesise(in.data()), kStageFailed);
    EXPECT_EQ(log_count("TPsola::Init>>Invalid frequency of the alophone in wave database"), 2);
    EXPECT_EQ(log_count("frequency found within the database=800Hz"), 1);

    // Too little recording before the first mark at the widest window.
    recordings_.clear();
    rec = mama_recording();
    rec.pitch_marks[0].position = rec.alophones[0].position = 500;
    add_recording(rec);
    TPsola wide(list_file(), 1, 0, options());
    wide.set_window_width(200);
    EXPECT_EQ(wide.synthesise(in.data()), kStageFailed);
    EXPECT_EQ(log_count("TPsola::Init>>Marker too close to the beginning or the end of wave "
                        "database"),
              1);
    // The last alophone of the database has no next one.
    const auto last = records({{"a", 0, 0, 0, 0}, {"_", 0, 0, 0, 0}});
    EXPECT_EQ(wide.synthesise(last.data()), kStageFailed);
    EXPECT_EQ(log_count("TPsola::Init>>Invalid alophone found>>Function MakeSentence returned "
                        "index of the alophone 5, which is not located within database. Valid "
                        "indexes are from 0 to 4."),
              1);
}

TEST_F(PsolaTest, DiskModeLoadedTablesAndReadTestGiveTheSameSentence) {
    add_recording(mama_recording());
    add_recording(
        make_recording({{"s", 4, 64}, {"O", 5, 120}, {"m", 3, 90}, {"a", 4, 100}, {"_", 3, 100}}));
    const auto in = records({{"_", 50, 0, 0, 0},
                             {"m", 60, 120, 130, 140},
                             {"a:", 100, 140, 150, 120},
                             {"m", 50, 0, 0, 0},
                             {"a", 80, 110, 110, 110},
                             {"s", 60, 0, 0, 0},
                             {"O", 90, 130, 120, 100},
                             {"m", 0, 0, 0, 0},
                             {"a", 0, 0, 0, 0}});
    TPsola memory(list_file(), 1, 0, options(true));
    ASSERT_EQ(memory.synthesise(in.data()), 0);
    const std::vector<std::int16_t> expected = output(memory);
    ASSERT_GT(expected.size(), 2000u);

    TPsola disk(list_file(), 1, 0, options(false));
    ASSERT_EQ(disk.synthesise(in.data()), 0);
    EXPECT_EQ(output(disk), expected);

    WaveDatabaseOptions checked = options(true);
    checked.read_test = true;
    TPsola read_test(list_file(), 1, 0, checked);
    ASSERT_EQ(read_test.synthesise(in.data()), 0);
    EXPECT_EQ(output(read_test), expected);

    ASSERT_TRUE(memory.save_tables());
    for (bool in_memory : {true, false}) {
        TPsola loaded(options(in_memory));
        ASSERT_EQ(loaded.synthesise(in.data()), 0);
        EXPECT_EQ(output(loaded), expected) << in_memory;
    }

    // Companded recordings synthesise alike from memory and from disk.
    for (int tag : {kFormatAlaw, kFormatMulaw}) {
        recordings_.clear();
        add_recording(mama_recording(), tag);
        const auto mama = records({{"m", 60, 120, 130, 140},
                                   {"a:", 0, 0, 0, 0},
                                   {"m", 50, 0, 0, 0},
                                   {"a", 80, 110, 110, 110}});
        TPsola coded_memory(list_file(), 1, 0, options(true));
        TPsola coded_disk(list_file(), 1, 0, options(false));
        ASSERT_EQ(coded_memory.synthesise(mama.data()), 0);
        ASSERT_EQ(coded_disk.synthesise(mama.data()), 0);
        EXPECT_EQ(output(coded_disk), output(coded_memory)) << tag;
    }

    // The output buffer is reused: a short sentence after a long one.
    const auto short_in = records({{"m", 0, 0, 0, 0}, {"a:", 0, 0, 0, 0}, {"m", 0, 0, 0, 0}});
    ASSERT_EQ(memory.synthesise(short_in.data()), 0);
    EXPECT_EQ(memory.sample_count(), kLeadingSilence + 90 + 5 * 80);
}

TEST_F(PsolaTest, DamagedPackedFilesNeverCrash) {
    add_recording(mama_recording());
    {
        TPsola built(list_file(), 1, 0, options());
        ASSERT_TRUE(built.save_tables());
    }
    const std::string path = dir_.file("data/MorvenaIdra.dat");
    const std::string good = test::TempDir::read(path);
    const auto in = records({{"_", 0, 0, 0, 0},
                             {"m", 40, 120, 120, 120},
                             {"a:", 0, 0, 0, 0},
                             {"m", 0, 0, 0, 0},
                             {"a", 0, 0, 0, 0},
                             {"_", 0, 0, 0, 0}});
    set_log_disabled(true);
    int loaded = 0;
    // Every byte of the header and the tables, and a sample of the rest.
    for (std::size_t at = 0; at < good.size(); at += at < 2000 ? 1 : 97) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ (at % 3 == 0 ? 0x80 : 0x11));
        test::write_file(path, bad);
        try {
            TPsola psola(options(at % 2 == 0));
            psola.synthesise(in.data());
            ++loaded;
        } catch (const std::runtime_error&) {
        }
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace sint
