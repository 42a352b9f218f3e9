// StressStatistics: the letter classing of written words, their syllable
// patterns, and the six statistics tables that give the stressed syllable and
// the quality of a stressed e or o from those patterns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

// Letters of `zlogotvorni_soglasniki` read (more are cut off).
inline constexpr std::size_t kSyllabicLettersMax = 64;

class ProfileFile;

// Letters `male_crke` may hold for the letter classing; a longer list fails the loading.
inline constexpr std::size_t kSyllableLettersMax = 63;
// Characters of a word that the analysis reads; the rest is ignored.
inline constexpr std::size_t kAnalysedWordMax = 127;
// Characters of a table key; longer lines are refused at load.
inline constexpr std::size_t kPatternKeyMax = 639;

// The analysis of one rule-transcribed word.
struct WordAnalysis {
    std::string word;
    std::string sonority_pattern;  // syllables of the v/z/n classes joined by the separator
    std::string vc_pattern;        // the same cut of the v/c classes
    int syllables = 0;
    int stressed = 0;    // 1-based, 0 before it is chosen
    std::string marked;  // space, word with "/" before the stressed nucleus, space
};

class StressStatistics {
public:
    // Reads the syllabification keys of the profile; returns 0, or -1 after
    // reporting the missing key.
    int load_profile(ProfileFile& profile, char forced_space);
    // Loads the six tables from `directory`; returns 0, or -1 after reporting
    // the first table that is missing, empty or malformed.
    int load_tables(const std::string& directory);

    // The v/z/n class of each letter; false when a letter has no valid digit
    // (it is then classed 'n').
    bool DolociZvocnostGT(std::string_view word, std::string& classes) const;
    // Fills the patterns and the syllable count of `word`.
    void AnalizaBesede(std::string_view word, WordAnalysis& analysis) const;

    // The stressed syllable from the tables (sonority pattern first), 0 if neither has it.
    int stress_lookup(const WordAnalysis& analysis) const;
    // `najverjetnejsi_zlogi` for a word of `syllables` syllables.
    int most_probable(int syllables) const;
    // The symbol that the stressed `letter` (e or o) takes; '\0' when no table has it.
    char quality_lookup(char letter, const WordAnalysis& analysis) const;

    bool is_vowel(unsigned char ch) const {
        return vowels_.find(static_cast<char>(ch)) != std::string::npos;
    }
    char separator() const { return separator_; }

private:
    struct StressRecord {
        std::string key;
        std::int16_t stressed = 0;
        std::int16_t second = 0;
    };
    struct QualityRecord {
        std::string key;
        char symbol = '\0';
    };

    int load_stress_table(const std::string& directory, const char* name,
                          std::vector<StressRecord>& table);
    int load_quality_table(const std::string& directory, const char* name,
                           std::vector<QualityRecord>& table);
    std::string marked_key(const std::string& pattern, int stressed, char letter) const;
    // True when word[i] is a consonant of `zlogotvorni_soglasniki` with no
    // vowel beside it ("vrt": the r is the syllable's nucleus).
    bool syllabic_consonant(std::string_view word, std::size_t i) const;

    std::string letters_;   // male_crke of the classing
    std::string digits_;    // Razvrstitev_grafemov
    std::string vowels_;    // samoglasniki
    std::string syllabic_;  // zlogotvorni_soglasniki
    char separator_ = '"';  // zlog_break
    char forced_space_ = '\0';
    std::vector<int> most_probable_;
    unsigned char letter_index_[256] = {};
    std::vector<StressRecord> vzn_, vc_;
    std::vector<QualityRecord> vzn_e_, vzn_o_, vc_e_, vc_o_;
};

}  // namespace sint
