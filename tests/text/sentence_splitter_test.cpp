// Sentence splitting in whole-text mode, through the default profile's classes.
#include "text/sentence_splitter.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/profile_file.h"
#include "text_test_support.h"

namespace sint {
namespace {

class SplitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProfileFile profile(test::default_profile_path(), false);
        ASSERT_EQ(classes_.load(profile), 0);
        words_.load(profile);
    }
    std::string split(const std::string& text) {
        SentenceSplitter splitter(classes_, words_);
        std::string out;
        splitter.split_all(text, out, kStageLimit);
        return out;
    }
    std::vector<std::string> sentences(const std::string& text) {
        SentenceSplitter splitter(classes_, words_);
        std::vector<std::string> result;
        std::string out;
        const std::string* input = &text;
        while (splitter.split_next(input, out, kStageLimit) > 0) {
            result.push_back(out);
            input = nullptr;
        }
        return result;
    }
    CharClassTable classes_;
    SplitterWords words_;
};

TEST_F(SplitterTest, WholeTextTable) {
    const std::pair<std::string, std::string> cases[] = {
        {"Bil je 5. maja doma.", "Bil je 5 | maja doma . "},
        {"To je 3.5 kg.", "To je 3 \" 5 kg . "},
        {"Res? Da.", "Res ? Da . "},
        {"Kaj?! Ja.", "Kaj ? Ja . "},
        {"Tako je bilo...", "Tako je bilo . ] . "},
        {"Prvi odstavek\n\nDrugi", "Prvi odstavek . } Drugi . "},
        {"Prvi.\n\nDrugi", "Prvi . } Drugi . "},
        {"lepo-\ntno", "lepotno . "},
        {"Vrste\nse lomijo", "Vrste se lomijo . "},
        {"Temperatura -5 in 2,5 stopinje", "Temperatura \\ 5 in 2 ' 5 stopinje . "},
        {"Npr. jutri", "Npr . jutri . "},
        {"To je npr. jutri in oz. danes", "To je npr jutri in oz danes . "},
        {"abc123def", "abc 123 def . "},
        {"  ,,, Zdravo", "Zdravo . "},
        {"A (b) c: d; e", "A ( b ) c : d ; e . "},
        {"Ime. Drugo", "Ime . Drugo . "},
        {"Vse*skupaj", "Vseskupaj . "},
        {"Rekel je \"Da.\" Potem.", "Rekel je Da . Potem . "},
        {"'Res' je", "Res je . "},
        {"", ""},
        {" \n\n ", ""},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(split(in), out);
    }
}

TEST_F(SplitterTest, SentenceModeTable) {
    EXPECT_EQ(sentences("Res? Da."), (std::vector<std::string>{"Res ? ", "Da . "}));
    EXPECT_EQ(sentences("Npr. jutri"), (std::vector<std::string>{"Npr . ", "jutri . "}));
    EXPECT_EQ(sentences("Bil je 5. maja doma."),
              (std::vector<std::string>{"Bil je 5 | maja doma . "}));
    EXPECT_EQ(sentences("A\n\nB"), (std::vector<std::string>{"A . } . ", "B . "}));
}

TEST_F(SplitterTest, OverlongSentenceIsCutWithTheMessage) {
    std::string text;
    while (text.size() < 9000) text += "abcdefg ";
    clear_error();
    const auto parts = sentences(text);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(last_error(), "*** Stavek je predolg. Razdeljen bo na 2 stavka.");
    // Cut at the first blank after more than 8191 characters (1025 words of 8).
    EXPECT_EQ(parts[0], text.substr(0, 1025 * 8 - 1) + " . ");
    EXPECT_EQ(parts[1], text.substr(1025 * 8, text.size() - 1025 * 8 - 1) + " . ");
}

TEST_F(SplitterTest, SentenceWithoutBlanksIsCutAtTheHardLimit) {
    const std::string text(20000, 'a');
    const auto parts = sentences(text);
    ASSERT_GE(parts.size(), 3u);
    for (const std::string& part : parts) EXPECT_LE(part.size(), kSentenceHardMax + 3);
}

TEST_F(SplitterTest, OutputNeverPassesTheLimit) {
    SentenceSplitter splitter(classes_, words_);
    std::string text;
    for (int i = 0; i < 500; ++i) text += "Ena, dve. ";
    std::string out;
    splitter.split_all(text, out, 100);
    EXPECT_LE(out.size(), 100u);
    EXPECT_EQ(out.substr(out.size() - 2), ". ");
}

}  // namespace
}  // namespace sint
