#include "text/rules.h"

#include "synth/profile_file.h"
#include "text/char_classes.h"

namespace sint {

namespace {

// A field up to its first "=", with "_" read as a space.
std::string rule_field(const char* item) {
    std::string field;
    for (const char* p = item; *p != '\0' && *p != '='; ++p) field += *p == '_' ? ' ' : *p;
    return field;
}

}  // namespace

int RuleTable::load(ProfileFile& profile, std::string_view key) {
    rules_.clear();
    patterns_.clear();
    std::vector<char*> items;
    if (profile.count_items(key, '\t') <= 0) return -1;
    profile.split_items(key, '\t', items);
    // Continuation lines leave line breaks and blanks around the items.
    std::vector<std::string> fields;
    for (char* item : items) {
        std::string text(item);
        const auto first = text.find_first_not_of(" \r\n");
        if (first == std::string::npos) continue;
        const auto last = text.find_last_not_of(" \r\n");
        fields.push_back(rule_field(text.substr(first, last - first + 1).c_str()));
    }
    if (fields.empty()) return -1;
    if (fields.size() % 4 != 0) return -2;
    for (std::size_t i = 0; i < fields.size(); i += 4) {
        rules_.push_back({fields[i], fields[i + 1], fields[i + 2], fields[i + 3]});
        patterns_.push_back(fields[i] + fields[i + 1] + fields[i + 2]);
    }
    return 0;
}

const Rule* RuleTable::match(std::string_view text, std::size_t position,
                             const CharClassTable& classes, bool skip_empty_target) const {
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        const Rule& rule = rules_[r];
        if (skip_empty_target && rule.target.empty()) continue;
        if (rule.left.size() > position) continue;
        const std::string& pattern = patterns_[r];
        const std::size_t start = position - rule.left.size();
        if (start + pattern.size() > text.size()) continue;  // the text's end matches nothing
        bool ok = true;
        for (std::size_t i = 0; i < pattern.size() && ok; ++i) {
            const unsigned char p = static_cast<unsigned char>(pattern[i]);
            const unsigned char t = static_cast<unsigned char>(text[start + i]);
            const int group = classes.cell(p, kGroupSymbols);
            // Group symbols beyond the last class column are literal characters.
            if (group > 0 && group < kClassColumns)
                ok = classes.in(t, group);
            else
                ok = p == t;
        }
        if (ok) return &rule;
    }
    return nullptr;
}

}  // namespace sint
