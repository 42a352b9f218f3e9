#include "engine/sentence_finder.h"

#include <algorithm>

#include "engine/server_connection.h"
#include "engine/word_walk.h"

namespace sint {
namespace {

struct Narrowing {
    char16_t unicode;
    unsigned char byte;
};

// The Slovenian letters above U+00FF and their code page 1250 bytes.
constexpr Narrowing kLetters[] = {
    {0x010D, 0xE8}, {0x0107, 0xE6}, {0x0161, 0x9A}, {0x0111, 0xF0}, {0x017E, 0x9E},
    {0x010C, 0xC8}, {0x0106, 0xC6}, {0x0160, 0x8A}, {0x0110, 0xD0}, {0x017D, 0x8E},
};

bool is_sentence_ending(char c) {
    return c == '\n' || c == '\r' || c == '.' || c == '!' || c == '?';
}

}  // namespace

unsigned char narrow_character(WCHAR c) {
    unsigned char byte = '?';
    if (c < 256) {
        byte = static_cast<unsigned char>(c);
    } else {
        for (const Narrowing& letter : kLetters)
            if (letter.unicode == c) byte = letter.byte;
    }
    // The server reads ć as č.
    if (byte == 0xC6) byte = 0xC8;
    if (byte == 0xE6) byte = 0xE8;
    return byte;
}

std::string narrow_word(const WCHAR* start, const WCHAR* end) {
    std::string word;
    for (const WCHAR* c = start; c < end; ++c) {
        const unsigned char byte = narrow_character(*c);
        if (byte == 0xF0) {
            word += "d\x9E";
        } else if (byte == 0xD0) {
            word += "d\x8E";
        } else {
            word += static_cast<char>(byte);
        }
    }
    return word;
}

SentenceFinder::SentenceFinder()
    : query_([](const std::string& text) { return GET_sentence_end(text); }) {}

SentenceFinder::SentenceFinder(SentenceEndQuery query) : query_(std::move(query)) {}

void SentenceFinder::build(const SPVTEXTFRAG* fragments) {
    text_.clear();
    words_.clear();
    cursor_ = 0;
    sentence_end_ = 0;
    for (const SPVTEXTFRAG* fragment = fragments; fragment; fragment = fragment->pNext) {
        if (fragment->State.eAction != SPVA_Speak || fragment->pTextStart == nullptr) continue;
        const WCHAR* next = fragment->pTextStart;
        const WCHAR* end = next + fragment->ulTextLen;
        WordSpan span;
        while (take_word(next, end, span)) {
            if (!text_.empty()) text_ += ' ';
            Word word;
            word.start = text_.size();
            text_ += narrow_word(span.start, span.end);
            word.end = text_.size();
            word.wide_start = span.start;
            word.wide_end = span.end;
            word.fragment = fragment;
            words_.push_back(word);
        }
    }
}

void SentenceFinder::find_next_end() {
    const std::size_t size = text_.size();
    const long answer = query_(text_.substr(sentence_end_));
    if (answer <= 0) {
        sentence_end_ = size;
        return;
    }
    // An answer beyond the text points at its end, which ends a sentence too.
    std::size_t end = sentence_end_ + static_cast<std::size_t>(answer);
    if (end > size) end = size;
    if (end != 0) {
        // Back to the sentence-ending character at or before the answer, within
        // the part just added. Without one there (a long text without sentence
        // ends, which the query cuts into pieces at blanks) the end stays where
        // the answer put it, so that the end always advances.
        std::size_t back = end;
        while (back > sentence_end_ && back < size && !is_sentence_ending(text_[back])) --back;
        if (back >= size || is_sentence_ending(text_[back])) end = back + 1;
    }
    sentence_end_ = end;
}

bool SentenceFinder::ends_sentence(const SPVTEXTFRAG* fragment, const WCHAR* start,
                                   const WCHAR* end) {
    if (fragment == nullptr || start == nullptr || end == nullptr) return true;
    while (cursor_ < words_.size() && words_[cursor_].fragment != fragment) ++cursor_;
    if (cursor_ >= words_.size()) return true;
    while (cursor_ + 1 < words_.size() && words_[cursor_ + 1].fragment == fragment &&
           words_[cursor_].wide_start < start)
        ++cursor_;
    const Word& word = words_[cursor_];
    if (word.start >= sentence_end_) find_next_end();
    if (word.end >= sentence_end_) return true;
    const std::size_t limit = std::min(sentence_end_, text_.size());
    for (std::size_t i = word.end; i < limit; ++i)
        if (static_cast<unsigned char>(text_[i]) > 32) return false;
    return true;
}

}  // namespace sint
