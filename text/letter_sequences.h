// The letter-sequence stage: capitalised words are lower-cased, and runs of
// capitals are read as words (in the dictionary, four or more capitals, text
// written in capitals, or with SMS reading on) or spelled letter by letter
// between forced spaces.
#pragma once

#include <string>

namespace sint {

class CharClassTable;
class PronunciationDictionary;

// Capitals one run holds at most; a longer run continues as a new one.
inline constexpr std::size_t kCapitalRunMax = 64;

void convert_letters(const std::string& in, std::string& out, const CharClassTable& classes,
                     const PronunciationDictionary& dictionary, bool sms_mode);

}  // namespace sint
