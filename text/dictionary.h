// PronunciationDictionary: every pronunciation dictionary of the voice in one
// sorted table, read either from the dictionary directory (`*.dct` plain,
// `*.dst` scrambled; each line a key, a tab and the transcription) or from the
// prebuilt index file, and searched by bisection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class ProfileFile;

// Where the server keeps the dictionary index, relative to its working folder.
inline constexpr std::string_view kDictionaryIndexPath = "data/MorvenaIdra.ndx";
// Dictionary files used at most; listing stops after this many.
inline constexpr std::size_t kDictionaryFilesMax = 41;
// Size of the index header (six 32-bit little-endian numbers).
inline constexpr std::size_t kIndexHeaderSize = 24;

class PronunciationDictionary {
public:
    enum class Mode {
        kReadIndex,               // fast start
        kReadDirectory,           // slow start or user dictionaries
        kReadDirectoryWriteIndex  // creating the data ("-ustvaripodatke")
    };

    // Loads by `mode` (`pripravi_slovar`); the file priorities come from the
    // profile's `prioriteta_slovarjev`. Returns 0, or -1 with the table empty.
    int pripravi_slovar(ProfileFile& profile, const std::string& directory, Mode mode,
                        const std::string& index_path, bool plain_allowed);

    // Reads every dictionary file of `directory`; `priority_names` lists file
    // names highest priority first. Returns 0 or -1 (table empty).
    int read_directory(const std::string& directory, const std::vector<std::string>& priority_names,
                       bool plain_allowed);
    // Writes the loaded table as an index file (through a temporary file, so a
    // reader never sees half an index). Returns 0 or -1 (nothing written).
    int write_index(const std::string& path) const;
    // Reads an index file; a file that is short, inconsistent or out of order is
    // refused. Returns 0 or -1 (table empty).
    int read_index(const std::string& path);

    // The transcription of the best entry for `key` (highest file priority), or
    // nullptr. The text stays valid until the table is loaded again.
    const char* lookup(std::string_view key) const;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear();

private:
    struct DictEntry {
        std::uint32_t offset;  // start of the line in text_
        std::uint8_t priority;
    };

    const char* key_of(const DictEntry& entry) const { return text_.data() + entry.offset; }

    // All dictionary text; CR, LF and tab replaced by NUL, a NUL at the end.
    std::vector<char> text_;
    std::vector<DictEntry> entries_;  // sorted by key
};

}  // namespace sint
