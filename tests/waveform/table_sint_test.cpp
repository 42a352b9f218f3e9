#include "waveform/table_sint.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/phone_symbols.h"
#include "core/status.h"
#include "tests/support/voice_fixture.h"

namespace sint {
namespace {

using test::make_recording;
using test::mama_recording;

class TableSintTest : public test::VoiceTest {};

std::string symbols(const TTableSint& db) {
    return std::string(db.data().begin(), db.data().begin() + db.alophone_count());
}

TEST_F(TableSintTest, BuildsTablesFromTwoFiles) {
    const test::SynthRecording first = mama_recording();
    const test::SynthRecording second = make_recording({{"s", 4, 64}, {"O", 5, 120}});
    add_recording(first);
    add_recording(second);
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    EXPECT_EQ(symbols(db), " mAma sO");
    EXPECT_EQ(db.data()[db.alophone_count()], 0);
    ASSERT_EQ(db.file_ends(), (std::vector<std::int32_t>{6, 8}));
    ASSERT_EQ(db.windows().size(), first.pitch_marks.size() + second.pitch_marks.size());
    // Pitch marks of the second file are shifted by the samples of the first.
    const auto first_size = static_cast<std::int32_t>(first.samples.size());
    EXPECT_EQ(db.windows()[first.pitch_marks.size()], second.pitch_marks[0].position + first_size);
    // Each alophone points at its own first pitch mark.
    EXPECT_EQ(db.win_index()[0], 0);
    EXPECT_EQ(db.win_index()[1], 3);
    EXPECT_EQ(db.win_index()[6], static_cast<std::int32_t>(first.pitch_marks.size()));
    EXPECT_EQ(db.sample_total(),
              static_cast<std::int64_t>(first.samples.size() + second.samples.size()));
    EXPECT_TRUE(std::equal(first.samples.begin(), first.samples.end(), db.samples().begin()));

    const AlophoneEntry* m = db.find_alophone('m');
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->list, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(m->avg_duration, (4 * 90 / 16 + 4 * 90 / 16) / 2);
    EXPECT_EQ(m->avg_start, 16000 / 90);
    const DiphoneEntry* ma = db.find_diphone('m', 'A');
    ASSERT_NE(ma, nullptr);
    EXPECT_EQ(ma->list, (std::vector<std::int32_t>{1}));
    ASSERT_NE(db.find_diphone(' ', 's'), nullptr);
    EXPECT_EQ(db.find_diphone(' ', 's')->list, (std::vector<std::int32_t>{5}));  // across files
    ASSERT_NE(db.find_triphone('m', 'A', 'm'), nullptr);
    EXPECT_EQ(db.find_triphone('m', 'm', 'm'), nullptr);
    EXPECT_TRUE(std::is_sorted(db.diphones().begin(), db.diphones().end(),
                               [](const DiphoneEntry& a, const DiphoneEntry& b) {
                                   return a.symbols[0] * 256 + a.symbols[1] <
                                          b.symbols[0] * 256 + b.symbols[1];
                               }));
    EXPECT_EQ(db.join_cost(' '), 1);
    EXPECT_EQ(db.join_cost('t'), 9);
    EXPECT_EQ(db.join_cost('m'), kDefaultJoinCost);

    // Average.dat: the entry count, then one line per symbol other than "#".
    const std::string averages = test::TempDir::read(dir_.file("Average.dat"));
    EXPECT_EQ(averages.substr(0, 2), "6\n");
    EXPECT_NE(averages.find("a:\t"), std::string::npos);
    EXPECT_NE(averages.find("_\t"), std::string::npos);
}

TEST_F(TableSintTest, TheLastAlophoneContributesNoAverage) {
    add_recording(make_recording({{"a", 4, 100}, {"m", 4, 100}, {"O", 4, 100}}));
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    const AlophoneEntry* o = db.find_alophone('O');
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->count, 1);
    EXPECT_EQ(o->avg_duration, 0);
    EXPECT_EQ(o->avg_start, 0);
}

TEST_F(TableSintTest, BuildFailures) {
    TTableSint db(options());
    // Only comments: no alophone.
    add_recording(mama_recording());
    std::string list = dir_.file("only-comments.ini");
    test::write_file(list, "#" + recordings_[0] + "\n# nothing\n");
    EXPECT_EQ(db.build(list, 1, 0), -1);
    EXPECT_EQ(db.build(dir_.file("missing.ini"), 1, 0), -1);
    EXPECT_EQ(db.build(list_file(), 1, 7), -1);

    test::write_file(dir_.file("Cost.dat"), "0\n");
    EXPECT_EQ(db.build(list_file(), 1, 0), -1);
    std::filesystem::remove(dir_.file("Cost.dat"));
    EXPECT_EQ(db.build(list_file(), 1, 0), -1);
    EXPECT_EQ(db.alophone_count(), 0);
}

TEST_F(TableSintTest, BadFilesInTheListAreSkipped) {
    add_recording(mama_recording());
    test::write_file(dir_.file("junk.wav"), "RIFF\4\0\0\0JUNK");
    TTableSint db(options());
    ASSERT_EQ(
        db.build(list_file(dir_.file("junk.wav") + "\n" + dir_.file("none.wav") + "\n"), 1, 0), 0);
    EXPECT_EQ(db.sources().size(), 1u);
    EXPECT_NE(log().find("01-001"), std::string::npos);
}

TEST_F(TableSintTest, IllegalLabelsAreLoggedAndKeepTheirFirstByte) {
    add_recording(make_recording(
        {{"a", 3, 100}, {"xy", 3, 100}, {"", 3, 100}, {"$p", 3, 100}, {"ma", 3, 100}}));
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    EXPECT_EQ(symbols(db), "ax#$m");
    EXPECT_EQ(log_count("TTableSint::ConvertSampa : The 1 th symbol xy was found in the wave file. "
                        "It is not SAMPA symbol."),
              1);
    EXPECT_EQ(log_count("ConvertSampa"), 2);  // "ma" is a symbol string but no single symbol
    EXPECT_EQ(log_count("TTableSint::ReadWaves : Illegal SAMPA symbol found in file " +
                        recordings_[0] + "."),
              1);
}

TEST_F(TableSintTest, DamagedMarkersNeverReadOutsideTheTables) {
    test::SynthRecording rec = mama_recording();
    rec.alophones[2].position = -5000;                  // before the file
    rec.alophones[3].position = 999999;                 // after every pitch mark
    std::swap(rec.pitch_marks[4], rec.pitch_marks[7]);  // out of order
    rec.pitch_marks.back().position = 1 << 30;
    add_recording(rec);
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    for (std::int32_t w : db.win_index())
        EXPECT_LT(w, static_cast<std::int32_t>(db.windows().size()));
}

TEST_F(TableSintTest, SavedTablesLoadBackIdentical) {
    add_recording(mama_recording());
    add_recording(make_recording({{"s", 4, 64}, {"O", 5, 120}}));
    TTableSint built(options());
    ASSERT_EQ(built.build(list_file(), 1, 0), 0);
    ASSERT_TRUE(built.save_tables());
    for (bool in_memory : {true, false}) {
        TTableSint loaded(options(in_memory));
        ASSERT_EQ(loaded.load(), 0);
        EXPECT_EQ(loaded.alophone_count(), built.alophone_count());
        EXPECT_EQ(loaded.data(), built.data());
        EXPECT_EQ(loaded.win_index(), built.win_index());
        EXPECT_EQ(loaded.windows(), built.windows());
        EXPECT_EQ(loaded.sample_total(), built.sample_total());
        EXPECT_EQ(loaded.file_ends(), (std::vector<std::int32_t>{built.alophone_count()}));
        ASSERT_EQ(loaded.alophones().size(), built.alophones().size());
        EXPECT_EQ(loaded.find_alophone('m')->list, built.find_alophone('m')->list);
        EXPECT_EQ(loaded.find_alophone('m')->avg_start, built.find_alophone('m')->avg_start);
        EXPECT_EQ(loaded.diphones().size(), built.diphones().size());
        EXPECT_EQ(loaded.triphones().size(), built.triphones().size());
        if (in_memory) {
            EXPECT_EQ(loaded.samples(), built.samples());
        } else {
            // Disk mode reads and descrambles the samples from the packed file.
            ASSERT_EQ(loaded.read_samples(100, 500), 0);
            EXPECT_TRUE(std::equal(built.samples().begin() + 100, built.samples().begin() + 600,
                                   loaded.disk_samples()));
        }
    }
    // A database built in disk mode saves the same file from its sources.
    TTableSint from_disk(options(false));
    ASSERT_EQ(from_disk.build(list_file(), 1, 0), 0);
    const std::string first_save = test::TempDir::read(built.packed_path());
    ASSERT_TRUE(from_disk.save_tables());
    EXPECT_EQ(test::TempDir::read(built.packed_path()), first_save);

    // The stored symbols and samples do not show in plain form.
    const std::string packed = test::TempDir::read(built.packed_path());
    EXPECT_EQ(packed.find(" mAma"), std::string::npos);
}

TEST_F(TableSintTest, PackedFileOfTheWrongLengthIsRefused) {
    add_recording(mama_recording());
    TTableSint built(options());
    ASSERT_EQ(built.build(list_file(), 1, 0), 0);
    ASSERT_TRUE(built.save_tables());
    const std::string good = test::TempDir::read(built.packed_path());
    for (const std::string& bad :
         {good + "x", good.substr(0, good.size() - 1), good.substr(0, 30), std::string()}) {
        test::write_file(built.packed_path(), bad);
        TTableSint loaded(options());
        EXPECT_EQ(loaded.load(), kNotPossible);
        EXPECT_EQ(loaded.alophone_count(), 0);
    }
    EXPECT_GE(log_count("does not match its header"), 3);
    // A file of the right length whose counts disagree with their sections.
    std::string damaged = good;
    damaged[60] = 100;  // alophone entry count
    test::write_file(built.packed_path(), damaged);
    TTableSint loaded(options());
    EXPECT_EQ(loaded.load(), kNotPossible);
    std::filesystem::remove(built.packed_path());
    EXPECT_EQ(loaded.load(), kNotPossible);
}

TEST_F(TableSintTest, DiskModeReadsEverySourceFormat) {
    const test::SynthRecording rec = mama_recording();
    add_recording(rec, kFormatPcm, 16);
    add_recording(rec, kFormatAlaw);
    add_recording(rec, kFormatMulaw);
    add_recording(rec, kFormatPcm, 8);
    TTableSint memory(options(true)), disk(options(false));
    ASSERT_EQ(memory.build(list_file(), 1, 0), 0);
    ASSERT_EQ(disk.build(list_file(), 1, 0), 0);
    EXPECT_TRUE(disk.samples().empty());
    const auto size = static_cast<std::int64_t>(rec.samples.size());
    for (int file = 0; file < 4; ++file) {
        const std::int64_t first = file * size + 950;
        ASSERT_EQ(disk.read_samples(first, 300), 0) << file;
        EXPECT_TRUE(std::equal(memory.samples().begin() + first,
                               memory.samples().begin() + first + 300, disk.disk_samples()))
            << file;
    }
    // The companded copies hold the G.711 expansion of the original samples.
    EXPECT_EQ(memory.samples()[size + 1000], alaw_to_linear(linear_to_alaw(rec.samples[1000])));
    EXPECT_EQ(memory.samples()[2 * size + 1000], ulaw_to_linear(linear_to_ulaw(rec.samples[1000])));
    // A span across two files, or past the end, cannot be read.
    EXPECT_EQ(disk.read_samples(size - 10, 20), -1);
    EXPECT_EQ(disk.read_samples(4 * size - 10, 20), -1);
    EXPECT_EQ(disk.read_samples(-1, 5), -1);
}

TEST_F(TableSintTest, UnitSelectionFindsTheLongestStretches) {
    add_recording(mama_recording());
    add_recording(make_recording({{"s", 4, 64}, {"O", 5, 120}, {"m", 3, 90}, {"a", 4, 100}}));
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    const struct {
        const char* target;
        std::vector<Segment> expect;
    } cases[] = {
        {"mAma", {{1, 4, 0}}},
        {"Oma", {{7, 3, 0}}},
        // "s" then "mAm": no triphone at s, the diphone (s,m) is missing.
        {"smAm", {{6, 1, 0}, {1, 3, 1}}},
        {"sOmAm", {{6, 3, 0}, {1, 3, 2}}},
    };
    for (const auto& c : cases) {
        const std::string t = c.target;
        const std::vector<Segment> got = db.make_sentence({t.begin(), t.end()});
        ASSERT_EQ(got.size(), c.expect.size()) << c.target;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].db_start, c.expect[i].db_start) << c.target << " " << i;
            EXPECT_EQ(got[i].length, c.expect[i].length) << c.target << " " << i;
            EXPECT_EQ(got[i].target_pos, c.expect[i].target_pos) << c.target << " " << i;
        }
    }
    EXPECT_TRUE(db.make_sentence({'x'}).empty());
    EXPECT_EQ(log_count("Error in function \"MakeSentence\". Can't find the symbol 'x'."), 1);
}

TEST_F(TableSintTest, ACheapJoinCutsASegmentShort) {
    // Cost.dat makes the pause cheap (1) and "t" dear (9): joining inside the
    // pause lets the second stretch cover the rest of the target.
    add_recording(make_recording({{"a", 3, 100}, {"_", 3, 100}, {"t", 3, 100}, {"u", 3, 100}}));
    add_recording(make_recording(
        {{"_", 3, 100}, {"t", 3, 100}, {"O", 3, 100}, {"s", 3, 100}, {"_", 3, 100}}));
    TTableSint db(options());
    ASSERT_EQ(db.build(list_file(), 1, 0), 0);
    const std::string t = "a tOs";
    const std::vector<Segment> got = db.make_sentence({t.begin(), t.end()});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].db_start, 0);
    EXPECT_EQ(got[0].length, 2);
    EXPECT_EQ(got[1].db_start, 4);
    EXPECT_EQ(got[1].length, 4);
    EXPECT_EQ(got[1].target_pos, 1);
}

}  // namespace
}  // namespace sint
