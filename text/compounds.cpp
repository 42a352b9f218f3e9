#include "text/compounds.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/log.h"
#include "text/char_classes.h"

namespace sint {
namespace {

bool is_word_char(unsigned char ch, const CharClassTable& classes) {
    return !CharClassTable::is_space(ch) && !classes.is_final_or_non_final(ch);
}

}  // namespace

int CompoundTable::load_directory(const std::string& directory, const CharClassTable& classes) {
    entries_.clear();
    std::error_code error;
    std::error_code kind_error;  // a file whose kind cannot be told is skipped
    std::vector<std::filesystem::path> files;
    const std::filesystem::path folder = directory.empty() ? "." : directory;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".pdc" && it->is_regular_file(kind_error))
            files.push_back(it->path());
    }
    // Listing order is the name order, the same on every file system.
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            report_error("Ne morem odpreti" + path.string());
            continue;
        }
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        add_lines(text, classes);
    }
    return 0;
}

void CompoundTable::add_lines(std::string_view text, const CharClassTable& classes) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t tab = line.find('\t');
        if (tab == 0 || tab == std::string_view::npos) continue;
        Entry entry{std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))};
        // Further tab-separated fields are ignored.
        entry.replacement = entry.replacement.substr(0, entry.replacement.find('\t'));
        if (entry.key.size() > kCompoundKeyMax) continue;
        classes.lower_case(entry.key);
        entries_.push_back(std::move(entry));
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
}

const std::string* CompoundTable::find(std::string_view lower_key) const {
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), lower_key,
        [](const Entry& entry, std::string_view key) { return std::string_view(entry.key) < key; });
    if (it == entries_.end() || it->key != lower_key) return nullptr;
    return &it->replacement;
}

void CompoundTable::replace(std::string_view in, std::string& out, std::size_t limit,
                            const CharClassTable& classes, SourceTrail* trail) const {
    out.clear();
    if (trail) trail->clear();
    if (entries_.empty()) {
        out.assign(in.substr(0, std::min(in.size(), limit)));
        trace(trail, out.size(), 0, true);
        return;
    }
    std::string lower(in);
    classes.lower_case(lower);
    const auto fits = [&](std::size_t n) { return out.size() + n <= limit; };
    const auto word_end = [&](std::size_t from) {
        while (from < in.size() && is_word_char(static_cast<unsigned char>(in[from]), classes))
            ++from;
        return from;
    };

    std::size_t pos = 0;
    while (pos < in.size() && out.size() < limit) {
        const std::size_t first_end = word_end(pos);
        if (first_end > pos) {
            // The longest phrase reached by extending hits word by word.
            const std::string* hit = nullptr;
            std::size_t hit_end = pos;
            std::size_t end = first_end;
            while (end - pos <= kCompoundKeyMax) {
                const std::string* found = find(std::string_view(lower).substr(pos, end - pos));
                if (!found) break;
                hit = found;
                hit_end = end;
                // Extend by the separator that follows and the next word.
                std::size_t next = end;
                while (next < in.size() &&
                       !is_word_char(static_cast<unsigned char>(in[next]), classes))
                    ++next;
                if (next == end || next >= in.size()) break;
                end = word_end(next);
            }
            if (hit) {
                std::string text = *hit;
                if (!text.empty() && classes.is_capital(static_cast<unsigned char>(in[pos])))
                    text[0] =
                        static_cast<char>(classes.to_upper(static_cast<unsigned char>(text[0])));
                if (fits(text.size())) out += text;
                trace(trail, out.size(), pos, false);
                pos = hit_end;
            } else {
                if (fits(first_end - pos)) out.append(in.substr(pos, first_end - pos));
                trace(trail, out.size(), pos, true);
                pos = first_end;
            }
        }
        while (pos < in.size() && out.size() < limit &&
               !is_word_char(static_cast<unsigned char>(in[pos]), classes)) {
            out.push_back(in[pos]);
            trace(trail, out.size(), pos++, true);
        }
    }
}

}  // namespace sint
