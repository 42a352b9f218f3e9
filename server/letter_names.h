// The names of single characters: what a request consisting of one character
// speaks (as a phone transcription), without text analysis. The names are the
// transcriptions of the symbol table (core/symbol_names.h).
#pragma once

#include <string_view>

#include "core/symbol_names.h"

namespace sint {

// The transcription of the name of `c` (a code page 1250 byte). Capital
// letters are named as their small letter; a character without a name, and
// every character without a table, gives ".", a pause.
std::string_view letter_transcription(const SymbolNames* names, unsigned char c);

}  // namespace sint
