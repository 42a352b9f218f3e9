#include "text/units.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "core/log.h"
#include "core/profile_file.h"
#include "text/char_classes.h"
#include "text/number_marks.h"
#include "text/profile_lists.h"
#include "text/text_limits.h"
#include "text/word_forms.h"

namespace sint {

namespace {

// The denominator of the first row of `enote_ulomki` ("1/2").
constexpr int kSmallestDenominator = 2;

// "2x", "3 x": times, one word with the number ("dvakrat").
constexpr std::string_view kTimesSign = "x";
// Tokens after "x" that make it a letter of a formula ("2x + 1 = 5").
constexpr std::string_view kFormulaSigns = "+=\\-/";

// The cases a unit takes after a preposition that governs several, the
// first the preposition allows: "v 5 km" (locative), "s 3 km" (instrumental).
constexpr GrammarCase kUnitCasePreference[] = {GrammarCase::loc, GrammarCase::ins, GrammarCase::dat,
                                               GrammarCase::gen, GrammarCase::acc};

// The lexicon's gender of a unit.
Gender lexicon_gender(const UnitName& unit) {
    return unit.gender == 0 ? Gender::m : unit.gender == 1 ? Gender::f : Gender::n;
}

// A row of a unit table: columns separated by the mark, the abbreviation, the
// gender and the four forms required, the form after "na" and the compound
// stem optional ("-" for none).
constexpr char kColumnMark = '|';
constexpr std::string_view kNoValue = "-";
constexpr std::size_t kRequiredColumns = 6;
constexpr std::size_t kColumnCount = 8;
// The gender letters of a row: masculine, feminine (also as the internal code
// of z with caron), neuter.
constexpr std::string_view kGenderLetters[] = {"m", "z", "s"};
constexpr std::string_view kFeminineCode = "`";

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Replaces each "\xHH" by its byte; false when an escape is incomplete.
bool decode_bytes(std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x' ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 3])))
            return false;
        out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
        i += 3;
    }
    text = std::move(out);
    return true;
}

// Reads a row into `unit`; false when it is malformed.
bool parse_unit(std::string_view row, UnitName& unit) {
    std::vector<std::string> columns;
    for (std::size_t begin = 0;;) {
        const std::size_t end = row.find(kColumnMark, begin);
        columns.push_back(
            trimmed(row.substr(begin, end == std::string_view::npos ? end : end - begin)));
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    if (columns.size() < kRequiredColumns || columns.size() > kColumnCount) return false;
    for (std::string& column : columns) {
        if (column.empty() || !decode_bytes(column)) return false;
        if (column == kNoValue) column.clear();
    }
    unit.abbreviation = columns[0];
    if (columns[1] == kFeminineCode) columns[1] = kGenderLetters[1];
    const auto* gender =
        std::find(std::begin(kGenderLetters), std::end(kGenderLetters), columns[1]);
    if (unit.abbreviation.empty() || gender == std::end(kGenderLetters)) return false;
    unit.gender = static_cast<int>(gender - std::begin(kGenderLetters));
    for (std::size_t k = 0; k < unit.forms.size(); ++k) {
        unit.forms[k] = columns[2 + k];
        if (unit.forms[k].empty()) return false;
    }
    unit.per = columns.size() > 6 ? columns[6] : std::string();
    unit.compound = columns.size() > 7 ? columns[7] : std::string();
    return true;
}

// Reads the unit table `key`: 0, or -1 after reporting a malformed row. A
// missing table is logged and leaves its units unread. Rows of one
// character's units (`one_character`) must have abbreviations of one byte.
int read_unit_table(ProfileFile& profile, std::string_view key, bool one_character,
                    std::vector<UnitName>& out) {
    out.clear();
    std::vector<std::string> rows;
    if (read_list_items(profile, key, '\n', rows) < 0) {
        log_write("V profilu ni tabele enot " + std::string(key) + ", enote ostanejo nebrane");
        return 0;
    }
    for (const std::string& row : rows) {
        UnitName unit;
        if (!parse_unit(row, unit) || (one_character && unit.abbreviation.size() != 1)) {
            report_error("Napacna vrstica enot (" + std::string(key) + "): <" + row + ">");
            return -1;
        }
        out.push_back(std::move(unit));
    }
    return 0;
}

// Reads `key` into `out`, which must then hold a multiple of `group` words
// (a given number when `exact`); false after logging otherwise.
bool read_words(ProfileFile& profile, std::string_view key, std::size_t group, std::size_t exact,
                std::vector<std::string>& out) {
    const int count = read_list_items(profile, key, '\t', out);
    if (count <= 0 || out.size() % group != 0 || (exact != 0 && out.size() != exact)) {
        log_write("Napacno stevilo besed (" + std::string(key) + ")");
        return false;
    }
    return true;
}

// The word lists of the unit stage; 0, or -1 after reporting.
int read_word_lists(ProfileFile& profile, UnitWords& words) {
    constexpr std::size_t kCountForms = 4;    // counts ending in 1, 2, 3 or 4
    constexpr std::size_t kCountGenders = 3;  // masculine, feminine, neuter
    std::vector<std::string> counts, fractions, per, times;
    const bool ok =
        read_words(profile, "enote_stevniki", kCountForms, kCountForms * kCountGenders, counts) &&
        read_words(profile, "enote_ulomki", kCountForms, 0, fractions) &&
        read_words(profile, "enote_na", 1, 1, per) &&
        read_words(profile, "enote_na_besede", 1, 0, words.per_words) &&
        read_words(profile, "enote_krat", 1, 1, times) &&
        read_words(profile, "enote_valute", 1, 0, words.currencies) &&
        read_words(profile, "enote_velikosti", 1, 0, words.scale_words);
    if (!ok) {
        report_error("Napaka: v ini datoteki (ini_gfp): besede enot");
        return -1;
    }
    for (std::size_t k = 0; k < counts.size(); ++k)
        words.count_words[k / kCountForms][k % kCountForms] = counts[k];
    words.fractions.assign(fractions.size() / kCountForms, {});
    for (std::size_t k = 0; k < fractions.size(); ++k)
        words.fractions[k / kCountForms][k % kCountForms] = fractions[k];
    words.per_word = per[0];
    words.times_word = times[0];
    return 0;
}

bool ascii_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The integer that begins the word before `start`: its sign and digits, empty
// when that word does not begin with one.
std::string previous_integer(const std::string& in, std::size_t start) {
    if (start < 2) return std::string();
    std::size_t end = start - 1;  // the space before the unit
    std::size_t begin = in.rfind(' ', end - 1);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::size_t k = begin;
    if (k < end && (in[k] == '+' || in[k] == '-')) ++k;
    const std::size_t digits = k;
    while (k < end && in[k] >= '0' && in[k] <= '9') ++k;
    if (k == digits) return std::string();
    return in.substr(begin, k - begin);
}

// True when the digits of `length` before the unit at `i` are the decimal
// part of a number: "2,3 %" reaches this stage as "2 ' 3 %", "2.3 %" as
// "2 " 3 %".
bool after_decimal_mark(const std::string& in, std::size_t i, std::size_t length) {
    if (i < length + 5) return false;
    const std::size_t begin = i - 1 - length;  // the first digit
    return (in.compare(begin - 3, 3, " ' ") == 0 || in.compare(begin - 3, 3, " \" ") == 0) &&
           in[begin - 4] >= '0' && in[begin - 4] <= '9';
}

const UnitName* find_unit(const std::string& in, std::size_t i, const UnitWords& words) {
    for (const UnitName& unit : words.powered_units) {
        const std::size_t end = i + unit.abbreviation.size();
        if (in.compare(i, unit.abbreviation.size(), unit.abbreviation) == 0 &&
            (end == in.size() || in[end] == ' '))
            return &unit;
    }
    std::size_t end = i + 1;
    while (end < in.size() && ascii_alnum(in[end])) ++end;
    const std::string_view word(in.data() + i, end - i);
    for (const UnitName& unit : words.units)
        if (unit.abbreviation == word) return &unit;
    if (i + 1 < in.size() && in[i + 1] == ' ')
        for (const UnitName& unit : words.standalone_units)
            if (unit.abbreviation == in.substr(i, 1)) return &unit;
    return nullptr;
}

// The unit or word after a slash that follows a unit at `i` ("km/h": i is
// where " / h" begins), as read after "na"; empty when there is none. `end`
// is set past it.
std::string_view per_unit(const std::string& in, std::size_t i, std::size_t& end,
                          const UnitWords& words) {
    constexpr std::string_view kSlash = " / ";
    if (in.compare(i, kSlash.size(), kSlash) != 0) return {};
    const std::size_t begin = i + kSlash.size();
    end = in.find(' ', begin);
    if (end == std::string::npos) end = in.size();
    const std::string_view token(in.data() + begin, end - begin);
    for (const auto* table : {&words.units, &words.standalone_units})
        for (const UnitName& unit : *table)
            if (unit.abbreviation == token) return unit.per;
    for (const std::string& word : words.per_words)
        if (word == token) return word;
    return {};
}

// The word before `start` (the unit), without the blank.
std::string_view previous_word(const std::string& in, std::size_t start) {
    if (start < 2) return {};
    const std::size_t end = start - 1;
    std::size_t begin = in.rfind(' ', end - 1);
    begin = begin == std::string::npos ? 0 : begin + 1;
    return std::string_view(in).substr(begin, end - begin);
}

// The end of the number that begins at `i`: digits (with the grouping mark)
// and a decimal part after the decimal comma or the inner dot; `i` when no
// number begins there.
std::size_t number_end(const std::string& in, std::size_t i) {
    const auto digits_end = [&](std::size_t k) {
        while (k < in.size() && ((in[k] >= '0' && in[k] <= '9') || in[k] == kGroupedMark)) ++k;
        return k;
    };
    const std::size_t end = digits_end(i);
    if (end == i) return i;
    if (in.compare(end, 3, " ' ") == 0 || in.compare(end, 3, " \" ") == 0) {
        const std::size_t decimals = digits_end(end + 3);
        if (decimals > end + 3) return decimals;
    }
    return end;
}

// "EUR 100" and "$5" as "100 EUR" and "5 $", which the unit stage reads.
std::string currency_after_number(const std::string& in, const UnitWords& words) {
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const bool word_start = i == 0 || in[i - 1] == ' ';
        std::size_t word_end = in.find(' ', i);
        if (word_end == std::string::npos) word_end = in.size();
        const std::string_view word(in.data() + i, word_end - i);
        const bool currency =
            word_start && std::find(words.currencies.begin(), words.currencies.end(), word) !=
                              words.currencies.end();
        const std::size_t end =
            currency && word_end < in.size() ? number_end(in, word_end + 1) : word_end + 1;
        if (!currency || end <= word_end + 1 || !previous_integer(in, i).empty()) {
            out += in[i++];
            continue;
        }
        out.append(in, word_end + 1, end - word_end - 1);
        out += ' ';
        out += word;
        i = end;
    }
    return out;
}

// A number of one or two digits, no leading zero, ending at a blank or the
// end: its value, or 0.
int small_number(const std::string& in, std::size_t i, std::size_t& end) {
    end = i;
    while (end < in.size() && end - i < 3 && in[end] >= '0' && in[end] <= '9') ++end;
    if (end == i || end - i > 2 || in[i] == '0' || (end < in.size() && in[end] != ' ')) return 0;
    return std::stoi(in.substr(i, end - i));
}

// A proper fraction at `i` ("3 / 4" as the splitter writes "3/4") whose
// denominator has a name; its reading and `end` past it, or empty. A slash
// before or after ("1/2/2020") makes it none.
std::string fraction_at(const std::string& in, std::size_t i, std::size_t& end,
                        const UnitWords& words) {
    if (i >= 2 && in[i - 2] == '/') return {};
    std::size_t numerator_end = 0, denominator_end = 0;
    const int numerator = small_number(in, i, numerator_end);
    if (numerator == 0 || in.compare(numerator_end, 3, " / ") != 0) return {};
    const int denominator = small_number(in, numerator_end + 3, denominator_end);
    const int largest = kSmallestDenominator + static_cast<int>(words.fractions.size()) - 1;
    if (denominator < kSmallestDenominator || denominator > largest || numerator >= denominator ||
        in.compare(denominator_end, 2, " /") == 0)
        return {};
    end = denominator_end;
    // Before a unit the short name ("pol kilograma", "četrt litra"); the unit
    // after it is read in the genitive.
    const std::string written = std::to_string(numerator) + '/' + std::to_string(denominator);
    const bool unit_follows = denominator_end + 1 < in.size() && in[denominator_end] == ' ' &&
                              find_unit(in, denominator_end + 1, words) != nullptr;
    if (unit_follows)
        for (const auto& [fraction, name] : words.fraction_names)
            if (fraction == written) return name + ' ';
    const auto& forms =
        words.fractions[static_cast<std::size_t>(denominator - kSmallestDenominator)];
    std::string text;
    if (numerator <= 4) {
        text = words.count_words[1][static_cast<std::size_t>(numerator - 1)] + ' ';
        text += forms[static_cast<std::size_t>(numerator - 1)];
    } else {
        text = in.substr(i, numerator_end - i) + ' ' + std::string(forms[3]);
    }
    return text + ' ';
}

// True when the token after `i` (past a blank) is a sign of a formula.
bool formula_follows(const std::string& in, std::size_t i) {
    while (i < in.size() && in[i] == ' ') ++i;
    return i < in.size() && kFormulaSigns.find(in[i]) != std::string_view::npos &&
           (i + 1 == in.size() || in[i + 1] == ' ');
}

// The case of a unit after the count that ends before `i`: the accusative
// after a word of `enota_tozilnik`, after a preposition of the lexicon the
// first case of kUnitCasePreference that it governs, else the nominative.
GrammarCase unit_case(const std::string& in, std::size_t i, const UnitWords& words,
                      const CharClassTable& classes) {
    if (i < 2) return GrammarCase::nom;
    std::size_t begin = in.rfind(' ', i - 2);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string before(previous_word(in, begin));
    classes.lower_case(before);
    // "s 3 do 4 km": the word before the range's first number.
    const bool range_word = std::find(words.range_words.begin(), words.range_words.end(), before) !=
                            words.range_words.end();
    if (range_word && begin >= before.size() + 1) {
        const std::size_t first = begin - before.size() - 1;  // past the range word
        if (!previous_integer(in, first).empty()) {
            std::size_t first_begin = in.rfind(' ', first - 2);
            first_begin = first_begin == std::string::npos ? 0 : first_begin + 1;
            before = previous_word(in, first_begin);
            classes.lower_case(before);
        }
    }
    if (std::find(words.accusative_words.begin(), words.accusative_words.end(), before) !=
        words.accusative_words.end())
        return GrammarCase::acc;
    const std::vector<GrammarCase>* governed =
        words.forms && !before.empty() ? words.forms->preposition(before) : nullptr;
    if (governed)
        for (GrammarCase kase : kUnitCasePreference)
            if (std::find(governed->begin(), governed->end(), kase) != governed->end()) return kase;
    return GrammarCase::nom;
}

// The form of `unit` after a count whose last two digits are `d` in the case
// `kase`, with `count_word` (the words of 1 to 4) put in that case too; empty
// when the nominative holds or the lexicon lacks the unit's noun.
std::string declined(const UnitName& unit, int d, GrammarCase kase, const UnitWords& words,
                     std::string& count_word) {
    const std::string lemma(unit.forms[0]);
    if (kase == GrammarCase::nom || !words.forms || lemma.find(' ') != std::string::npos)
        return std::string();
    // From five up the accusative counts the genitive plural, as written.
    if ((d == 0 || d >= 5) && kase == GrammarCase::acc) return std::string();
    const GrammarNumber own = d == 1   ? GrammarNumber::sg
                              : d == 2 ? GrammarNumber::du
                                       : GrammarNumber::pl;
    const std::string* noun = words.forms->noun_form(lemma, own, kase);
    if (!noun) return std::string();
    if (d >= 1 && d <= 4) {
        std::string nominative = count_word;
        while (!nominative.empty() && nominative.back() == ' ') nominative.pop_back();
        const std::string* count =
            words.forms->cardinal(nominative, lexicon_gender(unit), own, kase);
        if (!count) return std::string();
        count_word = *count + ' ';
    }
    return *noun;
}

// Ends the output with the number before, joined by the mark to what follows.
void join_to_number(std::string& out) {
    while (!out.empty() && out.back() == ' ') out.pop_back();
    out += kJoinMark;
}

}  // namespace

