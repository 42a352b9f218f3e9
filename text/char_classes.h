// CharClassTable: the character classes of the text-analysis profile.
//
// Each of 18 columns is filled from one class list of the profile; the cell of a
// byte holds its 1-based position in that list (the later one when the byte is
// listed twice), or 0. Every text-analysis stage classifies bytes through it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sint {

class ProfileFile;

enum CharClass : int {
    kGroupSymbols = 0,          // glasovne_skupine
    kVowels = 1,                // samoglasniki
    kConsonants = 2,            // soglasniki
    kRuleConsonants = 3,        // sogl_pr
    kSonorants = 4,             // zvocniki
    kVoiceless = 5,             // nezv_sogl
    kVoiced = 6,                // zven_sogl
    kVoicedObstruents = 7,      // zven_nezvoc
    kUnused = 8,                // always 0
    kSmallLetters = 9,          // male_crke
    kCapitals = 10,             // velike_crke
    kDigits = 11,               // cifre
    kFinalPunctuation = 12,     // koncna_locila
    kNonFinalPunctuation = 13,  // nekoncna_locila
    kExtraPunctuation = 14,     // dodatna_locila
    kSpecial = 15,              // posebni_znaki
    kExtraCharacters = 16,      // dodatni_znaki
    kSampaPunctuation = 17,     // sampa_locila
};

inline constexpr int kClassColumns = 18;
// Longest class list; a longer value fails the loading.
inline constexpr std::size_t kClassListMax = 256;

class CharClassTable {
public:
    CharClassTable();

    // Fills the table from the profile (`pripravi_simbole`); returns 0 or -1 after
    // reporting the failing key.
    int load(const ProfileFile& profile);

    std::uint16_t cell(unsigned char ch, int column) const { return cells_[ch][column]; }
    bool in(unsigned char ch, int column) const { return cells_[ch][column] != 0; }

    bool is_letter(unsigned char ch) const { return in(ch, kSmallLetters) || in(ch, kCapitals); }
    bool is_small(unsigned char ch) const { return in(ch, kSmallLetters); }
    bool is_capital(unsigned char ch) const { return in(ch, kCapitals); }
    bool is_digit(unsigned char ch) const { return in(ch, kDigits); }
    bool is_final(unsigned char ch) const { return in(ch, kFinalPunctuation); }
    bool is_final_or_non_final(unsigned char ch) const {
        return in(ch, kFinalPunctuation) || in(ch, kNonFinalPunctuation);
    }
    bool is_punctuation(unsigned char ch) const {
        return in(ch, kFinalPunctuation) || in(ch, kNonFinalPunctuation) ||
               in(ch, kExtraPunctuation);
    }
    bool is_sentence_char(unsigned char ch) const {
        return is_letter(ch) || is_digit(ch) || is_final_or_non_final(ch) || in(ch, kSpecial);
    }
    static bool is_space(unsigned char ch) {
        return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
    }

    unsigned char to_lower(unsigned char ch) const;
    unsigned char to_upper(unsigned char ch) const;
    void lower_case(std::string& text) const;

    // The forced-space character of `Vsiljeni_presledek` (NUL when the key is empty).
    char forced_space() const { return forced_space_; }
    const std::string& capitals() const { return capitals_; }
    const std::string& small_letters() const { return small_letters_; }

private:
    // Two bytes a cell, so that the 256th character of a full list keeps a non-zero position.
    std::array<std::array<std::uint16_t, kClassColumns>, 256> cells_{};
    std::string capitals_;
    std::string small_letters_;
    char forced_space_ = '\0';
};

}  // namespace sint
