#include "text/dictionary.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/log.h"
#include "core/profile_file.h"
#include "core/scramble.h"
#include "core/status.h"
#include "text/profile_lists.h"

namespace sint {
namespace {

// Reported when the directory offers no dictionary file.
constexpr std::string_view kNoDictionary = "Ni slovarja!";

// Byte-wise comparison of a NUL-terminated key with a search key.
int compare_key(const char* key, std::string_view search) {
    std::size_t i = 0;
    for (; i < search.size(); ++i) {
        const auto a = static_cast<unsigned char>(key[i]);
        const auto b = static_cast<unsigned char>(search[i]);
        if (a == 0) return -1;
        if (a != b) return a < b ? -1 : 1;
    }
    return key[i] == '\0' ? 0 : 1;
}

bool equal_names(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void PronunciationDictionary::clear() {
    text_.clear();
    text_.shrink_to_fit();
    entries_.clear();
    entries_.shrink_to_fit();
}

int PronunciationDictionary::pripravi_slovar(ProfileFile& profile, const std::string& directory,
                                             Mode mode, const std::string& index_path,
                                             bool plain_allowed) {
    if (mode == Mode::kReadIndex) return read_index(index_path);
    std::vector<std::string> names;
    read_list_items(profile, "prioriteta_slovarjev", '\t', names);
    if (read_directory(directory, names, plain_allowed) != 0) return kNotPossible;
    // A failed index write leaves the loaded table usable.
    if (mode == Mode::kReadDirectoryWriteIndex) write_index(index_path);
    return 0;
}

int PronunciationDictionary::read_directory(const std::string& directory,
                                            const std::vector<std::string>& priority_names,
                                            bool plain_allowed) {
    clear();
    const std::filesystem::path folder = directory.empty() ? "." : directory;
    std::error_code error;
    std::error_code kind_error;  // a file whose kind cannot be told is skipped
    std::vector<std::filesystem::path> listing;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(kind_error)) listing.push_back(it->path());
    }
    if (listing.empty()) {
        report_error(kNoDictionary);
        return kNotPossible;
    }
    std::sort(listing.begin(), listing.end());

    struct Source {
        std::string content;
        std::uint8_t priority;
    };
    std::vector<Source> sources;
    for (const auto& path : listing) {
        const std::string name = path.filename().string();
        const std::size_t dot = name.rfind('.');
        const std::string extension =
            dot == std::string::npos ? std::string() : name.substr(dot + 1);
        const bool scrambled = extension == "dst";
        if (!scrambled && !(extension == "dct" && plain_allowed)) continue;
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            report_error("Napaka pri odpiranju datoteke " + path.string());
            continue;
        }
        Source source{
            std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()),
            0};
        if (scrambled) scramble_bytes(source.content.data(), source.content.size());
        for (std::size_t i = 0; i < priority_names.size(); ++i) {
            if (equal_names(priority_names[i], name)) {
                source.priority = static_cast<std::uint8_t>(
                    std::min<std::size_t>(priority_names.size() - i, 255));
                break;
            }
        }
        sources.push_back(std::move(source));
        if (sources.size() == kDictionaryFilesMax) {
            report_error("Prevec slovarskih datotek !");
            break;
        }
    }
    if (sources.empty()) {
        report_error(kNoDictionary);
        return kNotPossible;
    }

    std::size_t total = 1;
    for (const Source& source : sources) total += source.content.size() + 2;
    // Offsets are kept in 32 bits, as in the index file.
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        report_error("Napaka pri alokaciji pomnilnika (slovar)");
        return kNotPossible;
    }
    text_.reserve(total);
    std::vector<std::size_t> file_starts;
    for (const Source& source : sources) {
        file_starts.push_back(text_.size());
        text_.insert(text_.end(), source.content.begin(), source.content.end());
        const std::size_t n = source.content.size();
        if (n < 2 || source.content[n - 2] != '\r' || source.content[n - 1] != '\n') {
            text_.push_back('\r');
            text_.push_back('\n');
        }
    }
    text_.push_back('\0');

    // One entry per line that has a key and a tab; lines may end in CR LF, LF or CR.
    std::size_t file = 0;
    std::size_t line_start = 0;
    const std::size_t end = text_.size() - 1;
    while (line_start < end) {
        std::size_t line_end = line_start;
        while (line_end < end && text_[line_end] != '\r' && text_[line_end] != '\n') ++line_end;
        while (file + 1 < file_starts.size() && file_starts[file + 1] <= line_start) ++file;
        const char* line = text_.data() + line_start;
        const void* tab = std::memchr(line, '\t', line_end - line_start);
        if (tab && tab != line) {
            entries_.push_back({static_cast<std::uint32_t>(line_start), sources[file].priority});
        }
        line_start = line_end + 1;
    }
    for (char& c : text_) {
        if (c == '\r' || c == '\n' || c == '\t') c = '\0';
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [this](const DictEntry& a, const DictEntry& b) {
                         return std::strcmp(key_of(a), key_of(b)) < 0;
                     });
    return 0;
}

const char* PronunciationDictionary::lookup(std::string_view key) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                     [this](const DictEntry& entry, std::string_view k) {
                                         return compare_key(key_of(entry), k) < 0;
                                     });
    if (it == entries_.end() || compare_key(key_of(*it), key) != 0) return nullptr;
    auto best = it;
    for (auto next = it + 1; next != entries_.end() && compare_key(key_of(*next), key) == 0;
         ++next) {
        if (next->priority > best->priority) best = next;
    }
    const char* entry_key = key_of(*best);
    return entry_key + std::strlen(entry_key) + 1;
}

}  // namespace sint
