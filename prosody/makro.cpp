// TMakro: the run: mapping to output symbols, phrases, pauses before listed
// words, the nucleus, the contours and the renaming back to phones.
#include "prosody/makro.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/log.h"
#include "core/status.h"

namespace sint {

namespace {

const char* const kNoMemory = "Func makro():  Ni zadosti pomnilnika za ustvaritev medpomnilnika\n";

std::int16_t to_int16(std::int32_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, -32768, 32767));
}

// value * percent / 100 in integer arithmetic, kept within what a record holds.
std::int32_t percent_of(std::int32_t value, std::int32_t percent) {
    const long long scaled = static_cast<long long>(value) * percent / 100;
    return static_cast<std::int32_t>(std::clamp<long long>(scaled, -32768, 32767));
}

}  // namespace

char TMakro::space_symbol() const {
    return profile_.mark_symbols[static_cast<std::size_t>(profile_.space)];
}

bool TMakro::is_phrase_end(char symbol) const {
    for (std::int32_t p : profile_.phrase_marks) {
        if (profile_.mark_symbols[static_cast<std::size_t>(p)] == symbol) return true;
    }
    return false;
}

MakroSymbol TMakro::map_record(const ProsodyRecord& record) const {
    const MakroProfile& p = profile_;
    MakroSymbol entry;
    entry.duration = record.duration;
    entry.pitch = record.pitch;
    const std::size_t length = strnlen(record.name, sizeof record.name);
    const std::string_view name(record.name, length);
    const int phone = length > 0 && length <= 2 ? phones_.phone_index(name) : -1;
    if (phone >= 0 && static_cast<std::size_t>(phone) < p.phone_symbols.size()) {
        entry.symbol = p.phone_symbols[static_cast<std::size_t>(phone)];
        entry.stress_class = p.stress_classes[static_cast<std::size_t>(phone)];
        return entry;
    }
    const std::size_t mark = length > 0 ? p.marks.find(name[0]) : std::string::npos;
    if (mark == std::string::npos) {
        // Neither a phone nor a mark: carried through as a silent separator.
        entry.symbol = space_symbol();
        entry.stress_class = 'l';
        entry.pitch = 0;
        return entry;
    }
    entry.symbol = p.mark_symbols[mark];
    entry.stress_class = 'l';
    if (length >= 2) {
        for (std::size_t m = 0; m < p.special_marks.size(); ++m) {
            if (p.marks[static_cast<std::size_t>(p.special_marks[m])] != name[1]) continue;
            if (m < p.lengthening.size()) {
                entry.duration = static_cast<std::int32_t>(
                    std::clamp(entry.duration * p.lengthening[m], -32768.0, 32767.0));
            }
            break;
        }
    }
    return entry;
}

void TMakro::apply_contour(std::vector<MakroSymbol>& entries, std::size_t begin, std::size_t end,
                           std::size_t nucleus, const IntonationContour& contour) const {
    const char space = space_symbol();
    const double start = contour[0], peak = contour[1], finish = contour[2];
    std::vector<std::size_t> before, after;
    for (std::size_t i = begin; i < nucleus; ++i) {
        if (entries[i].symbol != space) before.push_back(i);
    }
    for (std::size_t i = nucleus + 1; i < end; ++i) {
        if (entries[i].symbol != space) after.push_back(i);
    }
    MakroSymbol& top = entries[nucleus];

    if (!profile_.time_linear) {
        if (!before.empty()) {
            const float step = static_cast<float>(peak - start) / static_cast<float>(before.size());
            float g = static_cast<float>(start);
            for (std::size_t i : before) {
                entries[i].pitch = static_cast<std::int32_t>(entries[i].pitch * g / 100.0f);
                g += step;
            }
        }
        top.pitch = percent_of(top.pitch, contour[1]);
        top.duration = percent_of(top.duration, contour[3]);
        if (!after.empty()) {
            const float step = static_cast<float>(finish - peak) / static_cast<float>(after.size());
            float g = static_cast<float>(peak) + step;
            for (std::size_t i : after) {
                entries[i].pitch = static_cast<std::int32_t>(entries[i].pitch * g / 100.0f);
                g += step;
            }
        }
        return;
    }

    const double rise_limit = profile_.limit_slopes ? contour[5] / 1000.0 : 0.0;
    const double fall_limit = profile_.limit_slopes ? contour[6] / 1000.0 : 0.0;
    // A straight line in time from `from` towards `to` over the entries, each
    // taken at its midpoint; the slope is cut to the limit when one is set.
    auto walk = [&](const std::vector<std::size_t>& side, double from, double to, double limit) {
        if (side.empty()) return;
        long total = 0;
        for (std::size_t i : side) total += entries[i].duration;
        double slope = total > 0 ? (to - from) / static_cast<double>(total) : 0.0;
        if (limit > 0 && limit < std::fabs(slope)) slope = slope < 0 ? -limit : limit;
        long t = entries[side[0]].duration / 2;
        MakroSymbol& first = entries[side[0]];
        first.pitch = static_cast<std::int32_t>(first.pitch * (from + slope * t) / 100.0);
        for (std::size_t k = 1; k < side.size(); ++k) {
            MakroSymbol& e = entries[side[k]];
            t += (entries[side[k - 1]].duration + e.duration) / 2;
            e.pitch = static_cast<std::int32_t>((e.pitch * (from + slope * t) + 0.5) / 100.0);
        }
    };
    walk(before, start, peak, rise_limit);
    top.pitch = percent_of(top.pitch, contour[1]);
    top.duration = percent_of(top.duration, contour[3]);
    walk(after, peak, finish, fall_limit);
}

