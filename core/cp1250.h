// Code page 1250, the 8-bit character set that text analysis reads, and the one
// conversion into it from UTF-8 (terminals, files, SSML) and UTF-16 (the speech
// API) that every program of the system uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sint {

// A Greek letter, which the code page lacks, is written as this byte (one the
// code page leaves unused) and a letter from 'a' for alpha to 'x' for omega;
// text analysis reads it by the voice's name of the letter.
inline constexpr unsigned char kGreekLetterMark = 0x81;
inline constexpr std::size_t kGreekLetterCount = 24;

// The code page 1250 byte of a Unicode code point, or 0 when the code page
// lacks it (code point 0 itself is byte 0).
unsigned char cp1250_byte(char32_t code_point);

// The code point of a code page 1250 byte, or 0 for the five bytes the code page leaves unused.
char32_t cp1250_code_point(unsigned char byte);

// The code point of an ISO 8859-2 byte (every byte has one).
char32_t iso8859_2_code_point(unsigned char byte);

// Decodes the UTF-8 sequence at text[at], advancing `at` past it; false (and
// `at` unchanged) on a malformed, overlong or surrogate sequence.
bool decode_utf8(std::string_view text, std::size_t& at, char32_t& code_point);

// Appends the UTF-8 form of a code point.
void append_utf8(std::string& out, char32_t code_point);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid_utf8(std::string_view text);

// True when `text` is valid UTF-8 and holds at least one multi-byte sequence
// (plain ASCII and 8-bit text are not taken as UTF-8).
bool looks_like_utf8(std::string_view text);

// Converts valid UTF-8 into code page 1250; a character that the code page lacks
// is transliterated (a Latin letter loses its marks, Cyrillic is written in
// Latin letters, "²" becomes "2", a typographic space a blank) or, when nothing
// stands for it, dropped: a "?" comes only from a "?" of the text. Text that is not valid UTF-8 is
// returned unchanged (taken as 8-bit).
std::string utf8_to_cp1250(std::string_view text);

// Converts UTF-16 into code page 1250 (a surrogate pair is one character);
// characters that the code page lacks are transliterated or dropped as above.
std::string utf16_to_cp1250(const char16_t* text, std::size_t length);

}  // namespace sint
