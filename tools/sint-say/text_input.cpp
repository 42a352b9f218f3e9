#include "tools/sint-say/text_input.h"

#include <cstdint>

namespace sint {
namespace {

// Code points above U+00FF and their byte in code page 1250 (0x80..0xFF).
struct Narrowing {
    char32_t code_point;
    unsigned char byte;
};

constexpr Narrowing kCp1250[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87},
    {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x015A, 0x8C}, {0x0164, 0x8D}, {0x017D, 0x8E},
    {0x0179, 0x8F}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x015B, 0x9C},
    {0x0165, 0x9D}, {0x017E, 0x9E}, {0x017A, 0x9F}, {0x02C7, 0xA1}, {0x02D8, 0xA2}, {0x0141, 0xA3},
    {0x0104, 0xA5}, {0x015E, 0xAA}, {0x017B, 0xAF}, {0x02DB, 0xB2}, {0x0142, 0xB3}, {0x0105, 0xB9},
    {0x015F, 0xBA}, {0x013D, 0xBC}, {0x02DD, 0xBD}, {0x013E, 0xBE}, {0x017C, 0xBF}, {0x0154, 0xC0},
    {0x0102, 0xC3}, {0x0139, 0xC5}, {0x0106, 0xC6}, {0x010C, 0xC8}, {0x0118, 0xCA}, {0x011A, 0xCC},
    {0x010E, 0xCF}, {0x0110, 0xD0}, {0x0143, 0xD1}, {0x0147, 0xD2}, {0x0150, 0xD5}, {0x0158, 0xD8},
    {0x016E, 0xD9}, {0x0170, 0xDB}, {0x0162, 0xDE}, {0x0155, 0xE0}, {0x0103, 0xE3}, {0x013A, 0xE5},
    {0x0107, 0xE6}, {0x010D, 0xE8}, {0x0119, 0xEA}, {0x011B, 0xEC}, {0x010F, 0xEF}, {0x0111, 0xF0},
    {0x0144, 0xF1}, {0x0148, 0xF2}, {0x0151, 0xF5}, {0x0159, 0xF8}, {0x016F, 0xF9}, {0x0171, 0xFB},
    {0x0163, 0xFE}, {0x02D9, 0xFF},
};

// Decodes one UTF-8 sequence at `at`; false when it is not valid UTF-8.
bool decode(std::string_view text, std::size_t& at, char32_t& code_point) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    std::size_t length = 0;
    if (first < 0x80) {
        code_point = first;
        ++at;
        return true;
    }
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code_point = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code_point = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code_point = first & 0x07;
    } else {
        return false;
    }
    if (at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        code_point = (code_point << 6) | (byte(at + i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code_point < smallest[length] || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
        return false;
    at += length;
    return true;
}

unsigned char narrow(char32_t code_point) {
    if (code_point < 0x100) return static_cast<unsigned char>(code_point);
    for (const Narrowing& entry : kCp1250)
        if (entry.code_point == code_point) return entry.byte;
    return '?';
}

}  // namespace

bool looks_like_utf8(std::string_view text) {
    bool multi_byte = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        char32_t code_point;
        if (!decode(text, at, code_point)) return false;
        if (at - start > 1) multi_byte = true;
    }
    return multi_byte;
}

std::string utf8_to_cp1250(std::string_view text) {
    std::string narrowed;
    narrowed.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t code_point;
        if (!decode(text, at, code_point)) {
            code_point = '?';
            ++at;
        }
        unsigned char byte = narrow(code_point);
        if (byte == 0xC6) byte = 0xC8;  // Ć is read as Č
        if (byte == 0xE6) byte = 0xE8;  // ć is read as č
        narrowed.push_back(static_cast<char>(byte));
    }
    return narrowed;
}

std::string speakable_text(std::string_view text) {
    return looks_like_utf8(text) ? utf8_to_cp1250(text) : std::string(text);
}

}  // namespace sint
