// TMikro: the steps of one word: tags, syllables, stress, word and accent type,
// durations with rate scaling, tempo adaptation and limits, and pitches with
// accents, step limits, interpolation and jitter.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/log.h"
#include "prosody/mikro.h"
#include "text/word_tags.h"

namespace sint {

namespace {

// Separates the tags of a word with the text-analysis word-tag operations: a
// run of tag letters right after a ":" is one tag (the ":" stays in the phone
// string); a list in parentheses wins over the inline tags. "T" is read as
// "S". When some tag holds "L", only the first tag holding "S" is kept of
// those that hold one.
std::vector<std::string> take_tags(std::string& word) {
    WordTagRecord record{word, ""};
    strip_tags(record);
    split_tags(record);
    word = record.word;
    std::vector<std::string> tags;
    std::size_t start = 0;
    while (start <= record.tags.size()) {
        std::size_t comma = record.tags.find(',', start);
        if (comma == std::string::npos) comma = record.tags.size();
        if (comma > start) tags.push_back(record.tags.substr(start, comma - start));
        start = comma + 1;
    }
    for (std::string& tag : tags) std::replace(tag.begin(), tag.end(), 'T', 'S');
    const bool has_l = std::any_of(tags.begin(), tags.end(), [](const std::string& t) {
        return t.find('L') != std::string::npos;
    });
    if (has_l) {
        bool seen_s = false;
        std::erase_if(tags, [&](const std::string& t) {
            if (t.find('S') == std::string::npos) return false;
            if (!seen_s) {
                seen_s = true;
                return false;
            }
            return true;
        });
    }
    return tags;
}

// The accent type the tags decide: an "X" tag keeps the computed type, then
// "A" gives "a" and "C" gives "c".
char tag_accent(const std::vector<std::string>& tags, char computed) {
    std::string list;
    for (const std::string& tag : tags) list += (list.empty() ? "" : ",") + tag;
    const char decided = classify_tags(list);
    return decided == 'a' || decided == 'c' ? decided : computed;
}

// A computed duration as whole milliseconds, kept within what a record holds
// (so that the integer steps after it cannot overflow).
int to_ms(double value) {
    if (!(value > 0)) return 0;
    return value >= 32767 ? 32767 : static_cast<int>(value);
}

int stressed_row(char c) {
    const char* rows = "aeEioOu@";
    const char* hit = c != '\0' ? std::strchr(rows, c) : nullptr;
    return hit ? static_cast<int>(hit - rows) : -1;
}

int unstressed_row(char c) {
    const char* rows = "aeiou@";
    const char lower = c == 'E'   ? 'e'
                       : c == 'O' ? 'o'
                       : c == 'A' ? 'a'
                       : c == 'I' ? 'i'
                       : c == 'U' ? 'u'
                                  : c;
    const char* hit = lower != '\0' ? std::strchr(rows, lower) : nullptr;
    return hit ? static_cast<int>(hit - rows) : -1;
}

}  // namespace

void TMikro::analyse_word(MikroWord& word, bool ignore_tags) const {
    const MikroProfile& p = profile_;
    const std::vector<std::string> tags = take_tags(word.text);

    phones_.phone_indices(word.text, word.phones);
    // Phones the text-analysis inventory has beyond this profile's list have no
    // tables here; they are left out.
    std::erase_if(word.phones, [&](int index) {
        return index < 0 || static_cast<std::size_t>(index) >= p.phones.size();
    });
    if (word.phones.empty() || word.phones.size() > kMikroWordPhonesMax) return;
    if (!phones_.DolociZvocnost(word.phones, word.classes)) {
        log_write("DolociZvocnost() called from micro(cBeseda = " + word.text + ")");
    }
    phones_.DeljenjeNaZloge(word.classes, word.syllables);

    const std::size_t syllables = word.syllables.size();
    word.stress.assign(syllables, 0);
    int stressed = 0;
    for (std::size_t j = 0; j < syllables; ++j) {
        const auto nucleus = static_cast<std::size_t>(word.syllables[j].nucleus);
        const std::string& name = p.phones[static_cast<std::size_t>(word.phones[nucleus])];
        if (name.size() > 1) {
            const std::size_t mark = p.stress_marks.find(name[1]);
            if (mark != std::string::npos) word.stress[j] = static_cast<int>(mark) + 1;
        }
        if (word.stress[j] != 0) ++stressed;
    }
    word.word_type =
        syllables == 1 || (stressed == 1 && word.stress[syllables - 1] != 0) ? 'o' : 'b';

    auto open = [&](std::size_t j) {
        return word.classes[static_cast<std::size_t>(word.syllables[j].end)] == 'v';
    };
    char accent = 'c';
    switch (p.k(30)) {
        case 0:
            accent = stressed > 0 ? 'a' : 'c';
            break;
        case 1:
        case 4:
            for (std::size_t j = 0; j < syllables; ++j) {
                if (word.stress[j] == 0) continue;
                accent = open(j) || (p.k(30) == 4 && syllables >= 4) ? 'a' : 'c';
            }
            break;
        case 2:
            accent = 'a';
            break;
        case 3:
            accent = 'c';
            break;
        default:
            log_write("Napaka pri dolocanju 'a' oziroma 'c'");
            accent = 'a';
            break;
    }
    word.accent = ignore_tags ? accent : tag_accent(tags, accent);
}

void TMikro::word_durations(MikroWord& word) const {
    const MikroProfile& p = profile_;
    const std::size_t n = word.phones.size();
    const std::size_t syllables = word.syllables.size();
    std::vector<std::size_t> syllable_of(n, 0);
    for (std::size_t j = 0; j < syllables; ++j) {
        for (int k = word.syllables[j].start; k <= word.syllables[j].end; ++k) {
            if (k >= 0 && static_cast<std::size_t>(k) < n)
                syllable_of[static_cast<std::size_t>(k)] = j;
        }
    }
    std::size_t first_stressed = syllables;
    for (std::size_t j = 0; j < syllables; ++j) {
        if (word.stress[j] != 0) {
            first_stressed = j;
            break;
        }
    }
    const bool ends_in_vowel = word.classes[n - 1] == 'v';

    word.durations.assign(n, 0);
    for (std::size_t k = 0; k < n; ++k) {
        const auto phone = static_cast<std::size_t>(word.phones[k]);
        const std::string& name = p.phones[phone];
        if (word.classes[k] != 'v') {
            const bool before_consonant = k + 1 < n && word.classes[k + 1] != 'v';
            word.durations[k] = before_consonant ? p.duration_cc[phone] : p.duration_vcv[phone];
            continue;
        }
        const std::size_t j = syllable_of[k];
        if (word.stress[j] != 0) {
            int row = stressed_row(name[0]);
            if (row < 0) {
                log_write("Napaka pri  dolzinah naglasenih samoglasnikov (" + name.substr(0, 1) +
                          ")");
                row = 0;
            }
            const int column = word.word_type == 'o' ? 3 : j == 0 ? 1 : 2;
            word.durations[k] = p.stressed_duration[static_cast<std::size_t>(4 * row + column - 1)];
        } else {
            int row = unstressed_row(name[0]);
            if (row < 0) {
                log_write("Napaka pri  dolzinah nenaglasenih samoglasnikov (" + name.substr(0, 1) +
                          ")");
                row = 0;
            }
            int column = 0;
            if (j < first_stressed && first_stressed < syllables) {
                column = ends_in_vowel ? 1 : 2;
            } else {
                column = syllables == 2 ? 3 : 4;
            }
            word.durations[k] =
                p.unstressed_duration[static_cast<std::size_t>(4 * row + column - 1)];
        }
    }

    const int mode = rate_mode_used();
    for (std::size_t k = 0; k < n; ++k) {
        const auto phone = static_cast<std::size_t>(word.phones[k]);
        const double d = word.durations[k];
        if (mode == 1) {
            word.durations[k] =
                to_ms((100.0 - p.fast_shortening[phone] * p.k(0) / 100.0) * d / 100.0 + 0.5);
        } else if (mode == 2) {
            word.durations[k] =
                to_ms((100.0 + p.slow_lengthening[phone] * p.k(1) / 100.0) * d / 100.0 + 0.5);
        }
    }

    adapt_tempo(word);

    const bool fast = mode == 1;
    for (std::size_t k = 0; k < n; ++k) {
        const auto phone = static_cast<std::size_t>(word.phones[k]);
        const bool vowel = word.classes[k] == 'v';
        const long long m = vowel ? p.k(fast ? 43 : 41) : p.k(fast ? 44 : 42);
        long long d = std::max<long long>(word.durations[k], p.minimum_duration[phone] * m / 100);
        d = d * (vowel ? p.k(32) : p.k(31)) / 100;
        if ((word.position == 'K' || word.position == 'k') && syllable_of[k] + 1 == syllables) {
            d = d * p.k(57) / 100;
        }
        word.durations[k] = to_ms(static_cast<double>(d));
    }
}

void TMikro::adapt_tempo(MikroWord& word) const {
    const MikroProfile& p = profile_;
    const int mode = rate_mode_used();
    const std::array<double, 6>& ta = mode == 1 ? p.ta_fast : mode == 2 ? p.ta_slow : p.ta_normal;
    const std::size_t pair = word.position == 'Z' || word.position == 'z' ? 0
                             : word.position == 's'                       ? 2
                                                                          : 4;
    const double strength = p.k(mode == 1 ? 3 : mode == 2 ? 4 : 2);
    const double syllables = static_cast<double>(word.syllables.size());
    double target = ta[pair] + ta[pair + 1] * std::log(syllables);
    if (p.fine_setting != 0) target -= (49.0 - p.fine_setting) * 0.04;
    long total = 0;
    for (int d : word.durations) total += d;
    // Without a positive target or duration there is no rate to adapt to.
    if (target <= 0 || total <= 0) return;
    const double actual = syllables / static_cast<double>(total) * 1000.0;
    const double x = std::min(50.0, strength * (actual / target - 1.0));
    const std::size_t n = word.durations.size();

    int method = p.k(47);
    if (method == 1 && n > kCurvePhonesMax) method = 2;
    if (method == 0) {
        std::vector<double> e(n);
        double weighted = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const auto phone = static_cast<std::size_t>(word.phones[k]);
            e[k] = x < 0 ? 1.0 - p.fast_shortening[phone] / 100.0
                         : 1.0 + p.slow_lengthening[phone] / 100.0;
            weighted += e[k] * word.durations[k];
        }
        const double s = weighted / static_cast<double>(total);
        // All elasticities equal to 1: nothing can stretch.
        if (std::fabs(s - 1.0) < 1e-9) return;
        for (std::size_t k = 0; k < n; ++k) {
            word.durations[k] =
                to_ms(word.durations[k] * (1.0 + (e[k] - 1.0) * (x / 100.0) / (s - 1.0)) + 0.5);
        }
    } else if (method == 1) {
        // A 400-point curve per phone, monotone in the point index, with the
        // current duration at point 199; every phone takes the point where the
        // summed curves reach the target total.
        constexpr int kPoints = 400;
        std::vector<std::array<double, kPoints>> curves(n);
        for (std::size_t k = 0; k < n; ++k) {
            const auto phone = static_cast<std::size_t>(word.phones[k]);
            const double reference = p.reference_duration[phone];
            const double down = reference * p.fast_shortening[phone] / 2500.0;
            const double up = reference * p.slow_lengthening[phone] / 2500.0;
            const double d = word.durations[k];
            auto& c = curves[k];
            if (d < reference) {
                for (int j = 0; j < 200; ++j) c[j] = d - (199 - j) * down;
                for (int j = 200; j < kPoints; ++j) c[j] = reference + (j - 200) * up;
            } else {
                for (int j = 0; j < 199; ++j) c[j] = reference - (200 - j) * down;
                for (int j = 199; j < kPoints; ++j) c[j] = d + (j - 199) * up;
            }
            for (double& v : c) v = std::max(0.0, std::round(v));
        }
        const double want = (1.0 + x / 100.0) * static_cast<double>(total);
        int point = 0;
        for (int j = 0; j < kPoints; ++j) {
            double sum = 0;
            for (std::size_t k = 0; k < n; ++k) sum += curves[k][j];
            if (sum <= want) point = j;
        }
        for (std::size_t k = 0; k < n; ++k) word.durations[k] = to_ms(curves[k][point]);
    } else {
        for (int& d : word.durations) d = to_ms(d * (100.0 + x) / 100.0 + 0.5);
    }
}

