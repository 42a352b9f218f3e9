#include "core/cp1250.h"

#include <array>
#include <cstdint>

namespace sint {
namespace {

// The Unicode code point of each byte 0x80 to 0xFF of code page 1250 (0: unused).
constexpr std::array<std::uint16_t, 128> kUpperHalf = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021, 0x0000, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// The code points of ISO 8859-2 bytes 0xA0 to 0xBF; from 0xC0 on it agrees with code page 1250.
constexpr std::array<std::uint16_t, 32> kIsoLatin2A0 = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E,
    0x0164, 0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E,
    0x015B, 0x02C7, 0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C,
};

// Latin letters, signs and Cyrillic that code page 1250 lacks, with the text
// that stands for them; sorted by code point.
struct Transliteration {
    char32_t code_point;
    const char* text;
};
constexpr Transliteration kTransliterations[] = {
    {0x00AA, "a"},   {0x00B2, "2"},    {0x00B3, "3"},    {0x00B9, "1"},   {0x00BA, "o"},
    {0x00BC, "1/4"}, {0x00BD, "1/2"},  {0x00BE, "3/4"},  {0x00C0, "A"},   {0x00C3, "A"},
    {0x00C5, "A"},   {0x00C6, "AE"},   {0x00C8, "E"},    {0x00CA, "E"},   {0x00CC, "I"},
    {0x00CF, "I"},   {0x00D1, "N"},    {0x00D2, "O"},    {0x00D5, "O"},   {0x00D8, "O"},
    {0x00D9, "U"},   {0x00DB, "U"},    {0x00E0, "a"},    {0x00E3, "a"},   {0x00E5, "a"},
    {0x00E6, "ae"},  {0x00E8, "e"},    {0x00EA, "e"},    {0x00EC, "i"},   {0x00EF, "i"},
    {0x00F1, "n"},   {0x00F2, "o"},    {0x00F5, "o"},    {0x00F8, "o"},   {0x00F9, "u"},
    {0x00FB, "u"},   {0x00FF, "y"},    {0x0100, "A"},    {0x0101, "a"},   {0x0112, "E"},
    {0x0113, "e"},   {0x0116, "E"},    {0x0117, "e"},    {0x011E, "G"},   {0x011F, "g"},
    {0x0122, "G"},   {0x0123, "g"},    {0x012A, "I"},    {0x012B, "i"},   {0x012E, "I"},
    {0x012F, "i"},   {0x0130, "I"},    {0x0131, "i"},    {0x0136, "K"},   {0x0137, "k"},
    {0x013B, "L"},   {0x013C, "l"},    {0x0145, "N"},    {0x0146, "n"},   {0x014C, "O"},
    {0x014D, "o"},   {0x0152, "OE"},   {0x0153, "oe"},   {0x016A, "U"},   {0x016B, "u"},
    {0x0172, "U"},   {0x0173, "u"},    {0x0178, "Y"},    {0x0192, "f"},   {0x2010, "-"},
    {0x2011, "-"},   {0x2012, "\x96"}, {0x2015, "\x97"}, {0x2032, "'"},   {0x2033, "\""},
    {0x2044, "/"},   {0x20AC, "\x80"}, {0x2212, "-"},    {0x2153, "1/3"}, {0x2154, "2/3"},
};

// Cyrillic letters U+0410 to U+044F (capitals, then small letters in the same
// order) written in Latin letters; the Slovenian letters are their code page
// 1250 bytes.
constexpr const char* kCyrillic[32] = {
    "a", "b",    "v",    "g",        "d", "e", "\x9E", "z", "i",  "j",  "k",
    "l", "m",    "n",    "o",        "p", "r", "s",    "t", "u",  "f",  "h",
    "c", "\xE8", "\x9A", "\x9A\xE8", "",  "i", "",     "e", "ju", "ja",
};

// The text that stands for a code point the code page lacks: a Latin letter
// without its marks, a Cyrillic letter in Latin letters, a sign in plain
// characters; empty (the character is dropped) for anything else.
std::string transliterate(char32_t code_point) {
    // Greek capitals U+0391 to U+03A9 (U+03A2 is unassigned), small letters
    // U+03B1 to U+03C9 (with the final sigma U+03C2 before sigma).
    constexpr char32_t kGreekCapitalAlpha = 0x0391, kGreekSmallAlpha = 0x03B1;
    constexpr char32_t kGreekGap = 0x0011;  // after rho: the gap, or the final sigma
    if ((code_point >= kGreekCapitalAlpha && code_point <= 0x03A9 && code_point != 0x03A2) ||
        (code_point >= kGreekSmallAlpha && code_point <= 0x03C9)) {
        const char32_t alpha =
            code_point >= kGreekSmallAlpha ? kGreekSmallAlpha : kGreekCapitalAlpha;
        char32_t index = code_point - alpha;
        if (index > kGreekGap) --index;
        return std::string{static_cast<char>(kGreekLetterMark), static_cast<char>('a' + index)};
    }
    if (code_point >= 0x0410 && code_point <= 0x044F) {
        const bool capital = code_point < 0x0430;
        std::string text = kCyrillic[(code_point - 0x0410) % 32];
        if (capital && !text.empty()) {
            const auto first = static_cast<unsigned char>(text[0]);
            if (first >= 'a' && first <= 'z')
                text[0] = static_cast<char>(first - 'a' + 'A');
            else if (first == 0x9E || first == 0x9A)
                text[0] = static_cast<char>(first - 0x10);
            else if (first == 0xE8)
                text[0] = static_cast<char>(0xC8);
        }
        return text;
    }
    if (code_point == 0x0401) return "E";
    if (code_point == 0x0451) return "e";
    for (const Transliteration& t : kTransliterations)
        if (t.code_point == code_point) return t.text;
    if (code_point == 0x00A0 || (code_point >= 0x2000 && code_point <= 0x200A) ||
        code_point == 0x202F || code_point == 0x3000)
        return " ";
    return std::string();
}

// Appends the code page 1250 form of one code point.
void append_cp1250(std::string& out, char32_t code_point) {
    const unsigned char byte = cp1250_byte(code_point);
    if (byte != 0 || code_point == 0)
        out.push_back(static_cast<char>(byte));
    else
        out += transliterate(code_point);
}

}  // namespace

