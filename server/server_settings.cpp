#include "server/server_settings.h"

#include <algorithm>
#include <cstdlib>

#include "core/log.h"
#include "core/profile_file.h"

namespace sint {
namespace {

// The buffer the yes/no values are fetched into.
constexpr std::size_t kFlagValueCapacity = 128;

std::string path_value(std::string value) {
    std::replace(value.begin(), value.end(), '\\', '/');
    return value;
}

// Fetches a yes/no value trimmed of blanks, tabs, CR and LF and lower-cased;
// empty when the key is absent or empty.
std::string flag_value(const ProfileFile& ini, const char* key) {
    std::string value;
    if (ini.get_string(key, value, kFlagValueCapacity) < 0) return {};
    const char* white = " \t\r\n";
    const auto first = value.find_first_not_of(white);
    if (first == std::string::npos) return {};
    value = value.substr(first, value.find_last_not_of(white) - first + 1);
    for (char& c : value)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return value;
}

// A key whose "true" / "false" set the setting to the given values; anything
// else leaves it unchanged.
void read_flag(const ProfileFile& ini, const char* key, bool& setting, bool if_true,
               bool if_false) {
    const std::string value = flag_value(ini, key);
    if (value == "true") setting = if_true;
    if (value == "false") setting = if_false;
}

bool read_path(const ProfileFile& ini, const char* key, std::string& out, bool directory) {
    std::string value;
    if (ini.get_string(key, value, kSettingsPathMax + 1) < 0) {
        report_error(std::string("Napaka: Sint_locat (") + key + ")");
        return false;
    }
    const char* white = " \t\r\n";
    const auto first = value.find_first_not_of(white);
    value = first == std::string::npos
                ? std::string()
                : value.substr(first, value.find_last_not_of(white) - first + 1);
    out = directory ? directory_value(value) : path_value(value);
    return true;
}

}  // namespace

ServerSettings& server_settings() {
    static ServerSettings settings;
    return settings;
}

std::string directory_value(std::string value) {
    value = path_value(std::move(value));
    if (!value.empty() && value.back() != '/') value.push_back('/');
    return value;
}

std::string state_folder() {
    const char* value = std::getenv(kStateFolderEnvironment);
    return value ? directory_value(value) : std::string();
}

std::unique_ptr<ProfileFile> read_sint_ini(ServerSettings& s) {
    auto ini = std::make_unique<ProfileFile>(s.config_path, false);
    if (!ini->is_loaded()) {
        report_error("Ni inicializacijske datoteke (SINT.INI)");
        return ini;
    }
    if (!read_path(*ini, "ini_mikro", s.mikro_profile, false) ||
        !read_path(*ini, "ini_makro", s.makro_profile, false) ||
        !read_path(*ini, "ini_gfp", s.gfp_profile, false) ||
        !read_path(*ini, "dct_dir", s.dictionary_dir, true) ||
        !read_path(*ini, "stat_dir", s.statistics_dir, true) ||
        !read_path(*ini, "log_dir", s.log_dir, true))
        return ini;

    if (ini->get_int("port", s.port) < 0) {
        report_error("Napaka: Port ni podan. Privzeta vrdnost " + std::to_string(kDefaultPort) +
                     "\n");
        s.port = kDefaultPort;
    }

    bool scrambled_off = false;
    read_flag(*ini, "dovoli_nesifrirane_slovarje", scrambled_off, true, false);
    s.dictionaries_scrambled = !scrambled_off;
    // Any value but "false" turns the quoted sibilants on; an absent key does not.
    const std::string quotes = flag_value(*ini, "sumniki_z_narekovaji");
    if (!quotes.empty()) s.sibilants_with_quotes = quotes != "false";
    read_flag(*ini, "vzorci_v_pomnilniku", s.samples_in_memory, true, false);
    if (flag_value(*ini, "dovoli_uporabniske_slovarje") == "true") s.fast_start = false;
    read_flag(*ini, "SMS_delovanje", s.sms_mode, true, false);
    read_flag(*ini, "veckratni_zagon", s.single_instance, false, true);
    read_flag(*ini, "pisi_dnevnik", s.log_disabled, false, true);
    read_flag(*ini, kAbsolutePathsKey, s.absolute_paths_allowed, true, false);

    if (std::string state = state_folder(); !state.empty()) s.log_dir = std::move(state);
    set_log_path(s.log_dir + "sint.log");
    set_log_disabled(s.log_disabled);
    return ini;
}

void parse_command_line(ServerSettings& s, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-lifespan") {
            if (i + 1 < args.size()) {
                const long n = std::strtol(args[i + 1].c_str(), nullptr, 10);
                if (n > 0) {
                    s.lifespan = static_cast<std::int32_t>(std::min<long>(n, INT32_MAX));
                    ++i;
                }
            }
        } else if (a == "-pocasi") {
            s.fast_start = false;
        } else if (a == "-hitro") {
            s.fast_start = true;
        } else if (a == "-ram") {
            s.samples_in_memory = true;
        } else if (a == "-disk") {
            s.samples_in_memory = false;
        } else if (a == "-ustvaripodatke") {
            s.create_data = true;
        } else if (a == "-testbranja") {
            s.read_test = true;
        } else if (a == "-vozadju") {
            s.background = true;
        } else if (a == "-konzola") {
            s.background = false;
        } else if (a == "-ascii" || a == "-ascii7" || a == "-yuascii") {
            s.seven_bit_input = true;
        }
    }
    if (s.read_test) s.samples_in_memory = true;
}

SynthesiserOptions synthesiser_options(ServerSettings& settings) {
    SynthesiserOptions options;
    options.gfp_profile = settings.gfp_profile;
    options.mikro_profile = settings.mikro_profile;
    options.makro_profile = settings.makro_profile;
    options.log_dir = settings.log_dir;
    TextOptions& text = options.text;
    text.sibilants_with_quotes = settings.sibilants_with_quotes;
    text.sms_mode = settings.sms_mode;
    text.dictionaries_scrambled = settings.dictionaries_scrambled;
    text.create_data = settings.create_data;
    text.fast_start = settings.fast_start;
    text.angle_bracket_filter = settings.angle_bracket_filter;
    text.seven_bit_input = settings.seven_bit_input;
    text.dictionary_dir = settings.dictionary_dir;
    text.statistics_dir = settings.statistics_dir;
    text.seven_bit_switch = &settings.seven_bit_input;
    options.wave.samples_in_memory = settings.samples_in_memory;
    options.wave.read_test = settings.read_test;
    return options;
}

}  // namespace sint
