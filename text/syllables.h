// Sonority classes and syllable division of phone strings.
//
// Every phone is classed as vowel ('v'), sonorant ('z') or obstruent ('n') from
// its sonority digit, and the class string is cut into syllables by a fixed set
// of cluster patterns. Both functions are pure: they hold no tables.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

// Syllables one division produces at most; vowels beyond it join the last one.
inline constexpr std::size_t kSyllableMax = 512;

// One syllable: positions in the class string.
struct SyllableSpan {
    std::int32_t start = 0;
    std::int32_t nucleus = 0;
    std::int32_t end = 0;
    std::int32_t extra = 0;  // free for the caller
};

// The class letter of each phone: digit '1' gives 'v', '2' gives 'z', '3' and
// '4' give 'n'. `sonority` holds one digit per inventory phone. A phone with any
// other digit, or an index outside the inventory, gets 'n', its position is
// logged, and the result is false.
bool DolociZvocnost(std::span<const int> phones, std::string_view sonority, std::string& classes);

// Divides a class string into syllables (at least one, even for an empty or
// vowel-less string). Returns the number of spans written to `spans`.
int DeljenjeNaZloge(std::string_view classes, std::vector<SyllableSpan>& spans);

}  // namespace sint
