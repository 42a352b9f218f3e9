// Abbreviations: expansion of the profile's abbreviations (`okrajsave`: pairs of
// abbreviation and expansion, abbreviations in small letters with their dot).
// Two optional lists refine where an abbreviation is one: `okrajsave_besede`
// names abbreviations that are also words ("ga." is the pronoun as well as the
// title), expanded only before a capitalised word and not after a word or a
// number; `okrajsave_konec` names abbreviations that may end a sentence, whose
// dot ends it when a capitalised word follows. Short names of days are read
// only in a range of two ("pon.-pet.") or before opening hours.
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
        bool also_word = false;  // listed in `okrajsave_besede`
        bool may_end = false;    // listed in `okrajsave_konec`
    };

    // Reads `okrajsave` (`pripravi_okrajsave`) and the two optional lists. An
    // absent list is no error; an odd number of entries is. Returns 0 or -1.
    int load(ProfileFile& profile);

    // Writes `in` into `out` (replaced) with the abbreviations expanded, at most
    // `limit` characters.
    void expand(std::string_view in, std::string& out, std::size_t limit,
                const CharClassTable& classes, SourceTrail* trail = nullptr) const;

    const std::vector<Pair>& pairs() const { return pairs_; }

private:
    // An abbreviation or a short day name found in the text.
    struct Occurrence {
        std::size_t position;
        const Pair* pair;         // null for a day
        bool glued;               // the character after it is not a space
        std::size_t length = 0;   // of the text it replaces
        std::string day_reading;  // of a day: "od ponedeljka do petka", "sobota"
    };
    // Adds the short day names of `in` (`lower` in small letters) that are
    // read: "pon.-pet.", "pon. - sob." as a range of two days, and a day
    // before its hours ("sob. 8.00-12.00", "ned.: zaprto"). Their dots end no
    // sentence.
    void find_days(std::string_view in, const std::string& lower, const CharClassTable& classes,
                   std::vector<Occurrence>& found) const;

    std::vector<Pair> pairs_;
    // `okrajsave_dni` (optional): short names of the days with their dot,
    // their nominative and their genitive. They are read in a range of two
    // ("pon.-pet.": "od ponedeljka do petka", with the two words of
    // `okrajsave_dni_razpon`), and alone before opening hours ("sob. 8.00-12.00",
    // "ned.: zaprto"), not after a number ("20 sob.").
    struct Day {
        std::string abbreviation, nominative, genitive;
    };
    std::vector<Day> days_;
    std::vector<std::string> range_words_;
};

}  // namespace sint
