#include "text/char_conversion.h"

#include <array>

#include "core/cp1250.h"
#include "text/addresses.h"

namespace sint {
namespace {

// Ten groups: internal code, ISO 8859-2 code, code page 1250 code, plain letter.
// A byte takes the internal code of the first group that has it in one of the
// first three columns; a plain letter stays as it is.
constexpr std::array<std::array<unsigned char, 4>, 10> kLetterTable = {{
    {0x7E, 0xE8, 0xE8, 'c'},  // č
    {0x5E, 0xC8, 0xC8, 'C'},  // Č
    {0x7B, 0xB9, 0x9A, 's'},  // š
    {0x5B, 0xA9, 0x8A, 'S'},  // Š
    {0x60, 0xBE, 0x9E, 'z'},  // ž
    {0x40, 0xAE, 0x8E, 'Z'},  // Ž
    {0x7E, 0xE6, 0xE6, 'c'},  // ć
    {0x5E, 0xC6, 0xC6, 'C'},  // Ć
    {0x7F, 0xF0, 0xF0, 'd'},  // đ
    {0x7F, 0xD0, 0xD0, 'D'},  // Đ
}};

// Bytes that are 7-bit letter codes; without 7-bit input they become spaces.
constexpr std::string_view kSevenBitCodes = "`~@^[{]}\\|";

// Places kept free at the end of the output: no byte is converted once fewer remain.
constexpr std::size_t kReserve = 3;

// The euro sign of code page 1250 and its spelled-out form, read by the unit stage.
constexpr unsigned char kEuroSign = 0x80;
constexpr std::string_view kEuroText = "EUR ";
// The degree sign of both code pages: kept for the unit stage ("90°"),
// dropped before C ("25 °C" reads the C as degrees Celsius).
constexpr unsigned char kDegreeSign = 0xB0;
// Non-breaking space of both code pages.
constexpr unsigned char kNoBreakSpace = 0xA0;

// The ellipsis, en dash and em dash of code page 1250.
constexpr unsigned char kEllipsis = 0x85;
constexpr unsigned char kEnDash = 0x96;
constexpr unsigned char kEmDash = 0x97;

// The plain letters of the code page 1250 letters beyond the Slovenian ones
// (bytes 0xC0 to 0xFF; "." for a sign that is no letter), so that a foreign
// name keeps its letters instead of losing them.
constexpr std::string_view kPlainHigh =
    "RAAAALCCCEEEEIIDDNNOOOO.RUUUUYTsraaaalccceeeeiiddnnoooo.ruuuuyt.";
// The same for the letters among bytes 0x80 to 0xBF.
constexpr struct {
    unsigned char byte;
    char letter;
} kPlainLow[] = {{0x8C, 'S'}, {0x8D, 'T'}, {0x8F, 'Z'}, {0x9C, 's'}, {0x9D, 't'},
                 {0x9F, 'z'}, {0xA3, 'L'}, {0xA5, 'A'}, {0xAA, 'S'}, {0xAF, 'Z'},
                 {0xB3, 'l'}, {0xBA, 's'}, {0xBC, 'L'}, {0xBF, 'z'}};

// The plain spelling of a foreign letter of code page 1250, empty for none.
std::string_view plain_spelling(unsigned char ch) {
    if (ch == 0xDF) return "ss";
    if (ch >= 0xC0) {
        const std::string_view one = kPlainHigh.substr(ch - 0xC0, 1);
        return one == "." ? std::string_view() : one;
    }
    for (const auto& entry : kPlainLow)
        if (entry.byte == ch) return std::string_view(&entry.letter, 1);
    return std::string_view();
}

bool is_ascii_alnum(unsigned char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

}  // namespace

unsigned char convert_letter(unsigned char ch) {
    for (const auto& group : kLetterTable) {
        if (group[0] == ch || group[1] == ch || group[2] == ch) return group[0];
        if (group[3] == ch) return ch;
    }
    return ch;
}

void convert_characters(std::string_view in, std::string& out, std::size_t limit,
                        const CharConversionOptions& options, SourceTrail* trail) {
    out.clear();
    if (trail) trail->clear();
    std::string address;
    static const std::vector<std::string> kNoDomains;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (out.size() + kReserve > limit) break;
        auto ch = static_cast<unsigned char>(in[i]);
        // An e-mail or web address is read out before its dots and its "@"
        // are taken for sentence ends and letter codes.
        const bool token_start =
            i == 0 || std::string_view(" \t\r\n(<\"'[").find(in[i - 1]) != std::string_view::npos;
        std::size_t address_end = i;
        if (token_start && is_ascii_alnum(ch) && options.symbol_names &&
            read_address(in, i, !options.seven_bit_input, *options.symbol_names,
                         options.known_domains ? *options.known_domains : kNoDomains, address,
                         address_end)) {
            if (out.size() + address.size() + kReserve > limit) break;
            out += address;
            trace(trail, out.size(), i, false);
            i = address_end - 1;
            continue;
        }
        const auto greek = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) - 'a' : -1;
        if (ch == kGreekLetterMark && greek >= 0 && greek < static_cast<int>(kGreekLetterCount)) {
            // A Greek letter as the UTF-8 conversion wrote it: its name, a word.
            const auto index = static_cast<std::size_t>(greek);
            ++i;
            if (!options.greek_names || index >= options.greek_names->size()) continue;
            const std::string& name = (*options.greek_names)[index];
            if (out.size() + name.size() + 2 > limit) break;
            if (!out.empty() && out.back() != ' ') out += ' ';
            out += name;
            if (i + 1 < in.size() && in[i + 1] != ' ') out += ' ';
            trace(trail, out.size(), i, false);
            continue;
        }
        if (!options.seven_bit_input &&
            kSevenBitCodes.find(static_cast<char>(ch)) != std::string_view::npos) {
            ch = ' ';
        }
        ch = convert_letter(ch);