void TMikro::word_pitches(MikroWord& word) {
    const MikroProfile& p = profile_;
    const std::size_t n = word.phones.size();
    const std::size_t syllables = word.syllables.size();
    int base = p.k(5), first = p.k(6), last = p.k(7);
    if (word.position == 'Z') {
        base = p.k(50), first = p.k(51), last = p.k(52);
    } else if (word.position == 'K') {
        base = p.k(53), first = p.k(54), last = p.k(55);
    }
    std::vector<std::size_t> syllable_of(n, 0);
    for (std::size_t j = 0; j < syllables; ++j) {
        for (int k = word.syllables[j].start; k <= word.syllables[j].end; ++k) {
            if (k >= 0 && static_cast<std::size_t>(k) < n)
                syllable_of[static_cast<std::size_t>(k)] = j;
        }
    }

    word.pitches.assign(n, 0);
    for (std::size_t k = 0; k < n; ++k) {
        const std::string& name = p.phones[static_cast<std::size_t>(word.phones[k])];
        if (word.classes[k] == 'v') {
            const std::size_t j = syllable_of[k];
            if (word.stress[j] != 0) {
                int row = stressed_row(name[0]);
                if (row < 0) {
                    log_write("Napaka pri  visinah naglasenih samoglasnikov (" + name.substr(0, 1) +
                              ")");
                    row = 0;
                }
                const int column = word.word_type == 'o' ? 3 : j == 0 ? 1 : 2;
                word.pitches[k] =
                    p.stressed_pitch[static_cast<std::size_t>(4 * row + column - 1)] + base;
            } else {
                int row = unstressed_row(name[0]);
                if (row < 0) {
                    log_write("Napaka pri  visinah nenaglasenih samoglasnikov (" +
                              name.substr(0, 1) + ")");
                    row = 0;
                }
                word.pitches[k] = p.unstressed_pitch[static_cast<std::size_t>(4 * row)] + base;
            }
        } else if (k == 0) {
            word.pitches[k] = first + base;
        } else if (k + 1 == n) {
            word.pitches[k] = last + base;
        }
    }
    auto nucleus = [&](std::size_t j) -> int& {
        return word.pitches[static_cast<std::size_t>(word.syllables[j].nucleus)];
    };
    if (word.position == 'K') nucleus(syllables - 1) += p.k(56);

    std::size_t t = 0;
    for (std::size_t j = 0; j < syllables; ++j) {
        if (word.stress[j] != 0) {
            t = j;
            break;
        }
    }
    if (word.word_type == 'b') {
        int add[3] = {p.k(10), p.k(11), p.k(12)};
        if (word.accent == 'c') {
            const bool short_word = p.k(30) == 4 && syllables < 3;
            add[0] = short_word ? p.k(18) : p.k(15);
            add[1] = short_word ? p.k(19) : p.k(16);
            add[2] = 0;
        }
        for (std::size_t i = 0; i < 3 && t + i < syllables; ++i) nucleus(t + i) += add[i];
    } else if (word.stress[0] != 0) {
        int& top = nucleus(0);
        top += word.accent == 'a' ? p.k(20) : p.k(25);
        if (static_cast<std::size_t>(word.syllables[0].nucleus) + 1 != n) {
            word.pitches[n - 1] = top + (word.accent == 'a' ? p.k(21) : p.k(26));
        }
    }

    const int rise = word.accent == 'a' ? p.k(36) : p.k(38);
    const int fall = word.accent == 'a' ? p.k(37) : p.k(39);
    if (word.accent == 'c') nucleus(0) = std::min(nucleus(0), first + base + rise);
    for (std::size_t j = 1; j < syllables; ++j) {
        if (nucleus(j) - nucleus(j - 1) > rise) nucleus(j) = nucleus(j - 1) + rise;
    }
    for (std::size_t j = 1; j < syllables; ++j) {
        if (nucleus(j - 1) - nucleus(j) > fall) nucleus(j - 1) = nucleus(j) + fall;
    }

    // Straight lines in time over the phones without a target, from the phone
    // before to the next phone with one, each taken at its midpoint.
    std::vector<double> middle(n);
    double start = 0;
    for (std::size_t k = 0; k < n; ++k) {
        middle[k] = start + word.durations[k] / 2.0;
        start += word.durations[k];
    }
    for (std::size_t k = 1; k < n; ++k) {
        if (word.pitches[k] != 0) continue;
        std::size_t next = k + 1;
        while (next < n && word.pitches[next] == 0) ++next;
        const int from = word.pitches[k - 1];
        if (next == n || middle[next] <= middle[k - 1]) {
            word.pitches[k] = from;
            continue;
        }
        const double share = (middle[k] - middle[k - 1]) / (middle[next] - middle[k - 1]);
        word.pitches[k] = static_cast<int>(std::lround(from + (word.pitches[next] - from) * share));
    }

    const int jitter = p.k(46);
    if (jitter > 0) {
        std::uniform_int_distribution<int> draw(-jitter, jitter);
        for (int& pitch : word.pitches) pitch += draw(jitter_);
    }
}

}  // namespace sint
