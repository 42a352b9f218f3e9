#include "tools/sint-say/text_input.h"

#include "core/cp1250.h"

namespace sint {

std::string speakable_text(std::string_view text) {
    if (!looks_like_utf8(text)) return std::string(text);
    std::string narrowed = utf8_to_cp1250(text);
    // The engine library reads ć and Ć as č and Č; sint-say speaks alike.
    for (char& c : narrowed) {
        if (c == '\xC6') c = '\xC8';
        if (c == '\xE6') c = '\xE8';
    }
    return narrowed;
}

}  // namespace sint
