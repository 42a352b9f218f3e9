#include "text/syllables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sint {
namespace {

// Each case: class string and the first position of every syllable after the first.
struct Division {
    const char* classes;
    std::vector<int> starts;
    std::vector<int> nuclei;
};

TEST(Syllables, DivisionByClusterPatterns) {
    const Division cases[] = {
        {"vzzv", {2}, {0, 3}},             // two sonorants: the boundary after the first
        {"vnnv", {2}, {0, 3}},             // two obstruents: split one and one
        {"vv", {1}, {0, 1}},               // adjacent vowels are two syllables
        {"nvnv", {2}, {1, 3}},             // one consonant goes with the next vowel
        {"nvznv", {3}, {1, 4}},            // sonorant + obstruent: split between them
        {"vnzv", {2}, {0, 3}},             // obstruent + sonorant before a vowel: split
        {"vnzvnv", {2, 4}, {0, 3, 5}},     // each gap on its own
        {"vzznv", {3}, {0, 4}},            // gap 4 with vzznv
        {"vnnnvzznv", {3, 7}, {0, 4, 8}},  // a later cluster can satisfy an earlier gap's test
    };
    for (const Division& c : cases) {
        std::vector<SyllableSpan> spans;
        const int count = DeljenjeNaZloge(c.classes, spans);
        ASSERT_EQ(count, static_cast<int>(c.nuclei.size())) << c.classes;
        const int length = static_cast<int>(std::string(c.classes).size());
        EXPECT_EQ(spans.front().start, 0) << c.classes;
        EXPECT_EQ(spans.back().end, length - 1) << c.classes;
        for (int k = 0; k < count; ++k) {
            EXPECT_EQ(spans[k].nucleus, c.nuclei[k]) << c.classes << " syllable " << k;
            if (k > 0) {
                EXPECT_EQ(spans[k].start, c.starts[k - 1]) << c.classes << " syllable " << k;
                EXPECT_EQ(spans[k - 1].end, spans[k].start - 1) << c.classes;
            }
        }
    }
}

TEST(Syllables, NoVowelIsOneSyllableWithNucleusZero) {
    for (const char* classes : {"nzn", "n", ""}) {
        std::vector<SyllableSpan> spans;
        ASSERT_EQ(DeljenjeNaZloge(classes, spans), 1) << classes;
        EXPECT_EQ(spans[0].start, 0);
        EXPECT_EQ(spans[0].nucleus, 0);
    }
}

TEST(Syllables, SyllableCountIsCapped) {
    const std::string classes(2 * kSyllableMax + 10, 'v');
    std::vector<SyllableSpan> spans;
    EXPECT_EQ(DeljenjeNaZloge(classes, spans), static_cast<int>(kSyllableMax));
    EXPECT_EQ(spans.back().end, static_cast<int>(classes.size()) - 1);
}

TEST(Syllables, SonorityClassesFromDigits) {
    const std::string digits = "12345";
    std::string classes;
    EXPECT_TRUE(DolociZvocnost(std::vector<int>{0, 1, 2, 3}, digits, classes));
    EXPECT_EQ(classes, "vznn");
    // A bad digit and an index outside the inventory: obstruent, and failure.
    EXPECT_FALSE(DolociZvocnost(std::vector<int>{4, 0, 9, -1}, digits, classes));
    EXPECT_EQ(classes, "nvnn");
}

}  // namespace
}  // namespace sint
