// The unit stage: a unit abbreviation after an integer is written out in the
// grammatical number the count requires (1, 2, 3 or 4, other), and counts
// ending in 1 to 4 are rewritten as count words of the unit's gender. After a
// preposition or a measure ("s 3 km", "dolga 3 km") the unit and its count
// take the case these govern, where the form lexicon knows the unit's noun; a
// fraction before a unit or a noun is read by its short name ("pol kilograma").
// The units' names and forms are voice data: the profile's tables `enote`,
// `enote_potence` and `enote_samostojne` (see voice/gfp.ini).
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace sint {

class CharClassTable;
class ProfileFile;
class WordForms;

// A unit: its abbreviation as the stage sees it, its gender and its names.
struct UnitName {
    std::string abbreviation;
    int gender = 0;                    // 0 masculine, 1 feminine, 2 neuter
    std::array<std::string, 4> forms;  // count ending in 1, 2, 3 or 4, other
    std::string per;                   // after "na" in "km/h": accusative singular
    std::string compound;              // before an adjective's ending ("20 %-ni")
};

// The voice's words of the unit stage, from the text-analysis profile.
struct UnitWords {
    // `enote`: units recognised as a whole word ("km", "EUR").
    std::vector<UnitName> units;
    // `enote_potence`: square and cubic units as the splitter writes them ("m 2").
    std::vector<UnitName> powered_units;
    // `enote_samostojne`: one-character units standing alone ("m", "%").
    std::vector<UnitName> standalone_units;
    // `enote_stevniki`: the count words of 1 to 4 before a masculine, a
    // feminine and a neuter unit ("en", "dva", "trije", "štirje").
    std::array<std::array<std::string, 4>, 3> count_words;
    // `enote_ulomki`: the noun of each denominator from 2 up, in the forms
    // for a numerator of 1, 2, 3 or 4, and more ("3/4": "tri četrtine").
    std::vector<std::array<std::string, 4>> fractions;
    // `enote_na`: the word before the unit after a slash ("km/h": "na uro");
    // `enote_na_besede`: words read there as they are ("5 EUR/mesec").
    std::string per_word;
    std::vector<std::string> per_words;
    // `enote_krat`: the suffix of "2x" ("dvakrat").
    std::string times_word;
    // `enote_valute`: units that may stand before their number ("EUR 100").
    std::vector<std::string> currencies;
    // `enote_velikosti`: words of a number after which a unit is in the
    // genitive plural ("5 mio. EUR", "3 tisoč EUR").
    std::vector<std::string> scale_words;
    // `ulomki` (optional): a fraction as written ("1/2") and its name before
    // a unit or a noun ("pol").
    std::vector<std::pair<std::string, std::string>> fraction_names;
    // `enota_tozilnik` (optional): words before a count after which the
    // unit is in the accusative ("dolga 3 km", "za 2 km").
    std::vector<std::string> accusative_words;
    // Words joining the two numbers of a range ("3 do 4 km"): the word
    // before the first number chooses the case (`stevnik_vezniki`).
    std::vector<std::string> range_words;
    // The form lexicon; null or empty: units in the nominative alone.
    const WordForms* forms = nullptr;

    // Reads the profile's lists; returns 0, or -1 after reporting.
    int load(ProfileFile& profile);
};

// Adds the nouns of the units that the lexicon lacks ("liter", "kilogram"),
// declined like a noun it has, so that they decline with their count too.
void add_unit_nouns(WordForms& forms, const UnitWords& words);

void convert_units(const std::string& in, std::string& out, const CharClassTable& classes,
                   const UnitWords& words = {});

}  // namespace sint
