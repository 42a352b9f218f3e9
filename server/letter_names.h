// The names of single characters: what a request consisting of one character
// speaks (as a phone transcription), without text analysis.
#pragma once

#include <string_view>

namespace sint {

// The transcription of the name of `c` (a code page 1250 byte). Capital
// letters are named as their small letter; a character without a name gives
// ".", a pause.
std::string_view letter_transcription(unsigned char c);

}  // namespace sint