void add_unit_nouns(WordForms& forms, const UnitWords& words) {
    const auto add = [&](const UnitName& unit) {
        if (unit.forms[0].find(' ') != std::string::npos) return;
        forms.add_by_analogy(unit.forms[0], lexicon_gender(unit),
                             {unit.forms[0], unit.forms[1], unit.forms[2], unit.forms[3]});
    };
    for (const UnitName& unit : words.units) add(unit);
    for (const UnitName& unit : words.standalone_units) add(unit);
}

int UnitWords::load(ProfileFile& profile) {
    if (read_unit_table(profile, "enote", false, units) != 0 ||
        read_unit_table(profile, "enote_potence", false, powered_units) != 0 ||
        read_unit_table(profile, "enote_samostojne", true, standalone_units) != 0)
        return -1;
    if (read_word_lists(profile, *this) != 0) return -1;
    fraction_names.clear();
    accusative_words.clear();
    std::vector<std::string> items;
    if (profile.count_items("ulomki", '\t') > 0) {
        read_list_items(profile, "ulomki", '\t', items);
        if (items.size() % 2 != 0) {
            report_error("Napacno stevilo ulomkov (ulomki)");
            return -1;
        }
        for (std::size_t k = 0; k + 1 < items.size(); k += 2)
            fraction_names.emplace_back(items[k], items[k + 1]);
    }
    if (profile.count_items("enota_tozilnik", '\t') > 0)
        read_list_items(profile, "enota_tozilnik", '\t', accusative_words);
    return 0;
}

