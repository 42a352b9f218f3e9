// Abbreviations: expansion of the profile's abbreviations (`okrajsave`: pairs of
// abbreviation and expansion, abbreviations in small letters with their dot).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/source_trail.h"

namespace sint {

class CharClassTable;
class ProfileFile;

class Abbreviations {
public:
    struct Pair {
        std::string abbreviation;
        std::string expansion;
    };

    // Reads `okrajsave` (`pripravi_okrajsave`). An absent list is no error; an odd
    // number of entries is. Returns 0 or -1.
    int load(ProfileFile& profile);

    // Writes `in` into `out` (replaced) with the abbreviations expanded, at most
    // `limit` characters.
    void expand(std::string_view in, std::string& out, std::size_t limit,
                const CharClassTable& classes, SourceTrail* trail = nullptr) const;

    const std::vector<Pair>& pairs() const { return pairs_; }

private:
    std::vector<Pair> pairs_;
};

}  // namespace sint
