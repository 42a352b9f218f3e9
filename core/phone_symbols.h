// Phone symbols: the SAMPA notation of the linguistic stages and the one-byte
// notation that the wave database and PSOLA key their tables by.
//
// The lookup tables are process-wide and read-only once built; they are built
// when the wave database is initialised (build_symbol_tables) and the
// conversions below are single table look-ups.
#pragma once

#include <cstddef>
#include <string_view>

namespace sint {

struct PhoneSymbol {
    const char* sampa;  // one or two characters
    char byte;          // the one-byte form
};

// The fixed table relating the two notations, in table order.
inline constexpr std::size_t kPhoneSymbolCount = 40;
extern const PhoneSymbol PhoneSymbolTable[kPhoneSymbolCount];

// Clears both lookup tables and fills them from PhoneSymbolTable.
void build_symbol_tables();

// The one-byte symbol of a SAMPA symbol as a one-character text, or "" (with
// "Znak <%s> ni SAMPA simbol!" in the log) when the text is no table symbol.
const char* sampa_to_byte(std::string_view sampa);

// True when the whole text is a sequence of table symbols, read greedily from
// the left (a two-character symbol first). The empty text is true.
bool is_sampa_string(std::string_view text);

// The SAMPA symbol of a one-byte symbol, or "" (logged unless the byte is "$"
// or "#") when the byte is no table symbol.
const char* byte_to_sampa(char symbol);

}  // namespace sint
