#include "text/units.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "text/char_classes.h"
#include "text/text_limits.h"

namespace sint {

namespace {

struct Unit {
    std::string_view abbreviation;
    int gender;                             // 0 masculine, 1 feminine
    std::array<std::string_view, 4> forms;  // count ending in 1, 2, 3 or 4, other
    std::string_view per = {};              // after "na" in "km/h": accusative singular
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
    {"kWh",
     1,
     {"kilovatna ura", "kilovatni uri", "kilovatne ure", "kilovatnih ur"},
     "kilovatno uro"},
    {"MWh",
     1,
     {"megavatna ura", "megavatni uri", "megavatne ure", "megavatnih ur"},
     "megavatno uro"},
};

// Words read after "na" when they follow a unit and a slash ("5 EUR/mesec"),
// in the internal letter codes.
constexpr std::string_view kPerWords[] = {"dan",   "teden", "mesec", "leto", "uro",
                                          "osebo", "no~",   "kos",   "kom"};

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
    {"%", 0, {"odstotek", "odstotka", "odstotki", "odstotkov"}},
};

// Follows the last digit of a number whose thousands were grouped with dots.
constexpr char kGroupedMark = '\x01';

constexpr std::array<std::array<std::string_view, 4>, 3> kCountWords = {{
    {"en ", "dva ", "trije ", "{tirje "},
    {"ena ", "dve ", "tri ", "{tiri "},
    {"eno ", "dve ", "tri ", "{tiri "},
}};

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

const Unit* find_unit(const std::string& in, std::size_t i) {
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

}  // namespace

void convert_units(const std::string& in, std::string& out, const CharClassTable& classes) {
    (void)classes;
    out.clear();
    for (std::size_t i = 0; i < in.size() && out.size() < kStageLimit; ++i) {
        const bool word_start = i == 0 || in[i - 1] == ' ';
        const Unit* unit = word_start ? find_unit(in, i) : nullptr;
        const std::string number = unit ? previous_integer(in, i) : std::string();
        if (number.empty()) {
            out += in[i];
            continue;
        }
        const std::size_t sign = number[0] == '+' || number[0] == '-' ? 1 : 0;
        const std::string digits = number.substr(sign);
        int d = digits.back() - '0';
        if (digits.size() > 1) d += 10 * (digits[digits.size() - 2] - '0');
        if (d >= 1 && d <= 4) {
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
            out += kCountWords[static_cast<std::size_t>(std::clamp(unit->gender, 0, 2))]
                              [static_cast<std::size_t>(d - 1)];
        }
        const std::size_t form = d == 1 ? 0 : d == 2 ? 1 : (d == 3 || d == 4) ? 2 : 3;
        out += unit->forms[form];
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