void convert_units(const std::string& text, std::string& out, const CharClassTable& classes,
                   const UnitWords& words) {
    out.clear();
    const std::string in = currency_after_number(text, words);
    for (std::size_t i = 0; i < in.size() && out.size() < kStageLimit; ++i) {
        const bool word_start = i == 0 || in[i - 1] == ' ';
        std::size_t fraction_end = 0;
        if (word_start && in[i] >= '1' && in[i] <= '9') {
            if (const std::string fraction = fraction_at(in, i, fraction_end, words);
                !fraction.empty()) {
                out += fraction;
                i = fraction_end;  // the loop skips the blank after it
                // A unit after it is in the genitive singular ("pol kilograma").
                if (const UnitName* after =
                        i + 1 < in.size() && in[i] == ' ' ? find_unit(in, i + 1, words) : nullptr) {
                    out += after->forms[after->gender == 0 ? 1 : 2];
                    out += ' ';
                    i += 1 + after->abbreviation.size();
                }
                if (i >= in.size() || in[i] != ' ') --i;
                continue;
            }
        }
        const UnitName* unit = word_start ? find_unit(in, i, words) : nullptr;
        const std::string number = unit ? previous_integer(in, i) : std::string();
        if (word_start && in.compare(i, kTimesSign.size(), kTimesSign) == 0 &&
            (i + 1 == in.size() || in[i + 1] == ' ') && !previous_integer(in, i).empty() &&
            !formula_follows(in, i + 1)) {
            join_to_number(out);
            out += words.times_word;
            continue;
        }
        if (!number.empty() && !unit->compound.empty() && i + 2 < in.size() && in[i + 1] == ' ' &&
            in[i + 2] == kJoinMark) {
            join_to_number(out);  // "20 %-ni": "dvajsetodstotni"
            out += unit->compound;
            i += 2;  // the blank and the mark
            continue;
        }
        if (unit && number.empty() &&
            std::find(words.scale_words.begin(), words.scale_words.end(), previous_word(in, i)) !=
                words.scale_words.end()) {
            out += unit->forms[3];  // "pet milijonov evrov"
            out += ' ';
            i += unit->abbreviation.size();
            if (i >= in.size() || in[i] != ' ') --i;
            continue;
        }
        if (number.empty()) {
            out += in[i];
            continue;
        }
        const std::size_t sign = number[0] == '+' || number[0] == '-' ? 1 : 0;
        const std::string digits = number.substr(sign);
        int d = digits.back() - '0';
        if (digits.size() > 1) d += 10 * (digits[digits.size() - 2] - '0');
        // After a decimal number the unit is in the genitive singular
        // ("2,3 odstotka", "1,5 litra", "38,5 stopinje"), and the decimals
        // stay digits for the number stage: they count nothing.
        const bool decimal = sign == 0 && after_decimal_mark(in, i, number.size());
        // After a preposition or a measure the count and the unit take its
        // case ("s tremi kilometri", "dolga tri kilometre", "po 5 kilometrih",
        // whose count the number stage then agrees with the unit).
        std::string count_word =
            words.count_words[static_cast<std::size_t>(std::clamp(unit->gender, 0, 2))]
                             [static_cast<std::size_t>(std::clamp(d, 1, 4) - 1)] +
            ' ';
        std::string declined_unit;
        if (!decimal && sign == 0)
            declined_unit = declined(*unit, d, unit_case(in, i, words, classes), words, count_word);
        if (!decimal && d >= 1 && d <= 4) {
            while (!out.empty() && out.back() == ' ') out.pop_back();
            const bool grouped = !out.empty() && out.back() == kGroupedMark;
            if (grouped) out.pop_back();
            while (!out.empty() && out.back() >= '0' && out.back() <= '9') out.pop_back();
            // The hundreds and above stay in digits for the number stage.
            const std::string high = digits.size() > 2 ? digits.substr(0, digits.size() - 2) : "";
            if (high.find_first_not_of('0') != std::string::npos) {
                if (!out.empty() && out.back() != ' ' && sign == 0) out += ' ';
                out += high + "00";
                if (grouped) out += kGroupedMark;
                out += ' ';
            } else if (sign != 0 && !out.empty() && (out.back() == '+' || out.back() == '-')) {
                out += ' ';
            }
            out += count_word;
        }
        // The genitive singular is the dual's form for a masculine unit and
        // the form after 3 and 4 for a feminine one.
        const std::size_t form = decimal              ? (unit->gender == 0 ? 1 : 2)
                                 : d == 1             ? 0
                                 : d == 2             ? 1
                                 : (d == 3 || d == 4) ? 2
                                                      : 3;
        out += declined_unit.empty() ? std::string(unit->forms[form]) : declined_unit;
        out += ' ';
        i += unit->abbreviation.size();  // the loop skips the space that follows
        std::size_t per_end = i;
        if (const std::string_view per = per_unit(in, i, per_end, words); !per.empty()) {
            out += words.per_word + ' ';
            out += per;
            out += ' ';
            i = per_end;
        }
        if (i >= in.size() || in[i] != ' ') --i;
    }
}

}  // namespace sint
