// Shared set-up of the prosody tests: the default voice's profiles, edited key
// by key into a temporary folder, and a phone table with the voice's inventory.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "prosody/phone_table.h"
#include "prosody/prosody_record.h"
#include "tests/support/temp_dir.h"

namespace sint::test {

inline std::string voice_file(const std::string& name) {
    std::ifstream in(std::string(SINT_SOURCE_DIR) + "/voice/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The profile text with the value of `key` replaced (continuation lines, which
// start with a tab, go with it); an empty `value` with `remove` drops the key.
inline std::string with_key(const std::string& profile, const std::string& key,
                            const std::string& value, bool remove = false) {
    std::istringstream in(profile);
    std::string line, out;
    bool skipping = false, found = false;
    while (std::getline(in, line)) {
        if (skipping && !line.empty() && line[0] == '\t') continue;
        skipping = false;
        if (line.rfind(key + " =", 0) == 0) {
            skipping = true;
            found = true;
            if (!remove) out += key + " = " + value + "\n";
            continue;
        }
        out += line + "\n";
    }
    if (!found && !remove) out += key + " = " + value + "\n";
    return out;
}

inline std::string without_key(const std::string& profile, const std::string& key) {
    return with_key(profile, key, "", true);
}

// The value of `key` in the profile text, continuation lines joined by blanks.
inline std::string key_value(const std::string& profile, const std::string& key) {
    std::istringstream in(profile);
    std::string line, value;
    bool reading = false;
    while (std::getline(in, line)) {
        if (reading && !line.empty() && line[0] == '\t') {
            value.push_back(' ');
            value.append(line, 1, std::string::npos);
            continue;
        }
        if (reading) break;
        if (line.rfind(key + " =", 0) == 0) {
            reading = true;
            value = line.substr(key.size() + 2);
            if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        }
    }
    return value;
}

// The default voice's inventory as the text-analysis engine would serve it.
inline PhoneTable voice_phones() {
    const std::string mikro = voice_file("mikro.ini");
    return PhoneTable::from_list(key_value(mikro, "Nabor_fonemov"),
                                 key_value(mikro, "Razvrstitev_fonemov"));
}

// Logging into a temporary file for the duration of one test.
class LogCapture {
public:
    LogCapture() {
        set_log_path(dir_.file("sint.log"));
        set_log_disabled(false);
        clear_error();
    }
    ~LogCapture() { set_log_disabled(true); }
    std::string text() const { return TempDir::read(dir_.file("sint.log")); }
    bool contains(const std::string& message) const {
        return text().find(message) != std::string::npos;
    }

private:
    TempDir dir_;
};

inline std::string record_name(const ProsodyRecord& r) {
    return std::string(r.name);
}

}  // namespace sint::test
