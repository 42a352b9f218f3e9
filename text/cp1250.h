// Conversion of UTF-8 text into the 8-bit code page 1250 that text analysis reads.
#pragma once

#include <string>
#include <string_view>

namespace sint {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid_utf8(std::string_view text);

// Converts valid UTF-8 into code page 1250; a character that the code page lacks
// becomes "?". Text that is not valid UTF-8 is returned unchanged (taken as 8-bit).
std::string utf8_to_cp1250(std::string_view text);

}  // namespace sint
