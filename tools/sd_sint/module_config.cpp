#include "tools/sd_sint/module_config.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace sint {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool read_int(const std::string& text, long low, long high, long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

// The two quoted strings of `"name" "folder"`; nothing when that is not the form.
std::optional<ModuleVoice> read_voice(const std::string& value) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while ((at = value.find_first_not_of(" \t", at)) != std::string::npos) {
        if (value[at] != '"') return std::nullopt;
        const auto end = value.find('"', at + 1);
        if (end == std::string::npos) return std::nullopt;
        parts.push_back(value.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    if (parts.size() != 2 || parts[0].empty() || parts[1].empty() ||
        parts[0].find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    return ModuleVoice{parts[0], parts[1]};
}

}  // namespace

ModuleConfig parse_module_config(const std::string& text) {
    ModuleConfig config;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto split = line.find_first_of(" \t");
        const std::string key = line.substr(0, split);
        std::string value = split == std::string::npos ? "" : trim(line.substr(split));
        if (key == "SintVoice") {
            const auto voice = read_voice(value);
            const bool taken =
                voice && (voice->name == kModuleDefaultVoice ||
                          std::any_of(config.voices.begin(), config.voices.end(),
                                      [&](const ModuleVoice& v) { return v.name == voice->name; }));
            if (!voice || taken)
                config.problems.push_back("line " + std::to_string(number) +
                                          ": SintVoice takes \"name\" \"folder\" with a name of "
                                          "its own, no blanks");
            else
                config.voices.push_back(*voice);
            continue;
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        const auto problem = [&](const std::string& what) {
            config.problems.push_back("line " + std::to_string(number) + ": " + what);
        };
        long n = 0;
        if (key == "SintServer") {
            config.server_path = value;
        } else if (key == "SintLogFile") {
            config.log_file = value;
        } else if (key == "SintPort") {
            if (read_int(value, 0, 65535, n))
                config.port = static_cast<std::uint16_t>(n);
            else
                problem("SintPort takes a port number");
        } else if (key == "SintLifespan") {
            if (read_int(value, 1, 1000000, n))
                config.lifespan = static_cast<int>(n);
            else
                problem("SintLifespan takes a number of 100 ms ticks");
        } else if (key == "SintMaxSpeed") {
            char* end = nullptr;
            const double speed = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(speed >= 1.0 && speed <= kSpeedMax))
                problem("SintMaxSpeed takes a speed factor from 1 to 6");
            else
                config.voice.max_speed = speed;
        } else if (key == "SintRate" || key == "SintPitch" || key == "SintVolume") {
            if (!read_int(value, -100, 100, n)) {
                problem(key + " takes a number from -100 to 100");
            } else {
                int& field = key == "SintRate"    ? config.voice.rate
                             : key == "SintPitch" ? config.voice.pitch
                                                  : config.voice.volume;
                field = static_cast<int>(n);
            }
        } else {
            problem("unknown key " + key);
        }
    }
    return config;
}

ModuleConfig read_module_config(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ModuleConfig config;
        config.problems.push_back("cannot read " + path);
        return config;
    }
    return parse_module_config(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

}  // namespace sint
