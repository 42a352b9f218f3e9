// Word tags inside a transcription: tag letters A, C, L, T, X right after a ":"
// (a:Lb:X) or a tag list in parentheses (ab(L,A)). The micro-prosody stage
// separates and classifies them with these operations.
#pragma once

#include <cstddef>
#include <string>

namespace sint {

// Longest word and tag list a record keeps.
inline constexpr std::size_t kWordTagMax = 128;

struct WordTagRecord {
    std::string word;  // at most 128 characters
    std::string tags;  // at most 128 characters
};

// Moves the inline tags of the word into its tag list ("T" read as "S"), and
// writes the word as the stripped word + "(" + tags + ")".
void strip_tags(WordTagRecord& record);
// Splits "word(tags)" into word and tag list; false when there is no tag list.
bool split_tags(WordTagRecord& record);
// 'x' when a tag contains X, else 'a' for A, else 'c' for C, else '-'.
char classify_tags(const std::string& tags);

}  // namespace sint
