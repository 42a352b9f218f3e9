#include "prosody/profile_values.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/log.h"
#include "core/profile_file.h"

namespace sint {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> split(std::string_view text, bool tabs_only) {
    std::vector<std::string> items;
    std::string item;
    for (char c : text) {
        const bool cut = tabs_only ? (c == '\t' || c == '\r' || c == '\n') : is_blank(c);
        if (!cut) {
            item.push_back(c);
            continue;
        }
        const std::string_view t = trim(item);
        if (!t.empty()) items.emplace_back(t);
        item.clear();
    }
    const std::string_view t = trim(item);
    if (!t.empty()) items.emplace_back(t);
    return items;
}

}  // namespace

bool parse_int(std::string_view text, std::int32_t& out) {
    const std::string s(trim(text));
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    if (value < -kProfileIntMax || value > kProfileIntMax) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

bool parse_real(std::string_view text, double& out) {
    const std::string s(trim(text));
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
    if (std::fabs(value) > kProfileRealMax) return false;
    out = value;
    return true;
}

ValueStatus read_text(const ProfileFile& profile, std::string_view key, std::string& out) {
    const int length = profile.string_length(key);
    if (length < 0) return ValueStatus::missing;
    profile.get_string(key, out, static_cast<std::size_t>(length) + 1);
    return ValueStatus::ok;
}

ValueStatus read_quoted(const ProfileFile& profile, std::string_view key, std::string& out) {
    const ValueStatus status = read_text(profile, key, out);
    if (status != ValueStatus::ok) return status;
    return ProfileFile::decode_quoted(out) == 0 ? ValueStatus::ok : ValueStatus::invalid;
}

ValueStatus read_words(const ProfileFile& profile, std::string_view key, bool tabs_only,
                       std::vector<std::string>& out) {
    std::string text;
    const ValueStatus status = read_text(profile, key, text);
    if (status != ValueStatus::ok) return status;
    out = split(text, tabs_only);
    return ValueStatus::ok;
}

ValueStatus read_int(const ProfileFile& profile, std::string_view key, std::int32_t& out) {
    std::string text;
    const ValueStatus status = read_text(profile, key, text);
    if (status != ValueStatus::ok) return status;
    return parse_int(text, out) ? ValueStatus::ok : ValueStatus::invalid;
}

ValueStatus read_real(const ProfileFile& profile, std::string_view key, double& out) {
    std::string text;
    const ValueStatus status = read_text(profile, key, text);
    if (status != ValueStatus::ok) return status;
    return parse_real(text, out) ? ValueStatus::ok : ValueStatus::invalid;
}

ValueStatus read_int_list(const ProfileFile& profile, std::string_view key, bool tabs_only,
                          std::vector<std::int32_t>& out) {
    std::vector<std::string> words;
    const ValueStatus status = read_words(profile, key, tabs_only, words);
    if (status != ValueStatus::ok) return status;
    out.clear();
    for (const std::string& w : words) {
        std::int32_t value = 0;
        if (!parse_int(w, value)) return ValueStatus::invalid;
        out.push_back(value);
    }
    return ValueStatus::ok;
}

ValueStatus read_real_list(const ProfileFile& profile, std::string_view key,
                           std::vector<double>& out) {
    std::vector<std::string> words;
    const ValueStatus status = read_words(profile, key, false, words);
    if (status != ValueStatus::ok) return status;
    out.clear();
    for (const std::string& w : words) {
        double value = 0;
        if (!parse_real(w, value)) return ValueStatus::invalid;
        out.push_back(value);
    }
    return ValueStatus::ok;
}

std::string invalid_value_message(std::string_view key) {
    return "Napaka: neveljavna vrednost " + std::string(key) + "\n";
}

}  // namespace sint

namespace sint {

namespace {

std::string_view without_extension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return path;
    }
    return path.substr(0, dot);
}

}  // namespace

bool profile_kind(std::string_view path, bool& scrambled) {
    const std::string_view base = without_extension(path);
    if (base.size() == path.size()) return false;
    std::string extension(path.substr(base.size()));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".ini") {
        scrambled = false;
        return true;
    }
    if (extension == ".ins") {
        scrambled = true;
        return true;
    }
    return false;
}

std::string could_not_find_message(std::string_view class_name, std::string_view path) {
    const std::string base(without_extension(path));
    return std::string(class_name) + ": Could not find " + base + ".ini or " + base +
           ".ins ! Aborting!";
}

std::unique_ptr<ProfileFile> open_stage_profile(std::string_view class_name,
                                                const std::string& path, bool scrambled) {
    std::unique_ptr<ProfileFile> file;
    try {
        file = std::make_unique<ProfileFile>(path, scrambled);
    } catch (const std::bad_alloc&) {
        report_error(std::string(class_name) + ": Profile can not be created!");
        return nullptr;
    }
    if (!file->is_loaded()) {
        report_error(std::string(class_name) + ": Profile could not be created properly!");
        return nullptr;
    }
    return file;
}

}  // namespace sint
