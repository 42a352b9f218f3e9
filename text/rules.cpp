#include "text/rules.h"

#include "core/profile_file.h"
#include "core/status.h"
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
    by_first_.clear();
    std::vector<char*> items;
    if (profile.count_items(key, '\t') <= 0) return kNotPossible;
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
    if (fields.empty()) return kNotPossible;
    if (fields.size() % 4 != 0) return kRuleCountWrong;
    // Rule numbers are kept in 16 bits by the index.
    if (fields.size() / 4 > 65535) return kRuleCountWrong;
    for (std::size_t i = 0; i < fields.size(); i += 4) {
        rules_.push_back({fields[i], fields[i + 1], fields[i + 2], fields[i + 3]});
        patterns_.push_back(fields[i] + fields[i + 1] + fields[i + 2]);
    }
    return 0;
}

// True when pattern character `p` matches text character `t`.
bool RuleTable::char_matches(unsigned char p, unsigned char t, const CharClassTable& classes) {
    const int group = classes.cell(p, kGroupSymbols);
    // Group symbols beyond the last class column are literal characters.
    if (group > 0 && group < kClassColumns) return classes.in(t, group);
    return p == t;
}

void RuleTable::build_index(const CharClassTable& classes) {
    by_first_.assign(256, {});
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        for (int b = 0; b < 256; ++b) {
            const auto t = static_cast<unsigned char>(b);
            // A rule with an empty target is tried at every byte.
            if (rules_[r].target.empty() ||
                char_matches(static_cast<unsigned char>(rules_[r].target[0]), t, classes))
                by_first_[t].push_back(static_cast<std::uint16_t>(r));
        }
    }
}

const Rule* RuleTable::match(std::string_view text, std::size_t position,
                             const CharClassTable& classes, bool skip_empty_target) const {
    if (!by_first_.empty() && position < text.size()) {
        for (const std::uint16_t r : by_first_[static_cast<unsigned char>(text[position])])
            if (const Rule* rule = try_rule(r, text, position, classes, skip_empty_target))
                return rule;
        return nullptr;
    }
    for (std::size_t r = 0; r < rules_.size(); ++r)
        if (const Rule* rule = try_rule(r, text, position, classes, skip_empty_target)) return rule;
    return nullptr;
}

const Rule* RuleTable::try_rule(std::size_t r, std::string_view text, std::size_t position,
                                const CharClassTable& classes, bool skip_empty_target) const {
    {
        const Rule& rule = rules_[r];
        if (skip_empty_target && rule.target.empty()) return nullptr;
        if (rule.left.size() > position) return nullptr;
        const std::string& pattern = patterns_[r];
        const std::size_t start = position - rule.left.size();
        if (start + pattern.size() > text.size()) return nullptr;  // the end matches nothing
        for (std::size_t i = 0; i < pattern.size(); ++i)
            if (!char_matches(static_cast<unsigned char>(pattern[i]),
                              static_cast<unsigned char>(text[start + i]), classes))
                return nullptr;
        return &rule;
    }
}

}  // namespace sint
