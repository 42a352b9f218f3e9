#include "core/symbol_names.h"

#include <fstream>

#include "core/log.h"
#include "core/profile_file.h"

namespace sint {
namespace {

constexpr std::string_view kCharacterTable = "Znaki";
constexpr std::string_view kKeyTable = "Tipke";
constexpr std::string_view kAddressTable = "Deli_naslovov";
constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

struct Row {
    std::string_view head, name, transcription;
};

// "<head> <name> | <transcription>": the head runs to the first blank, the
// transcription (optional) follows the first "|" after it.
Row split_row(std::string_view row) {
    row = trim(row);
    Row out;
    const auto blank = row.find_first_of(kBlanks);
    out.head = row.substr(0, blank);
    if (blank == std::string_view::npos) return out;
    std::string_view rest = row.substr(blank);
    const auto bar = rest.find('|');
    if (bar != std::string_view::npos) {
        out.transcription = trim(rest.substr(bar + 1));
        rest = rest.substr(0, bar);
    }
    out.name = trim(rest);
    return out;
}

void report_row(const std::string& path, std::string_view table, std::string_view row) {
    log_write(path + ": " + std::string(table) + ": vrstica <" + std::string(row) +
              "> ni pravilna");
}

}  // namespace

SymbolNames::SymbolNames(const std::string& path) {
    if (!std::ifstream(path)) {
        log_write(path + ": datoteke ni, znaki nimajo imen");
        return;
    }
    ProfileFile file(path, false);
    if (!file.is_loaded()) return;
    std::vector<char*> rows;
    if (file.split_items(kCharacterTable, '\n', rows) < 0)
        log_write(path + ": ni tabele " + std::string(kCharacterTable));
    for (const char* text : rows) {
        const Row row = split_row(text);
        if (row.head.size() != 1 || row.name.empty()) {
            report_row(path, kCharacterTable, text);
            continue;
        }
        const auto c = static_cast<unsigned char>(row.head[0]);
        names_[c] = row.name;
        transcriptions_[c] = row.transcription;
    }
    read_words(file, path, kKeyTable, keys_);
    read_words(file, path, kAddressTable, address_parts_);
    loaded_ = true;
}

void SymbolNames::read_words(ProfileFile& file, const std::string& path, std::string_view table,
                             Words& words) {
    std::vector<char*> rows;
    if (file.split_items(table, '\n', rows) < 0)
        log_write(path + ": ni tabele " + std::string(table));
    for (const char* text : rows) {
        const Row row = split_row(text);
        if (row.head.empty() || row.name.empty() || !row.transcription.empty()) {
            report_row(path, table, text);
            continue;
        }
        words.emplace_back(row.head, row.name);
    }
}

std::string_view SymbolNames::find(const Words& words, std::string_view head) {
    for (const auto& [key, name] : words)
        if (key == head) return name;
    return {};
}

std::string_view SymbolNames::key_name(std::string_view key) const {
    return find(keys_, key);
}

std::string_view SymbolNames::address_part(std::string_view part) const {
    return find(address_parts_, part);
}

std::string SymbolNames::beside(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    const std::string folder(slash == std::string_view::npos ? "" : path.substr(0, slash + 1));
    return folder + std::string(kFileName);
}

}  // namespace sint
