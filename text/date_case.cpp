#include "text/date_case.h"

#include <algorithm>

#include "text/char_classes.h"

namespace sint {

namespace {

// The splitter's mark after the digits of an ordinal.
constexpr char kOrdinalMark = '|';
// Months of a year and days of a month: the largest numbers of a date.
constexpr long kMonths = 12;
constexpr long kDaysOfMonth = 31;
// Digits of a number the stage takes for a day or a month (longer: none),
// and of a year after a date.
constexpr std::size_t kDayDigitsMax = 2;
constexpr std::size_t kYearDigitsMax = 4;

// What a token tells of the date's clause.
enum class Role : unsigned char { other, finite, participle, copula };

struct Analysed {
    std::string word;  // small letters; empty for a token that is no word
    bool boundary;     // a punctuation mark that ends a clause
    Role role;
};

bool listed(const std::vector<std::string>& list, std::string_view word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

// The value of a token of ASCII digits alone with at most `digits_max`
// digits; -1 otherwise.
long number_of(std::string_view token, std::size_t digits_max) {
    if (token.empty() || token.size() > digits_max) return -1;
    long value = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool is_mark(std::string_view token) {
    return token.size() == 1 && token[0] == kOrdinalMark;
}

std::vector<Analysed> analyse(const std::vector<SentenceToken>& tokens, const DateRules& rules,
                              const WordForms* forms, const CharClassTable& classes) {
    std::vector<Analysed> out;
    out.reserve(tokens.size());
    for (const SentenceToken& token : tokens) {
        Analysed a{std::string(), false, Role::other};
        const auto first = static_cast<unsigned char>(token.text[0]);
        a.boundary =
            token.text.size() == 1 && first != kOrdinalMark && classes.is_final_or_non_final(first);
        for (char c : token.text) {
            const auto u = static_cast<unsigned char>(c);
            if (!classes.is_letter(u)) {
                a.word.clear();
                break;
            }
            a.word += static_cast<char>(classes.to_lower(u));
        }
        if (!a.word.empty() && listed(rules.verb_words, a.word)) {
            a.role = Role::participle;
        } else if (!a.word.empty() && forms) {
            const VerbKind kind = forms->verb(a.word);
            // A noun of the same letters is taken for the noun ("seja",
            // "poročila"); "biti" has none.
            if (kind == VerbKind::copula)
                a.role = Role::copula;
            else if (kind != VerbKind::none && !forms->noun(a.word))
                a.role = kind == VerbKind::participle ? Role::participle : Role::finite;
        }
        out.push_back(std::move(a));
    }
    // A word the lexicon lacks with the ending of an l-participle beside a
    // form of "biti" ("odpotoval je", "je odpotoval").
    if (!forms) return out;
    for (std::size_t k = 0; k < out.size(); ++k) {
        Analysed& a = out[k];
        if (a.word.empty() || a.role != Role::other || forms->noun(a.word) ||
            forms->adjective(a.word) || forms->preposition(a.word) ||
            forms->cardinal_form(a.word) || forms->verb(a.word) != VerbKind::none)
            continue;
        const bool participle_ending =
            std::any_of(rules.participle_endings.begin(), rules.participle_endings.end(),
                        [&](const std::string& e) { return a.word.ends_with(e); });
        const bool beside_copula = (k > 0 && out[k - 1].role == Role::copula) ||
                                   (k + 1 < out.size() && out[k + 1].role == Role::copula);
        if (participle_ending && beside_copula) a.role = Role::participle;
    }
    return out;
}

// The case after the preposition `word`; false when it is none.
bool preposition_case(std::string_view word, const DateRules& rules, const WordForms* forms,
                      GrammarCase& kase) {
    if (listed(rules.genitive_prepositions, word)) {
        kase = GrammarCase::gen;
        return true;
    }
    for (const auto& [preposition, governed] : rules.preposition_cases)
        if (preposition == word) {
            kase = governed;
            return true;
        }
    const std::vector<GrammarCase>* cases = forms ? forms->preposition(word) : nullptr;
    if (!cases || cases->empty()) return false;
    kase = cases->front();
    return true;
}

// The case of a date from the verbs of its clause, the tokens from `first` to
// `last` being the date itself.
GrammarCase clause_case(const std::vector<Analysed>& analysed, std::size_t first,
                        std::size_t last) {
    bool participle = false;
    bool finite = false;
    const auto look = [&](const Analysed& a) {
        participle = participle || a.role == Role::participle;
        finite = finite || a.role == Role::finite;
    };
    for (std::size_t k = first; k > 0 && !analysed[k - 1].boundary; --k) look(analysed[k - 1]);
    for (std::size_t k = last + 1; k < analysed.size() && !analysed[k].boundary; ++k)
        look(analysed[k]);
    // "Prišel je 1. 3.": "je" joins a participle, and the date says when.
    if (participle) return GrammarCase::gen;
    // "Danes je 5. 5.", "Mislim, da je 5. 5.": the date is the predicate.
    if (first > 0 && analysed[first - 1].role == Role::copula) return GrammarCase::nom;
    return finite ? GrammarCase::gen : GrammarCase::nom;
}

}  // namespace

std::vector<DateSpan> find_dates(const std::vector<SentenceToken>& tokens, const DateRules& rules,
                                 const WordForms* forms, const CharClassTable& classes) {
    std::vector<DateSpan> dates;
    std::vector<std::size_t> ends;  // the last token of each date (its year, if any)
    std::vector<Analysed> analysed;
    for (std::size_t k = 0; k + 3 < tokens.size(); ++k) {
        const long day = number_of(tokens[k].text, kDayDigitsMax);
        const long month = number_of(tokens[k + 2].text, kDayDigitsMax);
        const std::string_view after = tokens[k + 3].text;
        if (day < 1 || day > kDaysOfMonth || !is_mark(tokens[k + 1].text) || month < 1 ||
            month > kMonths || !(is_mark(after) || after == "."))
            continue;
        if (analysed.empty()) analysed = analyse(tokens, rules, forms, classes);
        std::size_t end = k + 2;
        if (is_mark(after)) {
            end = k + 3;
            if (end + 1 < tokens.size() && number_of(tokens[end + 1].text, kYearDigitsMax) >= 0)
                ++end;
        }
        GrammarCase kase = GrammarCase::nom;
        const std::string_view before = k > 0 ? tokens[k - 1].text : std::string_view();
        if (k > 1 && !ends.empty() && ends.back() == k - 2 && listed(rules.list_words, before)) {
            // "med 1. 3. in 5. 3.", and "1. 12. do 3. 12." (of "1.12.-3.12.")
            // as its first date.
            kase = dates.back().kase;
        } else if (k > 0 && preposition_case(analysed[k - 1].word, rules, forms, kase)) {
            // "do 15. 3.", "na 5. 5."
        } else {
            kase = clause_case(analysed, k, end);
        }
        // A lone day before the date joined to it ("od 1. do 5. 5.", "3. ali
        // 4. 5."): the case of its own preposition, or of the date.
        const bool lone_day = k > 2 && (ends.empty() || ends.back() < k - 3) &&
                              listed(rules.list_words, before) && is_mark(tokens[k - 2].text) &&
                              number_of(tokens[k - 3].text, kDayDigitsMax) >= 1 &&
                              number_of(tokens[k - 3].text, kDayDigitsMax) <= kDaysOfMonth;
        if (lone_day) {
            GrammarCase own = kase;
            if (k > 3) preposition_case(analysed[k - 4].word, rules, forms, own);
            dates.push_back({k - 3, k - 3, own});
            ends.push_back(k - 2);
        }
        dates.push_back({k, k + 2, kase});
        ends.push_back(end);
        k = end;
    }
    return dates;
}

}  // namespace sint
