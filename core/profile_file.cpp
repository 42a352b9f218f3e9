#include "core/profile_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>

#include "core/log.h"
#include "core/scramble.h"
#include "core/status.h"

namespace sint {
namespace {

bool is_ascii_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
bool is_key_char(char c) {
    return is_ascii_alnum(c) || c == '_';
}
bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

// Reads the whole file in one call. Returns false when it cannot be opened.
bool read_whole_file(const std::string& name, std::vector<char>& content, bool& short_read) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    short_read = false;
    if (size < 0) {
        short_read = true;
        return true;
    }
    content.resize(static_cast<std::size_t>(size));
    in.read(content.data(), size);
    short_read = in.gcount() != size;
    return true;
}

// strtol saturates instead of overflowing; the result keeps its low 32 bits.
std::int32_t read_int32(const char* text, int base) {
    return static_cast<std::int32_t>(std::strtol(text, nullptr, base));
}

}  // namespace

ProfileFile::ProfileFile(std::string_view file_name, bool scrambled)
    : file_name_(file_name.substr(0, std::min(file_name.size(), kFileNameMax))),
      scrambled_(scrambled) {
    load();
}

int ProfileFile::load() {
    loaded_ = false;
    text_.clear();
    entries_.clear();

    bool short_read = false;
    if (!read_whole_file(file_name_, text_, short_read)) {
        report_error("Napaka pri odpiranju datoteke <" + file_name_ + ">");
        return kNotPossible;
    }
    if (short_read) {
        report_error("Napaka pri branju profile datoteke\n");
        return kNotPossible;
    }
    if (scrambled_) scramble_bytes(text_.data(), text_.size());
    const std::size_t length = text_.size();
    text_.push_back('\0');
    char* text = text_.data();

    // Count the entry lines first so the table is sized once.
    std::size_t count = 0;
    for (std::size_t i = 0; i < length; ++i)
        if ((i == 0 || is_line_end(text[i - 1])) && is_ascii_alnum(text[i])) ++count;
    entries_.reserve(count);

    // One pass: cut keys and values apart with NULs, drop comment lines.
    // Lines are counted at every CR and at every LF that does not follow a CR.
    int line = 1;
    for (std::size_t i = 0; i < length; ++i) {
        const bool line_start = i == 0 || is_line_end(text[i - 1]);
        if (line_start && is_ascii_alnum(text[i])) {
            if (i > 0) text[i - 1] = '\0';
            const std::size_t key_start = i;
            std::size_t p = i;
            while (p < length && is_key_char(text[p])) ++p;
            const char after_key = text[p];
            text[p] = '\0';
            std::size_t q = p;
            char at_q = after_key;
            if (is_blank(after_key)) {
                ++q;
                while (q < length && is_blank(text[q])) ++q;
                at_q = text[q];
            }
            if (at_q != '=') {
                report_error("Napaka v profile datoteki - vrstica " + std::to_string(line) + "\n");
                entries_.clear();
                return kNotPossible;
            }
            entries_.push_back(Entry{text + key_start, text + q + 1});
            i = q;  // continue after "="
            continue;
        }
        if (line_start && text[i] == '#') {
            text[i] = '\0';
            continue;
        }
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ++line;
    }
    loaded_ = true;
    return 0;
}

char* ProfileFile::find_value(std::string_view key) const {
    if (!loaded_) return nullptr;
    for (const Entry& entry : entries_)
        if (key == entry.key) return entry.value;
    return nullptr;
}

namespace {

// Normalises a value into `out` (when given) and returns the full length.
std::size_t normalise(const char* value, char* out, std::size_t capacity) {
    std::size_t length = 0;  // characters produced, written or not
    bool line_start = true;
    bool wrote_since_break = false;
    bool last_is_blank = false;
    bool last_from_break = false;
    auto put = [&](char c) {
        if (out && length + 1 < capacity) out[length] = c;
        ++length;
        last_is_blank = is_blank(c);
    };
    for (const char* p = value; *p; ++p) {
        const char c = *p;
        if (is_line_end(c)) {
            if (wrote_since_break && !last_is_blank) {
                put(' ');
                last_from_break = true;
            }
            line_start = true;
            wrote_since_break = false;
            continue;
        }
        if (line_start && is_blank(c)) continue;
        line_start = false;
        put(c);
        wrote_since_break = true;
        last_from_break = false;
    }
    if (last_from_break) --length;
    if (out && capacity > 0) out[std::min(length, capacity - 1)] = '\0';
    return length;
}

}  // namespace

int ProfileFile::get_string(std::string_view key, char* dest, std::size_t capacity) const {
    const char* value = find_value(key);
    if (!value || !dest || capacity == 0) return kNotPossible;
    const std::size_t length = normalise(value, dest, capacity);
    return static_cast<int>(std::min(length, capacity - 1));
}

int ProfileFile::get_string(std::string_view key, std::string& dest, std::size_t capacity) const {
    const char* value = find_value(key);
    if (!value || capacity == 0) return kNotPossible;
    const std::size_t length = normalise(value, nullptr, 0);
    dest.assign(length + 1, '\0');
    normalise(value, dest.data(), dest.size());
    dest.resize(std::min(length, capacity - 1));
    return static_cast<int>(dest.size());
}