void TMakro::shape_phrase(std::vector<MakroSymbol>& entries, std::size_t begin, std::size_t end,
                          PhraseType type) const {
    const MakroProfile& p = profile_;
    const char space = space_symbol();
    std::string text;
    int nucleus = -1;
    for (std::size_t i = begin; i < end; ++i) {
        text.push_back(entries[i].symbol);
        if (entries[i].stress_class == ':') nucleus = static_cast<int>(i - begin);
    }

    // Pauses before listed words: the space in front of each whole-word occurrence.
    for (std::size_t w = 0; w < p.pause_words.size(); ++w) {
        const std::string& word = p.pause_words[w];
        if (word.empty()) continue;
        for (std::size_t at = text.find(word, 1); at != std::string::npos;
             at = text.find(word, at + 1)) {
            const std::size_t after = at + word.size();
            if (text[at - 1] == space && (after == text.size() || text[after] == space)) {
                entries[begin + at - 1].duration = p.pause_times[w];
            }
        }
    }

    // A listed word that stands whole in the phrase carries the phrase accent.
    for (std::size_t w = 0; w < p.nucleus_words.size(); ++w) {
        const std::string& word = p.nucleus_words[w];
        if (word.empty()) continue;
        const std::size_t at = text.find(word);
        if (at == std::string::npos) continue;
        const std::size_t after = at + word.size();
        if ((at == 0 || text[at - 1] == space) && (after == text.size() || text[after] == space)) {
            // A word without a long vowel takes the accent on its first phone.
            const std::size_t offset = static_cast<std::size_t>(std::max(0, p.nucleus_offsets[w]));
            nucleus = static_cast<int>(std::min(at + offset, after - 1));
            break;
        }
    }
    if (nucleus < 0) return;

    const IntonationContour& contour = p.contours[static_cast<std::size_t>(type)];
    apply_contour(entries, begin, end, begin + static_cast<std::size_t>(nucleus), contour);
    if (contour[4] != 100) {
        for (std::size_t i = begin; i < end; ++i) {
            if (entries[i].symbol != space) {
                entries[i].duration = percent_of(entries[i].duration, contour[4]);
            }
        }
    }
}

void TMakro::output_entry(const MakroSymbol& entry, bool as_pause) {
    ProsodyRecord& r = output_[static_cast<std::size_t>(count_++)];
    std::memset(r.name, 0, sizeof r.name);
    r.duration = to_int16(entry.duration);
    r.pitch = to_int16(entry.pitch);
    std::uint8_t phone = 0;
    if (!as_pause) {
        phone = rename_[static_cast<unsigned char>(entry.symbol) +
                        256u * static_cast<unsigned char>(entry.stress_class)];
    }
    if (phone == 0) {
        r.name[0] = '_';
        // An entry that names no phone is silent.
        if (!as_pause) r.pitch = 0;
        return;
    }
    const std::string name = phones_.phone_symbol(phone - 1);
    std::memcpy(r.name, name.data(), std::min<std::size_t>(name.size(), 3));
}

int TMakro::run(const ProsodyRecord* records, int count) {
    output_.clear();
    count_ = 0;
    if (!file_ || count < 0 || (count > 0 && !records)) {
        report_error("Napaka pri izvajanju makroprozodike!");
        return kStageFailed;
    }
    try {
        output_.assign(static_cast<std::size_t>(count) + 20, ProsodyRecord{});
    } catch (const std::bad_alloc&) {
        report_error(kNoMemory);
        report_error("Napaka pri inicializaciji makroprozodike!");
        return kNotPossible;
    }
    std::vector<MakroSymbol> entries;
    try {
        entries.reserve(static_cast<std::size_t>(count) + 1);
    } catch (const std::bad_alloc&) {
        report_error(kNoMemory);
        report_error("Napaka pri izvajanju makroprozodike!");
        output_.clear();
        return kStageFailed;
    }
    for (int i = 0; i < count; ++i) entries.push_back(map_record(records[i]));
    entries.push_back(MakroSymbol{});  // terminator

    const char space = space_symbol();
    const auto n = static_cast<std::size_t>(count);
    PhraseType type = PhraseType::statement;
    std::size_t begin = 0;
    while (begin < n) {
        std::size_t end = begin;
        while (end < n && !is_phrase_end(entries[end].symbol)) ++end;
        switch (end < n ? entries[end].symbol : '\0') {
            case '.':
            case ';':
                type = PhraseType::statement;
                break;
            case ',':
                type = PhraseType::non_final;
                break;
            case '!':
                type = PhraseType::exclamation;
                break;
            case '?':
                type = PhraseType::question;
                break;
            default:
                break;  // keeps the type of the previous phrase
        }
        shape_phrase(entries, begin, end, type);
        for (std::size_t i = begin; i < end; ++i) {
            output_entry(entries[i], entries[i].symbol == space);
        }
        while (end < n && is_phrase_end(entries[end].symbol)) output_entry(entries[end++], true);
        begin = end;
    }
    return 0;
}

}  // namespace sint
