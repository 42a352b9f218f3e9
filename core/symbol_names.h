// SymbolNames: the one table of the spoken names of characters (punctuation,
// signs, letters and digits) and of keyboard keys, kept in the voice folder's
// `simboli.ini` so that a linguist can change a reading without compiling.
// Text analysis reads marks and letters of addresses from it, the server and
// the library speak a lone character by its transcription, the SSML plan names
// punctuation with it and the Speech Dispatcher module its keys.
//
// The file is a profile (core/profile_file.h) with two keys whose values are
// tables, one row per line, each row starting with a blank:
//   Znaki = rows "<character> <name> | <transcription>"
//   Tipke = rows "<key> <name>"
//   Deli_naslovov = rows "<part> <name>", parts of addresses said by a name
// Names are code page 1250 text; a transcription is in phone symbols.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sint {

class ProfileFile;

class SymbolNames {
public:
    // The file's name; it sits beside the text-analysis profile.
    static constexpr std::string_view kFileName = "simboli.ini";

    // An empty table: every name is empty.
    SymbolNames() = default;
    // Reads the file; a missing file or a bad row is logged (not reported as an
    // error), and what was read stays usable: a missing file gives an empty table.
    explicit SymbolNames(const std::string& path);

    bool loaded() const { return loaded_; }
    // The written name of a character, empty when it has none.
    std::string_view name(unsigned char c) const { return names_[c]; }
    // The transcription of a character's name, empty when it has none.
    std::string_view transcription(unsigned char c) const { return transcriptions_[c]; }
    // The written name of a key ("tab", "space"), empty when it has none.
    std::string_view key_name(std::string_view key) const;
    // The spoken name of a part of an address ("www"), empty when it has none.
    std::string_view address_part(std::string_view part) const;

    // The path of the table beside `path` (a file of the voice folder).
    static std::string beside(std::string_view path);

private:
    bool loaded_ = false;
    std::array<std::string, 256> names_;
    std::array<std::string, 256> transcriptions_;
    using Words = std::vector<std::pair<std::string, std::string>>;
    static void read_words(ProfileFile& file, const std::string& path, std::string_view table,
                           Words& words);
    static std::string_view find(const Words& words, std::string_view head);

    Words keys_;
    Words address_parts_;
};

}  // namespace sint
