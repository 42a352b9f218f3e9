#include <algorithm>
#include <string>

#include "core/cp1250.h"
#include "tools/ssml/xml_parser.h"

namespace sint {

bool eight_bit_encoding(std::string_view name, char32_t (&code_points)[256]) {
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    static const char* const kLatin2[] = {"iso-8859-2", "iso8859-2",   "iso_8859-2", "latin2",
                                          "l2",         "csisolatin2", "iso-ir-101"};
    static const char* const kWindows1250[] = {"windows-1250", "cp1250", "x-cp1250"};
    const auto named = [&key](const auto& names) {
        return std::find(std::begin(names), std::end(names), key) != std::end(names);
    };
    if (named(kLatin2)) {
        for (int b = 0; b < 256; ++b)
            code_points[b] = iso8859_2_code_point(static_cast<unsigned char>(b));
        return true;
    }
    if (named(kWindows1250)) {
        for (int b = 0; b < 256; ++b)
            code_points[b] = cp1250_code_point(static_cast<unsigned char>(b));
        return true;
    }
    return false;
}

}  // namespace sint
