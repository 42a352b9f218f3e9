#include "synth/phone_conversion.h"

#include <cstring>
#include <new>
#include <string_view>

#include "core/status.h"

namespace sint {

namespace {

// The output grows by this many records whenever fewer than kGrowMargin free
// records remain before an input record is expanded.
constexpr std::size_t kGrowStep = 100;
constexpr std::size_t kGrowMargin = 5;
bool in_set(std::string_view name, std::initializer_list<std::string_view> set) {
    for (std::string_view s : set)
        if (name == s) return true;
    return false;
}

bool is_vowel(std::string_view name) {
    return in_set(name,
                  {"a", "a:", "e:", "E", "E:", "i", "i:", "o:", "O", "O:", "u", "u:", "@", "@:"});
}

bool is_voiced_consonant(std::string_view name) {
    return in_set(name, {"b", "d", "z", "Z", "g", "m", "n", "v", "j", "l", "r", "=", "U", "I"});
}

bool is_voiceless(std::string_view name) {
    return !name.empty() && !is_vowel(name) && !is_voiced_consonant(name);
}

// Database unit name of a phone name: stressed short vowels become long, the
// palatal l and n plain, and a few allophones their base phone.
std::string_view unit_name(std::string_view name) {
    static constexpr struct {
        std::string_view from, to;
    } kMap[] = {{"a\"", "a:"}, {"E\"", "E:"}, {"i\"", "i:"}, {"O\"", "O:"},
                {"u\"", "u:"}, {"@\"", "@:"}, {"l'", "l"},   {"n'", "n"},
                {"F", "m"},    {"N", "n"},    {"W", "u"}};
    for (const auto& m : kMap)
        if (name == m.from) return m.to;
    return name;
}

AlophoneRecord make(std::string_view name, std::int32_t duration, std::int32_t pitch) {
    AlophoneRecord r;
    const std::size_t n = std::min<std::size_t>(name.size(), sizeof r.name - 1);
    std::memcpy(r.name, name.data(), n);
    r.duration = duration;
    r.f0_start = r.f0_middle = r.f0_end = pitch;
    return r;
}

void set_name(AlophoneRecord& r, std::string_view name) {
    std::memset(r.name, 0, sizeof r.name);
    std::memcpy(r.name, name.data(), std::min<std::size_t>(name.size(), sizeof r.name - 1));
}

std::string_view name_of(const AlophoneRecord& r) {
    return std::string_view(r.name, strnlen(r.name, sizeof r.name));
}

std::int32_t scale_deviation(std::int32_t value, std::int32_t base, std::int32_t articulation) {
    return (value - base) * articulation / 100 + base;
}

// Appends the units of one input record with adjusted pitch `p`.
void expand(std::vector<AlophoneRecord>& out, std::string_view name, std::int32_t d,
            std::int32_t p) {
    if (name == "b" || name == "d" || name == "g") {
        out.push_back(make("=", d * 9 / 10, p));
        out.push_back(make(name, 0, p));
    } else if (name == "p" || name == "t" || name == "k") {
        out.push_back(make("-", d * 9 / 10, p));
        out.push_back(make(name, 0, p));
    } else if (name == "ts" || name == "tS") {
        out.push_back(make("-", d * 45 / 100, p));
        out.push_back(make("t", 0, p));
        out.push_back(make(name == "ts" ? "s" : "S", d * 45 / 100, p));
    } else if (name == "_") {
        if (d <= 40) {
            out.push_back(make("_", d, p));
        } else if (d <= 80) {
            out.push_back(make("_", d / 2, p));
            out.push_back(make("_", d / 2, p));
        } else {
            const std::int32_t middle = std::max(d - 80, 30);
            const std::int32_t edge = (d - middle) / 2;
            out.push_back(make("_", edge, p));
            out.push_back(make("_", middle, 0));
            out.push_back(make("_", edge, p));
        }
    } else {
        out.push_back(make(unit_name(name), d, p));
    }
}

void choose_glides(std::vector<AlophoneRecord>& out) {
    const std::size_t last = out.size() - 1;  // the terminator
    for (std::size_t j = 0; j < last; ++j) {
        const bool after_vowel = j > 0 && is_vowel(name_of(out[j - 1]));
        const std::string_view next = name_of(out[j + 1]);
        const std::string_view name = name_of(out[j]);
        if (name == "i" && after_vowel && next != "n") {
            set_name(out[j], "I");
        } else if (name == "j" && after_vowel && !is_vowel(next)) {
            set_name(out[j], "I");
        } else if (name == "u" && after_vowel) {
            set_name(out[j], "U");
        } else if (name == "w") {
            set_name(out[j], after_vowel ? "U" : "u");
        }
    }
}

void remove_empty_pauses(std::vector<AlophoneRecord>& out) {
    std::erase_if(out,
                  [](const AlophoneRecord& r) { return r.duration == 0 && name_of(r) == "_"; });
}

void smooth_boundaries(std::vector<AlophoneRecord>& out) {
    for (std::size_t k = 1; k + 1 < out.size(); ++k) {
        AlophoneRecord& prev = out[k - 1];
        AlophoneRecord& cur = out[k];
        const bool v0 = is_vowel(name_of(prev)), v1 = is_vowel(name_of(cur));
        const bool c0 = is_voiced_consonant(name_of(prev)), c1 = is_voiced_consonant(name_of(cur));
        std::int32_t start;
        if (v0 && v1) {
            start = (cur.f0_middle + prev.f0_middle) / 2;
        } else if (v1 && c0) {
            start = (3 * cur.f0_middle + prev.f0_middle) / 4;
        } else if (v0 && c1) {
            start = (cur.f0_middle + 3 * prev.f0_middle) / 4;
        } else if (c0 && c1) {
            start = (cur.f0_middle + prev.f0_middle) / 2;
        } else {
            continue;
        }
        cur.f0_start = start;
        prev.f0_end = start;
    }
}

// Straight pitch lines through each maximal run of voiceless units.
void draw_voiceless_lines(std::vector<AlophoneRecord>& out) {
    const std::size_t terminator = out.size() - 1;
    std::int32_t previous_target = 0;
    std::size_t s = 0;
    while (s < out.size()) {
        if (!is_voiceless(name_of(out[s]))) {
            ++s;
            continue;
        }
        std::size_t e = s;
        while (e + 1 < out.size() && is_voiceless(name_of(out[e + 1]))) ++e;
        std::int32_t target;
        if (e + 1 != terminator && e + 1 < out.size()) {
            target = out[e + 1].f0_start;
        } else if (s > 0) {
            target = out[s - 1].f0_end;
        } else {
            target = previous_target;
        }
        previous_target = target;
        const std::int32_t begin = s > 0 ? out[s - 1].f0_end : target;
        std::int64_t total = 0;
        for (std::size_t l = s; l <= e; ++l) total += out[l].duration;
        if (total == 0) total = 1;
        const double slope = static_cast<double>(target - begin) / static_cast<double>(total);
        double t = 0;
        for (std::size_t l = s; l <= e; ++l) {
            const double d = out[l].duration;
            out[l].f0_start = static_cast<std::int32_t>(begin + t * slope);
            out[l].f0_middle = static_cast<std::int32_t>(begin + (t + d / 2) * slope);
            out[l].f0_end = static_cast<std::int32_t>(begin + (t + d) * slope);
            t += d;
        }
        s = e + 1;
    }
}

}  // namespace

bool is_voiced_unit(std::string_view name) {
    const std::string_view unit = unit_name(name);
    return is_vowel(unit) || is_voiced_consonant(unit);
}

int PhoneConverter::run(ProsodyRecord* input, int count, std::int32_t boundary_pitch,
                        std::int32_t articulation, std::int32_t pitch_offset) {
    free();
    if (count < 0 || (count > 0 && input == nullptr)) count = 0;
    try {
        std::vector<AlophoneRecord> out;
        out.reserve(static_cast<std::size_t>(count) + 2);
        out.push_back(make("_", leading_pause_, 0));
        for (int i = 0; i < count; ++i) {
            ProsodyRecord& rec = input[i];
            const std::int32_t p =
                scale_deviation(rec.pitch, boundary_pitch, articulation) + pitch_offset;
            rec.pitch = static_cast<std::int16_t>(p);
            if (out.capacity() - out.size() < kGrowMargin) out.reserve(out.capacity() + kGrowStep);
            expand(out, std::string_view(rec.name, strnlen(rec.name, sizeof rec.name)),
                   rec.duration, p);
        }
        out.push_back(AlophoneRecord{});
        choose_glides(out);
        remove_empty_pauses(out);
        smooth_boundaries(out);
        draw_voiceless_lines(out);
        AlophoneRecord& end = out.back();
        const AlophoneRecord& before = out[out.size() - 2];
        end.f0_start = end.f0_middle = end.f0_end = before.f0_end;
        output_ = std::move(out);
        count_ = static_cast<int>(output_.size()) - 1;
        return count_;
    } catch (const std::bad_alloc&) {
        free();
        return kNotPossible;
    }
}

void PhoneConverter::free() {
    output_.clear();
    output_.shrink_to_fit();
    count_ = 0;
}

}  // namespace sint
