#include "engine/registry_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sint {
namespace {

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Reads a quoted string starting at `pos` (at the opening quote); moves `pos`
// past the closing quote. Nothing when the quote is not closed.
std::optional<std::string> unquote(const std::string& line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '\\' && pos + 1 < line.size()) {
            out += line[++pos];
        } else if (c == '"') {
            ++pos;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

bool is_below(const std::string& key, const std::string& parent) {
    return key.size() > parent.size() && key.compare(0, parent.size(), parent) == 0 &&
           key[parent.size()] == '\\';
}

}  // namespace

std::string registry_file_path() {
    if (const char* named = std::getenv(kRegistryFileVariable); named && *named) return named;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.sint/registry.reg";
    return "/tmp/sint-registry.reg";
}

bool RegistryFile::load(const std::string& path) {
    keys_.clear();
    std::ifstream in(path);
    if (!in) return !std::filesystem::exists(path);
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
            keys_[current];
            continue;
        }
        if (current.empty()) continue;
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else {
            auto quoted = unquote(line, pos);
            if (!quoted) continue;
            name = *quoted;
        }
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        if (auto value = unquote(line, pos)) keys_[current][name] = *value;
    }
    return true;
}

bool RegistryFile::save(const std::string& path) const {
    const std::filesystem::path target(path);
    std::error_code error;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) return false;
        for (const auto& [key, values] : keys_) {
            out << '[' << key << "]\n";
            for (const auto& [name, value] : values)
                out << (name.empty() ? std::string("@") : quote(name)) << '=' << quote(value)
                    << '\n';
            out << '\n';
        }
        if (!out.flush()) return false;
    }
    std::filesystem::rename(temporary, target, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

void RegistryFile::create_key(const std::string& key) {
    keys_[key];
}

void RegistryFile::set(const std::string& key, const std::string& name, const std::string& value) {
    keys_[key][name] = value;
}

bool RegistryFile::remove_tree(const std::string& key) {
    bool removed = false;
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == key || is_below(it->first, key)) {
            it = keys_.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    return removed;
}

bool RegistryFile::has_key(const std::string& key) const {
    return keys_.count(key) != 0;
}

std::optional<std::string> RegistryFile::get(const std::string& key,
                                             const std::string& name) const {
    const auto found = keys_.find(key);
    if (found == keys_.end()) return std::nullopt;
    const auto value = found->second.find(name);
    if (value == found->second.end()) return std::nullopt;
    return value->second;
}

}  // namespace sint
