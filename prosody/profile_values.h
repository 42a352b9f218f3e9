// Strict readers for the values of the prosody profiles: every number must be a
// whole number (or a decimal number where one is expected), so that a typing
// error in a profile is refused instead of read as 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class ProfileFile;

enum class ValueStatus { ok, missing, invalid };

// Largest magnitude of a profile integer and of a decimal number; larger values
// are refused, so that the stages' integer arithmetic cannot overflow.
inline constexpr std::int32_t kProfileIntMax = 30000;
inline constexpr double kProfileRealMax = 1000.0;

// The normalised text of the value.
ValueStatus read_text(const ProfileFile& profile, std::string_view key, std::string& out);
// The text between double quotes, backslash escapes decoded.
ValueStatus read_quoted(const ProfileFile& profile, std::string_view key, std::string& out);
// The items of the value, cut at tabs (and blanks unless `tabs_only`).
ValueStatus read_words(const ProfileFile& profile, std::string_view key, bool tabs_only,
                       std::vector<std::string>& out);

ValueStatus read_int(const ProfileFile& profile, std::string_view key, std::int32_t& out);
ValueStatus read_real(const ProfileFile& profile, std::string_view key, double& out);
ValueStatus read_int_list(const ProfileFile& profile, std::string_view key, bool tabs_only,
                          std::vector<std::int32_t>& out);
ValueStatus read_real_list(const ProfileFile& profile, std::string_view key,
                           std::vector<double>& out);

// Whole-text number parsers (leading and trailing blanks allowed), within the
// magnitudes above.
bool parse_int(std::string_view text, std::int32_t& out);
bool parse_real(std::string_view text, double& out);

// "Napaka: neveljavna vrednost <key>\n": the message for a value that is present
// but unusable (not a number, a list of the wrong length, a position out of range).
std::string invalid_value_message(std::string_view key);

}  // namespace sint

namespace sint {

// The storage form of a profile from its file name: ".ini" plain, ".ins"
// scrambled (case ignored). False when the name has neither extension.
bool profile_kind(std::string_view path, bool& scrambled);
// "<Class>: Could not find <base>.ini or <base>.ins ! Aborting!"
std::string could_not_find_message(std::string_view class_name, std::string_view path);

// Opens a stage's profile. On failure reports "<Class>: Profile can not be
// created!" or "<Class>: Profile could not be created properly!" and returns null.
std::unique_ptr<ProfileFile> open_stage_profile(std::string_view class_name,
                                                const std::string& path, bool scrambled);

}  // namespace sint
