#include "text/stress_statistics.h"

#include <algorithm>
#include <fstream>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/syllables.h"

namespace sint {

namespace {

char class_of_digit(char digit, bool& ok) {
    switch (digit) {
        case '1':
            return 'v';
        case '2':
            return 'z';
        case '3':
        case '4':
            return 'n';
        default:
            ok = false;
            return 'n';
    }
}

// Lines of a table file without their line ends; false when it cannot be read.
bool read_lines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return true;
}

// Table keys are written with "." between syllables; the patterns use '"'.
std::string table_key(std::string key) {
    std::replace(key.begin(), key.end(), '.', '"');
    return key;
}

template <typename Record>
const Record* find_record(const std::vector<Record>& table, const std::string& key) {
    const auto it =
        std::lower_bound(table.begin(), table.end(), key,
                         [](const Record& r, const std::string& k) { return r.key < k; });
    return it != table.end() && it->key == key ? &*it : nullptr;
}

template <typename Record>
void sort_table(std::vector<Record>& table) {
    std::stable_sort(table.begin(), table.end(),
                     [](const Record& a, const Record& b) { return a.key < b.key; });
}

}  // namespace

int StressStatistics::load_profile(ProfileFile& profile, char forced_space) {
    forced_space_ = forced_space;
    const auto missing = [](const char* key) {
        report_error(std::string("Napaka: '") + key + "' ne obstaja\n");
        return kNotPossible;
    };
    if (profile.get_string("male_crke", letters_, 1024) < 0) return missing("male_crke");
    if (letters_.size() > kSyllableLettersMax) letters_.resize(kSyllableLettersMax);
    if (profile.get_string("Razvrstitev_grafemov", digits_, 1024) < 0)
        return missing("Razvrstitev_grafemov");
    if (profile.get_string("samoglasniki", vowels_, 1024) < 0) return missing("samoglasniki");
    // Absent (the word transcriber logs it): no consonant is a syllable's nucleus.
    if (profile.get_string("zlogotvorni_soglasniki", syllabic_, kSyllabicLettersMax) < 0)
        syllabic_.clear();
    std::string brk;
    if (profile.get_string("zlog_break", brk, 64) < 0 || brk.empty()) return missing("zlog_break");
    separator_ = brk[0];
    std::vector<std::int32_t> numbers;
    // A list without numbers would leave the last fallback of the stress choice
    // without a value, so it is refused like a missing one.
    if (profile.get_int_list("najverjetnejsi_zlogi", '\t', numbers) <= 0)
        return missing("najverjetnejsi_zlogi");
    most_probable_.assign(numbers.begin(), numbers.end());
    std::fill(std::begin(letter_index_), std::end(letter_index_), 0);
    for (std::size_t i = 0; i < letters_.size(); ++i)
        letter_index_[static_cast<unsigned char>(letters_[i])] = static_cast<unsigned char>(i);
    return 0;
}

int StressStatistics::load_stress_table(const std::string& directory, const char* name,
                                        std::vector<StressRecord>& table) {
    table.clear();
    std::vector<std::string> lines;
    bool ok = read_lines(directory + name, lines) && !lines.empty();
    for (const std::string& line : lines) {
        if (!ok) break;
        const auto first = line.find(' ');
        const auto second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (first == 0 || first == std::string::npos || first > kPatternKeyMax) {
            ok = false;
            break;
        }
        StressRecord record;
        record.key = table_key(line.substr(0, first));
        try {
            record.stressed = static_cast<std::int16_t>(std::stoi(line.substr(first + 1)));
            if (second != std::string::npos)
                record.second = static_cast<std::int16_t>(std::stoi(line.substr(second + 1)));
        } catch (const std::exception&) {
            ok = false;
            break;
        }
        table.push_back(std::move(record));
    }
    if (!ok) {
        table.clear();
        report_error(std::string("Napaka: FilajArray(") + name + ")");
        return kNotPossible;
    }
    sort_table(table);
    return 0;
}

int StressStatistics::load_quality_table(const std::string& directory, const char* name,
                                         std::vector<QualityRecord>& table) {
    table.clear();
    std::vector<std::string> lines;
    bool ok = read_lines(directory + name, lines) && !lines.empty();
    for (const std::string& line : lines) {
        const auto tab = line.find('\t');
        if (tab == 0 || tab == std::string::npos || tab > kPatternKeyMax ||
            tab + 1 >= line.size()) {
            ok = false;
            break;
        }
        table.push_back({table_key(line.substr(0, tab)), line[tab + 1]});
    }
    if (!ok) {
        table.clear();
        report_error(std::string("Napaka: FilajArray(") + name + ")");
        return kNotPossible;
    }
    sort_table(table);
    return 0;
}