int ProfileFile::string_length(std::string_view key) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    return static_cast<int>(normalise(value, nullptr, 0));
}

int ProfileFile::get_int(std::string_view key, std::int32_t& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out = read_int32(value, 0);
    return 0;
}

int ProfileFile::get_real(std::string_view key, double& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out = std::strtod(value, nullptr);
    return 0;
}

// The item rule: the separator, CR and LF delimit items; blanks and tabs are
// skipped only where no item has started since the last delimiter (except right
// after the separator, where a blank starts the next item).
template <typename Visit>
int ProfileFile::for_each_item(const char* value, char separator, Visit visit) {
    bool expect_new = true;
    bool in_blank_run = true;
    int count = 0;
    const char* item = nullptr;
    for (const char* p = value;; ++p) {
        const char c = *p;
        const bool cut =
            c == '\0' || c == separator || is_line_end(c) || (is_blank(c) && in_blank_run);
        if (cut && item) {
            visit(item, p);
            item = nullptr;
        }
        if (c == '\0') break;
        if (c == separator) {
            expect_new = true;
            in_blank_run = false;
        } else if (cut) {
            expect_new = true;
            in_blank_run = true;
        } else {
            if (expect_new) {
                item = p;
                ++count;
            }
            expect_new = false;
            in_blank_run = false;
        }
    }
    return count;
}

int ProfileFile::count_items(std::string_view key, char separator) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    return for_each_item(value, separator, [](const char*, const char*) {});
}

int ProfileFile::split_items(std::string_view key, char separator, std::vector<char*>& items) {
    char* value = find_value(key);
    if (!value) return kNotPossible;
    // Collect the item bounds first, then cut: cutting while scanning would hide
    // the separators that come later.
    std::vector<std::pair<char*, char*>> bounds;
    const int count = for_each_item(value, separator, [&](const char* begin, const char* end) {
        bounds.emplace_back(const_cast<char*>(begin), const_cast<char*>(end));
    });
    for (auto& [begin, end] : bounds) {
        *end = '\0';
        items.push_back(begin);
    }
    return count;
}

int ProfileFile::get_string_list(std::string_view key, char separator, std::vector<char*>& items) {
    items.clear();
    const int count = count_items(key, separator);
    if (count <= 0) {
        report_error("Napaka pri branju spremenljivk: " + std::string(key) + "\n");
        return count;
    }
    items.reserve(static_cast<std::size_t>(count));
    return split_items(key, separator, items);
}

int ProfileFile::get_int_list(std::string_view key, char separator,
                              std::vector<std::int32_t>& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out.clear();
    return for_each_item(value, separator, [&](const char* begin, const char* end) {
        out.push_back(read_int32(std::string(begin, end).c_str(), 10));
    });
}

int ProfileFile::get_number_list(std::string_view key, char separator,
                                 std::vector<double>& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out.clear();
    return for_each_item(value, separator, [&](const char* begin, const char* end) {
        out.push_back(std::strtod(std::string(begin, end).c_str(), nullptr));
    });
}

int ProfileFile::get_number_list(std::string_view key, char separator,
                                 std::vector<float>& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out.clear();
    return for_each_item(value, separator, [&](const char* begin, const char* end) {
        out.push_back(std::strtof(std::string(begin, end).c_str(), nullptr));
    });
}

int ProfileFile::get_number_list_int(std::string_view key, char separator,
                                     std::vector<std::int32_t>& out) const {
    const char* value = find_value(key);
    if (!value) return kNotPossible;
    out.clear();
    return for_each_item(value, separator, [&](const char* begin, const char* end) {
        out.push_back(read_int32(std::string(begin, end).c_str(), 0));
    });
}

int ProfileFile::decode_quoted(char* buffer) {
    if (!buffer) return kNotPossible;
    char* p = std::strchr(buffer, '"');
    if (!p) return kNotPossible;
    ++p;
    char* out = buffer;
    while (*p) {
        char c = *p++;
        if (c == '"') {
            *out = '\0';
            return 0;
        }
        if (c == '\\') {
            if (!*p) return kNotPossible;
            switch (c = *p++) {
                case 'a':
                    c = '\a';
                    break;
                case 'n':
                    c = '\n';
                    break;
                case 't':
                    c = '\t';
                    break;
                case 'v':
                    c = '\v';
                    break;
                case 'b':
                    c = '\b';
                    break;
                case 'r':
                    c = '\r';
                    break;
                case 'f':
                    c = '\f';
                    break;
                case '0':
                    c = '\0';
                    break;
                default:
                    break;
            }
        }
        *out++ = c;
    }
    return kNotPossible;
}

int ProfileFile::decode_quoted(std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const int result = decode_quoted(buffer.data());
    // A decoded "\\0" ends the text, as it does for the C-string callers.
    if (result == 0) text.assign(buffer.data());
    return result;
}

}  // namespace sint
