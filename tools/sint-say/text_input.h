// The text that sint-say speaks: UTF-8 narrowed to code page 1250 the way the
// engine library narrows it, 8-bit text taken as it is.
#pragma once

#include <string>
#include <string_view>

namespace sint {

// True when `text` is valid UTF-8 and contains at least one multi-byte sequence.
bool looks_like_utf8(std::string_view text);

// Code page 1250 bytes of UTF-8 text: code points below 256 become their low
// byte, the Slovenian letters and the other characters of code page 1250 their
// byte there, anything else "?"; then ć and Ć are read as č and Č.
std::string utf8_to_cp1250(std::string_view text);

// UTF-8 converted, anything else unchanged.
std::string speakable_text(std::string_view text);

}  // namespace sint
