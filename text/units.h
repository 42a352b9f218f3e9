// The unit stage: a unit abbreviation after an integer is written out in the
// grammatical number the count requires (1, 2, 3 or 4, other), and counts
// ending in 1 to 4 are rewritten as count words of the unit's gender.
#pragma once

#include <string>

namespace sint {

class CharClassTable;

void convert_units(const std::string& in, std::string& out, const CharClassTable& classes);

}  // namespace sint