char32_t cp1250_code_point(unsigned char byte) {
    return byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
}

char32_t iso8859_2_code_point(unsigned char byte) {
    if (byte < 0xA0) return byte;
    if (byte < 0xC0) return kIsoLatin2A0[byte - 0xA0];
    return kUpperHalf[byte - 0x80];
}

unsigned char cp1250_byte(char32_t code_point) {
    if (code_point < 0x80) return static_cast<unsigned char>(code_point);
    for (std::size_t k = 0; k < kUpperHalf.size(); ++k)
        if (kUpperHalf[k] == code_point) return static_cast<unsigned char>(0x80 + k);
    return 0;
}

bool decode_utf8(std::string_view text, std::size_t& at, char32_t& code_point) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t extra = 0;
    char32_t code = 0, min = 0;
    if (lead < 0x80) {
        code_point = lead;
        ++at;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, code = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, code = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, code = lead & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (at + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(text[at + k]);
        if ((c & 0xC0) != 0x80) return false;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    code_point = code;
    at += extra + 1;
    return true;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool is_valid_utf8(std::string_view text) {
    char32_t code = 0;
    for (std::size_t at = 0; at < text.size();)
        if (!decode_utf8(text, at, code)) return false;
    return true;
}

bool looks_like_utf8(std::string_view text) {
    bool multi_byte = false;
    char32_t code = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        if (!decode_utf8(text, at, code)) return false;
        if (at - start > 1) multi_byte = true;
    }
    return multi_byte;
}

std::string utf8_to_cp1250(std::string_view text) {
    if (!is_valid_utf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size());
    char32_t code = 0;
    for (std::size_t at = 0; at < text.size();) {
        decode_utf8(text, at, code);
        append_cp1250(out, code);
    }
    return out;
}

std::string utf16_to_cp1250(const char16_t* text, std::size_t length) {
    const auto high = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    const auto low = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = text[i];
        if (high(text[i]) && i + 1 < length && low(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        append_cp1250(out, code);
    }
    return out;
}

}  // namespace sint
