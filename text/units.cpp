#include "text/units.h"

#include <algorithm>
#include <array>
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

struct Unit {
    std::string_view abbreviation;
    int gender;                             // 0 masculine, 1 feminine
    std::array<std::string_view, 4> forms;  // count ending in 1, 2, 3 or 4, other
    std::string_view per = {};              // after "na" in "km/h": accusative singular
    std::string_view compound = {};         // before an adjective's ending ("20 %-ni")
};

// Units recognised at any word start.
constexpr Unit kUnits[] = {
    {"EUR", 0, {"evro", "evra", "evri", "evrov"}, "evro"},
    {"eur", 0, {"evro", "evra", "evri", "evrov"}, "evro"},
    {"SIT", 0, {"tolar", "tolarja", "tolarji", "tolarjev"}, "tolar"},
    {"USD", 0, {"dolar", "dolarja", "dolarji", "dolarjev"}, "dolar"},
    {"usd", 0, {"dolar", "dolarja", "dolarji", "dolarjev"}, "dolar"},
    {"cm", 0, {"centimeter", "centimetra", "centimetri", "centimetrov"}, "centimeter"},
    {"Hz", 0, {"herc", "herca", "herci", "hercov"}, "herc"},
    {"hz", 0, {"herc", "herca", "herci", "hercov"}, "herc"},
    {"kg", 0, {"kilogram", "kilograma", "kilogrami", "kilogramov"}, "kilogram"},
    {"kHz", 0, {"kilo herc", "kilo herca", "kilo herci", "kilo hercov"}, "kilo herc"},
    {"khz", 0, {"kilo herc", "kilo herca", "kilo herci", "kilo hercov"}, "kilo herc"},
    {"km", 0, {"kilometer", "kilometra", "kilometri", "kilometrov"}, "kilometer"},
    {"kW", 0, {"kilovat", "kilovata", "kilovati", "kilovatov"}, "kilovat"},
    {"kw", 0, {"kilovat", "kilovata", "kilovati", "kilovatov"}, "kilovat"},
    {"MHz", 0, {"mega herc", "mega herca", "mega herci", "mega hercov"}, "mega herc"},
    {"mhz", 0, {"mega herc", "mega herca", "mega herci", "mega hercov"}, "mega herc"},
    {"min", 1, {"minuta", "minuti", "minute", "minut"}, "minuto"},
    {"ms", 1, {"milisekunda", "milisekundi", "milisekunde", "milisekund"}, "milisekundo"},
    {"kB", 0, {"kilobajt", "kilobajta", "kilobajti", "kilobajtov"}, "kilobajt"},
    {"MB", 0, {"megabajt", "megabajta", "megabajti", "megabajtov"}, "megabajt"},
    {"kb", 0, {"kilobit", "kilobita", "kilobiti", "kilobitov"}, "kilobit"},
    {"Mb", 0, {"megabit", "megabita", "megabiti", "megabitov"}, "megabit"},
    {"kbps",
     0,
     {"kilobit nasekundo", "kilobita nasekundo", "kilobiti nasekundo", "kilobitov nasekundo"}},
    {"kBps",
     0,
     {"kilobajt nasekundo", "kilobajta nasekundo", "kilobajti nasekundo", "kilobajtov nasekundo"}},
    {"Mbps",
     0,
     {"megabit nasekundo", "megabita nasekundo", "megabiti nasekundo", "megabitov nasekundo"}},
    {"mbps",
     0,
     {"megabit nasekundo", "megabita nasekundo", "megabiti nasekundo", "megabitov nasekundo"}},
    {"mm", 0, {"milimeter", "milimetra", "milimetri", "milimetrov"}, "milimeter"},
    {"mg", 0, {"miligram", "miligrama", "miligrami", "miligramov"}, "miligram"},
    {"ml", 0, {"mililiter", "mililitra", "mililitri", "mililitrov"}, "mililiter"},
    {"dl", 0, {"deciliter", "decilitra", "decilitri", "decilitrov"}, "deciliter"},
    {"MBps",
     0,
     {"megabajt nasekundo", "megabajta nasekundo", "megabajti nasekundo", "megabajtov nasekundo"}},
    {"mio", 0, {"milijon", "milijona", "milijoni", "milijonov"}},
    {"mrd", 1, {"milijarda", "milijardi", "milijarde", "milijard"}},
    {"kWh",
     1,
     {"kilovatna ura", "kilovatni uri", "kilovatne ure", "kilovatnih ur"},
     "kilovatno uro"},
    {"MWh",
     1,
     {"megavatna ura", "megavatni uri", "megavatne ure", "megavatnih ur"},
     "megavatno uro"},
};

