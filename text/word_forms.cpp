#include "text/word_forms.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace sint {

namespace {

// Letters of the shortest common ending of a noun and the model it is
// declined after.
constexpr std::size_t kAnalogyEndingMin = 2;

std::vector<std::string> split(const std::string& text, char separator) {
    if (text.empty()) return {std::string()};  // an empty ending
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

bool parse_gender(const std::string& text, Gender& gender) {
    static constexpr std::string_view kNames[] = {"m", "ma", "f", "n"};
    for (std::size_t i = 0; i < kGenderCount; ++i)
        if (text == kNames[i]) {
            gender = static_cast<Gender>(i);
            return true;
        }
    return false;
}

bool parse_number(const std::string& text, GrammarNumber& number) {
    static constexpr std::string_view kNames[] = {"sg", "du", "pl"};
    for (std::size_t i = 0; i < kGrammarNumberCount; ++i)
        if (text == kNames[i]) {
            number = static_cast<GrammarNumber>(i);
            return true;
        }
    return false;
}

}  // namespace

bool parse_case(std::string_view text, GrammarCase& kase) {
    static constexpr std::string_view kNames[] = {"nom", "gen", "dat", "acc", "loc", "ins"};
    for (std::size_t i = 0; i < kCaseCount; ++i)
        if (text == kNames[i]) {
            kase = static_cast<GrammarCase>(i);
            return true;
        }
    return false;
}

int WordForms::load(const std::string& path, const std::array<OrdinalModel, 2>& models) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return -1;
    std::unordered_map<std::string, std::array<Forms, kGenderCount * kGrammarNumberCount>> ordinals;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = split(line, '\t');
        Gender gender{};
        GrammarNumber number{};
        if (f[0] == "P" && f.size() == 3) {
            std::vector<GrammarCase> cases;
            for (const std::string& name : split(f[2], ',')) {
                GrammarCase kase{};
                if (parse_case(name, kase)) cases.push_back(kase);
            }
            if (!cases.empty()) prepositions_[f[1]] = cases;
        } else if ((f[0] == "C" || f[0] == "O") && f.size() == 5 && parse_gender(f[2], gender) &&
                   parse_number(f[3], number)) {
            const std::vector<std::string> forms = split(f[4], ',');
            if (forms.size() != kCaseCount) continue;
            auto& table = f[0] == "C" ? cardinals_[f[1]] : ordinals[f[1]];
            Forms& row = table[slot(gender, number)];
            for (std::size_t c = 0; c < kCaseCount; ++c) row[c] = forms[c];
            if (f[0] == "C") {
                cardinal_lemma_.emplace(forms[0], f[1]);
                cardinal_forms_.insert(forms.begin(), forms.end());
            }
        } else if (f[0] == "N" && f.size() == 5 && parse_gender(f[2], gender)) {
            const std::vector<std::string> endings = split(f[4], ',');
            if (endings.size() != kCaseCount * kGrammarNumberCount) continue;
            auto [lemma, fresh] = noun_lemmas_.try_emplace(f[1], NounLemma{gender, {}});
            for (std::size_t s = 0; s < endings.size(); ++s) {
                if (endings[s] == "-") continue;
                const auto n = static_cast<GrammarNumber>(s / kCaseCount);
                const auto c = static_cast<GrammarCase>(s % kCaseCount);
                bool first = true;
                for (const std::string& ending : split(endings[s], '/')) {
                    std::string form = f[3] + ending;
                    if (fresh && first) lemma->second.forms[s] = form;
                    first = false;
                    add_noun_form(form, {gender, n, c});
                }
            }
        } else if (f[0] == "A" && f.size() == 3) {
            for (const std::string& ending : split(f[2], ',')) adjectives_.insert(f[1] + ending);
        } else if (f[0] == "V" && f.size() == 5 && f[2].size() == 1) {
            const VerbKind kind = f[2] == "b"   ? VerbKind::copula
                                  : f[2] == "p" ? VerbKind::participle
                                  : f[2] == "f" ? VerbKind::finite
                                                : VerbKind::none;
            if (kind == VerbKind::none) continue;
            for (const std::string& ending : split(f[4], ',')) {
                VerbKind& known = verbs_[f[3] + ending];
                known = std::max(known, kind);
            }
        }
    }
    // The endings of the model ordinals after their stems.
    for (std::size_t soft = 0; soft < 2; ++soft) {
        const auto it = ordinals.find(models[soft].lemma);
        if (models[soft].lemma.empty() || it == ordinals.end()) continue;
        const std::size_t stem = models[soft].stem;
        for (std::size_t s = 0; s < it->second.size(); ++s)
            for (std::size_t c = 0; c < kCaseCount; ++c) {
                const std::string& form = it->second[s][c];
                ordinal_endings_[soft][s][c] = form.size() > stem ? form.substr(stem) : "";
            }
    }
    return 0;
}

