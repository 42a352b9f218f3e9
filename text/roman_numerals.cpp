#include "text/roman_numerals.h"

#include <algorithm>

#include "core/profile_file.h"
#include "text/char_classes.h"
#include "text/numbers.h"
#include "text/profile_lists.h"

namespace sint {
namespace {

// Largest value written with I, V and X alone.
constexpr int kRomanMax = 39;

bool roman_letter(char c) {
    return c == 'I' || c == 'V' || c == 'X';
}

std::string roman_text(int value) {
    static constexpr std::pair<int, std::string_view> kParts[] = {
        {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
    std::string out;
    for (const auto& [part, letters] : kParts) {
        while (value >= part) {
            out += letters;
            value -= part;
        }
    }
    return out;
}

// The letters of the word that ends at `end` (past blanks), or empty when
// something else than blanks stands between.
std::string_view word_before(std::string_view in, std::size_t end, const CharClassTable& classes) {
    std::size_t k = end;
    while (k > 0 && (in[k - 1] == ' ' || in[k - 1] == '\t')) --k;
    if (k == end) return {};
    std::size_t start = k;
    while (start > 0 && classes.is_letter(static_cast<unsigned char>(in[start - 1]))) --start;
    if (start > 0 && !CharClassTable::is_space(static_cast<unsigned char>(in[start - 1])) &&
        in[start - 1] != '(')
        return {};
    return in.substr(start, k - start);
}

// A name: a capital followed by small letters only.
bool capitalised(std::string_view word, const CharClassTable& classes) {
    if (word.size() < 2 || !classes.is_capital(static_cast<unsigned char>(word[0]))) return false;
    return std::all_of(word.begin() + 1, word.end(),
                       [&](char c) { return classes.is_small(static_cast<unsigned char>(c)); });
}

}  // namespace

int roman_value(std::string_view numeral) {
    if (numeral.empty() || !std::all_of(numeral.begin(), numeral.end(), roman_letter)) return 0;
    int value = 0;
    for (std::size_t i = 0; i < numeral.size(); ++i) {
        const int here = numeral[i] == 'X' ? 10 : numeral[i] == 'V' ? 5 : 1;
        const char next = i + 1 < numeral.size() ? numeral[i + 1] : '\0';
        const int after = next == 'X' ? 10 : next == 'V' ? 5 : next == 'I' ? 1 : 0;
        value += here < after ? -here : here;
    }
    if (value <= 0 || value > kRomanMax || roman_text(value) != numeral) return 0;
    return value;
}

int RomanNumerals::load(ProfileFile& profile) {
    prepositions_.clear();
    if (profile.count_items("predlogi", '\t') > 0)
        read_list_items(profile, "predlogi", '\t', prepositions_);
    read_rule_list(profile, "rimske_imena_konc", masculine_name_endings_);
    return 0;
}

void RomanNumerals::convert(std::string_view in, std::string& out, std::size_t limit,
                            const CharClassTable& classes, const NumberWords& numbers,
                            SourceTrail* trail) const {
    out.clear();
    if (trail) trail->clear();
    const auto copy = [&](std::size_t i) {
        if (out.size() >= limit) return;
        out.push_back(in[i]);
        trace(trail, out.size(), i, true);
    };
    std::size_t i = 0;
    while (i < in.size()) {
        const bool start =
            i == 0 || CharClassTable::is_space(static_cast<unsigned char>(in[i - 1]));
        if (!start || !roman_letter(in[i])) {
            copy(i++);
            continue;
        }
        std::size_t dot = i;
        while (dot < in.size() && roman_letter(in[dot])) ++dot;
        const int value = roman_value(in.substr(i, dot - i));
        // The dot, then a blank, a pause mark or the end.
        const bool numeral = value > 0 && dot < in.size() && in[dot] == '.' &&
                             (dot + 1 == in.size() ||
                              CharClassTable::is_space(static_cast<unsigned char>(in[dot + 1])) ||
                              in[dot + 1] == ',' || in[dot + 1] == ';' || in[dot + 1] == ')');
        if (!numeral) {
            while (i < dot) copy(i++);
            continue;
        }
        std::size_t next = dot + 1;
        while (next < in.size() && CharClassTable::is_space(static_cast<unsigned char>(in[next])))
            ++next;
        std::size_t next_end = next;
        while (next_end < in.size() && classes.is_letter(static_cast<unsigned char>(in[next_end])))
            ++next_end;
        std::string next_word(in.substr(next, next_end - next));
        const bool small_follows =
            !next_word.empty() && classes.is_small(static_cast<unsigned char>(next_word[0]));
        const bool capital_follows =
            !next_word.empty() && classes.is_capital(static_cast<unsigned char>(next_word[0]));
        std::string name(word_before(in, i, classes));
        classes.lower_case(name);
        const bool after_name =
            capitalised(word_before(in, i, classes), classes) &&
            std::find(prepositions_.begin(), prepositions_.end(), name) == prepositions_.end();
        std::string words;
        if (after_name && (dot - i > 1 || !capital_follows)) {
            // A masculine name with the ending of another gender (Hugo, Oto):
            // the ordinal keeps its default ending.
            if (std::any_of(masculine_name_endings_.begin(), masculine_name_endings_.end(),
                            [&](const std::string& e) { return name.ends_with(e); }))
                name.clear();
            words = numbers.ordinal_words(value, name);
        } else if (small_follows) {
            words = numbers.ordinal_words(value, next_word, name);
        } else {
            while (i < dot) copy(i++);
            continue;
        }
        while (!words.empty() && words.back() == ' ') words.pop_back();
        // Before a capitalised word or at the end the dot also ends the sentence.
        if (!small_follows && (capital_follows || next >= in.size())) words += '.';
        out.append(words, 0, std::min(words.size(), limit - std::min(limit, out.size())));
        trace(trail, out.size(), i, false);
        i = dot + 1;
    }
}

}  // namespace sint
