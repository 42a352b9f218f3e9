// ProfileFile: the reader of the key = value profiles (sint.ini and the
// text-analysis, micro-prosody and macro-prosody profiles).
//
// The whole file is read into one buffer and indexed once; queries look the key
// up in file order (the first occurrence wins) and return -1 when it is absent
// or the profile is not loaded. Load failures are reported through the error
// reporter of the log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class ProfileFile {
public:
    // Longest file name kept.
    static constexpr std::size_t kFileNameMax = 512;

    // Loads the file at once; `is_loaded` tells the outcome. With `scrambled`
    // the file is descrambled while it is read.
    ProfileFile(std::string_view file_name, bool scrambled);

    // Loads (again): frees the previous content first. Returns 0 or -1.
    int load();

    bool is_loaded() const { return loaded_; }
    int entry_count() const { return static_cast<int>(entries_.size()); }
    const std::string& file_name() const { return file_name_; }

    // The normalised string value: blanks at line starts dropped, line breaks
    // joined by one blank. Writes at most capacity - 1 characters and a NUL;
    // returns the length written, or -1.
    int get_string(std::string_view key, char* dest, std::size_t capacity) const;
    // The same into a std::string, cut to capacity - 1 characters.
    int get_string(std::string_view key, std::string& dest, std::size_t capacity = 256) const;
    // The length that get_string would return with unlimited capacity.
    int string_length(std::string_view key) const;

    // The value read like strtol with base 0 / like strtod; returns 0 or -1.
    int get_int(std::string_view key, std::int32_t& out) const;
    int get_real(std::string_view key, double& out) const;

    // The number of items of the value, delimited by `separator` and line breaks.
    int count_items(std::string_view key, char separator) const;
    // Cuts the value into its items in place (a value can be split once) and
    // appends a pointer to each item; returns the count.
    int split_items(std::string_view key, char separator, std::vector<char*>& items);
    // split_items with the messages for an absent key or no items; returns the count.
    int get_string_list(std::string_view key, char separator, std::vector<char*>& items);

    // Numeric lists: each item read like atol / strtod / strtof / strtol base 0.
    // The output is replaced; returns the count.
    int get_int_list(std::string_view key, char separator, std::vector<std::int32_t>& out) const;
    int get_number_list(std::string_view key, char separator, std::vector<double>& out) const;
    int get_number_list(std::string_view key, char separator, std::vector<float>& out) const;
    int get_number_list_int(std::string_view key, char separator,
                            std::vector<std::int32_t>& out) const;

    // Decodes a quoted string with backslash escapes in place: the text between
    // the first double quote and the next unescaped one is moved to the start of
    // the buffer and NUL-terminated. Returns 0, or -1 when a quote is missing or
    // the text ends in a backslash.
    static int decode_quoted(char* buffer);
    static int decode_quoted(std::string& text);

private:
    struct Entry {
        const char* key;
        char* value;
    };

    char* find_value(std::string_view key) const;
    // Calls visit(begin, end) for each item of the value, without changing it.
    template <typename Visit>
    static int for_each_item(const char* value, char separator, Visit visit);

    std::string file_name_;
    bool scrambled_;
    bool loaded_ = false;
    std::vector<char> text_;
    std::vector<Entry> entries_;
};

}  // namespace sint
