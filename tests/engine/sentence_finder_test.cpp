#include "engine/sentence_finder.h"

#include <gtest/gtest.h>

#include <deque>

#include "engine/word_walk.h"
#include "tests/support/fake_speech_api.h"

namespace sint::test {
namespace {

// A finder whose server answers from a list (0 when the list is empty) and
// that remembers the texts it was asked about.
struct ScriptedFinder {
    std::deque<long> answers;
    std::vector<std::string> asked;
    SentenceFinder finder{[this](const std::string& text) {
        asked.push_back(text);
        if (answers.empty()) return 0L;
        const long answer = answers.front();
        answers.pop_front();
        return answer;
    }};

    // Walks the words of the list as the engine does; returns, for every word,
    // whether it ended a sentence.
    std::vector<bool> walk(const SPVTEXTFRAG* list) {
        finder.build(list);
        std::vector<bool> ends;
        for (const SPVTEXTFRAG* f = list; f; f = f->pNext) {
            if (f->State.eAction != SPVA_Speak) continue;
            const WCHAR* next = f->pTextStart;
            WordSpan word;
            while (take_word(next, f->pTextStart + f->ulTextLen, word))
                ends.push_back(finder.ends_sentence(f, word.start, word.end));
        }
        return ends;
    }
};

TEST(SentenceFinder, TwoSentencesInOneFragment) {
    // The full stop at 9, the question mark at 18.
    for (long first_answer : {10L, 9L}) {
        SCOPED_TRACE(first_answer);
        Fragments fragments;
        fragments.speak(u"Ena dvojk. Tri sto?");
        ScriptedFinder s;
        s.answers = {first_answer, 9};
        const std::vector<bool> expected{false, true, false, true};
        EXPECT_EQ(s.walk(fragments.list()), expected);
        ASSERT_EQ(s.asked.size(), 2u);
        EXPECT_EQ(s.asked[0], "Ena dvojk. Tri sto?");
        EXPECT_EQ(s.asked[1], " Tri sto?");
        EXPECT_EQ(s.finder.sentence_end(), 20u);
    }
}

TEST(SentenceFinder, AnswerOfZeroMakesTheRestOneSentence) {
    Fragments fragments;
    fragments.speak(u"Ena. Dva. Tri.");
    ScriptedFinder s;
    const std::vector<bool> expected{false, false, true};
    EXPECT_EQ(s.walk(fragments.list()), expected);
    EXPECT_EQ(s.asked.size(), 1u);
}

TEST(SentenceFinder, AnswerBeyondTheTextStopsAtItsEnd) {
    Fragments fragments;
    fragments.speak(u"Ena dva");
    ScriptedFinder s;
    s.answers = {5000};
    const std::vector<bool> expected{false, true};
    EXPECT_EQ(s.walk(fragments.list()), expected);
    EXPECT_EQ(s.finder.sentence_end(), 8u);
}

TEST(SentenceFinder, WordsOfSeveralFragmentsAndOtherActionsBetween) {
    Fragments fragments;
    fragments.speak(u"  Prvi\tstavek.").bookmark(u"7").speak(u"Drugi\r\nstavek").silence(10);
    ScriptedFinder s;
    s.answers = {12, 13};
    const std::vector<bool> expected{false, true, false, true};
    EXPECT_EQ(s.walk(fragments.list()), expected);
    EXPECT_EQ(s.finder.text(), "Prvi stavek. Drugi stavek");
    EXPECT_EQ(s.finder.word_count(), 4u);
}

TEST(SentenceFinder, NulEndsAWordAndTheFragmentGoesOn) {
    Fragments fragments;
    fragments.speak(std::u16string(u"ena\0dva", 7));
    ScriptedFinder s;
    s.walk(fragments.list());
    EXPECT_EQ(s.finder.text(), "ena dva");
}

TEST(SentenceFinder, AnswerWithoutSentenceEndStillAdvances) {
    // The answer points into a stretch without an ending character: the end
    // stays where the answer put it (inside "dva"), so the sentence ends with
    // that word, and the next word asks again.
    Fragments fragments;
    fragments.speak(u"Ena. dva tri");
    ScriptedFinder s;
    s.answers = {4, 3, 0};
    EXPECT_EQ(s.walk(fragments.list()), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(s.asked.size(), 3u);

    // A piece of a long text cut after a blank ends with the word before it.
    Fragments pieces;
    pieces.speak(u"ena dva tri stiri");
    ScriptedFinder p;
    p.answers = {8, 0};
    EXPECT_EQ(p.walk(pieces.list()), (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(p.asked, (std::vector<std::string>{"ena dva tri stiri", "tri stiri"}));
}

TEST(SentenceFinder, MissingPointersOrUnknownFragmentEndTheSentence) {
    Fragments fragments;
    fragments.speak(u"Ena dva");
    Fragments other;
    other.speak(u"Tri");
    ScriptedFinder s;
    s.finder.build(fragments.list());
    EXPECT_TRUE(s.finder.ends_sentence(nullptr, nullptr, nullptr));
    EXPECT_TRUE(
        s.finder.ends_sentence(other.list(), other.at(0).pTextStart, other.at(0).pTextStart + 3));
}

TEST(Narrowing, SlovenianLettersAndTheRest) {
    struct Case {
        char16_t wide;
        unsigned char byte;
    };
    const Case cases[] = {
        {u'a', 'a'},       {u'\u010D', 0xE8}, {u'\u010C', 0xC8}, {u'\u0107', 0xE8},
        {u'\u0106', 0xC8}, {u'\u00E6', 0xE8}, {u'\u00C6', 0xC8}, {u'\u0161', 0x9A},
        {u'\u0160', 0x8A}, {u'\u017E', 0x9E}, {u'\u017D', 0x8E}, {u'\u0111', 0xF0},
        {u'\u0110', 0xD0}, {u'\u00E9', 0xE9}, {u'\u0142', '?'},  {u'\u20AC', '?'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.wide));
        EXPECT_EQ(narrow_character(c.wide), c.byte);
    }
}

TEST(Narrowing, DjIsWrittenAsTwoBytesAndCounted) {
    const std::u16string word = u"\u0111a\u0110\u0107";
    EXPECT_EQ(narrow_word(word.data(), word.data() + word.size()),
              "d\x9E"
              "ad\x8E\xE8");

    Fragments fragments;
    fragments.speak(u"\u0110uro gre. Domov.");
    ScriptedFinder s;
    s.answers = {11, 6};
    const std::vector<bool> expected{false, true, true};
    EXPECT_EQ(s.walk(fragments.list()), expected);
    EXPECT_EQ(s.asked[0], "d\x8Euro gre. Domov.");
    EXPECT_EQ(s.asked[1], " Domov.");
}

}  // namespace
}  // namespace sint::test
