#include "text/clock_times.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_classes.h"
#include "text/profile_lists.h"

namespace sint {
namespace {

// Digits of either number of a score or ratio.
constexpr std::size_t kRatioDigitsMax = 6;
// Letters of a book abbreviation before a chapter and verse.
constexpr std::size_t kReferenceWordMax = 3;

bool read_list(ProfileFile& profile, std::string_view key, char separator,
               std::vector<std::string>& out) {
    return read_list_items(profile, key, separator, out) >= 0;
}

// Reads the digits of text[begin, end) as a number; false when there are none or
// more than four.
bool read_number(std::string_view text, int& value) {
    if (text.empty() || text.size() > 4) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Parses a clock-time token: "H:MM", "H:MM:SS" or "Hh". Second is -1 when absent.
bool parse_clock(std::string_view token, int& hour, int& minute, int& second) {
    if (token.empty() || token.size() >= kClockTokenMax) return false;
    second = -1;
    const char last = token.back();
    if (last == 'h' || last == 'H') {
        minute = 0;
        return read_number(token.substr(0, token.size() - 1), hour) && hour <= 24;
    }
    const auto first_colon = token.find(':');
    if (first_colon == std::string_view::npos) return false;
    const auto second_colon = token.find(':', first_colon + 1);
    if (second_colon != std::string_view::npos &&
        token.find(':', second_colon + 1) != std::string_view::npos) {
        return false;
    }
    // Hours of one or two digits, minutes and seconds of two: "3:2" and
    // "10:1" are scores or ratios, not times.
    const std::string_view hours = token.substr(0, first_colon);
    const std::string_view minutes =
        second_colon == std::string_view::npos
            ? token.substr(first_colon + 1)
            : token.substr(first_colon + 1, second_colon - first_colon - 1);
    if (hours.size() > 2 || minutes.size() != 2) return false;
    if (!read_number(hours, hour) || !read_number(minutes, minute)) return false;
    if (second_colon != std::string_view::npos) {
        const std::string_view seconds = token.substr(second_colon + 1);
        if (seconds.size() != 2 || !read_number(seconds, second) || second > 59) return false;
    }
    return hour <= 24 && minute <= 59;
}

// The digits of one number of a score: no leading zero ("25:00" and "3:05"
// look like times and are left alone).
bool ratio_number(std::string_view text) {
    return !text.empty() && text.size() <= kRatioDigitsMax &&
           (text[0] != '0' || text.size() == 1) &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A score or ratio at `begin` ("3:2", "10 : 1"): two numbers and one colon,
// nothing else glued to them. Sets the two numbers and `end` past the second.
bool parse_ratio(std::string_view in, std::size_t begin, std::size_t& end, std::string_view& left,
                 std::string_view& right) {
    std::size_t k = begin;
    while (k < in.size() && in[k] >= '0' && in[k] <= '9') ++k;
    left = in.substr(begin, k - begin);
    while (k < in.size() && in[k] == ' ') ++k;
    if (k >= in.size() || in[k] != ':') return false;
    ++k;
    while (k < in.size() && in[k] == ' ') ++k;
    const std::size_t second = k;
    while (k < in.size() && in[k] >= '0' && in[k] <= '9') ++k;
    right = in.substr(second, k - second);
    if (!ratio_number(left) || !ratio_number(right)) return false;
    // "3:2:1", "3:2a", "1,5:1" and the like are left alone.
    if (k < in.size() && (in[k] == ':' || in[k] == ',' || in[k] == '.' || in[k] == '-') &&
        k + 1 < in.size() && in[k + 1] >= '0' && in[k + 1] <= '9')
        return false;
    if (k < in.size() && std::isalnum(static_cast<unsigned char>(in[k]))) return false;
    end = k;
    return true;
}

bool ascii_digit(char c) {
    return c >= '0' && c <= '9';
}

// The word ending at `end` (past blanks back): [start, end) of its letters.
std::string_view word_before(std::string_view in, std::size_t end, const CharClassTable& classes) {
    while (end > 0 && CharClassTable::is_space(static_cast<unsigned char>(in[end - 1]))) --end;
    std::size_t start = end;
    while (start > 0 && classes.is_letter(static_cast<unsigned char>(in[start - 1]))) --start;
    return in.substr(start, end - start);
}

// The word starting at `start` (past blanks).
std::string_view word_after(std::string_view in, std::size_t start, const CharClassTable& classes) {
    while (start < in.size() && CharClassTable::is_space(static_cast<unsigned char>(in[start])))
        ++start;
    std::size_t end = start;
    while (end < in.size() && classes.is_letter(static_cast<unsigned char>(in[end]))) ++end;
    return in.substr(start, end - start);
}

bool same_word(std::string_view a, std::string_view b, const CharClassTable& classes) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (classes.to_lower(static_cast<unsigned char>(a[i])) !=
            classes.to_lower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// True when `word` is one of `list`, in small or capital letters.
bool listed_word(const std::vector<std::string>& list, std::string_view word,
                 const CharClassTable& classes) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& w) { return same_word(w, word, classes); });
}

// A mark that closes a clause after a bare hour ("Pridem ob 2, ...").
bool clause_mark(char c) {
    return c == ',' || c == ';' || c == '!' || c == '?';
}

// A short capitalised word just before the numbers ("Jn 3:16", "Ps 23:1"):
// a book and its chapter and verse, not a score. A team in capitals ("SLO
// 2:1 HRV") is none.
bool reference_before(std::string_view word, const CharClassTable& classes) {
    return word.size() >= 2 && word.size() <= kReferenceWordMax &&
           classes.is_capital(static_cast<unsigned char>(word[0])) &&
           std::all_of(word.begin() + 1, word.end(),
                       [&](char c) { return classes.is_small(static_cast<unsigned char>(c)); });
}

// A clock time at `begin` of one range end: hours of one or two digits, then
// ":" or "." and two digits of minutes, optionally ":" and two of seconds.
// Sets `end` past it; false when there is none.
bool range_time_at(std::string_view in, std::size_t begin, std::size_t& end, int& hour, int& minute,
                   int& second) {
    std::size_t k = begin;
    while (k < in.size() && k - begin < 3 && ascii_digit(in[k])) ++k;
    if (k == begin || k - begin > 2 || k + 2 >= in.size() || (in[k] != ':' && in[k] != '.') ||
        !ascii_digit(in[k + 1]) || !ascii_digit(in[k + 2]))
        return false;
    const char separator = in[k];
    if (!read_number(in.substr(begin, k - begin), hour)) return false;
    minute = (in[k + 1] - '0') * 10 + (in[k + 2] - '0');
    second = -1;
    k += 3;
    if (separator == ':' && k + 2 < in.size() && in[k] == ':' && ascii_digit(in[k + 1]) &&
        ascii_digit(in[k + 2])) {
        second = (in[k + 1] - '0') * 10 + (in[k + 2] - '0');
        k += 3;
    }
    // "8.001", "8.00.5", "8:00:1": no time.
    if (k < in.size() && (ascii_digit(in[k]) || in[k] == ':')) return false;
    if (k + 1 < in.size() && (in[k] == '.' || in[k] == ',') && ascii_digit(in[k + 1])) return false;
    end = k;
    return hour <= 24 && minute <= 59 && second <= 59;
}

// A range of two clock times at `begin` ("8.00-12.00", "7.30 - 15.30",
// "8:00-16:00"): sets both times and `end` past the second.
bool time_range_at(std::string_view in, std::size_t begin, std::size_t& end, int (&hours)[2],
                   int (&minutes)[2], int (&seconds)[2]) {
    std::size_t k = 0;
    if (!range_time_at(in, begin, k, hours[0], minutes[0], seconds[0])) return false;
    while (k < in.size() && in[k] == ' ') ++k;
    if (k >= in.size() || in[k] != '-') return false;
    ++k;
    while (k < in.size() && in[k] == ' ') ++k;
    return k < in.size() && ascii_digit(in[k]) &&
           range_time_at(in, k, end, hours[1], minutes[1], seconds[1]);
}

}  // namespace

int ClockTimes::load(ProfileFile& profile) {
    static constexpr std::string_view kHourKeys[3] = {"ure", "ure_ob", "ure_okoli"};
    for (int kind = 0; kind < 3; ++kind) {
        if (!read_list(profile, kHourKeys[kind], '\t', hours_[kind])) return kNotPossible;
    }
    if (!read_list(profile, "minute", '\t', minutes_)) return kNotPossible;
    if (!read_list(profile, "sekunde", '\t', seconds_)) return kNotPossible;
    std::int32_t speak_zero = 0;
    if (profile.get_int("govori_nic_minut_ali_sekund", speak_zero) < 0) return kNotPossible;
    speak_zero_ = speak_zero != 0;
    static constexpr std::string_view kConnectingKeys[3] = {"veznik_1", "veznik_2", "veznik_3"};
    for (int i = 0; i < 3; ++i) {
        const int length = profile.string_length(kConnectingKeys[i]);
        if (length < 0) return kNotPossible;
        std::string value;
        profile.get_string(kConnectingKeys[i], value, static_cast<std::size_t>(length) + 1);
        const auto first = value.find_first_not_of(" \t");
        const auto last = value.find_last_not_of(" \t");
        value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        if (value.size() > kConnectingWordMax) return kNotPossible;
        connecting_[i] = value;
    }
    if (!read_list(profile, "ure_ob_besede", ',', kind_words_[0])) return kNotPossible;
    if (!read_list(profile, "ure_okoli_besede", ',', kind_words_[1])) return kNotPossible;
    ratio_word_.clear();
    if (profile.string_length("veznik_razmerja") > 0) {
        std::string value;
        profile.get_string("veznik_razmerja", value, kConnectingWordMax + 1);
        const auto first = value.find_first_not_of(" \t");
        const auto last = value.find_last_not_of(" \t");
        if (first != std::string::npos) ratio_word_ = value.substr(first, last - first + 1);
    }
    ratio_two_.clear();
    if (profile.string_length("veznik_razmerja_dve") > 0) {
        std::vector<std::string> two;
        if (read_list_items(profile, "veznik_razmerja_dve", '\t', two) != 1) return kNotPossible;
        ratio_two_ = two[0];
    }
    dot_words_.clear();
    if (profile.count_items("ure_s_piko_besede", ',') > 0)
        read_list(profile, "ure_s_piko_besede", ',', dot_words_);
    day_part_words_.clear();
    if (profile.count_items("ure_deli_dneva", ',') > 0)
        read_list(profile, "ure_deli_dneva", ',', day_part_words_);
    bare_hour_words_.clear();
    if (profile.count_items("ure_gole_besede", ',') > 0)
        read_list(profile, "ure_gole_besede", ',', bare_hour_words_);
    range_words_.clear();
    if (profile.count_items("ure_razpon_besede", ',') == 2)
        read_list(profile, "ure_razpon_besede", ',', range_words_);
    return 0;
}

std::string ClockTimes::spoken(int kind, int hour, int minute, int second) const {
    if (hour == 24) hour = 0;
    // Lists shorter than the profile should hold give no spoken form.
    const auto word = [](const std::vector<std::string>& list, int index) -> const std::string* {
        return index >= 0 && static_cast<std::size_t>(index) < list.size() ? &list[index] : nullptr;
    };
    const std::string* hour_word = word(hours_[kind], hour);
    const std::string* minute_word = word(minutes_, minute);
    const std::string* second_word = second >= 0 ? word(seconds_, second) : nullptr;
    if (!hour_word || !minute_word || (second >= 0 && !second_word)) return std::string();

    std::string text = *hour_word;
    const bool with_seconds = second >= 0 && (speak_zero_ || second > 0);
    if (with_seconds) {
        text +=
            " " + connecting_[1] + " " + *minute_word + " " + connecting_[0] + " " + *second_word;
    } else if (speak_zero_ || minute > 0) {
        text += " " + connecting_[0] + " " + *minute_word;
    }
    text += " " + connecting_[2];
    return text;
}

int ClockTimes::kind_of_word(std::string_view word, const CharClassTable& classes) const {
    for (int kind = 0; kind < 2; ++kind) {
        for (const std::string& candidate : kind_words_[kind]) {
            if (candidate.size() != word.size()) continue;
            bool equal = true;
            for (std::size_t i = 0; i < word.size() && equal; ++i) {
                equal = classes.to_lower(static_cast<unsigned char>(word[i])) ==
                        classes.to_lower(static_cast<unsigned char>(candidate[i]));
            }
            if (equal) return kind + 1;
        }
    }
    return 0;
}

bool ClockTimes::bare_hour_at(std::string_view in, std::size_t i, std::size_t end, int& hour,
                              const CharClassTable& classes) const {
    const std::string_view token = in.substr(i, end - i);
    if (token.size() > 2 || !read_number(token, hour) || hour > 24 ||
        kind_of_word(word_before(in, i, classes), classes) == 0)
        return false;
    const std::string_view before = word_before(in, i, classes);
    const std::string_view after = word_after(in, end, classes);
    std::size_t k = end;
    while (k < in.size() && in[k] == ' ') ++k;
    // A dot ends the clause only before the end or a capital: "ob 2. uri"
    // is an ordinal, "ob 2.5" a decimal.
    std::size_t after_dot = k + 1;
    while (after_dot < in.size() && in[after_dot] == ' ') ++after_dot;
    const bool clause_end =
        k == in.size() || (k < in.size() && clause_mark(in[k])) ||
        (k < in.size() && in[k] == '.' &&
         (after_dot == in.size() ||
          (after_dot > k + 1 && classes.is_capital(static_cast<unsigned char>(in[after_dot])))));
    return (end == in.size() || in[end] == ' ' || in[end] == '.' || clause_mark(in[end])) &&
           (listed_word(day_part_words_, after, classes) ||
            (clause_end && listed_word(bare_hour_words_, before, classes)));
}

bool ClockTimes::dot_time_at(std::string_view in, std::size_t i, std::size_t& end, int& hour,
                             int& minute, const CharClassTable& classes) const {
    const std::string_view token = in.substr(i, end - i);
    if (token.size() > 2 || end + 2 >= in.size() || in[end] != '.' || !ascii_digit(in[end + 1]) ||
        !ascii_digit(in[end + 2]) || (end + 3 != in.size() && ascii_digit(in[end + 3])) ||
        (end + 4 < in.size() && in[end + 3] == '.' && ascii_digit(in[end + 4])) ||
        !read_number(token, hour) || hour > 24)
        return false;
    minute = (in[end + 1] - '0') * 10 + (in[end + 2] - '0');
    const std::string_view before = word_before(in, i, classes);
    const std::string_view earlier =
        word_before(in, static_cast<std::size_t>(before.data() - in.data()), classes);
    const std::string_view after = word_after(in, end + 3, classes);
    const auto listed = [&](std::string_view word) {
        return listed_word(dot_words_, word, classes);
    };
    if (minute > 59 || (kind_of_word(before, classes) == 0 && !listed(before) && !listed(earlier) &&
                        !listed(after)))
        return false;
    end += 3;
    // "18.30 h": the hour sign is said by the time itself.
    if (after.size() == 1 && listed(after))
        end = static_cast<std::size_t>(after.data() - in.data()) + 1;
    return true;
}

std::string ClockTimes::spoken_range(std::string_view in, std::size_t i, std::size_t& range_end,
                                     const CharClassTable& classes) const {
    int hours[2], minutes[2], seconds[2];
    if (range_words_.size() != 2 || !time_range_at(in, i, range_end, hours, minutes, seconds))
        return std::string();
    std::string text;
    if (!same_word(word_before(in, i, classes), range_words_[0], classes))
        text = range_words_[0] + ' ';
    for (int end_of_range = 0; end_of_range < 2; ++end_of_range) {
        if (end_of_range == 1) text += ' ' + range_words_[1] + ' ';
        std::string time =
            spoken(kind_of_word(range_words_[end_of_range], classes), hours[end_of_range],
                   minutes[end_of_range], seconds[end_of_range]);
        while (!time.empty() && time.back() == ' ') time.pop_back();
        if (time.empty()) return std::string();
        text += time;
    }
    return text.size() <= kClockSpokenMax ? text : std::string();
}

void ClockTimes::convert(std::string_view in, std::string& out, std::size_t limit,
                         const CharClassTable& classes, SourceTrail* trail) const {
    out.clear();
    if (trail) trail->clear();
    std::size_t i = 0;
    while (i < in.size() && out.size() < limit) {
        const auto ch = static_cast<unsigned char>(in[i]);
        if (!classes.is_digit(ch)) {
            out.push_back(in[i]);
            trace(trail, out.size(), i++, true);
            continue;
        }
        std::size_t end = i;
        while (end < in.size()) {
            const auto c = static_cast<unsigned char>(in[end]);
            if (CharClassTable::is_space(c) || (c != ':' && classes.is_final_or_non_final(c)))
                break;
            ++end;
        }
        const std::string_view token = in.substr(i, end - i);
        std::string text;
        int hour = 0, minute = 0, second = -1;
        // A time or a score may also open a bracket: "(9:45)", "(1:0)".
        const bool after_space = i == 0 ||
                                 CharClassTable::is_space(static_cast<unsigned char>(in[i - 1])) ||
                                 in[i - 1] == '(';
        bool clock = after_space && parse_clock(token, hour, minute, second);
        if (after_space && !clock && bare_hour_at(in, i, end, hour, classes)) {
            clock = true;
            minute = 0;
            second = -1;
        }
        if (after_space && !clock && dot_time_at(in, i, end, hour, minute, classes)) {
            clock = true;
            second = -1;
        }
        std::size_t range_end = 0;
        if (after_space) {
            if (const std::string range = spoken_range(in, i, range_end, classes); !range.empty()) {
                out.append(range, 0, std::min(range.size(), limit - out.size()));
                trace(trail, out.size(), i, false);
                i = range_end;
                continue;
            }
        }
        std::size_t ratio_end = 0;
        std::string_view left, right;
        if (after_space && !clock && !ratio_word_.empty() &&
            parse_ratio(in, i, ratio_end, left, right) &&
            (kind_of_word(word_before(in, i, classes), classes) != 0 ||
             !reference_before(word_before(in, i, classes), classes))) {
            // "3:2" as "3 proti 2": the number stage reads the numbers.
            const auto number = [&](std::string_view n) {
                return std::string(n == "2" && !ratio_two_.empty() ? ratio_two_ : n);
            };
            text = number(left) + ' ' + ratio_word_ + ' ' + number(right);
            out.append(text, 0, std::min(text.size(), limit - out.size()));
            trace(trail, out.size(), i, false);
            i = ratio_end;
            continue;
        }
        if (clock) {
            std::size_t word_end = i;
            while (word_end > 0 &&
                   CharClassTable::is_space(static_cast<unsigned char>(in[word_end - 1])))
                --word_end;
            std::size_t word_start = word_end;
            while (word_start > 0 &&
                   classes.is_letter(static_cast<unsigned char>(in[word_start - 1])))
                --word_start;
            const int kind = kind_of_word(in.substr(word_start, word_end - word_start), classes);
            text = spoken(kind, hour, minute, second);
        }
        const bool spoken_form = !text.empty() && text.size() <= kClockSpokenMax;
        if (!spoken_form) text = std::string(token);
        out.append(text, 0, std::min(text.size(), limit - out.size()));
        trace(trail, out.size(), i, !spoken_form);
        i = end;
    }
}

}  // namespace sint
