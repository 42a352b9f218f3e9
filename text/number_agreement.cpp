#include "text/number_agreement.h"

#include <algorithm>
#include <array>

#include "text/char_classes.h"

namespace sint {

namespace {

// The cases in the order one is taken when the noun's form allows several:
// the nominative of a subject first, then the object, then the rest; the
// locative before the dative, which a preposition governs more seldom ("pri
// enem letu").
constexpr std::array<GrammarCase, kCaseCount> kCasePreference = {
    GrammarCase::nom, GrammarCase::acc, GrammarCase::gen,
    GrammarCase::loc, GrammarCase::dat, GrammarCase::ins};
// An ordinal more often stands before a singular noun than before a plural.
constexpr std::array<GrammarNumber, kGrammarNumberCount> kNumberPreference = {
    GrammarNumber::sg, GrammarNumber::pl, GrammarNumber::du};

bool has_case(const std::vector<GrammarCase>& cases, GrammarCase kase) {
    return std::find(cases.begin(), cases.end(), kase) != cases.end();
}

// The small-letter form of a token of letters alone; empty otherwise.
std::string word_of(std::string_view token, const CharClassTable& classes) {
    std::string word;
    for (char c : token) {
        const auto u = static_cast<unsigned char>(c);
        if (!classes.is_letter(u)) return std::string();
        word += static_cast<char>(classes.to_lower(u));
    }
    return word;
}

// The analysis among `candidates` that comes first by number and by case.
std::optional<FormAnalysis> preferred(const std::vector<FormAnalysis>& candidates) {
    for (GrammarNumber number : kNumberPreference)
        for (GrammarCase kase : kCasePreference)
            for (const FormAnalysis& a : candidates)
                if (a.number == number && a.kase == kase) return a;
    return std::nullopt;
}

// The noun's analyses that fit the preposition before the number; without one
// the locative, which only a preposition governs, is left out.
std::vector<FormAnalysis> governed_analyses(const NumberContext& context) {
    std::vector<FormAnalysis> out;
    for (const FormAnalysis& a : *context.noun) {
        const bool fits =
            context.governed ? has_case(*context.governed, a.kase) : a.kase != GrammarCase::loc;
        if (fits) out.push_back(a);
    }
    return out;
}

}  // namespace

std::vector<SentenceToken> sentence_tokens(std::string_view text) {
    std::vector<SentenceToken> tokens;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t end = text.find(' ', i);
        if (end == std::string_view::npos) end = text.size();
        tokens.push_back({text.substr(i, end - i), i});
        i = end;
    }
    return tokens;
}

std::size_t token_at(const std::vector<SentenceToken>& tokens, std::size_t offset) {
    const auto it =
        std::lower_bound(tokens.begin(), tokens.end(), offset,
                         [](const SentenceToken& t, std::size_t o) { return t.begin < o; });
    return static_cast<std::size_t>(it - tokens.begin());
}

NumberContext number_context(const std::vector<SentenceToken>& tokens, std::size_t after,
                             std::string_view before, const WordForms& forms,
                             const CharClassTable& classes) {
    NumberContext context;
    if (!before.empty()) context.governed = forms.preposition(before);
    for (std::size_t k = after; k < tokens.size() && k <= after + kAdjectivesBeforeNounMax; ++k) {
        const std::string word = word_of(tokens[k].text, classes);
        if (word.empty()) break;
        const std::vector<FormAnalysis>* noun = forms.noun(word);
        const bool adjective = forms.adjective(word);
        // "dobra" is both: an adjective when a noun follows it.
        const bool noun_follows = adjective && k + 1 < tokens.size() &&
                                  forms.noun(word_of(tokens[k + 1].text, classes)) != nullptr;
        if (noun && !noun_follows) {
            context.noun = noun;
            break;
        }
        if (!adjective) break;
    }
    return context;
}

std::optional<FormAnalysis> count_agreement(long last_two, const NumberContext& context) {
    if (!context.noun || last_two <= 0 || last_two > 99) return std::nullopt;
    const GrammarNumber required = last_two == 1   ? GrammarNumber::sg
                                   : last_two == 2 ? GrammarNumber::du
                                                   : GrammarNumber::pl;
    const bool five_up = last_two >= 5;
    // From five up the nominative and accusative count a genitive plural, and
    // the count keeps its plain form ("pet let", "za pet let").
    const bool counted_genitive =
        five_up && std::any_of(context.noun->begin(), context.noun->end(), [](const auto& a) {
            return a.number == GrammarNumber::pl && a.kase == GrammarCase::gen;
        });
    // After a preposition of the genitive too: "do dvajset centimetrov", "od
    // pet let", as news and speech say it.
    if (counted_genitive) return std::nullopt;
    std::vector<FormAnalysis> candidates;
    for (const FormAnalysis& a : governed_analyses(context)) {
        if (a.number != required) continue;
        if (five_up && (a.kase == GrammarCase::nom || a.kase == GrammarCase::acc)) continue;
        candidates.push_back(a);
    }
    return preferred(candidates);
}

std::optional<FormAnalysis> ordinal_agreement(const NumberContext& context) {
    if (!context.noun) return std::nullopt;
    return preferred(governed_analyses(context));
}

}  // namespace sint