void WordForms::add_noun_form(const std::string& form, const FormAnalysis& analysis) {
    std::vector<FormAnalysis>& analyses = nouns_[form];
    if (std::find(analyses.begin(), analyses.end(), analysis) == analyses.end())
        analyses.push_back(analysis);
}

bool WordForms::add_by_analogy(const std::string& lemma, Gender gender,
                               const std::array<std::string, 4>& known) {
    if (lemma.empty() || noun_lemmas_.count(lemma) > 0) return false;
    // The slots of the known forms: nominative singular, dual, plural and the
    // genitive plural.
    constexpr std::size_t kKnownSlots[] = {
        0, kCaseCount, 2 * kCaseCount, 2 * kCaseCount + static_cast<std::size_t>(GrammarCase::gen)};
    const auto common_ending = [&](const std::string& other) {
        std::size_t n = 0;
        while (n < lemma.size() && n < other.size() &&
               lemma[lemma.size() - 1 - n] == other[other.size() - 1 - n])
            ++n;
        return n;
    };
    // The forms of `model` with its stem before the common ending replaced.
    const auto declined = [&](const std::string& model, const NounForms& forms, std::size_t n) {
        const std::string from = model.substr(0, model.size() - n);
        const std::string to = lemma.substr(0, lemma.size() - n);
        NounForms out;
        for (std::size_t s = 0; s < forms.size(); ++s)
            if (forms[s].starts_with(from)) out[s] = to + forms[s].substr(from.size());
        return out;
    };
    const std::string* best = nullptr;
    std::size_t best_ending = 0;
    NounForms best_forms;
    for (const auto& [model, entry] : noun_lemmas_) {
        const std::size_t n = common_ending(model);
        // The longest ending wins, of equal ones the first in the alphabet, so
        // that every platform declines alike.
        if (entry.gender != gender || n < kAnalogyEndingMin || n < best_ending ||
            (n == best_ending && best && model > *best))
            continue;
        NounForms forms = declined(model, entry.forms, n);
        bool fits = true;
        for (std::size_t k = 0; k < known.size(); ++k)
            fits = fits && forms[kKnownSlots[k]] == known[k];
        if (!fits) continue;
        best = &model;
        best_ending = n;
        best_forms = std::move(forms);
    }
    if (!best) return false;
    for (std::size_t s = 0; s < best_forms.size(); ++s)
        if (!best_forms[s].empty())
            add_noun_form(best_forms[s], {gender, static_cast<GrammarNumber>(s / kCaseCount),
                                          static_cast<GrammarCase>(s % kCaseCount)});
    noun_lemmas_.emplace(lemma, NounLemma{gender, best_forms});
    return true;
}

const std::vector<FormAnalysis>* WordForms::noun(std::string_view word) const {
    const auto it = nouns_.find(std::string(word));
    return it == nouns_.end() ? nullptr : &it->second;
}

bool WordForms::adjective(std::string_view word) const {
    return adjectives_.count(std::string(word)) > 0;
}

VerbKind WordForms::verb(std::string_view word) const {
    const auto it = verbs_.find(std::string(word));
    return it == verbs_.end() ? VerbKind::none : it->second;
}

const std::vector<GrammarCase>* WordForms::preposition(std::string_view word) const {
    const auto it = prepositions_.find(std::string(word));
    return it == prepositions_.end() ? nullptr : &it->second;
}

const std::string* WordForms::cardinal(std::string_view word, Gender gender, GrammarNumber number,
                                       GrammarCase kase) const {
    const auto lemma = cardinal_lemma_.find(std::string(word));
    if (lemma == cardinal_lemma_.end()) return nullptr;
    const auto it = cardinals_.find(lemma->second);
    if (it == cardinals_.end()) return nullptr;
    const std::string& form = it->second[slot(gender, number)][static_cast<std::size_t>(kase)];
    return form.empty() ? nullptr : &form;
}

const std::string& WordForms::ordinal_ending(bool soft, Gender gender, GrammarNumber number,
                                             GrammarCase kase) const {
    return ordinal_endings_[soft ? 1 : 0][slot(gender, number)][static_cast<std::size_t>(kase)];
}

const std::string* WordForms::noun_form(std::string_view lemma, GrammarNumber number,
                                        GrammarCase kase) const {
    const auto it = noun_lemmas_.find(std::string(lemma));
    if (it == noun_lemmas_.end()) return nullptr;
    const std::string& form =
        it->second
            .forms[static_cast<std::size_t>(number) * kCaseCount + static_cast<std::size_t>(kase)];
    return form.empty() ? nullptr : &form;
}

}  // namespace sint
