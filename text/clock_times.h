// ClockTimes: clock times such as 8:15, 12:30:05 or 7h written out in words
// from the profile's hour, minute and second words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/source_trail.h"

namespace sint {

class CharClassTable;
class ProfileFile;

// Longest connecting word (`veznik_1` .. `veznik_3`); a longer one fails the loading.
inline constexpr std::size_t kConnectingWordMax = 32;
// A digit token of this length or more is never read as a clock time.
inline constexpr std::size_t kClockTokenMax = 256;
// A spoken clock time longer than this is left in digits.
inline constexpr std::size_t kClockSpokenMax = 255;

class ClockTimes {
public:
    // Reads the clock-time words (`pripravi_ure`); returns 0, or -1 when a key is
    // missing or a connecting word is too long.
    int load(ProfileFile& profile);

    // Writes `in` into `out` (replaced) with every clock time spelled out, at most
    // `limit` characters.
    void convert(std::string_view in, std::string& out, std::size_t limit,
                 const CharClassTable& classes, SourceTrail* trail = nullptr) const;

    // The spoken form of a clock time (hour 0 to 24, minute 0 to 59, second -1
    // for none) of kind 0 (plain), 1 (after a word of `ure_ob_besede`) or 2.
    std::string spoken(int kind, int hour, int minute, int second) const;

private:
    int kind_of_word(std::string_view word, const CharClassTable& classes) const;
    // True when the digits from `i` to `end` are a bare hour that the words
    // around it make a time ("ob 5 zjutraj", "Pridem ob 2."); sets `hour`.
    bool bare_hour_at(std::string_view in, std::size_t i, std::size_t end, int& hour,
                      const CharClassTable& classes) const;
    // True when the digits from `i` to `end`, a dot and two digits are a time
    // that a word around them asks for ("ob 14.30", "18.30 h"); sets `hour`
    // and `minute` and moves `end` past the time (and its hour sign).
    bool dot_time_at(std::string_view in, std::size_t i, std::size_t& end, int& hour, int& minute,
                     const CharClassTable& classes) const;
    // The spoken range of two times at `i` ("8.00-12.00": "od osmih do
    // dvanajstih"), with `range_end` past it; empty when none is there.
    std::string spoken_range(std::string_view in, std::size_t i, std::size_t& range_end,
                             const CharClassTable& classes) const;

    std::vector<std::string> hours_[3];
    std::vector<std::string> minutes_;
    std::vector<std::string> seconds_;
    bool speak_zero_ = false;
    std::string connecting_[3];
    std::vector<std::string> kind_words_[2];  // ure_ob_besede, ure_okoli_besede
    // `ure_s_piko_besede` (optional): words that, just before a number written
    // "14.30" (or one word earlier, "ura je 7.05") or just after it, say that
    // it is a clock time; the words of ure_ob_besede and ure_okoli_besede
    // before it say so too. Elsewhere such a number is a decimal.
    std::vector<std::string> dot_words_;
    // `veznik_razmerja` (optional): the word between the numbers of a score or
    // ratio ("3:2", "10 : 1" read "3 proti 2"); without it they stay as written.
    std::string ratio_word_;
    // `veznik_razmerja_dve` (optional, one word): 2 in a score, said in the
    // feminine ("3:2", "tri proti dve"); without it the 2 stays a number.
    std::string ratio_two_;
    // `ure_razpon_besede` (optional, two words): said before the first and the
    // second time of a range ("8.00-12.00": "od osmih do dvanajstih"), each
    // time in the form its word asks for; without it a range stays as written.
    std::vector<std::string> range_words_;
    // `ure_deli_dneva` and `ure_gole_besede` (optional): a bare hour after a
    // word of ure_ob_besede or ure_okoli_besede is a time before a part of the
    // day ("ob 5 zjutraj": "ob petih zjutraj"), and after a word of the second
    // list also at the end of a clause ("Pridem ob 2.": "ob dveh").
    std::vector<std::string> day_part_words_, bare_hour_words_;
};

}  // namespace sint
