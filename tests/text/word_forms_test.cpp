// The form lexicon of the number stage and the agreement chosen from it, on a
// small lexicon written for the test; the engine without a lexicon falls back
// to its ending rules.
#include "text/word_forms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/text/text_test_support.h"
#include "text/char_classes.h"
#include "text/date_case.h"
#include "text/number_agreement.h"

namespace sint {
namespace {

using C = GrammarCase;
using N = GrammarNumber;

// Nouns, prepositions, numerals, ordinals and verbs in the derived file's
// format; the last three lines are malformed and skipped.
constexpr const char* kLexicon =
    "# test\n"
    "P\tpo\tacc,loc\n"
    "P\tod\tgen\n"
    "P\tz\tgen,ins\n"
    "C\ten\tf\tsg\tena,ene,eni,eno,eni,eno\n"
    "C\ten\tma\tsg\ten,enega,enemu,enega,enem,enim\n"
    "C\tpet\tm\tpl\tpet,petih,petim,pet,petih,petimi\n"
    "O\tpeti\tm\tsg\tpeti,petega,petemu,peti,petem,petim\n"
    "O\ttretji\tn\tsg\ttretje,tretjega,tretjemu,tretje,tretjem,tretjim\n"
    "N\tteden\tm\tted\ten,na,nu,en,nu,nom,na,nov,noma,na,nih,noma,ni,nov,nom,ne,nih,ni\n"
    "N\tleto\tn\tlet\to,a,u,o,u,om,i,,oma,i,ih,oma,a,,om,a,ih,i\n"
    "N\tbrat\tma\tbrat\t,a,u,a,u,om,a,ov,oma,a,ih,oma,i/je,ov,om,e,ih,i\n"
    "N\tnoga\tf\tnog\ta,e,i,o,i,o,i,,ama,i,ah,ama,e,,am,e,ah,ami\n"
    "A\tvelik\t,a,e,ega,em,emu,i,ih,im,ima,imi,o\n"
    "V\tbiti\tb\t\tbil,je,sem\n"
    "V\tbiti\tp\tbi\tl,t\n"
    "V\tpriti\tf\tpri\tde,dem\n"
    "V\tpriti\tp\tpri{\tel,la\n"
    "V\tnogati\tf\tnog\to\n"
    "N\tkratka\tf\n"
    "C\tdva\tx\tdu\tdva\n"
    "V\titi\tx\t\tgrem\n";

class WordFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::write_file(dir_.path() / "oblike.lex", kLexicon);
        ASSERT_EQ(
            forms_.load((dir_.path() / "oblike.lex").string(), {{{"peti", 3}, {"tretji", 5}}}), 0);
    }
    test::TempDir dir_;
    WordForms forms_;
};

TEST_F(WordFormsTest, AnswersFromTheFileAndSkipsMalformedLines) {
    ASSERT_NE(forms_.noun("tednih"), nullptr);
    EXPECT_EQ(forms_.noun("tednih")->size(), 2u);  // dual and plural locative
    ASSERT_NE(forms_.noun("let"), nullptr);        // an empty ending: the genitive plural
    EXPECT_EQ(forms_.noun("bratje")->front(), (FormAnalysis{Gender::ma, N::pl, C::nom}));
    EXPECT_EQ(forms_.noun("kratka"), nullptr);
    EXPECT_TRUE(forms_.adjective("velikimi"));
    EXPECT_FALSE(forms_.adjective("tednih"));
    ASSERT_NE(forms_.preposition("z"), nullptr);
    EXPECT_EQ(*forms_.preposition("z"), (std::vector<C>{C::gen, C::ins}));
    EXPECT_EQ(forms_.preposition("dva"), nullptr);
    EXPECT_EQ(*forms_.cardinal("ena", Gender::ma, N::sg, C::acc), "enega");
    EXPECT_EQ(*forms_.cardinal("pet", Gender::m, N::pl, C::loc), "petih");
    EXPECT_EQ(forms_.cardinal("dva", Gender::m, N::du, C::nom), nullptr);
    EXPECT_EQ(forms_.ordinal_ending(false, Gender::m, N::sg, C::dat), "emu");
    EXPECT_EQ(forms_.ordinal_ending(true, Gender::n, N::sg, C::nom), "e");
    EXPECT_EQ(*forms_.noun_form("teden", N::pl, C::ins), "tedni");
    EXPECT_EQ(forms_.noun_lemmas(), 4u);
    EXPECT_EQ(forms_.verb("je"), VerbKind::copula);
    EXPECT_EQ(forms_.verb("bil"), VerbKind::copula);  // "biti" wins over "biti" (to beat)
    EXPECT_EQ(forms_.verb("pridem"), VerbKind::finite);
    EXPECT_EQ(forms_.verb("pri{el"), VerbKind::participle);
    EXPECT_EQ(forms_.verb("grem"), VerbKind::none);
    EXPECT_EQ(forms_.verb("tednih"), VerbKind::none);
}

TEST(WordForms, AMissingFileLeavesTheLexiconEmpty) {
    WordForms forms;
    EXPECT_EQ(forms.load("/nonexistent/oblike.lex", {}), -1);
    EXPECT_TRUE(forms.empty());
    EXPECT_EQ(forms.noun("tednih"), nullptr);
}

struct AgreementCase {
    const char* text;  // the preposition (or nothing), the number's place, the words after
    long last_two;     // 0: an ordinal
    std::optional<FormAnalysis> expected;
};

