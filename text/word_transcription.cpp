#include "text/word_transcription.h"

#include <algorithm>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/char_classes.h"
#include "text/dictionary.h"
#include "text/profile_lists.h"
#include "text/stress_statistics.h"
#include "text/text_limits.h"

namespace sint {

namespace {

bool starts_with_any(std::string_view word, const std::vector<std::string>& parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return word.starts_with(p); });
}

bool ends_with_any(std::string_view word, const std::vector<std::string>& parts) {
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return word.ends_with(p); });
}

void trim_trailing_spaces(std::string& out) {
    while (!out.empty() && out.back() == ' ') out.pop_back();
}

std::size_t token_end(const std::string& in, std::size_t pos) {
    const std::size_t end = in.find(' ', pos);
    return end == std::string::npos ? in.size() : end;
}

}  // namespace

int WordTranscriber::load_stress_lists(ProfileFile& profile) {
    const bool ok = read_list_items(profile, "prvi_zlog", '\t', first_syllable_) >= 0 &&
                    read_list_items(profile, "predpone", '\t', prefixes_) >= 1 &&
                    read_list_items(profile, "koncppz", '\t', antepenult_) >= 0 &&
                    read_list_items(profile, "koncpz", '\t', penult_) >= 0 &&
                    read_list_items(profile, "konczad", '\t', final_) >= 0;
    if (!ok) {
        report_error("Napaka: v ini datoteki (ini_gfp): pripravi_naglase");
        return kNotPossible;
    }
    if (profile.get_string("zlogotvorni_soglasniki", syllabic_, kSyllabicLettersMax) < 0) {
        log_absent_list("zlogotvorni_soglasniki");
        syllabic_.clear();
    }
    return 0;
}

int WordTranscriber::load_rules(ProfileFile& profile, const CharClassTable& classes) {
    int result = boundary_rules_.load(profile, "pravila_slovar");
    if (result == kNotPossible) {
        report_error("Napaka: (pripravi_pravila): pravila_slovar");
        return kNotPossible;
    }
    if (result == kRuleCountWrong) {
        report_error("Napacno stevilo pravil (pravila_slovar)");
        return kNotPossible;
    }
    result = letter_rules_.load(profile, "pravila");
    if (result == kNotPossible) {
        report_error("Napaka: (pripravi_pravila): pravila");
        return kNotPossible;
    }
    if (result == kRuleCountWrong) {
        report_error("Napacno stevilo pravil");
        return kNotPossible;
    }
    letter_rules_.build_index(classes);
    boundary_rules_.build_index(classes);
    return 0;
}

int WordTranscriber::load_clitics(ProfileFile& profile) {
    if (read_list_items(profile, "proklitike", '\t', proclitics_) < 0) proclitics_.clear();
    if (read_list_items(profile, "proklitike_ali_enklitike", '\t', enclitics_) < 0)
        enclitics_.clear();
    std::sort(proclitics_.begin(), proclitics_.end());
    std::sort(enclitics_.begin(), enclitics_.end());
    std::int32_t once = 0;
    glue_once_ = profile.get_int("lepi_le_enkrat", once) >= 0 ? once : 0;
    return 0;
}

int WordTranscriber::ending_stress(std::string_view word, int nuclei) const {
    if (nuclei <= 1 || starts_with_any(word, first_syllable_)) return 1;
    if (ends_with_any(word, final_)) return nuclei;
    if (ends_with_any(word, penult_)) {
        if (nuclei == 2) return starts_with_any(word, prefixes_) ? 2 : 1;
        return nuclei - 1;
    }
    if (nuclei >= 3 && ends_with_any(word, antepenult_)) {
        if (nuclei == 3) return starts_with_any(word, prefixes_) ? 2 : 1;
        return nuclei - 2;
    }
    return 0;
}

int WordTranscriber::clitic_status(std::string_view word) const {
    const std::string key(word);
    if (std::binary_search(enclitics_.begin(), enclitics_.end(), key)) return 3;
    if (std::binary_search(proclitics_.begin(), proclitics_.end(), key)) return 1;
    return 0;
}

bool WordTranscriber::is_nucleus(std::string_view word, std::size_t i,
                                 const CharClassTable& classes) const {
    const auto ch = static_cast<unsigned char>(word[i]);
    if (classes.in(ch, kVowels)) return true;
    if (syllabic_.find(static_cast<char>(ch)) == std::string::npos) return false;
    const bool before = i > 0 && classes.in(static_cast<unsigned char>(word[i - 1]), kVowels);
    const bool after =
        i + 1 < word.size() && classes.in(static_cast<unsigned char>(word[i + 1]), kVowels);
    return !before && !after;
}

