// WordForms: the Slovenian word forms the number stage agrees a number with,
// read from the voice's form lexicon (`oblike.lex` in the dictionary folder,
// derived at build time from a morphological generator by
// tools/lexicon/derive_lexicon.py). It tells the gender, number and case of a
// noun form, whether a word is an adjective or a form of a verb, which cases a
// preposition governs, and gives the cardinal and ordinal numerals in every
// form. Without
// the file every query finds nothing and the stage keeps its ending rules.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace sint {

// The file's name in the dictionary folder.
inline constexpr std::string_view kWordFormsFile = "oblike.lex";
// Cases, in the order of the file: nominative, genitive, dative, accusative,
// locative, instrumental.
enum class GrammarCase : unsigned char { nom, gen, dat, acc, loc, ins };
inline constexpr std::size_t kCaseCount = 6;
enum class GrammarNumber : unsigned char { sg, du, pl };
inline constexpr std::size_t kGrammarNumberCount = 3;
// Masculine inanimate, masculine animate ("brat": its accusative is its
// genitive), feminine, neuter.
enum class Gender : unsigned char { m, ma, f, n };
inline constexpr std::size_t kGenderCount = 4;

// What a verb form tells of its clause: a finite form (present, imperative,
// infinitive), a participle ("prišel", "sprejet") or a form of "biti", which
// joins a participle or a predicate; the stronger kind wins where forms of
// several verbs meet ("bil").
enum class VerbKind : unsigned char { none, finite, participle, copula };

struct FormAnalysis {
    Gender gender;
    GrammarNumber number;
    GrammarCase kase;
    bool operator==(const FormAnalysis&) const = default;
};

// The case named "nom", "gen", "dat", "acc", "loc" or "ins"; false for any
// other text.
bool parse_case(std::string_view text, GrammarCase& kase);

// An ordinal of the lexicon whose forms give the ordinal endings, and the
// length of its stem ("peti", 3: "pet-ega").
struct OrdinalModel {
    std::string lemma;
    std::size_t stem = 0;
};

class WordForms {
public:
    // Reads the lexicon; returns 0, or -1 when the file cannot be read (the
    // lexicon then stays empty). A malformed line is skipped. The ordinal
    // endings after a hard and a soft stem are those of `models` (an empty
    // lemma or one the lexicon lacks gives none).
    int load(const std::string& path, const std::array<OrdinalModel, 2>& models);
    bool empty() const { return nouns_.empty(); }

    // The analyses of a noun form (small letters, internal letter codes).
    const std::vector<FormAnalysis>* noun(std::string_view word) const;
    bool adjective(std::string_view word) const;
    VerbKind verb(std::string_view word) const;
    // The cases a preposition governs, empty when the word is none.
    const std::vector<GrammarCase>* preposition(std::string_view word) const;
    // The cardinal whose nominative (of any gender) is `word` ("ena", "dva",
    // "enaindvajset") in the given form; null when the lexicon lacks it.
    const std::string* cardinal(std::string_view word, Gender gender, GrammarNumber number,
                                GrammarCase kase) const;
    // True when `word` is a form of a cardinal ("tremi", "štirih").
    bool cardinal_form(std::string_view word) const {
        return cardinal_forms_.count(std::string(word)) > 0;
    }
    // The ending of an ordinal after its stem ("pet-emu", "tretj-ega"): after a
    // hard stem, or after a soft one; empty when the lexicon has none.
    const std::string& ordinal_ending(bool soft, Gender gender, GrammarNumber number,
                                      GrammarCase kase) const;
    // The form of the noun `lemma`; null when the lexicon lacks it.
    const std::string* noun_form(std::string_view lemma, GrammarNumber number,
                                 GrammarCase kase) const;

    // Adds the noun `lemma` (a unit the lexicon lacks: "liter") declined like
    // the lexicon noun of its gender with the longest common ending ("meter")
    // whose forms give `known`: the nominative singular, dual and plural and
    // the genitive plural. False when the lexicon has the noun or no model fits.
    bool add_by_analogy(const std::string& lemma, Gender gender,
                        const std::array<std::string, 4>& known);

    std::size_t noun_lemmas() const { return noun_lemmas_.size(); }
    std::size_t noun_forms() const { return nouns_.size(); }

private:
    using Forms = std::array<std::string, kCaseCount>;
    static std::size_t slot(Gender gender, GrammarNumber number) {
        return static_cast<std::size_t>(gender) * kGrammarNumberCount +
               static_cast<std::size_t>(number);
    }

    using NounForms = std::array<std::string, kCaseCount * kGrammarNumberCount>;
    void add_noun_form(const std::string& form, const FormAnalysis& analysis);

    std::unordered_map<std::string, std::vector<FormAnalysis>> nouns_;
    // The first gender and forms of each noun lemma, sg, du, pl after another.
    struct NounLemma {
        Gender gender;
        NounForms forms;
    };
    std::unordered_map<std::string, NounLemma> noun_lemmas_;
    std::unordered_set<std::string> adjectives_;
    std::unordered_map<std::string, VerbKind> verbs_;
    std::unordered_map<std::string, std::vector<GrammarCase>> prepositions_;
    // Cardinals by lemma, then gender × number.
    std::unordered_map<std::string, std::array<Forms, kGenderCount * kGrammarNumberCount>>
        cardinals_;
    std::unordered_map<std::string, std::string> cardinal_lemma_;  // a nominative -> its lemma
    std::unordered_set<std::string> cardinal_forms_;
    std::array<std::array<Forms, kGenderCount * kGrammarNumberCount>, 2> ordinal_endings_;
};

}  // namespace sint
