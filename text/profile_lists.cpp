#include "text/profile_lists.h"

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"

namespace sint {

int read_list_items(ProfileFile& profile, std::string_view key, char separator,
                    std::vector<std::string>& out) {
    out.clear();
    std::vector<char*> items;
    if (profile.count_items(key, separator) < 0) return kNotPossible;
    profile.split_items(key, separator, items);
    for (const char* item : items) {
        std::string text(item);
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const auto last = text.find_last_not_of(" \t");
        out.push_back(text.substr(first, last - first + 1));
    }
    return static_cast<int>(out.size());
}

void log_absent_list(std::string_view key) {
    log_write("V profilu ni seznama " + std::string(key) + ", njegovo pravilo ne velja");
}

int read_rule_list(ProfileFile& profile, std::string_view key, std::vector<std::string>& out) {
    const int count = read_list_items(profile, key, '\t', out);
    if (count < 0) log_absent_list(key);
    return count;
}

}  // namespace sint
