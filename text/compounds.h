// CompoundTable: compounds and fixed phrases replaced from the `*.pdc` lists of
// the dictionary directory (each line: key, tab, replacement; keys compared
// case-insensitively).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/source_trail.h"

namespace sint {

class CharClassTable;

// Longest key looked up; a longer word or phrase is never replaced.
inline constexpr std::size_t kCompoundKeyMax = 64;

class CompoundTable {
public:
    // Reads every `*.pdc` file of `directory` (`pripravi_zlozenke`). A file that
    // cannot be opened is reported and skipped. Returns 0.
    int load_directory(const std::string& directory, const CharClassTable& classes);
    // Adds the lines of one list (used by the loader and by tests); sorts again.
    void add_lines(std::string_view text, const CharClassTable& classes);

    // The replacement of a key (already lower-cased), or nullptr.
    const std::string* find(std::string_view lower_key) const;
    std::size_t size() const { return entries_.size(); }

    // Writes `in` into `out` (replaced) with the compounds replaced, at most
    // `limit` characters.
    void replace(std::string_view in, std::string& out, std::size_t limit,
                 const CharClassTable& classes, SourceTrail* trail = nullptr) const;

private:
    struct Entry {
        std::string key;  // lower-cased
        std::string replacement;
    };
    std::vector<Entry> entries_;
};

}  // namespace sint
