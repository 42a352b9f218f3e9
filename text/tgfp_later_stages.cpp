// The loading steps and conversion stages of numbers, units, letter
// sequences, word transcription and syllabification.
#include "core/cp1250.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/letter_sequences.h"
#include "text/profile_lists.h"
#include "text/syllables.h"
#include "text/tgfp.h"
#include "text/units.h"

namespace sint {

int TGFP::pripravi_stevilke() {
    if (numbers_.load(*profile_) != 0) return -1;
    greek_names_.clear();
    if (profile_->count_items("grske_crke", '\t') > 0 &&
        read_list_items(*profile_, "grske_crke", '\t', greek_names_) !=
            static_cast<int>(kGreekLetterCount)) {
        report_error("Napacno stevilo grskih crk (grske_crke)");
        return -1;
    }
    read_rule_list(*profile_, "naslovi_domene", known_domains_);
    return unit_words_.load(*profile_);
}

int TGFP::pripravi_naglase() {
    return words_.load_stress_lists(*profile_);
}

int TGFP::pripravi_pravila() {
    return words_.load_rules(*profile_, classes_);
}

int TGFP::pripravi_naslonke() {
    return words_.load_clitics(*profile_);
}

int TGFP::pripravi_zlogovanje() {
    auto loaded = std::make_shared<StressStatistics>();
    if (loaded->load_profile(*profile_, classes_.forced_space()) != 0 ||
        phones_.load(*profile_) != 0) {
        report_error("Napaka: v ini datoteki (ini_gfp): pripravi_zlogovanje");
        return kNotPossible;
    }
    if (options_.shared_statistics) {
        statistics_ = options_.shared_statistics;
        return 0;
    }
    if (loaded->load_tables(options_.statistics_dir) != 0) return -1;
    statistics_ = std::move(loaded);
    return 0;
}

bool TGFP::DolociZvocnost(const std::vector<int>& phones, std::string& classes) const {
    std::string sonority;
    for (std::size_t i = 0; i < phones_.size(); ++i)
        sonority += phones_.sonority(static_cast<int>(i));
    return sint::DolociZvocnost(phones, sonority, classes);
}

void TGFP::convert_units(const std::string& in, std::string& out) {
    sint::convert_units(in, out, classes_, unit_words_);
    observe("units", out);
}

void TGFP::convert_numbers(const std::string& in, std::string& out) {
    numbers_.convert(in, out, classes_);
    observe("numbers", out);
}

void TGFP::convert_letters(const std::string& in, std::string& out) {
    sint::convert_letters(in, out, classes_, *dictionary_, options_.sms_mode);
    observe("letters", out);
}

void TGFP::transcribe(const std::string& in, std::string& out, bool use_dictionary) {
    dictionary_hits_ =
        words_.transcribe(in, out, use_dictionary, classes_, *dictionary_, *statistics_);
    observe("words", out);
}

}  // namespace sint