int StressStatistics::load_tables(const std::string& directory) {
    if (load_stress_table(directory, "vzn.out", vzn_) != 0) return kNotPossible;
    if (load_stress_table(directory, "vc.out", vc_) != 0) return kNotPossible;
    if (load_quality_table(directory, "vzn_e.out", vzn_e_) != 0) return kNotPossible;
    if (load_quality_table(directory, "vzn_o.out", vzn_o_) != 0) return kNotPossible;
    if (load_quality_table(directory, "vc_e.out", vc_e_) != 0) return kNotPossible;
    if (load_quality_table(directory, "vc_o.out", vc_o_) != 0) return kNotPossible;
    return 0;
}

bool StressStatistics::syllabic_consonant(std::string_view word, std::size_t i) const {
    if (syllabic_.find(word[i]) == std::string::npos) return false;
    const bool vowel_before = i > 0 && is_vowel(static_cast<unsigned char>(word[i - 1]));
    const bool vowel_after =
        i + 1 < word.size() && is_vowel(static_cast<unsigned char>(word[i + 1]));
    return !vowel_before && !vowel_after;
}

bool StressStatistics::DolociZvocnostGT(std::string_view word, std::string& classes) const {
    classes.assign(word.size(), 'n');
    bool ok = true;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(word[i]);
        if (syllabic_consonant(word, i)) {
            classes[i] = 'v';
            continue;
        }
        const std::size_t position =
            ch == static_cast<unsigned char>(forced_space_) && ch != 0 ? 0 : letter_index_[ch];
        const char digit = position < digits_.size() ? digits_[position] : '\0';
        classes[i] = class_of_digit(digit, ok);
    }
    return ok;
}

void StressStatistics::AnalizaBesede(std::string_view word, WordAnalysis& analysis) const {
    word = word.substr(0, std::min(word.size(), kAnalysedWordMax));
    analysis = WordAnalysis{};
    analysis.word = std::string(word);
    std::string sonority;
    if (!DolociZvocnostGT(word, sonority)) {
        log_write("DolociZvocnostGT() called from AnalizaBesede(cBeseda = " + analysis.word + ")");
        log_write("Function failed: DolociZvocnostGT(cBeseda = " + analysis.word + ")");
    }
    std::string vc(word.size(), 'c');
    for (std::size_t i = 0; i < word.size(); ++i)
        if (is_vowel(static_cast<unsigned char>(word[i])) && !syllabic_consonant(word, i))
            vc[i] = 'v';
    std::vector<SyllableSpan> spans;
    analysis.syllables = DeljenjeNaZloge(sonority, spans);
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const auto start = static_cast<std::size_t>(std::max(spans[k].start, 0));
        const auto end =
            std::min(static_cast<std::size_t>(std::max(spans[k].end + 1, 0)), word.size());
        if (k > 0) {
            analysis.sonority_pattern += separator_;
            analysis.vc_pattern += separator_;
        }
        if (start < end) {
            analysis.sonority_pattern.append(sonority, start, end - start);
            analysis.vc_pattern.append(vc, start, end - start);
        }
    }
}

int StressStatistics::stress_lookup(const WordAnalysis& analysis) const {
    if (const StressRecord* r = find_record(vzn_, analysis.sonority_pattern)) return r->stressed;
    if (const StressRecord* r = find_record(vc_, analysis.vc_pattern)) return r->stressed;
    return 0;
}

int StressStatistics::most_probable(int syllables) const {
    if (most_probable_.empty()) return 1;
    const std::size_t at = std::min<std::size_t>(static_cast<std::size_t>(std::max(syllables, 1)),
                                                 most_probable_.size());
    return most_probable_[at - 1];
}

std::string StressStatistics::marked_key(const std::string& pattern, int stressed,
                                         char letter) const {
    int syllable = 1;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == separator_) {
            ++syllable;
        } else if (syllable == stressed && pattern[i] == 'v') {
            return pattern.substr(0, i) + '/' + letter + pattern.substr(i + 1);
        }
    }
    return std::string();
}

char StressStatistics::quality_lookup(char letter, const WordAnalysis& analysis) const {
    const bool e = letter == 'e';
    const std::string key = marked_key(analysis.sonority_pattern, analysis.stressed, letter);
    if (!key.empty())
        if (const QualityRecord* r = find_record(e ? vzn_e_ : vzn_o_, key)) return r->symbol;
    const std::string vc_key = marked_key(analysis.vc_pattern, analysis.stressed, letter);
    if (!vc_key.empty())
        if (const QualityRecord* r = find_record(e ? vc_e_ : vc_o_, vc_key)) return r->symbol;
    return '\0';
}

}  // namespace sint
