// The dictionary index file: the loaded table written once so that a fast start
// needs neither file parsing nor sorting.
//
// Layout (32-bit little-endian numbers):
//   0  offset of the text block (24)      4  T, length of the text block
//   8  offset of the line table (T + 24)  12 length of the line table (4 * N)
//   16 offset of the priorities (T + 4 * N + 24)                20 N
//   24 text block (scrambled), then N line offsets (scrambled), then N priority bytes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/scramble.h"
#include "core/status.h"
#include "text/dictionary.h"

namespace sint {
namespace {

void put_u32(char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t get_u32(const char* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    return value;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

int PronunciationDictionary::write_index(const std::string& path) const {
    const auto text_size = static_cast<std::uint32_t>(text_.size());
    const auto count = static_cast<std::uint32_t>(entries_.size());
    std::vector<char> data(kIndexHeaderSize + text_.size() + 5 * entries_.size());
    put_u32(&data[0], kIndexHeaderSize);
    put_u32(&data[4], text_size);
    put_u32(&data[8], text_size + kIndexHeaderSize);
    put_u32(&data[12], 4 * count);
    put_u32(&data[16], text_size + 4 * count + kIndexHeaderSize);
    put_u32(&data[20], count);
    char* text = data.data() + kIndexHeaderSize;
    std::copy(text_.begin(), text_.end(), text);
    scramble_bytes(text, text_.size(), kIndexHeaderSize);
    char* offsets = text + text_.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) put_u32(offsets + 4 * i, entries_[i].offset);
    scramble_bytes(offsets, 4 * entries_.size(), kIndexHeaderSize + text_.size());
    char* priorities = offsets + 4 * entries_.size();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        priorities[i] = static_cast<char>(entries_[i].priority);

    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
    const std::string temporary = path + ".tmp";
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (!file) return kNotPossible;
        if (std::fwrite(data.data(), 1, data.size(), file.get()) != data.size()) {
            file.reset();
            std::remove(temporary.c_str());
            return kNotPossible;
        }
        if (std::fflush(file.get()) != 0) {
            file.reset();
            std::remove(temporary.c_str());
            return kNotPossible;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::remove(temporary.c_str());
        return kNotPossible;
    }
    return 0;
}

int PronunciationDictionary::read_index(const std::string& path) {
    clear();
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return kNotPossible;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return kNotPossible;
    const long end = std::ftell(file.get());
    if (end < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return kNotPossible;
    const auto size = static_cast<std::uint64_t>(end);
    // A file too short to hold a header and any text is an empty dictionary
    // (the index of a voice without dictionaries), not a damaged one.
    if (size <= kIndexHeaderSize) return 0;
    char header[kIndexHeaderSize];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return kNotPossible;
    const std::uint64_t text_offset = get_u32(header);
    const std::uint64_t text_size = get_u32(header + 4);
    const std::uint64_t table_offset = get_u32(header + 8);
    const std::uint64_t table_size = get_u32(header + 12);
    const std::uint64_t priority_offset = get_u32(header + 16);
    const std::uint64_t count = get_u32(header + 20);
    // Every field must agree with the others and with the file size before
    // anything is allocated, so that huge counts are refused.
    if (text_offset != kIndexHeaderSize || text_size == 0 ||
        table_offset != text_size + kIndexHeaderSize || table_size != 4 * count ||
        priority_offset != text_size + 4 * count + kIndexHeaderSize ||
        kIndexHeaderSize + text_size + 5 * count != size) {
        return kNotPossible;
    }
    std::vector<char> rest(size - kIndexHeaderSize);
    if (std::fread(rest.data(), 1, rest.size(), file.get()) != rest.size()) return kNotPossible;
    file.reset();

    char* text = rest.data();
    scramble_bytes(text, text_size, kIndexHeaderSize);
    char* offsets = text + text_size;
    scramble_bytes(offsets, 4 * count, kIndexHeaderSize + text_size);
    const char* priorities = offsets + 4 * count;
    if (text[text_size - 1] != '\0') return kNotPossible;

    std::vector<DictEntry> entries(count);
    const char* previous = nullptr;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t offset = get_u32(offsets + 4 * i);
        // An entry starts a line, and its key is followed by its transcription.
        if (offset >= text_size || (offset > 0 && text[offset - 1] != '\0')) return kNotPossible;
        const char* key = text + offset;
        const std::size_t key_length = std::strlen(key);
        if (offset + key_length + 1 >= text_size) return kNotPossible;
        if (previous && std::strcmp(previous, key) > 0) return kNotPossible;  // out of order
        previous = key;
        entries[i] = {offset, static_cast<std::uint8_t>(priorities[i])};
    }
    rest.resize(text_size);  // the text block starts the buffer
    text_ = std::move(rest);
    entries_ = std::move(entries);
    return 0;
}

}  // namespace sint
