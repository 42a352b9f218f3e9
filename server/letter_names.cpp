#include "server/letter_names.h"

namespace sint {
namespace {

// The small letter of a capital (ASCII and the capitals Č Ć Đ Š Ž).
unsigned char small_letter(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
    switch (c) {
        case 0xC8:
            return 0xE8;  // Č
        case 0xC6:
            return 0xE6;  // Ć
        case 0xD0:
            return 0xF0;  // Đ
        case 0x8A:
            return 0x9A;  // Š
        case 0x8E:
            return 0x9E;  // Ž
        default:
            return c;
    }
}

}  // namespace

std::string_view letter_transcription(const SymbolNames* names, unsigned char c) {
    const std::string_view name = names ? names->transcription(small_letter(c)) : "";
    return name.empty() ? "." : name;
}

}  // namespace sint
