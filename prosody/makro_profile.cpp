// TMakro: construction and profile loading.
#include <new>
#include <stdexcept>

#include "core/log.h"
#include "core/profile_file.h"
#include "prosody/engine_phone_services.h"
#include "prosody/makro.h"
#include "prosody/profile_values.h"
#include "text/tgfp.h"

namespace sint {

namespace {

// Reports a key that is absent with `missing` and one that is unusable with
// the general message; true when it was read.
bool reported(ValueStatus status, std::string_view key, const std::string& missing) {
    if (status == ValueStatus::ok) return true;
    report_error(status == ValueStatus::missing ? missing : invalid_value_message(key));
    return false;
}

std::string missing_name(std::string_view key) {
    return "Napaka: Ime " + std::string(key) + " ne obstaja\n";
}

bool quoted(const ProfileFile& file, std::string_view key, std::string& out, const char* invalid) {
    const ValueStatus status = read_quoted(file, key, out);
    if (status == ValueStatus::invalid) {
        report_error(invalid);
        return false;
    }
    return reported(status, key, missing_name(key));
}

bool positions(const ProfileFile& file, std::string_view key, std::size_t limit,
               std::vector<std::int32_t>& out) {
    if (!reported(read_int_list(file, key, false, out), key, missing_name(key))) return false;
    for (std::int32_t p : out) {
        if (p < 0 || static_cast<std::size_t>(p) >= limit) {
            report_error(invalid_value_message(key));
            return false;
        }
    }
    return true;
}

bool optional_flag(const ProfileFile& file, std::string_view key, bool& out) {
    std::int32_t value = 0;
    const ValueStatus status = read_int(file, key, value);
    if (status == ValueStatus::invalid) {
        report_error(invalid_value_message(key));
        return false;
    }
    out = status == ValueStatus::ok && value != 0;
    return true;
}

}  // namespace

TMakro::TMakro(std::string_view profile_path, const PhoneServices& phones)
    : path_(profile_path), phones_(phones) {
    load_or_throw(profile_path);
}

TMakro::TMakro(std::string_view profile_path, const TGFP& engine)
    : TMakro(profile_path, std::make_unique<EnginePhoneServices<TGFP>>(engine)) {}

TMakro::TMakro(std::string_view profile_path, std::unique_ptr<PhoneServices> phones)
    : path_(profile_path), own_phones_(std::move(phones)), phones_(*own_phones_) {
    load_or_throw(profile_path);
}

void TMakro::load_or_throw(std::string_view profile_path) {
    if (!profile_kind(profile_path, scrambled_)) {
        report_error(could_not_find_message("TMakro", profile_path));
        throw std::runtime_error("TMakro: bad profile name");
    }
    if (!load_profile()) {
        report_error("TMakro: Constructor failed to create class!");
        throw std::runtime_error("TMakro: profile not loaded");
    }
}

TMakro::~TMakro() = default;

bool TMakro::load_profile() {
    file_.reset();
    output_.clear();
    output_.shrink_to_fit();
    count_ = 0;
    file_ = open_stage_profile("TMakro", path_, scrambled_);
    if (!file_) return false;
    MakroProfile fresh;
    std::swap(profile_, fresh);
    if (!read_profile(*file_)) {
        report_error("TMakro: Profile can not be read!");
        file_.reset();
        return false;
    }
    return true;
}

bool TMakro::convert_words(std::vector<std::string>& words, std::vector<int>* offsets) const {
    std::vector<int> indices;
    for (std::string& word : words) {
        if (offsets) offsets->push_back(phones_.first_long_phone(word));
        phones_.phone_indices(word, indices);
        std::string symbols;
        for (int index : indices) {
            if (index >= 0 && static_cast<std::size_t>(index) < profile_.phone_symbols.size()) {
                symbols.push_back(profile_.phone_symbols[static_cast<std::size_t>(index)]);
            }
        }
        word = symbols;
    }
    return true;
}

bool TMakro::read_profile(ProfileFile& file) {
    MakroProfile& p = profile_;
    if (!quoted(file, "Nabor_locil", p.marks,
                "Napaka pri pretvorbi (toCstring) p->nabor_locil \n")) {
        return false;
    }
    if (!reported(read_real_list(file, "Podaljsanje_locil", p.lengthening), "Podaljsanje_locil",
                  missing_name("Podaljsanje_locil"))) {
        return false;
    }
    if (p.lengthening.size() > kMakroLengtheningMax) {
        report_error(invalid_value_message("Podaljsanje_locil"));
        return false;
    }
    const char* invalid = "Napaka pri pretvorbi (toCstring)\n";
    if (!quoted(file, "Pretvorba_locil", p.mark_symbols, invalid)) return false;
    if (!quoted(file, "Nabor_izhodnih_fonemov", p.phone_symbols, invalid)) return false;
    if (!quoted(file, "Nabor_naglasenosti", p.stress_classes, invalid)) return false;
    // Each mark and each phone needs its own symbol (and class).
    if (p.mark_symbols.size() != p.marks.size()) {
        report_error(invalid_value_message("Pretvorba_locil"));
        return false;
    }
    if (p.stress_classes.size() != p.phone_symbols.size()) {
        report_error(invalid_value_message("Nabor_naglasenosti"));
        return false;
    }
    if (!positions(file, "Locila", p.marks.size(), p.phrase_marks)) return false;
    if (!positions(file, "Posebna_locila", p.marks.size(), p.special_marks)) return false;
    if (!reported(read_int(file, "Presledek", p.space), "Presledek", missing_name("Presledek"))) {
        return false;
    }
    if (p.space < 0 || static_cast<std::size_t>(p.space) >= p.mark_symbols.size()) {
        report_error(invalid_value_message("Presledek"));
        return false;
    }
    if (!reported(read_words(file, "izjeme_tez", false, p.nucleus_words), "izjeme_tez",
                  "Napaka: Izjeme_tez nr obstaja\n")) {
        return false;
    }
    if (p.nucleus_words.size() > kNucleusExceptionsMax)
        p.nucleus_words.resize(kNucleusExceptionsMax);
    if (!reported(read_words(file, "Izjeme_pre", false, p.pause_words), "Izjeme_pre",
                  "Napaka: Izjeme_pre ima napa\xE8no \x9Atevilo elementov\n")) {
        return false;
    }
    if (p.pause_words.size() > kPauseExceptionsMax) {
        report_error(invalid_value_message("Izjeme_pre"));
        return false;
    }
    if (!reported(read_int_list(file, "Izjeme_pre_cas", false, p.pause_times), "Izjeme_pre_cas",
                  "Napaka: 'Izjeme_pre_cas' ne obstaja\n")) {
        return false;
    }
    if (p.pause_times.size() != p.pause_words.size()) {
        report_error(
            "Napaka: 'Izjeme_pre' in 'Izjeme_pre_cas' imata razli\xE8no \x9Atevilo elementov\n");
        return false;
    }
    const char* contour_keys[4] = {"stavcna_intonacija_prip", "stavcna_intonacija_vpra",
                                   "stavcna_intonacija_neko", "stavcna_intonacija_vzkl"};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string key = contour_keys[i];
        std::vector<std::int32_t> values;
        if (!reported(read_int_list(file, key, false, values), key,
                      "Napaka: '" + key + "' ne obstaja\n")) {
            return false;
        }
        if (values.size() != 7) {
            report_error(invalid_value_message(key));
            return false;
        }
        std::copy(values.begin(), values.end(), p.contours[i].begin());
    }
    if (!optional_flag(file, "omeji_naklon", p.limit_slopes)) return false;
    if (!optional_flag(file, "freq_po_premici", p.time_linear)) return false;

    convert_words(p.nucleus_words, &p.nucleus_offsets);
    convert_words(p.pause_words, nullptr);

    // The first phone of each (symbol, class) pair names the pair on output.
    rename_.assign(65536, 0);
    const std::size_t phones = std::min<std::size_t>(p.phone_symbols.size(), 255);
    for (std::size_t i = phones; i-- > 0;) {
        const auto symbol = static_cast<unsigned char>(p.phone_symbols[i]);
        const auto cls = static_cast<unsigned char>(p.stress_classes[i]);
        rename_[symbol + 256u * cls] = static_cast<std::uint8_t>(i + 1);
    }
    return true;
}

}  // namespace sint
