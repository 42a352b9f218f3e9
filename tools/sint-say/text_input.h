// The text that sint-say speaks: UTF-8 narrowed to code page 1250 the way the
// engine library narrows it, 8-bit text taken as it is.
#pragma once

#include <string>
#include <string_view>

namespace sint {

// UTF-8 converted to code page 1250 (ć and Ć read as č and Č, a character
// the code page lacks as "?"), anything else unchanged.
std::string speakable_text(std::string_view text);

}  // namespace sint