class Agreement : public WordFormsTest, public ::testing::WithParamInterface<AgreementCase> {};

TEST_P(Agreement, ChoosesTheFormFromThePrepositionAndTheNoun) {
    const AgreementCase& c = GetParam();
    const std::string text = c.text;
    const std::vector<SentenceToken> tokens = sentence_tokens(text);
    const std::size_t number = token_at(tokens, text.find('#'));
    const std::string before = number > 0 ? std::string(tokens[number - 1].text) : "";
    const NumberContext context =
        number_context(tokens, number + 1, before, forms_, test::default_engine().classes());
    const auto got =
        c.last_two == 0 ? ordinal_agreement(context) : count_agreement(c.last_two, context);
    EXPECT_EQ(got, c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Agreement,
    ::testing::Values(AgreementCase{"po # tednih", 6, FormAnalysis{Gender::m, N::pl, C::loc}},
                      AgreementCase{"od # let", 5, std::nullopt},  // "od pet let": as written
                      AgreementCase{"po # let", 5, std::nullopt},
                      AgreementCase{"je # let", 5, std::nullopt},
                      AgreementCase{"z # nogo", 1, FormAnalysis{Gender::f, N::sg, C::ins}},
                      AgreementCase{"ima # brata", 1, FormAnalysis{Gender::ma, N::sg, C::acc}},
                      AgreementCase{"z # velikimi nogami", 3,
                                    FormAnalysis{Gender::f, N::pl, C::ins}},
                      AgreementCase{"je # tednu", 0, FormAnalysis{Gender::m, N::sg, C::dat}},
                      AgreementCase{"po # tednu", 0, FormAnalysis{Gender::m, N::sg, C::loc}},
                      AgreementCase{"je # hiša", 0, std::nullopt},  // a noun the lexicon lacks
                      AgreementCase{"po # tednu", 2, std::nullopt}));

struct DateCase {
    const char* text;  // a sentence as the number stage sees it
    std::vector<C> expected;
    bool lexicon = true;
};

class DateCases : public WordFormsTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(DateCases, ComeFromThePrepositionOrTheVerbsOfTheClause) {
    const DateCase& c = GetParam();
    DateRules rules;
    rules.genitive_prepositions = {"od", "do"};
    rules.preposition_cases = {{"na", C::acc}, {"po", C::loc}};
    rules.verb_words = {"se"};
    rules.participle_endings = {"l", "la"};
    rules.list_words = {"in", "do"};
    const std::string text = c.text;
    const std::vector<SentenceToken> tokens = sentence_tokens(text);
    std::vector<C> got;
    for (const DateSpan& date :
         find_dates(tokens, rules, c.lexicon ? &forms_ : nullptr, test::default_engine().classes()))
        got.push_back(date.kase);
    EXPECT_EQ(got, c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateCases,
    ::testing::Values(DateCase{"Pridem 20 | 9 .", {C::gen}},  // a verb of its own
                      DateCase{"Pri{el je 1 | 3 | , on pa 5 | 3 .", {C::gen, C::nom}},
                      DateCase{"Poro~ila sta se 12 | 6 | 2001 .", {C::gen}},  // "se"
                      DateCase{"Odpotoval je 5 | 5 .", {C::gen}},  // unknown, -l beside "je"
                      DateCase{"Odpotoval ga 5 | 5 .", {C::nom}},
                      DateCase{"Danes je 5 | 5 | in pridem .", {C::nom}},  // the predicate of "je"
                      DateCase{"Rok : 31 | 12 | 2027 .", {C::nom}},
                      DateCase{"Nogo 5 | 5 .", {C::nom}},  // a noun of the same letters as a verb
                      DateCase{"Pridem na 5 | 5 | ali po 7 | 5 .", {C::acc, C::loc}},
                      DateCase{"Z 5 | 5 | pridem .", {C::gen}},  // the lexicon's first case
                      DateCase{"Od 1 | 12 | do 3 | 12 | , ne pa 1 | 12 | do 3 | 12 .",
                               {C::gen, C::gen, C::nom, C::nom}},
                      DateCase{"Od 1 | do 5 | 5 | , 3 | in 4 | 5 .",
                               {C::gen, C::gen, C::nom, C::nom}},
                      DateCase{"Bil je 45 | 3 | in 5 | 13 .", {}},  // no day, no month
                      DateCase{"Pridem 20 | 9 .", {C::nom}, false},
                      DateCase{"Dobimo se 15 | 3 .", {C::gen}, false}));

TEST(WordForms, WithoutTheLexiconCountsKeepTheEndingRules) {
    test::default_engine();  // fills the default settings
    TextOptions options = test::default_engine_settings();
    options.word_forms_path = "/nonexistent/oblike.lex";
    TGFP engine(test::default_profile_path(), options, "/nonexistent/index.ndx");
    std::string numbers;
    engine.set_stage_observer([&](std::string_view stage, const std::string& text) {
        if (stage == "numbers") numbers = text;
    });
    engine.convert_text("Vrnil se je po 6 tednih, s 3 otroki.", true);
    EXPECT_NE(numbers.find("po {est tednih"), std::string::npos) << numbers;
    EXPECT_NE(numbers.find("s tremi otroki"), std::string::npos) << numbers;
}

}  // namespace
}  // namespace sint
