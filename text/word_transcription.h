// WordTranscriber: the last text-analysis stage. Each token of the normalised
// sentence is taken from the pronunciation dictionary (longest phrase reached
// by extension) or transcribed by rule: the stressed syllable from the ending
// lists or the statistics, the stressed e or o from the quality tables, then
// the letter-to-sound rules. Clitics are glued to their neighbours and the
// word-boundary rules adjust the last phone of a dictionary word.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/rules.h"

namespace sint {

class CharClassTable;
class PronunciationDictionary;
class ProfileFile;
class StressStatistics;
struct WordAnalysis;

// Output characters one rule-transcribed word gets at most.
inline constexpr std::size_t kWordOutputMax = 63;
// Characters of a dictionary lookup key; the phrase extension stops there.
inline constexpr std::size_t kLookupKeyMax = 64;

class WordTranscriber {
public:
    // `pripravi_naglase`: the stress lists. Returns 0 or -1 after reporting.
    int load_stress_lists(ProfileFile& profile);
    // `pripravi_pravila`: the two rule tables. Returns 0 or -1 after reporting.
    int load_rules(ProfileFile& profile, const CharClassTable& classes);
    // `pripravi_naslonke`: the clitic lists. Returns 0.
    int load_clitics(ProfileFile& profile);

    // Transcribes `in` into `out`; returns the number of dictionary hits.
    int transcribe(const std::string& in, std::string& out, bool use_dictionary,
                   const CharClassTable& classes, const PronunciationDictionary& dictionary,
                   const StressStatistics& statistics) const;

    // The stressed syllable the ending lists give for a word of `nuclei`
    // nuclei, 0 when they give none.
    int ending_stress(std::string_view word, int nuclei) const;
    // 3 for a word that leans on the preceding word, 1 for one that leans on
    // the following word, 0 otherwise.
    int clitic_status(std::string_view word) const;
    // The word marked with "/" before its stressed nucleus and transcribed by
    // the letter rules; `following` is the input after the word.
    std::string transcribe_word(std::string_view word, std::string_view following,
                                const CharClassTable& classes,
                                const StressStatistics& statistics) const;

private:
    bool is_nucleus(std::string_view word, std::size_t i, const CharClassTable& classes) const;

    // `zlogotvorni_soglasniki`: consonants that are a syllable's nucleus
    // where no vowel stands beside them ("vrt", "prst"); absent: none.
    std::string syllabic_;
    std::vector<std::string> first_syllable_;  // prvi_zlog
    std::vector<std::string> prefixes_;        // predpone
    std::vector<std::string> antepenult_;      // koncppz
    std::vector<std::string> penult_;          // koncpz
    std::vector<std::string> final_;           // konczad
    RuleTable letter_rules_;                   // pravila
    RuleTable boundary_rules_;                 // pravila_slovar
    std::vector<std::string> proclitics_;      // proklitike
    std::vector<std::string> enclitics_;       // proklitike_ali_enklitike
    int glue_once_ = 0;                        // lepi_le_enkrat
};

}  // namespace sint