std::string WordTranscriber::transcribe_word(std::string_view word, std::string_view following,
                                             const CharClassTable& classes,
                                             const StressStatistics& statistics) const {
    word = word.substr(0, std::min(word.size(), kAnalysedWordMax));
    std::vector<std::size_t> nuclei;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (is_nucleus(word, i, classes)) nuclei.push_back(i);

    WordAnalysis analysis;
    statistics.AnalizaBesede(word, analysis);
    int stressed = ending_stress(word, static_cast<int>(nuclei.size()));
    if (stressed == 0) stressed = statistics.stress_lookup(analysis);
    if (stressed == 0) stressed = statistics.most_probable(analysis.syllables);
    analysis.stressed = stressed;

    // The marked word; the input that follows it takes the place of its
    // closing space, so that right contexts see into the next word.
    std::string text = " ";
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (stressed >= 1 && static_cast<std::size_t>(stressed) <= nuclei.size() &&
            nuclei[static_cast<std::size_t>(stressed - 1)] == i)
            text += '/';
        text += word[i];
    }
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos && slash + 1 < text.size()) {
        const char letter = text[slash + 1];
        if (letter == 'e' || letter == 'o') {
            const char symbol = statistics.quality_lookup(letter, analysis);
            if (symbol != '\0') text[slash + 1] = symbol;
        }
    }
    if (following.empty())
        text += ' ';
    else
        text.append(following.substr(0, 4));

    std::string out;
    std::size_t i = 1;
    while (i < text.size() && text[i] != ' ') {
        const Rule* rule = letter_rules_.match(text, i, classes, true);
        if (rule) {
            if (out.size() <= kWordOutputMax) out += rule->replacement;
            i += rule->target.size();
        } else {
            if (out.size() <= kWordOutputMax) out += text[i];
            ++i;
        }
    }
    return out;
}

int WordTranscriber::transcribe(const std::string& in, std::string& out, bool use_dictionary,
                                const CharClassTable& classes,
                                const PronunciationDictionary& dictionary,
                                const StressStatistics& statistics) const {
    out.clear();
    int hits = 0;
    bool first = true;
    bool previous_from_dictionary = false;
    std::size_t previous_last = 0;  // the previous dictionary word's last output character
    std::size_t pos = in.find_first_not_of(' ');
    if (pos == std::string::npos) return 0;
    std::string key;
    while (pos < in.size()) {
        std::size_t end = token_end(in, pos);
        const char* transcription = nullptr;
        std::string phrase;
        if (use_dictionary) {
            // A longer token is looked up by its first kLookupKeyMax characters;
            // on a hit the rest of it is read as the next token.
            std::size_t reach = std::min(end, pos + kLookupKeyMax);
            key.assign(in, pos, reach - pos);
            while (const char* found = dictionary.lookup(key)) {
                transcription = found;
                phrase = key;
                end = reach;
                ++hits;
                if (reach >= in.size() || in[reach] != ' ') break;
                const std::size_t next = token_end(in, reach + 1);
                if (key.size() + 1 + (next - reach - 1) > kLookupKeyMax) break;
                key.append(in, reach, next - reach);
                reach = next;
            }
        }
        std::string word_out;
        int status = 0;
        if (transcription) {
            status = clitic_status(phrase);
            word_out = transcription;
        } else {
            std::string word;
            for (std::size_t i = pos; i < end; ++i) {
                const auto ch = static_cast<unsigned char>(in[i]);
                if (classes.is_letter(ch) || classes.is_punctuation(ch)) word += in[i];
            }
            status = clitic_status(word);
            word_out = transcribe_word(word, std::string_view(in).substr(end), classes, statistics);
        }
        if (status == 3) trim_trailing_spaces(out);
        out += word_out;

        if (previous_from_dictionary && !first && previous_last < out.size()) {
            std::string context(1, ' ');
            context.append(out, previous_last, std::string::npos);
            context.push_back(' ');
            const Rule* rule = boundary_rules_.match(context, 2, classes, false);
            if (rule && !rule->replacement.empty()) out[previous_last] = rule->replacement[0];
        }
        previous_from_dictionary = transcription != nullptr && !word_out.empty();
        if (previous_from_dictionary) previous_last = out.size() - 1;

        if (status == 0 || (status == 3 && glue_once_ == 1 && !first)) out += ' ';
        first = false;
        pos = in.find_first_not_of(' ', end);
        if (pos == std::string::npos) break;
        if (out.size() > kOutputSoftLimit) {
            const std::size_t space = out.rfind(' ', kOutputSoftLimit);
            out.resize(space == std::string::npos ? 0 : space + 1);
            break;
        }
    }
    return hits;
}

}  // namespace sint
