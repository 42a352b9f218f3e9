// SentenceSplitter: cuts normalised text into sentences and rewrites each into
// tokens separated by single spaces, with the marks the number stage reads:
//   "|" ordinal dot, '"' inner dot, "\" minus sign, "'" decimal comma,
//   "]" ellipsis at the sentence end, "}" paragraph end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class CharClassTable;
class ProfileFile;

// A sentence that passes this length is cut at the next whitespace.
inline constexpr std::size_t kSentenceMax = 8191;
// A sentence that reaches this length without whitespace is cut where it is.
inline constexpr std::size_t kSentenceHardMax = kSentenceMax + 64;

// Where the last sentence of sentence mode lies in the splitter's input.
struct SentenceSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t length = 0;
};

// The words the splitter knows, from the text-analysis profile.
struct SplitterWords {
    // `okrajsave_sredi_stavka`: abbreviations whose dot never ends a sentence,
    // each held with the blank before it (" npr.").
    std::vector<std::string> protected_abbreviations;
    // `razpon_beseda`: the word read for a dash between two numbers ("5-6 km").
    std::string range_word;

    // Reads both keys. An absent one is logged and leaves its words empty:
    // then every dot may end a sentence, and a dash between two numbers
    // becomes a blank.
    void load(ProfileFile& profile);
};

class SentenceSplitter {
public:
    // `words` must outlive the splitter.
    SentenceSplitter(const CharClassTable& classes, const SplitterWords& words)
        : classes_(classes), words_(words) {}

    // Whole-text mode: writes every sentence of `text` into `out` (replaced).
    void split_all(std::string_view text, std::string& out, std::size_t limit);

    // Sentence mode: a text replaces the stored input; nullptr continues with it.
    // Writes the next sentence into `out` and returns the length of the input it
    // took, or 0 with an empty `out` when the input is used up.
    std::size_t split_next(const std::string* text, std::string& out, std::size_t limit);

    const SentenceSpan& span() const { return span_; }
    // The stored input of sentence mode (empty once used up).
    const std::string& input() const { return input_; }

private:
    // Reads the raw sentence at `pos` of `text`, advancing `pos`.
    void read_sentence(std::string_view text, std::size_t& pos, std::string& sentence) const;
    // Rewrites a raw sentence into tokens, appending to `out` within `limit`.
    void rewrite(const std::string& sentence, std::string& out, std::size_t limit) const;
    // Closes the output with a sentence-final token when it lacks one.
    void close_output(std::string& out, std::size_t limit) const;

    const CharClassTable& classes_;
    const SplitterWords& words_;
    std::string input_;
    std::size_t position_ = 0;
    SentenceSpan span_;
};

}  // namespace sint
