#include "text/char_classes.h"

#include <string_view>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"

namespace sint {
namespace {

struct ClassKey {
    std::string_view key;
    int column;
};

// The class lists in the order they are read.
constexpr ClassKey kClassKeys[] = {
    {"cifre", kDigits},
    {"male_crke", kSmallLetters},
    {"velike_crke", kCapitals},
    {"koncna_locila", kFinalPunctuation},
    {"nekoncna_locila", kNonFinalPunctuation},
    {"dodatna_locila", kExtraPunctuation},
    {"posebni_znaki", kSpecial},
    {"dodatni_znaki", kExtraCharacters},
    {"samoglasniki", kVowels},
    {"soglasniki", kConsonants},
    {"sogl_pr", kRuleConsonants},
    {"zvocniki", kSonorants},
    {"nezv_sogl", kVoiceless},
    {"zven_sogl", kVoiced},
    {"zven_nezvoc", kVoicedObstruents},
    {"glasovne_skupine", kGroupSymbols},
    {"sampa_locila", kSampaPunctuation},
};

}  // namespace

CharClassTable::CharClassTable() = default;

int CharClassTable::load(const ProfileFile& profile) {
    for (const ClassKey& entry : kClassKeys) {
        for (auto& row : cells_) row[entry.column] = 0;
        const int length = profile.string_length(entry.key);
        if (length < 1 || static_cast<std::size_t>(length) > kClassListMax) {
            report_error("Napaka 1 pri branju sibmolov " + std::string(entry.key) + "\n");
            return kNotPossible;
        }
        std::string value;
        profile.get_string(entry.key, value, kClassListMax + 1);
        for (std::size_t i = 0; i < value.size(); ++i) {
            const auto ch = static_cast<unsigned char>(value[i]);
            if (ch == 0) {
                report_error("Napaka 2 pri branju sibmolov " + std::string(entry.key) + "\n");
                return kNotPossible;
            }
            cells_[ch][entry.column] = static_cast<std::uint16_t>(i + 1);
        }
        if (entry.column == kCapitals) capitals_ = value;
        if (entry.column == kSmallLetters) small_letters_ = value;
    }
    forced_space_ = '\0';
    std::string forced;
    if (profile.get_string("Vsiljeni_presledek", forced) > 0) forced_space_ = forced[0];
    return 0;
}

unsigned char CharClassTable::to_lower(unsigned char ch) const {
    const std::uint16_t pos = cells_[ch][kCapitals];
    if (pos == 0 || pos > small_letters_.size()) return ch;
    return static_cast<unsigned char>(small_letters_[pos - 1]);
}

unsigned char CharClassTable::to_upper(unsigned char ch) const {
    const std::uint16_t pos = cells_[ch][kSmallLetters];
    if (pos == 0 || pos > capitals_.size()) return ch;
    return static_cast<unsigned char>(capitals_[pos - 1]);
}

void CharClassTable::lower_case(std::string& text) const {
    for (char& c : text) c = static_cast<char>(to_lower(static_cast<unsigned char>(c)));
}

}  // namespace sint
