// Where the sentences of a Speak call end. The finder keeps an 8-bit copy of
// all spoken words of the call, asks the server where the first sentence of the
// remaining text ends, and snaps the answer back to the nearest sentence-ending
// character.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/speech_api.h"

namespace sint {

// One wide character as a byte of code page 1250: below 256 its low byte, the
// Slovenian letters by table, anything else "?"; then ć and Ć read as č and Č.
unsigned char narrow_character(WCHAR c);
// A word as the finder holds it: narrowed, with đ as "dž" and Đ as "dŽ".
std::string narrow_word(const WCHAR* start, const WCHAR* end);

class SentenceFinder {
public:
    // Asks where the first sentence of a text ends (bytes from its start).
    using SentenceEndQuery = std::function<long(const std::string&)>;

    // By default the server is asked (GET_sentence_end).
    SentenceFinder();
    explicit SentenceFinder(SentenceEndQuery query);

    // Rebuilds the text and the word table from the spoken fragments of the list.
    void build(const SPVTEXTFRAG* fragments);
    // True when the word [start, end) of `fragment` ends a sentence. Called once
    // for every word, in order.
    bool ends_sentence(const SPVTEXTFRAG* fragment, const WCHAR* start, const WCHAR* end);

    const std::string& text() const { return text_; }
    std::size_t sentence_end() const { return sentence_end_; }
    std::size_t word_count() const { return words_.size(); }

private:
    struct Word {
        std::size_t start = 0;  // offsets in text_, end exclusive
        std::size_t end = 0;
        const WCHAR* wide_start = nullptr;
        const WCHAR* wide_end = nullptr;
        const SPVTEXTFRAG* fragment = nullptr;
    };

    void find_next_end();

    SentenceEndQuery query_;
    std::string text_;
    std::vector<Word> words_;
    std::size_t cursor_ = 0;
    std::size_t sentence_end_ = 0;
};

}  // namespace sint
