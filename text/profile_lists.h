// Reading a list value of a profile into strings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sint {

class ProfileFile;

// The items of a list value (separated by `separator` and by line breaks), each
// trimmed of blanks; empty items are dropped. The value is cut in the profile, so
// a key can be read this way once. Returns the count, or -1 when the key is absent.
int read_list_items(ProfileFile& profile, std::string_view key, char separator,
                    std::vector<std::string>& out);

// Logs that the optional list `key` of a rule is absent, so that the rule does
// not apply.
void log_absent_list(std::string_view key);
// read_list_items (tab-separated) of the optional list of a rule, logging its
// absence; an absent list leaves `out` empty.
int read_rule_list(ProfileFile& profile, std::string_view key, std::vector<std::string>& out);

}  // namespace sint
