#include "text/numbers.h"

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_classes.h"
#include "text/profile_lists.h"
#include "text/text_limits.h"

namespace sint {

namespace {

constexpr const char* kThousand = "tiso~ ";
constexpr char kOrdinalMark = '|';

const std::string* first_ending(std::string_view word, const std::vector<std::string>& keys,
                                const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i)
        if (word.ends_with(keys[i])) return &values[i];
    return nullptr;
}

}  // namespace

void close_sentence(std::string& text, const CharClassTable& classes) {
    std::size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos || !classes.is_final(static_cast<unsigned char>(text[last])))
        text += " .";
}

int NumberWords::load(ProfileFile& profile) {
    const bool ok = read_list_items(profile, "gl_stevnik", '\t', cardinal_) ==
                        static_cast<int>(kNumberWordCount) &&
                    read_list_items(profile, "vrst_koren", '\t', ordinal_) ==
                        static_cast<int>(kNumberWordCount) &&
                    read_list_items(profile, "mesec", '\t', months_) >= 1 &&
                    read_list_items(profile, "nasl_konc_mes", '\t', month_word_endings_) >= 1 &&
                    read_list_items(profile, "vrst_konc_mes", '\t', month_endings_) ==
                        static_cast<int>(month_word_endings_.size()) &&
                    read_list_items(profile, "nasl_konc", '\t', word_endings_) >= 1 &&
                    read_list_items(profile, "vrst_konc", '\t', endings_) ==
                        static_cast<int>(word_endings_.size());
    if (!ok) {
        report_error("Napaka: v ini datoteki (ini_gfp): pripravi_stevilke");
        return kNotPossible;
    }
    return 0;
}

std::string NumberWords::ordinal_ending(std::string_view next_word) const {
    for (const std::string& month : months_) {
        if (month != next_word) continue;
        if (const std::string* e = first_ending(next_word, month_word_endings_, month_endings_))
            return *e;
        break;
    }
    if (const std::string* e = first_ending(next_word, word_endings_, endings_)) return *e;
    return "i";
}

std::string NumberWords::words(long n, bool ordinal, const std::string& ending) const {
    std::string out;
    bool thousands = false;
    bool hundreds = false;
    if (n < 0 || n > kNumberWordsMax) n = 0;
    if (n >= 100000) {
        out += cardinal_[static_cast<std::size_t>(99 + n / 100000)] + ' ';
        n %= 100000;
        thousands = true;
    }
    if (n > (thousands ? 999 : 1999)) {
        out += cardinal_[static_cast<std::size_t>(n / 1000)] + ' ';
        n %= 1000;
        thousands = true;
    } else if (n > 999) {
        n -= 1000;
        thousands = true;
    }
    if (thousands) out += kThousand;
    if (n >= 100) {
        out += cardinal_[static_cast<std::size_t>(99 + n / 100)] + ' ';
        n %= 100;
        hundreds = true;
    }
    const auto idx = static_cast<std::size_t>(n);
    if (!ordinal) {
        if (n > 0)
            out += cardinal_[idx] + ' ';
        else if (!thousands && !hundreds)
            out += ordinal_[0] + ' ';
        return out;
    }
    if (n > 0) {
        out += ordinal_[idx] + ' ';
    } else if (hundreds) {
        if (!out.empty() && out.back() == ' ') out.pop_back();
        out += 't';
    } else if (!thousands) {
        out += ordinal_[0] + ' ';
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    out += ending + ' ';
    return out;
}

void NumberWords::convert(const std::string& in, std::string& out,
                          const CharClassTable& classes) const {
    out.clear();
    const std::size_t size = in.size();
    std::size_t i = 0;
    const auto digit = [&](std::size_t k) {
        return k < size && classes.is_digit(static_cast<unsigned char>(in[k])) && in[k] >= '0' &&
               in[k] <= '9';
    };
    while (i < size) {
        if (!digit(i)) {
            out += in[i++];
            continue;
        }
        std::size_t j = i;
        long value = 0;
        bool too_big = false;
        while (digit(j)) {
            if (!too_big) {
                value = value * 10 + (in[j] - '0');
                too_big = value > kNumberWordsMax;
            }
            ++j;
        }
        // "250.000": the splitter writes a dot between digits as an inner dot
        // ('"'); groups of three digits after it continue the number.
        const bool after_group = i >= 3 && in[i - 1] == ' ' && in[i - 2] == '"' && in[i - 3] == ' ';
        if (!too_big && !after_group && j - i <= 3 && in[i] != '0') {
            std::size_t k = j;
            long grouped = value;
            while (k + 6 <= size && in[k] == ' ' && in[k + 1] == '"' && in[k + 2] == ' ' &&
                   digit(k + 3) && digit(k + 4) && digit(k + 5) && !digit(k + 6) &&
                   grouped <= kNumberWordsMax) {
                grouped = grouped * 1000 + (in[k + 3] - '0') * 100 + (in[k + 4] - '0') * 10 +
                          (in[k + 5] - '0');
                k += 6;
            }
            // A value beyond the number words keeps its groups apart.
            if (grouped <= kNumberWordsMax) {
                value = grouped;
                j = k;
            }
        }
        const bool ordinal = j + 1 < size && in[j + 1] == kOrdinalMark;
        if (too_big || (in[i] == '0' && !ordinal)) {
            std::string spoken;
            while (digit(i) && spoken.size() <= kDigitReadingMax) {
                spoken += cardinal_[static_cast<std::size_t>(in[i] - '0')] + ' ';
                if (i + 1 < size && in[i + 1] == kOrdinalMark) {
                    spoken += "pika ";
                    i += 3;
                } else {
                    ++i;
                }
            }
            out += spoken;
            if (i < size && in[i] == ' ') ++i;
        } else if (ordinal) {
            std::size_t w = std::min(j + 3, size);
            std::string next;
            while (w < size && next.size() < kEndingWordMax &&
                   classes.is_small(static_cast<unsigned char>(in[w])))
                next += in[w++];
            out += words(value, true, ordinal_ending(next));
            i = std::min(j + 3, size);
        } else {
            out += words(value, false, std::string());
            i = j < size && in[j] == ' ' ? j + 1 : j;  // the words end with their own space
        }
        if (out.size() > kOutputSoftLimit) {
            const std::size_t space = out.rfind(' ', kOutputSoftLimit);
            out.resize(space == std::string::npos ? 0 : space);
            report_error("*** Stavek je predolg. Ostanek stavka ne bo pretvorjen.");
            break;
        }
    }
    close_sentence(out, classes);
}

}  // namespace sint