// Units that may stand before their number ("EUR 100", "$5").
constexpr std::string_view kCurrencies[] = {"EUR", "eur", "USD", "usd", "SIT", "$"};
// Words of a number that a unit follows in the genitive plural ("5 mio. EUR",
// "3 tisoč EUR"), in the internal letter codes.
constexpr std::string_view kScaleWords[] = {"tiso~",     "mio",       "mrd",       "milijon",
                                            "milijona",  "milijoni",  "milijonov", "milijarda",
                                            "milijardi", "milijarde", "milijard"};

// Fractions: the feminine noun of each denominator 2 to 10, in the forms for a
// numerator of 1, 2, 3 or 4, and more ("3/4": "tri četrtine").
constexpr std::array<std::string_view, 4> kFractions[] = {
    {"polovica", "polovici", "polovice", "polovic"},
    {"tretjina", "tretjini", "tretjine", "tretjin"},
    {"~etrtina", "~etrtini", "~etrtine", "~etrtin"},
    {"petina", "petini", "petine", "petin"},
    {"{estina", "{estini", "{estine", "{estin"},
    {"sedmina", "sedmini", "sedmine", "sedmin"},
    {"osmina", "osmini", "osmine", "osmin"},
    {"devetina", "devetini", "devetine", "devetin"},
    {"desetina", "desetini", "desetine", "desetin"},
};
constexpr int kSmallestDenominator = 2;
constexpr int kLargestDenominator = 10;

// "2x", "3 x": times, one word with the number ("dvakrat").
constexpr std::string_view kTimesSign = "x";
constexpr std::string_view kTimesWord = "krat";
// Tokens after "x" that make it a letter of a formula ("2x + 1 = 5").
constexpr std::string_view kFormulaSigns = "+=\\-/";

// Words read after "na" when they follow a unit and a slash ("5 EUR/mesec"),
// in the internal letter codes.
constexpr std::string_view kPerWords[] = {"dan",   "teden", "mesec", "leto", "uro",
                                          "osebo", "no~",   "kos",   "kom"};

// Square and cubic units: the sentence splitter writes "m2" and "m²" (which
// the input conversion made "m2") as "m 2".
constexpr Unit kPoweredUnits[] = {
    {"m 2", 0, {"kvadratni meter", "kvadratna metra", "kvadratni metri", "kvadratnih metrov"}},
    {"m 3", 0, {"kubi~ni meter", "kubi~na metra", "kubi~ni metri", "kubi~nih metrov"}},
    {"km 2",
     0,
     {"kvadratni kilometer", "kvadratna kilometra", "kvadratni kilometri",
      "kvadratnih kilometrov"}},
    {"cm 2",
     0,
     {"kvadratni centimeter", "kvadratna centimetra", "kvadratni centimetri",
      "kvadratnih centimetrov"}},
    {"cm 3",
     0,
     {"kubi~ni centimeter", "kubi~na centimetra", "kubi~ni centimetri", "kubi~nih centimetrov"}},
    {"mm 2",
     0,
     {"kvadratni milimeter", "kvadratna milimetra", "kvadratni milimetri",
      "kvadratnih milimetrov"}},
};

