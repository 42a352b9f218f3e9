// RomanNumerals: Roman numerals with a dot read as ordinal words, in two
// places where they are one. After a capitalised name ("Karel IV.", "Janez
// Pavel II.") the ordinal agrees with the name; before a word in small letters
// ("II. svetovna vojna", "v XXI. stoletju") it agrees with that word. Only
// the letters I, V and X are taken (up to XXXIX), so that "CV.", "MIX." or
// "DDV" are never numbers; a single letter after a name is one only when no
// capitalised word follows ("Janez V. Novak" keeps its initial). Words of
// `predlogi` (prepositions) are no names; a name with an ending of
// `rimske_imena_konc` (masculine names in -o: Hugo, Oto) takes the ordinal's
// default ending.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/source_trail.h"

namespace sint {

class CharClassTable;
class NumberWords;
class ProfileFile;

class RomanNumerals {
public:
    // Reads the optional lists `predlogi` and `rimske_imena_konc`
    // (tab-separated, small letters; the second's absence is logged).
    // Returns 0.
    int load(ProfileFile& profile);

    // Writes `in` into `out` (replaced) with the numerals read, at most `limit`
    // characters.
    void convert(std::string_view in, std::string& out, std::size_t limit,
                 const CharClassTable& classes, const NumberWords& numbers,
                 SourceTrail* trail = nullptr) const;

private:
    std::vector<std::string> prepositions_;
    std::vector<std::string> masculine_name_endings_;
};

// The value of an uppercase Roman numeral of I, V and X written in the usual
// way ("XIV" 14), or 0 when it is none ("IIII", "VX", "IL").
int roman_value(std::string_view numeral);

}  // namespace sint
