#include "text/letter_sequences.h"

#include "text/char_classes.h"
#include "text/dictionary.h"
#include "text/numbers.h"
#include "text/text_limits.h"

namespace sint {

namespace {

// Capitals of the word before `start` (stopping at a small letter), and
// whether sentence-final punctuation or the text start comes before any capital
// (a sentence begins with a capital, so a capital before the run means that
// the run is inside the sentence).
int previous_capitals(const std::string& in, std::size_t start, const CharClassTable& classes,
                      bool& sentence_start) {
    sentence_start = true;
    std::size_t k = start;
    while (k > 0 && in[k - 1] == ' ') --k;
    int capitals = 0;
    while (k > 0 && in[k - 1] != ' ') {
        const auto ch = static_cast<unsigned char>(in[k - 1]);
        if (classes.is_small(ch)) break;
        if (classes.is_capital(ch)) ++capitals;
        --k;
    }
    // Looking further back: the nearest capital or final mark decides.
    for (std::size_t p = start; p > 0; --p) {
        const auto ch = static_cast<unsigned char>(in[p - 1]);
        if (classes.is_final(ch)) break;
        if (classes.is_capital(ch)) {
            sentence_start = false;
            break;
        }
    }
    return capitals;
}

int next_capitals(const std::string& in, std::size_t end, const CharClassTable& classes) {
    std::size_t k = end;
    while (k < in.size() && in[k] != ' ') {
        if (classes.is_final(static_cast<unsigned char>(in[k]))) return 0;
        ++k;
    }
    while (k < in.size() && in[k] == ' ') ++k;
    int capitals = 0;
    for (; k < in.size() && in[k] != ' '; ++k)
        if (classes.is_capital(static_cast<unsigned char>(in[k]))) ++capitals;
    return capitals;
}

}  // namespace

void convert_letters(const std::string& in, std::string& out, const CharClassTable& classes,
                     const PronunciationDictionary& dictionary, bool sms_mode) {
    out.clear();
    const char forced = classes.forced_space() ? classes.forced_space() : ' ';
    std::size_t i = 0;
    while (i < in.size() && out.size() < kOutputSoftLimit) {
        const auto ch = static_cast<unsigned char>(in[i]);
        const unsigned char prev = out.empty() ? ' ' : static_cast<unsigned char>(out.back());
        if (!classes.is_capital(ch)) {
            out += in[i++];
            continue;
        }
        const bool next_small =
            i + 1 < in.size() && classes.is_small(static_cast<unsigned char>(in[i + 1]));
        if (classes.is_small(prev) || (prev == ' ' && next_small)) {
            out += static_cast<char>(classes.to_lower(ch));
            ++i;
            continue;
        }
        if (prev != ' ') {
            out += in[i++];
            continue;
        }
        std::size_t j = i;
        while (j < in.size() && j - i < kCapitalRunMax &&
               classes.is_capital(static_cast<unsigned char>(in[j])))
            ++j;
        std::string run = in.substr(i, j - i);
        std::string lower = run;
        classes.lower_case(lower);
        if (run.size() > 1 && dictionary.lookup(run)) {
            out += run;
            i = j;
            continue;
        }
        if (sms_mode) {
            out += lower;
            i = j;
            continue;
        }
        bool sentence_start = false;
        const int before = previous_capitals(in, i, classes, sentence_start);
        const int after = next_capitals(in, j, classes);
        if (before > 1 || after > 1) {
            out += lower;
        } else if (run.size() < 4) {
            if (run.size() == 1 && sentence_start) {
                out += lower;
                out += ' ';
            } else {
                out += ' ';
                out += forced;
                out += ' ';
                for (char c : run) {
                    out += c;
                    out += ' ';
                    out += forced;
                    out += ' ';
                }
            }
            if (j < in.size() && in[j] == ' ') ++j;
        } else {
            out += lower;
            out += ' ';
            if (j < in.size() && in[j] == ' ') ++j;
        }
        i = j;
    }
    if (out.size() > kOutputSoftLimit) out.resize(kOutputSoftLimit);
    close_sentence(out, classes);
}

}  // namespace sint
