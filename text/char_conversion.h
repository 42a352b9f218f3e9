// Character conversion: the first stage of every conversion. It turns 8-bit
// input (code page 1250 or ISO 8859-2) into the engine's internal letter codes,
// the 7-bit national variant of ISO 646:
//   č ć -> '~'   Č Ć -> '^'   š -> '{'   Š -> '['   ž -> '`'   Ž -> '@'   đ Đ -> "d`"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/symbol_names.h"
#include "text/source_trail.h"

namespace sint {

struct CharConversionOptions {
    bool seven_bit_input = false;        // the input may hold the 7-bit letter codes
    bool sibilants_with_quotes = false;  // "s "c "z stand for š č ž
    bool angle_bracket_filter = false;   // "<" and ">" are filtered
    // The names of the Greek letters, alpha to omega (`grske_crke`); without
    // them a Greek letter is dropped.
    const std::vector<std::string>* greek_names = nullptr;
    // The names of marks and letters, read in e-mail and web addresses;
    // without them addresses are left to the other stages.
    const SymbolNames* symbol_names = nullptr;
    // The top-level domains that make a host name alone an address
    // (`naslovi_domene`: "primer.si"); without them it needs "www." or a scheme.
    const std::vector<std::string>* known_domains = nullptr;
};

// Internal codes of the Slovenian letters.
inline constexpr char kInternalSmallC = '~';
inline constexpr char kInternalCapitalC = '^';
inline constexpr char kInternalSmallS = '{';
inline constexpr char kInternalCapitalS = '[';
inline constexpr char kInternalSmallZ = '`';
inline constexpr char kInternalCapitalZ = '@';
// The unit sign byte (tolar) that passes the conversion unchanged.
inline constexpr unsigned char kTolarSign = 0xEC;

// The table conversion of one byte (after the 7-bit filter).
unsigned char convert_letter(unsigned char ch);

// Converts `in` into `out` (replaced), writing at most `limit` characters.
// With `trail`, records the source position of every output character.
void convert_characters(std::string_view in, std::string& out, std::size_t limit,
                        const CharConversionOptions& options, SourceTrail* trail = nullptr);

}  // namespace sint
