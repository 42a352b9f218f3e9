#include "capi/voice_folder.h"

#include <cstdlib>
#include <filesystem>

#include "core/profile_file.h"
#include "text/dictionary.h"

namespace sint {
namespace {

namespace fs = std::filesystem;

// Longest path value kept from sint.ini, as the server keeps.
constexpr std::size_t kIniValueMax = 255;

std::string trimmed(std::string value) {
    const char* white = " \t\r\n";
    const auto first = value.find_first_not_of(white);
    if (first == std::string::npos) return {};
    return value.substr(first, value.find_last_not_of(white) - first + 1);
}

std::string with_slash(std::string value) {
    for (char& c : value)
        if (c == '\\') c = '/';
    if (!value.empty() && value.back() != '/') value.push_back('/');
    return value;
}

// A path of sint.ini relative to the folder (absolute ones stay).
std::string in_folder(const std::string& folder, std::string value) {
    for (char& c : value)
        if (c == '\\') c = '/';
    if (!value.empty() && fs::path(value).is_absolute()) return value;
    if (value.starts_with("./")) value.erase(0, 2);
    return folder + value;
}

// The yes/no value of a key, lower-cased; "" when absent.
std::string flag(const ProfileFile& ini, const char* key) {
    std::string value;
    if (ini.get_string(key, value, kIniValueMax + 1) < 0) return {};
    value = trimmed(value);
    for (char& c : value)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return value;
}

}  // namespace

std::string voice_folder(const char* folder, const std::string& installed) {
    std::string chosen;
    if (folder) {
        chosen = folder;
    } else if (const char* named = std::getenv(kVoiceEnvironment); named && *named) {
        chosen = named;
    } else {
        chosen = installed;
    }
    return with_slash(chosen.empty() ? std::string(".") : chosen);
}

VoiceOptions read_voice_options(const std::string& folder) {
    VoiceOptions result;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        result.error = "no voice folder " + folder;
        return result;
    }
    const std::string ini_path = folder + "sint.ini";
    ProfileFile ini(ini_path, false);
    if (!ini.is_loaded()) {
        result.error = "no " + ini_path;
        return result;
    }
    SynthesiserOptions options;
    struct Key {
        const char* name;
        std::string* out;
        bool directory;
    };
    for (const Key& key : {Key{"ini_gfp", &options.gfp_profile, false},
                           Key{"ini_mikro", &options.mikro_profile, false},
                           Key{"ini_makro", &options.makro_profile, false},
                           Key{"dct_dir", &options.text.dictionary_dir, true},
                           Key{"stat_dir", &options.text.statistics_dir, true}}) {
        std::string value;
        if (ini.get_string(key.name, value, kIniValueMax + 1) < 0) {
            result.error = ini_path + " names no " + key.name;
            return result;
        }
        value = in_folder(folder, trimmed(value));
        *key.out = key.directory ? with_slash(value) : value;
        if (!key.directory && !fs::is_regular_file(*key.out, error)) {
            result.error = "no " + *key.out + " (" + key.name + " of " + ini_path + ")";
            return result;
        }
    }
    options.log_dir = folder;
    options.dictionary_index = folder + std::string(kDictionaryIndexPath);
    // User dictionaries: the dictionary folder is read instead of the index.
    options.text.fast_start = flag(ini, "dovoli_uporabniske_slovarje") != "true";
    if (options.text.fast_start && !fs::is_regular_file(options.dictionary_index, error)) {
        result.error = "no " + options.dictionary_index + " (the packed dictionary index)";
        return result;
    }
    options.wave.work_dir = folder;
    if (const std::string packed = folder + "data/MorvenaIdra.dat";
        !fs::is_regular_file(packed, error)) {
        result.error = "no " + packed + " (the packed wave database)";
        return result;
    }
    options.wave.samples_in_memory = true;
    options.text.dictionaries_scrambled = flag(ini, "dovoli_nesifrirane_slovarje") != "true";
    const std::string quotes = flag(ini, "sumniki_z_narekovaji");
    options.text.sibilants_with_quotes = !quotes.empty() && quotes != "false";
    options.text.sms_mode = flag(ini, "SMS_delovanje") == "true";
    result.options = std::move(options);
    return result;
}

}  // namespace sint
