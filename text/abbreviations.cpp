#include "text/abbreviations.h"

#include <algorithm>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_classes.h"
#include "text/profile_lists.h"

namespace sint {

int Abbreviations::load(ProfileFile& profile) {
    pairs_.clear();
    if (profile.count_items("okrajsave", '\t') < 0) return 0;
    std::vector<char*> items;
    const int count = profile.split_items("okrajsave", '\t', items);
    if (count % 2 != 0) {
        report_error("Napacno stevilo okrajsav (okrajsave)");
        return kNotPossible;
    }
    for (int i = 0; i + 1 < count; i += 2) {
        Pair pair{items[i], items[i + 1]};
        // A blank after the tab belongs to no word.
        while (!pair.expansion.empty() && pair.expansion.front() == ' ') pair.expansion.erase(0, 1);
        while (!pair.abbreviation.empty() && pair.abbreviation.front() == ' ')
            pair.abbreviation.erase(0, 1);
        // An empty abbreviation would match everywhere.
        if (!pair.abbreviation.empty()) pairs_.push_back(std::move(pair));
    }
    const auto mark = [&](const char* key, bool Pair::*flag) {
        if (profile.count_items(key, '\t') <= 0) return;
        std::vector<char*> listed;
        const int n = profile.split_items(key, '\t', listed);
        for (int i = 0; i < n; ++i) {
            std::string_view name(listed[i]);
            while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
            for (Pair& pair : pairs_)
                if (pair.abbreviation == name) pair.*flag = true;
        }
    };
    mark("okrajsave_besede", &Pair::also_word);
    mark("okrajsave_konec", &Pair::may_end);
    days_.clear();
    range_words_.clear();
    std::vector<std::string> days;
    if (profile.count_items("okrajsave_dni", '\t') > 0 &&
        profile.count_items("okrajsave_dni_razpon", '\t') == 2) {
        read_list_items(profile, "okrajsave_dni", '\t', days);
        read_list_items(profile, "okrajsave_dni_razpon", '\t', range_words_);
        if (days.size() % 3 != 0) {
            report_error("Napacno stevilo okrajsav (okrajsave_dni)");
            return kNotPossible;
        }
        for (std::size_t i = 0; i + 2 < days.size(); i += 3)
            days_.push_back({days[i], days[i + 1], days[i + 2]});
    }
    return 0;
}

namespace {

// True when the word after `end` (past at least one blank) begins with a
// capital, or also with a digit when `or_digit` ("5. jan. 2020").
bool capital_follows(std::string_view in, std::size_t end, const CharClassTable& classes,
                     bool or_digit = false) {
    std::size_t k = end;
    while (k < in.size() && (in[k] == ' ' || in[k] == '\n' || in[k] == '\r')) ++k;
    if (k == end || k >= in.size()) return false;
    const auto next = static_cast<unsigned char>(in[k]);
    return classes.is_capital(next) || (or_digit && classes.is_digit(next));
}

// True when a capitalised word follows `end` (past blanks): a capital
// followed by a small letter or standing alone. A word in capitals ("5 mio.
// EUR") is a unit or a name, no sentence start.
bool sentence_follows(std::string_view in, std::size_t end, const CharClassTable& classes) {
    if (!capital_follows(in, end, classes)) return false;
    std::size_t k = end;
    while (k < in.size() && (in[k] == ' ' || in[k] == '\n' || in[k] == '\r')) ++k;
    return k + 1 >= in.size() || !classes.is_capital(static_cast<unsigned char>(in[k + 1]));
}

// True when the token before `position` (past blanks) ends in a letter or a
// digit: the abbreviation then follows a word or a number.
bool after_word_or_number(std::string_view in, std::size_t position, const CharClassTable& classes,
                          bool number_only = false) {
    std::size_t k = position;
    while (k > 0 && (in[k - 1] == ' ' || in[k - 1] == '\n' || in[k - 1] == '\r')) --k;
    if (k == 0) return false;
    const auto before = static_cast<unsigned char>(in[k - 1]);
    return (!number_only && classes.is_letter(before)) || classes.is_digit(before);
}

// The day at `pos` of `lower` (a listed abbreviation with its dot, not
// inside a word): its index in `days`, or -1.
template <class Day>
int day_at(std::string_view lower, std::size_t pos, const std::vector<Day>& days,
           const CharClassTable& classes) {
    if (pos > 0 && classes.is_letter(static_cast<unsigned char>(lower[pos - 1]))) return -1;
    for (std::size_t d = 0; d < days.size(); ++d) {
        const std::string& name = days[d].abbreviation;
        if (lower.compare(pos, name.size(), name) != 0) continue;
        const std::size_t after = pos + name.size();
        if (after < lower.size() && (classes.is_letter(static_cast<unsigned char>(lower[after])) ||
                                     classes.is_digit(static_cast<unsigned char>(lower[after]))))
            continue;
        return static_cast<int>(d);
    }
    return -1;
}

}  // namespace

void Abbreviations::find_days(std::string_view in, const std::string& lower,
                              const CharClassTable& classes, std::vector<Occurrence>& found) const {
    for (std::size_t pos = 0; !days_.empty() && pos < lower.size(); ++pos) {
        const int first = day_at(lower, pos, days_, classes);
        if (first < 0) continue;
        std::size_t end = pos + days_[first].abbreviation.size();
        std::size_t k = end;
        while (k < lower.size() && lower[k] == ' ') ++k;
        std::string reading;
        if (k < lower.size() && lower[k] == '-') {
            ++k;
            while (k < lower.size() && lower[k] == ' ') ++k;
            const int second = k < lower.size() ? day_at(lower, k, days_, classes) : -1;
            if (second < 0 || second == first) continue;
            end = k + days_[second].abbreviation.size();
            reading = range_words_[0] + ' ' + days_[first].genitive + ' ' + range_words_[1] + ' ' +
                      days_[second].genitive;
        } else {
            // Alone only before hours: a time ("8.00", "8:00"), a colon, the
            // first word of a range of times already written out ("od
            // osmih"), or a comma and another day ("sob., ned.: zaprto"); and
            // not after a number ("20 sob.").
            const std::string& from = range_words_[0];
            const auto digit = [&](std::size_t at) {
                return at < lower.size() && classes.is_digit(static_cast<unsigned char>(lower[at]));
            };
            std::size_t t = k;
            while (digit(t) && t - k < 2) ++t;
            const bool time = t > k && t + 2 < lower.size() &&
                              (lower[t] == '.' || lower[t] == ':') && digit(t + 1) &&
                              digit(t + 2) && !digit(t + 3);
            std::size_t next = k + 1;
            while (next < lower.size() && lower[next] == ' ') ++next;
            const bool hours =
                time || (k < lower.size() && lower[k] == ':') ||
                (k < lower.size() && lower[k] == ',' && day_at(lower, next, days_, classes) >= 0) ||
                (lower.compare(k, from.size(), from) == 0 && k + from.size() < lower.size() &&
                 lower[k + from.size()] == ' ');
            if (!hours || after_word_or_number(in, pos, classes, true)) continue;
            reading = days_[first].nominative;
        }
        Occurrence day{pos, nullptr, end < lower.size() && lower[end] != ' ', end - pos,
                       std::move(reading)};
        if (sentence_follows(in, end, classes)) day.day_reading += '.';
        found.push_back(std::move(day));
        pos = end - 1;
    }
}

void Abbreviations::expand(std::string_view in, std::string& out, std::size_t limit,
                           const CharClassTable& classes, SourceTrail* trail) const {
    out.clear();
    if (trail) trail->clear();
    std::vector<Occurrence> found;
    std::string lower(in);
    classes.lower_case(lower);
    find_days(in, lower, classes, found);
    if (!pairs_.empty()) {
        for (const Pair& pair : pairs_) {
            std::size_t from = 0;
            while (true) {
                const std::size_t pos = lower.find(pair.abbreviation, from);
                if (pos == std::string::npos) break;
                from = pos + pair.abbreviation.size();
                if (pos > 0) {
                    const auto before = static_cast<unsigned char>(lower[pos - 1]);
                    if (classes.is_letter(before) || classes.is_digit(before)) continue;
                }
                const std::size_t after = pos + pair.abbreviation.size();
                // A word that is also an abbreviation ("ga.", "g.", "jan.") is
                // one only before a capitalised name or a number, and not after
                // a word (the pronoun, an initial) or a number (grams).
                if (pair.also_word && (!capital_follows(in, after, classes, true) ||
                                       after_word_or_number(in, pos, classes)))
                    continue;
                found.push_back({pos,
                                 &pair,
                                 after >= lower.size() || lower[after] != ' ',
                                 pair.abbreviation.size(),
                                 {}});
            }
        }
    }
    if (found.empty()) {
        out.assign(in.substr(0, std::min(in.size(), limit)));
        trace(trail, out.size(), 0, true);
        return;
    }
    // By position; of two at the same place the longer one wins.
    std::sort(found.begin(), found.end(), [](const Occurrence& a, const Occurrence& b) {
        if (a.position != b.position) return a.position < b.position;
        return a.length > b.length;
    });
    const auto append = [&](std::string_view text, std::size_t source, bool copied) {
        out.append(text.substr(0, std::min(text.size(), limit - out.size())));
        trace(trail, out.size(), source, copied);
    };
    std::size_t copied = 0;
    for (const Occurrence& occurrence : found) {
        // An occurrence inside one already expanded is passed over.
        if (occurrence.position < copied) continue;
        append(in.substr(copied, occurrence.position - copied), copied, true);
        std::string expansion =
            occurrence.pair ? occurrence.pair->expansion : occurrence.day_reading;
        if (!expansion.empty() &&
            classes.is_capital(static_cast<unsigned char>(in[occurrence.position])))
            expansion[0] =
                static_cast<char>(classes.to_upper(static_cast<unsigned char>(expansion[0])));
        const std::size_t after = occurrence.position + occurrence.length;
        // "... hruške itd. Potem ...": the abbreviation's dot also ends the sentence.
        if (occurrence.pair && occurrence.pair->may_end &&
            occurrence.pair->abbreviation.back() == '.' && sentence_follows(in, after, classes))
            expansion += '.';
        append(expansion, occurrence.position, false);
        if (occurrence.glued) append(" ", after, false);
        copied = after;
    }
    append(in.substr(copied), copied, true);
}

}  // namespace sint
