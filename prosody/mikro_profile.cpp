// TMikro: construction, profile loading with its consistency check, and the
// setters.
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "core/log.h"
#include "core/profile_file.h"
#include "prosody/engine_phone_services.h"
#include "prosody/mikro.h"
#include "prosody/profile_values.h"
#include "text/tgfp.h"

namespace sint {

namespace {

const char* const kInconsistent =
    "\nMikro: : Napaka v resource datoteki!\nRazlika v stevilu fonemov in pripadajocih "
    "konstant!\n";

// Reports the outcome of reading one key; true when it was read.
bool reported(ValueStatus status, std::string_view key) {
    if (status == ValueStatus::ok) return true;
    if (status == ValueStatus::missing) {
        report_error("Napaka: Ime " + std::string(key) + " ne obstaja\n");
    } else {
        report_error(invalid_value_message(key));
    }
    return false;
}

bool quoted(const ProfileFile& file, std::string_view key, std::string& out) {
    const ValueStatus status = read_quoted(file, key, out);
    if (status == ValueStatus::invalid) {
        report_error("Napaka pri pretvorbi (toCstring)\n");
        return false;
    }
    return reported(status, key);
}

// A list of integers of at most kMikroListMax values.
bool int_list(const ProfileFile& file, std::string_view key, std::vector<std::int32_t>& out) {
    if (!reported(read_int_list(file, key, false, out), key)) return false;
    if (out.size() > kMikroListMax) return reported(ValueStatus::invalid, key);
    return true;
}

// Positions into the punctuation inventory, all of them inside it.
bool positions(const ProfileFile& file, std::string_view key, std::size_t limit,
               std::vector<std::int32_t>& out) {
    if (!int_list(file, key, out)) return false;
    for (std::int32_t p : out) {
        if (p < 0 || static_cast<std::size_t>(p) >= limit) {
            return reported(ValueStatus::invalid, key);
        }
    }
    return true;
}

bool position(const ProfileFile& file, std::string_view key, std::size_t limit, std::int32_t& out) {
    if (!reported(read_int(file, key, out), key)) return false;
    if (out < 0 || static_cast<std::size_t>(out) >= limit) {
        return reported(ValueStatus::invalid, key);
    }
    return true;
}

bool six(const ProfileFile& file, std::string_view key, std::array<double, 6>& out) {
    std::vector<double> values;
    if (!reported(read_real_list(file, key, values), key)) return false;
    if (values.size() != out.size()) {
        report_error(kInconsistent);
        return false;
    }
    std::copy(values.begin(), values.end(), out.begin());
    return true;
}

}  // namespace

TMikro::TMikro(std::string_view profile_path, const PhoneServices& phones)
    : path_(profile_path), phones_(phones), jitter_(20041) {
    load_or_throw(profile_path);
}

TMikro::TMikro(std::string_view profile_path, const TGFP& engine)
    : TMikro(profile_path, std::make_unique<EnginePhoneServices<TGFP>>(engine)) {
    // Tables indexed by another inventory would give every phone the values of
    // another one; the mismatch is logged so that the voice can be mended.
    if (!inventory_matches()) {
        log_write("TMikro: Nabor_fonemov se ne ujema z naborom fonemov besedilne analize!");
    }
}

TMikro::TMikro(std::string_view profile_path, std::unique_ptr<PhoneServices> phones)
    : path_(profile_path), own_phones_(std::move(phones)), phones_(*own_phones_), jitter_(20041) {
    load_or_throw(profile_path);
}

void TMikro::load_or_throw(std::string_view profile_path) {
    if (!profile_kind(profile_path, scrambled_)) {
        report_error(could_not_find_message("TMikro", profile_path));
        throw std::runtime_error("TMikro: bad profile name");
    }
    if (!load_profile()) {
        report_error("TMikro: Constructor failed to create class!");
        throw std::runtime_error("TMikro: profile not loaded");
    }
}

TMikro::~TMikro() = default;

bool TMikro::load_profile() {
    file_.reset();
    output_.clear();
    output_.shrink_to_fit();
    count_ = 0;
    file_ = open_stage_profile("TMikro", path_, scrambled_);
    if (!file_) return false;
    MikroProfile fresh;
    std::swap(profile_, fresh);
    if (!read_profile(*file_) || !check_profile()) {
        report_error("TMikro: Profile can not be read!");
        file_.reset();
        return false;
    }
    return true;
}

bool TMikro::read_profile(ProfileFile& file) {
    MikroProfile& p = profile_;
    if (!reported(read_text(file, "Vhodna_Datoteka", p.input_file), "Vhodna_Datoteka"))
        return false;
    if (!reported(read_text(file, "Izhodna_Datoteka", p.output_file), "Izhodna_Datoteka")) {
        return false;
    }
    if (!reported(read_int(file, "Hitrost", p.rate_mode), "Hitrost")) return false;
    if (!reported(read_real(file, "Hitrost_Fina_nastavitev", p.fine_setting),
                  "Hitrost_Fina_nastavitev")) {
        return false;
    }
    if (!reported(read_words(file, "Nabor_fonemov", true, p.phones), "Nabor_fonemov")) return false;
    if (p.phones.empty() || p.phones.size() > kMikroPhonesMax) {
        return reported(ValueStatus::invalid, "Nabor_fonemov");
    }
    for (const std::string& name : p.phones) {
        // Record names hold 3 characters; a longer name is cut to them.
        if (name.size() > 3) return reported(ValueStatus::invalid, "Nabor_fonemov");
    }
    if (!reported(read_text(file, "Razvrstitev_fonemov", p.phone_classes), "Razvrstitev_fonemov")) {
        return false;
    }
    if (!quoted(file, "Nabor_locil", p.marks)) return false;
    if (p.marks.empty()) return reported(ValueStatus::invalid, "Nabor_locil");
    const std::size_t marks = p.marks.size();
    if (!position(file, "Presledek", marks, p.space)) return false;
    if (!position(file, "Vsiljeni_presledek", marks, p.forced_space)) return false;
    if (!position(file, "Meja_med_besedami", marks, p.word_boundary)) return false;
    if (!positions(file, "Koncna_locila", marks, p.final_marks)) return false;
    if (p.final_marks.empty()) return reported(ValueStatus::invalid, "Koncna_locila");
    if (!positions(file, "Locila", marks, p.token_marks)) return false;
    if (!positions(file, "Posebna_locila", marks, p.special_marks)) return false;
    if (!quoted(file, "Presledki", p.white_space)) return false;
    if (!reported(read_text(file, "Naglasna_znamenja", p.stress_marks), "Naglasna_znamenja")) {
        return false;
    }
    struct ListKey {
        const char* key;
        std::vector<std::int32_t>* list;
    };
    const ListKey lists[] = {
        {"Osnovna_dolzina_v_bazi", &p.base_duration_db},
        {"Dolzina_Sogl_VCV_Izmerjena", &p.duration_vcv},
        {"Dolzina_Sogl_CC_Izmerjena", &p.duration_cc},
        {"Dolzina_Nenagl_Sam", &p.unstressed_duration},
        {"Dolzina_Nagl_Sam", &p.stressed_duration},
        {"Dolzina_Pavz", &p.pauses},
        {"Daljsanje_Pocasen_govor", &p.slow_lengthening},
        {"Krajsanje_Hiter_govor", &p.fast_shortening},
        {"Omejitev_Dolzine", &p.minimum_duration},
        {"Nor_Ben_Dolzine", &p.reference_duration},
        {"Osnovna_visina_v_bazi", &p.base_pitch_db},
        {"Visina_Nenagl_Sam", &p.unstressed_pitch},
        {"Visina_Nagl_Sam", &p.stressed_pitch},
    };
    for (const ListKey& list : lists) {
        if (!int_list(file, list.key, *list.list)) return false;
    }
    if (!six(file, "TA_Normalno", p.ta_normal)) return false;
    if (!six(file, "TA_Hitro", p.ta_fast)) return false;
    if (!six(file, "TA_Pocasi", p.ta_slow)) return false;
    if (!int_list(file, "Konstante", p.constants)) return false;
    if (p.constants.size() < kMikroConstantsUsed)
        return reported(ValueStatus::invalid, "Konstante");
    return true;
}

bool TMikro::check_profile() const {
    const MikroProfile& p = profile_;
    const std::size_t n = p.phones.size();
    // Every per-phone table is indexed by phone, so all must have one entry per
    // phone; the vowel tables are indexed by row and column up to their full size.
    const bool consistent = p.base_duration_db.size() == n && p.duration_vcv.size() == n &&
                            p.duration_cc.size() == n && p.base_pitch_db.size() == n &&
                            p.slow_lengthening.size() == n && p.fast_shortening.size() == n &&
                            p.minimum_duration.size() == n && p.reference_duration.size() == n &&
                            p.phone_classes.size() == n && p.marks.size() == p.pauses.size() &&
                            p.unstressed_duration.size() == p.unstressed_pitch.size() &&
                            p.stressed_duration.size() == p.stressed_pitch.size() &&
                            p.unstressed_duration.size() == 24 &&
                            p.stressed_duration.size() == 32 &&
                            p.pauses.size() > p.token_marks.size();
    if (!consistent) report_error(kInconsistent);
    return consistent;
}

bool TMikro::inventory_matches() const {
    const std::vector<std::string>& own = profile_.phones;
    if (static_cast<std::size_t>(phones_.phone_count()) != own.size()) return false;
    for (std::size_t i = 0; i < own.size(); ++i) {
        if (phones_.phone_symbol(static_cast<int>(i)) != own[i]) return false;
    }
    return true;
}

void TMikro::set_rate(int speed) {
    // Each side of the normal rate has its mode, and within it a fine setting
    // that rises with the speed, so that every step is faster than the one
    // below. The fine setting 0 means "no adjustment", which lies in the middle
    // of the scale (49): it is left to the normal rate alone.
    const int s = std::clamp(speed, kRateStepMin, kRateStepMax);
    if (s == 0) {
        profile_.rate_mode = 0;
        profile_.fine_setting = 0;
    } else if (s < 0) {
        profile_.rate_mode = 2;
        profile_.fine_setting =
            kSlowFineLowest + (s - kRateStepMin) * (kSlowFineHighest - kSlowFineLowest) / 9.0;
    } else {
        profile_.rate_mode = 1;
        profile_.fine_setting =
            kFastFineLowest + (s - 1) * (kFastFineHighest - kFastFineLowest) / 9.0;
    }
}

void TMikro::set_word_boundary_pause(int ms) {
    const auto index = static_cast<std::size_t>(profile_.word_boundary);
    if (index < profile_.pauses.size()) profile_.pauses[index] = ms;
}

int TMikro::boundary_pitch() const {
    if (profile_.constants.size() < kMikroConstantsUsed) return 0;
    return (profile_.k(6) + profile_.k(7)) / 2;
}

int TMikro::rate_mode_used() const {
    // A mode other than normal, fast and slow has no coefficients: read as normal.
    return profile_.rate_mode == 1 || profile_.rate_mode == 2 ? profile_.rate_mode : 0;
}

}  // namespace sint
