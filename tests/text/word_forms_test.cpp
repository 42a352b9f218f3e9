// The form lexicon of the number stage and the agreement chosen from it, on a
// small lexicon written for the test; the engine without a lexicon falls back
// to its ending rules.
#include "text/word_forms.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/text/text_test_support.h"
#include "text/char_classes.h"
#include "text/number_agreement.h"

namespace sint {
namespace {

using C = GrammarCase;
using N = GrammarNumber;

// Nouns, prepositions, numerals and ordinals in the derived file's format; the
// last two lines are malformed and skipped.
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
    "N\tkratka\tf\n"
    "C\tdva\tx\tdu\tdva\n";

class WordFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::write_file(dir_.path() / "oblike.lex", kLexicon);
        ASSERT_EQ(forms_.load((dir_.path() / "oblike.lex").string()), 0);
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
}

TEST(WordForms, AMissingFileLeavesTheLexiconEmpty) {
    WordForms forms;
    EXPECT_EQ(forms.load("/nonexistent/oblike.lex"), -1);
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
