#include "engine/guid_text.h"

#include <cctype>
#include <cstdio>

namespace sint {

std::string format_guid(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::optional<GUID> parse_guid(const std::string& text) {
    std::string body = text;
    if (body.size() == 38 && body.front() == '{' && body.back() == '}') body = body.substr(1, 36);
    if (body.size() != 36) return std::nullopt;
    std::string hex;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (body[i] == '-')) return std::nullopt;
        if (!dash) {
            if (!std::isxdigit(static_cast<unsigned char>(body[i]))) return std::nullopt;
            hex += body[i];
        }
    }
    const auto field = [&hex](std::size_t at, std::size_t digits) {
        return static_cast<std::uint32_t>(std::stoul(hex.substr(at, digits), nullptr, 16));
    };
    GUID guid{};
    guid.Data1 = field(0, 8);
    guid.Data2 = static_cast<std::uint16_t>(field(8, 4));
    guid.Data3 = static_cast<std::uint16_t>(field(12, 4));
    for (std::size_t i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<std::uint8_t>(field(16 + 2 * i, 2));
    return guid;
}

}  // namespace sint
