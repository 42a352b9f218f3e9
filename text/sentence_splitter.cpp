#include "text/sentence_splitter.h"

#include <algorithm>

#include "core/log.h"
#include "core/profile_file.h"
#include "text/char_classes.h"
#include "text/number_marks.h"
#include "text/profile_lists.h"

namespace sint {
namespace {

constexpr char kOrdinalMark = '|';
constexpr char kInnerDotMark = '"';
constexpr char kMinusMark = '\\';
constexpr char kDecimalCommaMark = '\'';
constexpr char kEllipsisMark = ']';
constexpr char kParagraphMark = '}';

constexpr std::size_t kNone = std::string::npos;
// The longest grouped number looked back over ("999.999.999.999" and more).
constexpr std::size_t kGroupedNumberSpan = 32;

// The character at or after `i` past blanks, or NUL.
char after_blanks(const std::string& s, std::size_t i) {
    while (i < s.size() && s[i] == ' ') ++i;
    return i < s.size() ? s[i] : '\0';
}

bool ascii_digit(char c) {
    return c >= '0' && c <= '9';
}

// True when the dot or blank at `i` separates thousands: one to three digits
// before it (or a group before those, with the same separator), exactly three
// after it, and no decimal part. A number grouped with blanks does not begin
// with 0 ("041 123 456" and "01 234 56 78" are telephone numbers).
bool is_group_separator(const std::string& s, std::size_t i) {
    const char separator = s[i];
    if (separator != '.' && separator != ' ') return false;
    if (i + 3 >= s.size() || !ascii_digit(s[i + 1]) || !ascii_digit(s[i + 2]) ||
        !ascii_digit(s[i + 3]))
        return false;
    if (i + 4 < s.size() && ascii_digit(s[i + 4])) return false;
    if (i + 5 < s.size() && s[i + 4] == separator && ascii_digit(s[i + 5]) &&
        !is_group_separator(s, i + 4))
        return false;
    std::size_t k = i;
    while (k > 0 && ascii_digit(s[k - 1])) --k;
    std::size_t digits = i - k;
    if (digits == 0 || digits > 3) return false;
    if (separator == '.') {
        if (k > 0 && s[k - 1] == '.') return digits == 3;
        return k == 0 || !ascii_digit(s[k - 1]);
    }
    // Back to the first group: the groups before a full one.
    while (digits == 3 && k > 1 && s[k - 1] == ' ' && ascii_digit(s[k - 2])) {
        std::size_t first = k - 1;
        while (first > 0 && ascii_digit(s[first - 1])) --first;
        if (k - 1 - first > 3 ||
            (first > 0 && !CharClassTable::is_space(static_cast<unsigned char>(s[first - 1])) &&
             s[first - 1] != '(' && s[first - 1] != '-'))
            break;
        digits = k - 1 - first;
        k = first;
    }
    if (s[k] == '0') return false;
    return k == 0 || !ascii_digit(s[k - 1]);
}

bool is_group_mark(const std::string& s, std::size_t i) {
    return i < s.size() && (s[i] == '.' || s[i] == ' ') && is_group_separator(s, i);
}

// True when the dot at `i` ends the day or the month of a date written
// without blanks ("31.12.2027", "15.3."): a day of 1 to 31 and a month of 1
// to 12 of one or two digits, then a closing dot, or a dot and a year of four
// digits.
bool is_date_dot(const std::string& s, std::size_t i) {
    const auto number = [&](std::size_t begin, std::size_t end, int& value) {
        if (end <= begin || end - begin > 2) return false;
        value = 0;
        for (std::size_t k = begin; k < end; ++k) value = value * 10 + (s[k] - '0');
        return true;
    };
    const auto digits_after = [&](std::size_t k) {
        std::size_t e = k;
        while (e < s.size() && ascii_digit(s[e])) ++e;
        return e;
    };
    // The day's dot: `day_dot`; the month runs to the dot after it.
    const auto date_from = [&](std::size_t day_dot) {
        std::size_t day_begin = day_dot;
        while (day_begin > 0 && ascii_digit(s[day_begin - 1])) --day_begin;
        if (day_begin > 0 && (ascii_digit(s[day_begin - 1]) || s[day_begin - 1] == '.'))
            return false;
        const std::size_t month_end = digits_after(day_dot + 1);
        int day = 0, month = 0;
        if (!number(day_begin, day_dot, day) || !number(day_dot + 1, month_end, month) || day < 1 ||
            day > 31 || month < 1 || month > 12 || month_end >= s.size() || s[month_end] != '.')
            return false;
        const std::size_t year_end = digits_after(month_end + 1);
        return year_end == month_end + 1 || year_end - month_end - 1 == 4;
    };
    if (i == 0 || s[i] != '.' || !ascii_digit(s[i - 1])) return false;
    if (date_from(i)) return true;
    // The month's dot before a year: the dot before the month is the day's.
    std::size_t month_begin = i;
    while (month_begin > 0 && ascii_digit(s[month_begin - 1])) --month_begin;
    return month_begin > 0 && s[month_begin - 1] == '.' && date_from(month_begin - 1) &&
           digits_after(i + 1) == i + 5;
}

// True when the dash at `i` joins the groups of a telephone number
// ("041/123-456", "01 234-56-78"), not two ends of a range.
bool is_telephone_dash(const std::string& s, std::size_t i) {
    std::size_t k = i;
    while (k > 0 && ascii_digit(s[k - 1])) --k;
    if (k == i) return false;
    if (k > 0 && (s[k - 1] == '/' || s[k - 1] == '-')) return true;
    std::size_t e = i + 1;
    while (e < s.size() && ascii_digit(s[e])) ++e;
    return e > i + 1 && e + 1 < s.size() && s[e] == '-' && ascii_digit(s[e + 1]);
}

// True when a number ends before `i`, past blanks and an ordinal dot ("1.-5.").
bool number_before(const std::string& s, std::size_t i) {
    while (i > 0 && s[i - 1] == ' ') --i;
    if (i > 1 && s[i - 1] == '.') --i;
    return i > 0 && ascii_digit(s[i - 1]);
}

bool is_newline(char c) {
    return c == '\n';
}

}  // namespace

void SplitterWords::load(ProfileFile& profile) {
    read_rule_list(profile, "okrajsave_sredi_stavka", protected_abbreviations);
    for (std::string& abbreviation : protected_abbreviations) abbreviation.insert(0, 1, ' ');
    std::vector<std::string> range;
    read_rule_list(profile, "razpon_beseda", range);
    range_word = range.empty() ? std::string() : range.front();
}

void SentenceSplitter::read_sentence(std::string_view text, std::size_t& pos,
                                     std::string& s) const {
    s.clear();
    const auto& cls = classes_;
    while (pos < text.size()) {
        const auto c = static_cast<unsigned char>(text[pos]);
        if (!CharClassTable::is_space(c) && !cls.is_punctuation(c)) break;
        // "-5 stopinj" at the start: the minus of a negative number is kept.
        if (c == '-' && pos + 1 < text.size() && text[pos + 1] >= '0' && text[pos + 1] <= '9')
            break;
        ++pos;
    }
    std::size_t strong = kNone;  // the pending "!" or "?"
    std::size_t dot = kNone;     // the pending "."
    const auto cut_at_pending = [&]() {
        const std::size_t end = std::min(strong, dot);
        s.resize(end + 1);
    };
    while (true) {
        if (pos >= text.size()) {
            if (strong != kNone || dot != kNone) {
                cut_at_pending();
            } else if (!s.empty()) {
                s.push_back('.');
            }
            return;
        }
        const char ch = text[pos];
        const auto c = static_cast<unsigned char>(ch);
        const bool space = CharClassTable::is_space(c);
        if ((space && s.size() > kSentenceMax) || s.size() >= kSentenceHardMax) {
            s.push_back('.');
            report_error("*** Stavek je predolg. Razdeljen bo na 2 stavka.");
            return;
        }
        if (is_newline(ch)) {
            ++pos;
            if (!s.empty() && s.back() == ' ') s.pop_back();
            if (!s.empty() && is_newline(s.back())) {
                if (strong != kNone || dot != kNone) {
                    cut_at_pending();
                    s.push_back(kParagraphMark);
                } else {
                    s.back() = '.';
                    s.push_back(kParagraphMark);
                }
                return;
            }
            s.push_back('\n');
            continue;
        }
        if (space) {
            ++pos;
            if (s.empty() || !CharClassTable::is_space(static_cast<unsigned char>(s.back())))
                s.push_back(' ');
            continue;
        }
        if (!cls.is_sentence_char(c)) {
            ++pos;
            continue;
        }
        if (strong != kNone) {
            s.resize(strong + 1);
            return;  // this character starts the next sentence
        }
        s.push_back(ch);
        ++pos;
        if (ch == '!' || ch == '?') strong = s.size() - 1;
        if (ch == '.') {
            if (dot != kNone) {
                if (s.size() >= 3 && s.compare(s.size() - 3, 3, "...") == 0) {
                    s.resize(s.size() - 2);
                    s.push_back(kEllipsisMark);
                    return;
                }
            } else {
                const auto& protected_words = words_.protected_abbreviations;
                const bool is_protected =
                    std::any_of(protected_words.begin(), protected_words.end(),
                                [&](const std::string& p) { return s.ends_with(p); });
                if (is_protected) {
                    s.pop_back();
                } else {
                    dot = s.size() - 1;
                }
            }
        } else if (dot != kNone) {
            const bool after_digit =
                dot > 0 && cls.is_digit(static_cast<unsigned char>(s[dot - 1]));
            // "1.-5. razred": a range of ordinals.
            const bool range = c == '-' && pos < text.size() && ascii_digit(text[pos]);
            if (c == ',' || c == ';') {
                // "v torek, 3. 12., ob 10. uri": a dot before a comma or a
                // semicolon ends no sentence, whatever stands before it.
                dot = kNone;
            } else if (after_digit && (cls.is_digit(c) || cls.is_small(c) || range)) {
                dot = kNone;  // a decimal number, an ordinal or a date
            } else {
                s.resize(dot + 1);
                --pos;  // this character starts the next sentence
                return;
            }
        }
    }
}

void SentenceSplitter::rewrite(const std::string& s, std::string& out, std::size_t limit) const {
    const auto& cls = classes_;
    const auto put = [&](char c) {
        if (out.size() < limit) out.push_back(c);
    };
    const auto ends_with_space = [&]() { return out.empty() || out.back() == ' '; };
    const std::size_t begin = out.size();
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        const char next = i + 1 < s.size() ? s[i + 1] : '\0';
        const char prev = i > 0 ? s[i - 1] : '\0';
        if (c == '-' && next == '\n') {
            ++i;  // a word broken across lines is joined
            continue;
        }
        if (is_group_mark(s, i)) {
            continue;  // "1.234.567", "10 000": the digits run on
        }
        if (ascii_digit(c) && !ascii_digit(next) && !is_group_mark(s, i + 1)) {
            // The last digit of a grouped number carries the mark.
            std::size_t k = i + 1;
            while (k > 0 && i + 1 - k < kGroupedNumberSpan &&
                   (ascii_digit(s[k - 1]) || s[k - 1] == '.' || s[k - 1] == ' '))
                --k;
            bool grouped = false;
            for (std::size_t d = k; d < i; ++d)
                if (is_group_mark(s, d)) grouped = true;
            if (grouped) {
                put(c);
                put(kGroupedMark);
                continue;
            }
        }
        if (c == '-' && is_telephone_dash(s, i)) {
            c = ' ';  // the groups of "041/123-456" are read one after another
        } else if (c == '/' && ascii_digit(next) && is_telephone_dash(s, i)) {
            c = ' ';
        }
        if (c == '-' && number_before(s, i) && ascii_digit(after_blanks(s, i + 1))) {
            // A dash between two numbers is a range.
            if (!ends_with_space()) put(' ');
            if (words_.range_word.empty()) continue;
            for (char r : words_.range_word) put(r);
            put(' ');
            continue;
        }
        if (c == '-' && (ascii_digit(prev) || prev == '%') &&
            cls.is_small(static_cast<unsigned char>(next))) {
            put(kJoinMark);  // "21-letni", "3-krat", "20 %-ni": one word
            continue;
        }
        if (c == '-' && i > 0 && cls.is_letter(static_cast<unsigned char>(prev)) &&
            (cls.is_letter(static_cast<unsigned char>(next)) || ascii_digit(next))) {
            c = ' ';  // "e-pošta", "slovensko-hrvaški", "covid-19": no pause, no minus
        } else if (c == '.') {
            const bool ordinal_range = next == '-' && i + 2 < s.size() && ascii_digit(s[i + 2]);
            const bool before_comma = next == ',' || next == ';';
            if (cls.is_digit(static_cast<unsigned char>(prev)) &&
                (CharClassTable::is_space(static_cast<unsigned char>(next)) || ordinal_range ||
                 before_comma || is_date_dot(s, i))) {
                c = kOrdinalMark;
            } else if (before_comma) {
                continue;  // the dot of a word before a comma is not read
            } else if (next != '\0' && next != kEllipsisMark && next != kParagraphMark) {
                c = kInnerDotMark;
            }
        } else if (c == '-' && cls.is_digit(static_cast<unsigned char>(next))) {
            c = kMinusMark;
        } else if (c == ',' && cls.is_digit(static_cast<unsigned char>(prev)) &&
                   cls.is_digit(static_cast<unsigned char>(next))) {
            c = kDecimalCommaMark;
        }
        if (c == '\n') c = ' ';
        if (c == ' ') {
            if (out.size() > begin && out.back() == ' ') continue;
            put(c);
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (cls.in(u, kSpecial) || cls.is_punctuation(u) || cls.in(u, kExtraCharacters)) {
            if (!ends_with_space()) put(' ');
            put(c);
            put(' ');
            continue;
        }
        if (!out.empty()) {
            const auto last = static_cast<unsigned char>(out.back());
            if ((cls.is_digit(u) && cls.is_letter(last)) ||
                (cls.is_letter(u) && cls.is_digit(last)))
                put(' ');
        }
        put(c);
    }
    if (out.size() > begin && out.back() != ' ') put(' ');
}

void SentenceSplitter::close_output(std::string& out, std::size_t limit) const {
    const std::size_t last = out.find_last_not_of(' ');
    if (last == std::string::npos) return;  // nothing to close
    if (classes_.is_final(static_cast<unsigned char>(out[last]))) return;
    const std::string_view tail = out.empty() || out.back() == ' ' ? ". " : " . ";
    // The closing token always fits: it may replace the end of a full output.
    if (out.size() + tail.size() > limit) out.resize(limit > tail.size() ? limit - tail.size() : 0);
    out += tail;
}

void SentenceSplitter::split_all(std::string_view text, std::string& out, std::size_t limit) {
    out.clear();
    std::size_t pos = 0;
    std::string sentence;
    while (true) {
        read_sentence(text, pos, sentence);
        if (sentence.empty()) break;
        rewrite(sentence, out, limit);
    }
    close_output(out, limit);
}

std::size_t SentenceSplitter::split_next(const std::string* text, std::string& out,
                                         std::size_t limit) {
    out.clear();
    if (text) {
        input_ = *text;
        position_ = 0;
        span_ = SentenceSpan{};
    }
    std::string sentence;
    read_sentence(input_, position_, sentence);
    if (sentence.empty()) {
        input_.clear();
        input_.shrink_to_fit();
        position_ = 0;
        return 0;
    }
    rewrite(sentence, out, limit);
    close_output(out, limit);
    span_.start = span_.end;
    span_.end = position_;
    span_.length = span_.end - span_.start;
    return span_.length;
}

}  // namespace sint
