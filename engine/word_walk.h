// The one rule by which the engine and the sentence finder cut a spoken
// fragment into words: runs of characters other than tab, line feed, carriage
// return, space and NUL. A NUL ends a word and is passed over like a blank, so
// the rest of the fragment is still read.
#pragma once

#include "engine/speech_api.h"

namespace sint {

inline bool is_word_separator(WCHAR c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u'\0';
}

struct WordSpan {
    const WCHAR* start = nullptr;
    const WCHAR* end = nullptr;  // past the last character
};

// Takes the next word from [next, end) and moves `next` past it. False when
// only separators are left (then `next` is at `end`).
inline bool take_word(const WCHAR*& next, const WCHAR* end, WordSpan& word) {
    while (next < end && is_word_separator(*next)) ++next;
    if (next >= end) return false;
    word.start = next;
    while (next < end && !is_word_separator(*next)) ++next;
    word.end = next;
    return true;
}

}  // namespace sint
