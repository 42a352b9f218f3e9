// NumberWords: the number words of the profile and the number stage, which
// reads digit runs as cardinal words, as ordinals with an ending that agrees
// with the following word, or digit by digit.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "text/date_case.h"
#include "text/number_agreement.h"

namespace sint {

class CharClassTable;
class ProfileFile;

// Entries of `gl_stevnik` and `vrst_koren`: 0 to 99, then 100 to 900 by hundreds.
inline constexpr std::size_t kNumberWordCount = 109;
// Largest value read as words; longer runs are read digit by digit.
inline constexpr long kNumberWordsMax = 999999;
// Largest number read in full when its thousands are grouped with dots
// ("1.234.567.890"); a longer grouped number is read digit by digit.
inline constexpr long long kGroupedNumberMax = 999999999999LL;
// Characters of one digit-by-digit reading; the rest of the run starts a new reading.
inline constexpr std::size_t kDigitReadingMax = 54;
// Small letters of the word after an ordinal that choose its ending.
inline constexpr std::size_t kEndingWordMax = 63;

class NumberWords {
public:
    // `pripravi_stevilke`; returns 0, or -1 after reporting.
    int load(ProfileFile& profile);
    // The form lexicon that counts and ordinals agree with (it must outlive
    // this object); null or empty: the ending rules alone.
    void set_word_forms(const WordForms* forms) { forms_ = forms; }
    // `vrst_vzorci`: the ordinals of the form lexicon whose forms give the
    // endings after a hard and a soft stem ("peti", "tretji"); empty lemmas
    // when the list is absent or not of two.
    const std::array<OrdinalModel, 2>& ordinal_models() const { return ordinal_models_; }
    // `stevnik_vezniki`: the words joining the numbers of a list or range.
    const std::vector<std::string>& list_words() const { return date_rules_.list_words; }

    // The number stage over one sentence text.
    void convert(const std::string& in, std::string& out, const CharClassTable& classes) const;

    // The words for `value` (0 to 999999), cardinal, or ordinal with `ending`.
    std::string words(long value, bool ordinal, const std::string& ending) const;
    // Cardinal words of a number up to kGroupedNumberMax: milliards and
    // millions with the form their count asks for, then words() of the rest.
    std::string grouped_words(long long value) const;
    // The words of `value` (0 to 999999) as the first part of a compound
    // ("enaindvajset" of "enaindvajsetletni"), before `suffix`.
    std::string compound_words(long value, std::string_view suffix) const;
    // The ordinal ending for the word that follows the ordinal (or, for a
    // regnal number, the name before it): `hard` after a hard stem, `soft`
    // after a soft one (tretj-, tisoč-: "tretje poglavje", but "peto").
    struct Ending {
        std::string hard, soft;
    };
    Ending ordinal_ending(std::string_view next_word) const;
    // The ordinal words of `value` agreeing with `next_word`, in a case that
    // the preposition `before` (small letters; empty for none) governs.
    std::string ordinal_words(long value, std::string_view next_word,
                              std::string_view before = {}) const;
    // The ordinal words of `value` in the form `form`; empty when the lexicon
    // has no ending for it.
    std::string agreeing_ordinal(long value, const FormAnalysis& form) const;
    // The cardinal words `cardinal` of `value` with the last word in the form
    // that agrees with `form` ("po šestih tednih", "z eno nogo"); empty when
    // the lexicon lacks it.
    std::string declined_count(const std::string& cardinal, long value,
                               const FormAnalysis& form) const;

    // The cardinal words `cardinal` of `value` (below 1000, ending in 2, 3
    // or 4) agreeing with the word after the number and the preposition
    // before it: "dve hiši", "trije fantje", "v treh letih", "s tremi
    // otroki"; `before` is the word before the number in small letters,
    // empty when it is none that may govern the count.
    std::string agreeing_count(std::string cardinal, long value, std::string_view before,
                               std::string_view next_word) const;

private:
    // True when a word of `datum_rodilnik` ends before `p` (past blanks).
    bool genitive_before(const std::string& in, std::size_t p, const CharClassTable& classes) const;
    // The words of the day or month `value` of a date read in `kase`.
    std::string date_words(long value, GrammarCase kase) const;
    // The words of the ordinal `value`, the digits from `i` to `j`, agreeing
    // with the word after it (or after a second ordinal: "od 10. do 21. ure").
    std::string ordinal_at(const std::string& in, std::size_t i, std::size_t j, long value,
                           const std::vector<SentenceToken>& tokens,
                           const CharClassTable& classes) const;
    // The words of the cardinal `value`, the digits from `i` to `j`, agreeing
    // with the word after it where agreeing_count() says so.
    std::string cardinal_at(const std::string& in, std::size_t i, std::size_t j, long value,
                            const std::vector<SentenceToken>& tokens,
                            const CharClassTable& classes) const;
    // The word before the token at `index` in small letters when it is a
    // preposition of the lexicon; empty otherwise.
    std::string preposition_before(const std::vector<SentenceToken>& tokens, std::size_t index,
                                   const CharClassTable& classes) const;

    // Reads the number words of the lists named below; false after logging a
    // list that is absent or of the wrong length.
    bool load_words(ProfileFile& profile);
    // True when the ordinal stem of `value` is soft (`vrst_mehke_osnove`).
    bool soft_stem(long value) const;

