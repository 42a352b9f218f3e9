// Letter classing, syllable patterns and the statistics tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/text/text_test_support.h"
#include "text/syllables.h"
#include "text/text_options.h"

namespace sint {
namespace {

TEST(SyllableDivision, ClusterTests) {
    struct Case {
        const char* classes;
        std::vector<int> starts;
    };
    const Case cases[] = {
        {"vzzv", {0, 2}},   // two sonorants: one each side
        {"vnnv", {0, 2}},   // two obstruents: split one and one
        {"vv", {0, 1}},     // adjacent vowels
        {"nnzn", {0}},      // no vowel: one syllable
        {"nvznv", {0, 3}},  // sonorant before obstruent stays with the first
    };
    for (const Case& c : cases) {
        std::vector<SyllableSpan> spans;
        const int count = DeljenjeNaZloge(c.classes, spans);
        ASSERT_EQ(count, static_cast<int>(c.starts.size())) << c.classes;
        for (std::size_t k = 0; k < c.starts.size(); ++k)
            EXPECT_EQ(spans[k].start, c.starts[k]) << c.classes << " syllable " << k;
        EXPECT_EQ(spans.back().end, static_cast<int>(std::string(c.classes).size()) - 1);
    }
}

TEST(WordAnalysis, PatternsOfWrittenWords) {
    const StressStatistics& stats = test::default_engine().stress_statistics();
    struct Case {
        const char* word;
        const char* sonority;
        const char* vc;
        int syllables;
    };
    const Case cases[] = {
        {"hi{a", "nv\"nv", "cv\"cv", 2},
        {"prst", "nvnn", "cccc", 1},  // syllabic r
        {"trg", "nvn", "ccc", 1},
        {"jezero", "zv\"nv\"zv", "cv\"cv\"cv", 3},
        {"#", "v", "c", 1},  // the forced space takes the class of the first letter
    };
    for (const Case& c : cases) {
        WordAnalysis a;
        stats.AnalizaBesede(c.word, a);
        EXPECT_EQ(a.sonority_pattern, c.sonority) << c.word;
        EXPECT_EQ(a.vc_pattern, c.vc) << c.word;
        EXPECT_EQ(a.syllables, c.syllables) << c.word;
    }
}

TEST(StressEndings, EndingListsChooseTheSyllable) {
    const WordTranscriber& words = test::default_engine().word_transcriber();
    struct Case {
        const char* word;
        int nuclei;
        int stressed;
    };
    const Case cases[] = {
        {"pes", 1, 1},       // one nucleus
        {"mladost", 2, 1},   // penultimate ending, two nuclei
        {"preost", 2, 2},    // the same with a prefix: the second
        {"dobrega", 3, 2},   // penultimate ending
        {"policija", 4, 2},  // antepenultimate ending
        {"gledati", 3, 1},   // infinitive stressed on the stem
        {"poznati", 3, 2},   // the same after a prefix
        {"potovati", 4, 3},  // -ovati: penultimate
        {"le`ati", 3, 2},    // -`ati: penultimate
        {"turist", 2, 2},    // final ending
        {"hi{a", 2, 0},      // no list: the statistics decide
    };
    for (const Case& c : cases)
        EXPECT_EQ(words.ending_stress(c.word, c.nuclei), c.stressed) << c.word;
}

TEST(StatisticsTables, MissingOrMalformedTableIsRefused) {
    for (const char* bad : {"", "vzn.out", "vc_o.out"}) {
        test::TempDir dir;
        for (const char* name :
             {"vzn.out", "vc.out", "vzn_e.out", "vzn_o.out", "vc_e.out", "vc_o.out"}) {
            const std::string table =
                std::string(name).find('_') == std::string::npos ? "nv.nv 1 5\n" : "n/e.zv\tE\n";
            if (std::string(name) != bad) test::write_file(dir.path() / name, table);
        }
        if (std::string(bad) == "vzn.out") test::write_file(dir.path() / bad, "nv.nv x\n");
        TextOptions settings;
        test::use_default_voice(settings);
        settings.statistics_dir = dir.str();
        if (std::string(bad).empty()) {
            TGFP engine(test::default_profile_path(), settings, "/nonexistent/index.ndx");
            WordAnalysis a;
            engine.stress_statistics().AnalizaBesede("hi{a", a);
            a.stressed = engine.stress_statistics().stress_lookup(a);
            EXPECT_EQ(a.stressed, 1);
            WordAnalysis e;
            engine.stress_statistics().AnalizaBesede("seno", e);
            e.stressed = 1;
            EXPECT_EQ(engine.stress_statistics().quality_lookup('e', e), 'E');
        } else {
            EXPECT_THROW(TGFP(test::default_profile_path(), settings, "/nonexistent/index.ndx"),
                         std::runtime_error)
                << bad;
        }
    }
}

}  // namespace
}  // namespace sint
