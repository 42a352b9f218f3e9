#include "text/syllables.h"

#include "core/log.h"

namespace sint {

namespace {

// True when `pattern` occurs anywhere in `classes` at or after `from`.
bool occurs_from(std::string_view classes, std::string_view pattern, int from) {
    if (from < 0 || static_cast<std::size_t>(from) > classes.size()) return false;
    return classes.find(pattern, static_cast<std::size_t>(from)) != std::string_view::npos;
}

char class_at(std::string_view classes, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= classes.size()) return '\0';
    return classes[static_cast<std::size_t>(position)];
}

// The first position of the syllable whose nucleus is `b + gap`, the previous
// nucleus being at `b`.
int boundary(std::string_view c, int b, int gap) {
    if (gap <= 2) return b + 1;
    int a = b + 1 + (gap - 1) / 2;
    if (occurs_from(c, "nnv", b + 1)) a = b + 2;
    if (occurs_from(c, "zzv", b + 1)) a = b + 2;
    if (occurs_from(c, "znv", b + 1)) a = b + 2;
    if (occurs_from(c, "vzn", b)) a = b + 2;
    if (occurs_from(c, "vnz", b)) a = class_at(c, b + 3) == 'v' ? b + 2 : b + 1;
    if (gap > 3 && occurs_from(c, "nnzv", b + 1)) a = b + 2;
    if (gap == 4 && occurs_from(c, "vzznv", b)) a = b + 3;
    if (gap == 4 && occurs_from(c, "vzzzv", b)) a = b + 2;
    if (gap == 5 && occurs_from(c, "vzznnv", b)) {
        a = b + 3;
    } else if (gap == 5 && occurs_from(c, "vzznzv", b)) {
        a = b + 3;
    }
    if (gap > 4 && occurs_from(c, "znnzv", b + 1)) a = b + 4;
    return a;
}

}  // namespace

bool DolociZvocnost(std::span<const int> phones, std::string_view sonority, std::string& classes) {
    classes.assign(phones.size(), 'n');
    bool ok = true;
    for (std::size_t i = 0; i < phones.size(); ++i) {
        const int index = phones[i];
        const char digit = index >= 0 && static_cast<std::size_t>(index) < sonority.size()
                               ? sonority[static_cast<std::size_t>(index)]
                               : '\0';
        switch (digit) {
            case '1':
                classes[i] = 'v';
                break;
            case '2':
                classes[i] = 'z';
                break;
            case '3':
            case '4':
                classes[i] = 'n';
                break;
            default:
                log_write("  DolociZvocnost() failed: Position in string = " + std::to_string(i));
                ok = false;
                break;
        }
    }
    return ok;
}

int DeljenjeNaZloge(std::string_view classes, std::vector<SyllableSpan>& spans) {
    spans.clear();
    const int length = static_cast<int>(classes.size());
    std::vector<int> vowels;
    for (int i = 0; i < length; ++i) {
        if (classes[static_cast<std::size_t>(i)] != 'v') continue;
        vowels.push_back(i);
        if (vowels.size() == kSyllableMax) {
            log_write("Fun: DeljenjeNaZloge(zvocnost = " + std::string(classes) +
                      "): Pri\x9Al do MAX \x9At. zlogov");
            break;
        }
    }
    const int last = length > 0 ? length - 1 : 0;
    if (vowels.size() <= 1) {
        spans.push_back({0, vowels.empty() ? 0 : vowels[0], last, 0});
        return 1;
    }
    spans.push_back({0, vowels[0], 0, 0});
    for (std::size_t k = 1; k < vowels.size(); ++k) {
        const int b = vowels[k - 1];
        const int a = boundary(classes, b, vowels[k] - b);
        spans.back().end = a - 1;
        spans.push_back({a, vowels[k], 0, 0});
    }
    spans.back().end = last;
    return static_cast<int>(spans.size());
}

}  // namespace sint