    std::vector<std::string> cardinal_;                            // gl_stevnik
    std::vector<std::string> ordinal_;                             // vrst_koren
    std::vector<std::string> months_;                              // mesec
    std::vector<std::string> month_word_endings_, month_endings_;  // nasl_konc_mes, vrst_konc_mes
    std::vector<std::string> word_endings_, endings_;              // nasl_konc, vrst_konc
    // `vrst_konc_mehki` (optional, as many as `nasl_konc`): the endings after a
    // soft stem; without it a soft stem takes the `vrst_konc` endings.
    std::vector<std::string> soft_endings_;
    // Optional lists of the agreement of 2, 3 and 4 with the word after them:
    // `stevnik_rodilnik` and `stevnik_orodnik`, prepositions after which the
    // count is in the genitive or locative ("dveh") and in the instrumental
    // ("dvema"); `stevnik_drugi_predlogi`, the other prepositions, after which
    // 3 and 4 are no nominative ("za tri dni"); `stevnik_zenski_i`, endings of
    // feminine plurals in -i ("tri stvari"); `stevnik_brez_ujemanja`, words
    // after which (or before which) the count stays as it is ("dva dni", "dva
    // ali tri", "tri proti dve"); `stevnik_oznake`, nouns that a number after
    // them labels ("na strani 2").
    std::vector<std::string> genitive_prepositions_, instrumental_prepositions_;
    std::vector<std::string> other_prepositions_;
    std::vector<std::string> feminine_i_endings_, no_agreement_words_, label_words_;
    // The lists that choose the case of a date (optional): `datum_rodilnik`,
    // prepositions after which a date in numbers is in the genitive ("od 1. 1.
    // 2025": "od prvega prvega"), and an ordinal before a word in -a ("do 2.
    // razreda": "do drugega"); `datum_predlogi`, other prepositions with the
    // case of a date after them; `datum_glagoli` and `deleznik_konc`, words
    // and endings that show a verb in the date's clause; `stevnik_vezniki`,
    // words that join the numbers of a list or a range ("10. in 11.", "5 do
    // 6"): a preposition before the first number governs them all.
    DateRules date_rules_;
    // Millions and milliards (`stevnik_milijoni`, `stevnik_milijarde`): the
    // count words for a count ending in 1 to 4, then the noun's forms for a
    // count ending in 1, in 2, in 3 or 4, and in anything else.
    struct Scale {
        long long size;
        std::array<std::string, 4> counts, forms;
    };
    std::array<Scale, 2> scales_{{{1000000000LL, {}, {}}, {1000000LL, {}, {}}}};
    // `stevnik_2_do_4`: the count words of 2, 3 and 4 that agree with a noun,
    // each as the feminine or neuter dual, the masculine plural nominative,
    // the genitive and locative, the instrumental ("dve dva dveh dvema").
    struct CountForms {
        std::string feminine, masculine, genitive, instrumental;
    };
    std::array<CountForms, 3> count_forms_;
    // `stevnik_tisoc`: the word of a thousand and its counts of one and two
    // ("tisoč", "en", "dva": "en tisoč" only after hundreds).
    std::string thousand_, one_thousand_, two_thousand_;
    // `stevnik_sestavljeni`: one and two as the first part of a compound
    // ("eno", "dvo": "enoletni"), the suffix of times ("krat") and one before
    // it ("en": "enkrat").
    std::string compound_one_, compound_two_, times_suffix_, times_one_;
    // `vrst_konc_rodilnik`: an ordinal's genitive ending without the lexicon
    // ("od prvega"); `vrst_konc_privzeti`: its ending before a word that
    // chooses none ("prvi"); `stevnik_pika`: the dot of a digit read one by one.
    std::string genitive_ending_, default_ending_, digit_dot_;
    // `vrst_mehke_osnove`: the last letters of a soft ordinal stem, whose
    // neuter ends in -e ("tretje", "tisoče"); `vrst_konc_rodilnik_besede`:
    // endings of a word that, after a preposition of `datum_rodilnik`, is a
    // genitive the ordinal agrees with ("do 2. razreda"). Absent: no soft
    // stems, no such genitive.
    std::vector<std::string> soft_stem_ends_, genitive_word_endings_;
    // The endings of the word after 2, 3 or 4 that choose the count's form,
    // each list optional (absent, its form is never chosen): `genitive`, the
    // genitive or locative plural ("v treh letih"); `not_genitive`, the
    // endings of a word that after a preposition of the genitive is no
    // genitive (absent: none is a genitive there); `instrumental`, the
    // instrumental after a preposition of it ("s tremi otroki", "pred dvema
    // letoma"); `dual`, the feminine or neuter dual after 2 ("dve hiši");
    // `masculine_plural`, the masculine plural nominative after 3 or 4
    // unless the word has an ending of `stevnik_zenski_i` ("trije fantje",
    // but "tri stvari").
    struct CountEndings {
        std::vector<std::string> genitive, not_genitive, instrumental, dual, masculine_plural;
    };
    CountEndings count_endings_;
    std::array<OrdinalModel, 2> ordinal_models_;
    const WordForms* forms_ = nullptr;
};

// Appends " ." when `text` does not end with sentence-final punctuation.
void close_sentence(std::string& text, const CharClassTable& classes);

}  // namespace sint