        if (options.sibilants_with_quotes && ch == '"' && i + 1 < in.size()) {
            // The quoted sibilant keeps the case of its letter.
            const char next = in[i + 1];
            char letter = '\0';
            switch (next) {
                case 's':
                    letter = kInternalSmallS;
                    break;
                case 'S':
                    letter = kInternalCapitalS;
                    break;
                case 'c':
                    letter = kInternalSmallC;
                    break;
                case 'C':
                    letter = kInternalCapitalC;
                    break;
                case 'z':
                    letter = kInternalSmallZ;
                    break;
                case 'Z':
                    letter = kInternalCapitalZ;
                    break;
                default:
                    break;
            }
            if (letter != '\0') {
                out.push_back(letter);
                trace(trail, out.size(), i, false);
                ++i;
                continue;
            }
        }

        if (options.angle_bracket_filter && (ch == '<' || ch == '>')) {
            char replacement = ' ';
            if (ch == '>' && i > 0 && i + 1 < in.size() && in[i + 1] == ' ') {
                const auto before = static_cast<unsigned char>(in[i - 1]);
                if (is_ascii_alnum(before) || before == '\\') replacement = ';';
            }
            out.push_back(replacement);
            trace(trail, out.size(), i, false);
            continue;
        }

        if (ch == kDegreeSign) {
            const std::size_t next = i + 1 < in.size() && in[i + 1] == ' ' ? i + 2 : i + 1;
            if (next >= in.size() || in[next] != 'C') out.push_back(static_cast<char>(ch));
        } else if ((ch >= 32 && ch <= 126) || ch == '\n' || ch == '\r' || ch == kTolarSign) {
            out.push_back(static_cast<char>(ch));
        } else if (ch == '\t' || ch == kNoBreakSpace) {
            // Tabs and non-breaking spaces separate words like blanks.
            out.push_back(' ');
        } else if (ch == 0x7F) {
            out += "d`";
        } else if (ch == kEuroSign) {
            if (out.size() + kEuroText.size() > limit) break;
            out += kEuroText;
        } else if (ch == kEllipsis) {
            // The sentence splitter reads three dots as an ellipsis.
            if (out.size() + 3 > limit) break;
            out += "...";
        } else if (ch == kEnDash) {
            // A range between numbers, a hyphen between words, a pause
            // between blanks: the sentence splitter tells them apart.
            out.push_back('-');
        } else if (ch == kEmDash) {
            if (out.size() + 3 > limit) break;
            out += " - ";
        } else if (const std::string_view plain = plain_spelling(ch); !plain.empty()) {
            if (out.size() + plain.size() > limit) break;
            out += plain;
        }
        trace(trail, out.size(), i, false);
    }
}

}  // namespace sint
