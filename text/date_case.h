// The case of a date written in numbers ("12. 6. 2001", "15.3."). The number
// stage hands over the sentence as tokens; each date among them is found and
// given the case it is read in, from the words around it and their analyses:
// after a preposition that preposition's case ("do 15. 3." genitive, "na 5. 5."
// accusative); in a clause with a verb of its own a time adverbial in the
// genitive ("Poročila sta se 12. 6. 2001.": "dvanajstega šestega"); as the
// subject or the predicate of "biti", or in a clause without a verb, the
// nominative ("Danes je 5. 5.", "Rok: 31. 12.").
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "text/number_agreement.h"

namespace sint {

class CharClassTable;

// The profile's word lists the choice rests on (in small letters and the
// internal letter codes).
struct DateRules {
    // `datum_rodilnik`: prepositions after which a date is in the genitive.
    std::vector<std::string> genitive_prepositions;
    // `datum_predlogi`: other prepositions and the case a date takes after
    // them ("na" acc, "po" loc, "pred" ins); a preposition of the lexicon that
    // neither list has takes the first case the lexicon gives it.
    std::vector<std::pair<std::string, GrammarCase>> preposition_cases;
    // `datum_glagoli`: words that show a verb of the date's clause where the
    // lexicon lacks it ("se", "rojen"); they count as a participle.
    std::vector<std::string> verb_words;
    // `deleznik_konc`: endings of an l-participle; a word the lexicon does not
    // know with such an ending beside a form of "biti" is one ("odpotoval je").
    std::vector<std::string> participle_endings;
    // `stevnik_vezniki`: words joining the dates of a list or range, which all
    // take the case of the first ("med 1. 3. in 5. 3.").
    std::vector<std::string> list_words;
};

// A date among the tokens: the indices of its day and month and its case; a
// lone day joined to a date ("od 1. do 5. 5.") is a span of its day alone.
struct DateSpan {
    std::size_t day;
    std::size_t month;
    GrammarCase kase;
};

// The dates among `tokens` in their order: a day (1 to 31), an ordinal mark,
// a month (1 to 12), then an ordinal mark or the sentence's end ("."). Without
// a lexicon (`forms` null) only the profile's lists decide.
std::vector<DateSpan> find_dates(const std::vector<SentenceToken>& tokens, const DateRules& rules,
                                 const WordForms* forms, const CharClassTable& classes);

}  // namespace sint