// Units recognised only as a one-character token standing alone.
constexpr Unit kStandaloneUnits[] = {
    {"C", 1, {"stopinja celzija", "stopinji celzija", "stopinje celzija", "stopinj celzija"}},
    {"W", 0, {"vat", "vata", "vati", "vatov"}, "vat"},
    {"$", 0, {"dolar", "dolarja", "dolarji", "dolarjev"}, "dolar"},
    {"\xEC", 0, {"tolar", "tolarja", "tolarji", "tolarjev"}, "tolar"},
    {"m", 0, {"meter", "metra", "metri", "metrov"}, "meter"},
    {"h", 1, {"ura", "uri", "ure", "ur"}, "uro"},
    {"l", 0, {"liter", "litra", "litri", "litrov"}, "liter"},
    {"s", 1, {"sekunda", "sekundi", "sekunde", "sekund"}, "sekundo"},
    {"g", 0, {"gram", "grama", "grami", "gramov"}, "gram"},
    {"t", 1, {"tona", "toni", "tone", "ton"}, "tono"},
    {"\xB0", 1, {"stopinja", "stopinji", "stopinje", "stopinj"}},
    {"%", 0, {"odstotek", "odstotka", "odstotki", "odstotkov"}, {}, "odstot"},
};

constexpr std::array<std::array<std::string_view, 4>, 3> kCountWords = {{
    {"en ", "dva ", "trije ", "{tirje "},
    {"ena ", "dve ", "tri ", "{tiri "},
    {"eno ", "dve ", "tri ", "{tiri "},
}};

// The cases a unit takes after a preposition that governs several, the
// first the preposition allows: "v 5 km" (locative), "s 3 km" (instrumental).
constexpr GrammarCase kUnitCasePreference[] = {GrammarCase::loc, GrammarCase::ins, GrammarCase::dat,
                                               GrammarCase::gen, GrammarCase::acc};

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

const Unit* find_unit(const std::string& in, std::size_t i) {
    for (const Unit& unit : kPoweredUnits) {
        const std::size_t end = i + unit.abbreviation.size();
        if (in.compare(i, unit.abbreviation.size(), unit.abbreviation) == 0 &&
            (end == in.size() || in[end] == ' '))
            return &unit;
    }
    std::size_t end = i + 1;
    while (end < in.size() && ascii_alnum(in[end])) ++end;
    const std::string_view word(in.data() + i, end - i);
    for (const Unit& unit : kUnits)
        if (unit.abbreviation == word) return &unit;
    if (i + 1 < in.size() && in[i + 1] == ' ')
        for (const Unit& unit : kStandaloneUnits)
            if (unit.abbreviation == in.substr(i, 1)) return &unit;
    return nullptr;
}

