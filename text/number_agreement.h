// The agreement of a number with the words around it. The number stage hands
// the sentence over as a sequence of blank-separated tokens; for a number
// among them this looks at the preposition before it and the noun after it
// (past adjectives) in the form lexicon and chooses the gender, number and case
// that a count or an ordinal takes: "po 6 tednih" (locative plural), "z 1
// nogo" (instrumental singular), "cesarju Karlu V." (dative singular).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/word_forms.h"

namespace sint {

class CharClassTable;

// Adjectives passed over between a number and its noun ("s tremi velikimi
// rdečimi hišami"); a longer run finds no noun.
inline constexpr std::size_t kAdjectivesBeforeNounMax = 3;

// A token of the sentence: its text and where it begins.
struct SentenceToken {
    std::string_view text;
    std::size_t begin;
};

// The tokens of `text` between blanks (the text must outlive them).
std::vector<SentenceToken> sentence_tokens(std::string_view text);
// The index of the token that begins at `offset`, or the tokens' count.
std::size_t token_at(const std::vector<SentenceToken>& tokens, std::size_t offset);

// What stands around a number: the cases the preposition before it governs
// (null without one) and the analyses of the noun after it (null when none is
// known).
struct NumberContext {
    const std::vector<GrammarCase>* governed = nullptr;
    const std::vector<FormAnalysis>* noun = nullptr;
};

// The context of the number whose first following word is token `after`;
// `before` is the word before the number in small letters (empty for none).
NumberContext number_context(const std::vector<SentenceToken>& tokens, std::size_t after,
                             std::string_view before, const WordForms& forms,
                             const CharClassTable& classes);

// The form a count whose last two digits are `last_two` takes with its noun;
// none when the lexicon cannot tell, or when the count stays as it is written
// ("pet let", "za pet let").
std::optional<FormAnalysis> count_agreement(long last_two, const NumberContext& context);
// The form an ordinal takes with its noun; none when the lexicon cannot tell.
std::optional<FormAnalysis> ordinal_agreement(const NumberContext& context);

}  // namespace sint
