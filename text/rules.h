// RuleTable: context rules of the form left, target, right, replacement. A
// pattern character that is a group symbol (`glasovne_skupine`) matches any
// character of that class; every other character matches only itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class CharClassTable;
class ProfileFile;

struct Rule {
    std::string left;
    std::string target;
    std::string right;
    std::string replacement;
};

// RuleTable::load: the list does not hold whole rules of four fields (or too many).
inline constexpr int kRuleCountWrong = -2;

class RuleTable {
public:
    // Reads `key`: tab-separated fields in groups of four; each field ends at
    // its first "=" and "_" stands for a space. Returns 0, -1 when the key is
    // missing or empty, -2 when the count is not a multiple of four.
    int load(ProfileFile& profile, std::string_view key);

    // The first rule whose left + target + right matches `text` with the
    // target at `position`; nullptr when none does. Rules with an empty target
    // are passed over when `skip_empty_target` is set.
    const Rule* match(std::string_view text, std::size_t position, const CharClassTable& classes,
                      bool skip_empty_target) const;

    // Lists, for every byte, the rules whose target can begin with it, so that
    // matching tries only those. Call after loading, with the classes the
    // matching uses.
    void build_index(const CharClassTable& classes);

    std::size_t size() const { return rules_.size(); }

private:
    static bool char_matches(unsigned char p, unsigned char t, const CharClassTable& classes);
    const Rule* try_rule(std::size_t r, std::string_view text, std::size_t position,
                         const CharClassTable& classes, bool skip_empty_target) const;

    std::vector<Rule> rules_;
    // For each rule the concatenated pattern; kept apart so that matching
    // allocates nothing.
    std::vector<std::string> patterns_;
    // Rule numbers by the byte at the target's place, in file order; empty
    // until `build_index`.
    std::vector<std::vector<std::uint16_t>> by_first_;
};

}  // namespace sint