// The unit or word after a slash that follows a unit at `i` ("km/h": i is
// where " / h" begins), as read after "na"; empty when there is none. `end`
// is set past it.
std::string_view per_unit(const std::string& in, std::size_t i, std::size_t& end) {
    constexpr std::string_view kSlash = " / ";
    if (in.compare(i, kSlash.size(), kSlash) != 0) return {};
    const std::size_t begin = i + kSlash.size();
    end = in.find(' ', begin);
    if (end == std::string::npos) end = in.size();
    const std::string_view token(in.data() + begin, end - begin);
    for (const Unit& unit : kUnits)
        if (unit.abbreviation == token) return unit.per;
    for (const Unit& unit : kStandaloneUnits)
        if (unit.abbreviation == token) return unit.per;
    for (std::string_view word : kPerWords)
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
std::string currency_after_number(const std::string& in) {
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const bool word_start = i == 0 || in[i - 1] == ' ';
        std::size_t word_end = in.find(' ', i);
        if (word_end == std::string::npos) word_end = in.size();
        const std::string_view word(in.data() + i, word_end - i);
        const bool currency =
            word_start && std::find(std::begin(kCurrencies), std::end(kCurrencies), word) !=
                              std::end(kCurrencies);
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
    if (denominator < kSmallestDenominator || denominator > kLargestDenominator ||
        numerator >= denominator || in.compare(denominator_end, 2, " /") == 0)
        return {};
    end = denominator_end;
    // Before a unit the short name ("pol kilograma", "četrt litra"); the unit
    // after it is read in the genitive.
    const std::string written = std::to_string(numerator) + '/' + std::to_string(denominator);
    const bool unit_follows = denominator_end + 1 < in.size() && in[denominator_end] == ' ' &&
                              find_unit(in, denominator_end + 1) != nullptr;
    if (unit_follows)
        for (const auto& [fraction, name] : words.fraction_names)
            if (fraction == written) return name + ' ';
    const auto& forms = kFractions[static_cast<std::size_t>(denominator - kSmallestDenominator)];
    std::string text;
    if (numerator <= 4) {
        text = kCountWords[1][static_cast<std::size_t>(numerator - 1)];
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
std::string declined(const Unit& unit, int d, GrammarCase kase, const UnitWords& words,
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
            words.forms->cardinal(nominative, unit.gender == 0 ? Gender::m : Gender::f, own, kase);
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

void add_unit_nouns(WordForms& forms) {
    const auto add = [&](const Unit& unit) {
        if (unit.forms[0].find(' ') != std::string_view::npos) return;
        forms.add_by_analogy(std::string(unit.forms[0]), unit.gender == 0 ? Gender::m : Gender::f,
                             {std::string(unit.forms[0]), std::string(unit.forms[1]),
                              std::string(unit.forms[2]), std::string(unit.forms[3])});
    };
    for (const Unit& unit : kUnits) add(unit);
    for (const Unit& unit : kStandaloneUnits) add(unit);
}

int UnitWords::load(ProfileFile& profile) {
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
    const std::string in = currency_after_number(text);
    for (std::size_t i = 0; i < in.size() && out.size() < kStageLimit; ++i) {
        const bool word_start = i == 0 || in[i - 1] == ' ';
        std::size_t fraction_end = 0;
        if (word_start && in[i] >= '1' && in[i] <= '9') {
            if (const std::string fraction = fraction_at(in, i, fraction_end, words);
                !fraction.empty()) {
                out += fraction;
                i = fraction_end;  // the loop skips the blank after it
                // A unit after it is in the genitive singular ("pol kilograma").
                if (const Unit* after =
                        i + 1 < in.size() && in[i] == ' ' ? find_unit(in, i + 1) : nullptr) {
                    out += after->forms[after->gender == 0 ? 1 : 2];
                    out += ' ';
                    i += 1 + after->abbreviation.size();
                }
                if (i >= in.size() || in[i] != ' ') --i;
                continue;
            }
        }
        const Unit* unit = word_start ? find_unit(in, i) : nullptr;
        const std::string number = unit ? previous_integer(in, i) : std::string();
        if (word_start && in.compare(i, kTimesSign.size(), kTimesSign) == 0 &&
            (i + 1 == in.size() || in[i + 1] == ' ') && !previous_integer(in, i).empty() &&
            !formula_follows(in, i + 1)) {
            join_to_number(out);
            out += kTimesWord;
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
            std::find(std::begin(kScaleWords), std::end(kScaleWords), previous_word(in, i)) !=
                std::end(kScaleWords)) {
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
        std::string count_word(kCountWords[static_cast<std::size_t>(std::clamp(unit->gender, 0, 2))]
                                          [static_cast<std::size_t>(std::clamp(d, 1, 4) - 1)]);
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
        if (const std::string_view per = per_unit(in, i, per_end); !per.empty()) {
            out += "na ";
            out += per;
            out += ' ';
            i = per_end;
        }
        if (i >= in.size() || in[i] != ' ') --i;
    }
}

}  // namespace sint
