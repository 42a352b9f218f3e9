#include "tools/ssml/ssml_text.h"

#include <algorithm>

#include "core/cp1250.h"

namespace sint {
namespace {

// A reference longer than this ("&#x0000000010D;" has 13) is not a reference.
constexpr std::size_t kReferenceMax = 32;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool is_name_start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool has_multi_byte_sequence(std::string_view text) {
    char32_t code = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        if (!decode_utf8(text, at, code))
            ++at;
        else if (at - start > 1)
            return true;
    }
    return false;
}

std::string utf16_to_utf8(std::string_view bytes, bool big_endian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(big_endian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c != 0 && (c < 0xD800 || c > 0xDFFF)) append_utf8(out, c);
    }
    return out;
}

std::string valid_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char32_t code = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        if (decode_utf8(text, at, code))
            out.append(text.substr(start, at - start));
        else
            ++at;
    }
    return out;
}

std::string eight_bit_to_utf8(std::string_view text, const char32_t (&code_points)[256]) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text)
        if (const char32_t cp = code_points[static_cast<unsigned char>(c)]; cp != 0)
            append_utf8(out, cp);
    return out;
}

// Decodes the reference at text[at] ('&'); on success appends it and advances `at`.
bool decode_reference(std::string_view text, std::size_t& at, std::string& out) {
    const std::size_t end = text.find_first_of(";&< \t\r\n", at + 1);
    if (end == std::string_view::npos || text[end] != ';' || end - at - 1 > kReferenceMax ||
        end == at + 1)
        return false;
    const std::string_view name = text.substr(at + 1, end - at - 1);
    static const std::pair<const char*, char32_t> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    char32_t code_point = 0;
    for (const auto& [entity, value] : kNamed)
        if (name == entity) code_point = value;
    if (code_point == 0 && name[0] == '#' && name.size() > 1) {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        unsigned long value = 0;
        for (const char d : digits) {
            int digit = -1;
            if (d >= '0' && d <= '9') digit = d - '0';
            if (hex && d >= 'a' && d <= 'f') digit = d - 'a' + 10;
            if (hex && d >= 'A' && d <= 'F') digit = d - 'A' + 10;
            if (digit < 0) return false;
            value = std::min<unsigned long>(value * (hex ? 16 : 10) + digit, 0x110000);
        }
        code_point = static_cast<char32_t>(value);
        if (code_point == 0 || code_point > 0x10FFFF ||
            (code_point >= 0xD800 && code_point <= 0xDFFF))
            return false;
    }
    if (code_point == 0) return false;
    append_utf8(out, code_point);
    at = end + 1;
    return true;
}

// The lower-case local name of the tag at text[at] ('<'), without '/' or prefix.
std::string tag_name(std::string_view tag) {
    std::size_t at = tag[1] == '/' ? 2 : 1;
    std::string name;
    while (at < tag.size() && !is_blank(tag[at]) && tag[at] != '/' && tag[at] != '>')
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(tag[at++]))));
    if (const auto colon = name.rfind(':'); colon != std::string::npos) name.erase(0, colon + 1);
    return name;
}

}  // namespace

std::string declared_encoding(std::string_view document) {
    if (!document.starts_with("<?xml")) return {};
    const std::string_view head =
        document.substr(0, std::min(document.find("?>"), std::size_t{512}));
    const std::size_t key = head.find("encoding");
    if (key == std::string_view::npos) return {};
    const std::size_t open = head.find_first_of("\"'", key);
    if (open == std::string_view::npos) return {};
    const std::size_t close = head.find(head[open], open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(head.substr(open + 1, close - open - 1));
}

XmlAssumedEncoding assumed_encoding(std::string_view document) {
    if (document.starts_with("\xEF\xBB\xBF") || document.starts_with("\xFF\xFE") ||
        document.starts_with("\xFE\xFF") || !declared_encoding(document).empty())
        return XmlAssumedEncoding::Utf8;
    if (is_valid_utf8(document) || has_multi_byte_sequence(document))
        return XmlAssumedEncoding::Utf8;
    return XmlAssumedEncoding::Windows1250;
}

std::string document_utf8(std::string_view document) {
    if (document.starts_with("\xEF\xBB\xBF")) return valid_utf8(document.substr(3));
    if (document.starts_with("\xFF\xFE")) return utf16_to_utf8(document.substr(2), false);
    if (document.starts_with("\xFE\xFF")) return utf16_to_utf8(document.substr(2), true);
    char32_t code_points[256];
    if (eight_bit_encoding(declared_encoding(document), code_points))
        return eight_bit_to_utf8(document, code_points);
    if (assumed_encoding(document) == XmlAssumedEncoding::Utf8) return valid_utf8(document);
    eight_bit_encoding("windows-1250", code_points);
    return eight_bit_to_utf8(document, code_points);
}

std::vector<SsmlPiece> text_without_markup(std::string_view text) {
    std::vector<SsmlPiece> pieces;
    std::string kept;
    const auto flush = [&](bool boundary) {
        if (!kept.empty()) {
            SsmlPiece piece;
            piece.text = std::move(kept);
            pieces.push_back(std::move(piece));
            kept.clear();
        }
        if (boundary && !pieces.empty() && pieces.back().kind != SsmlPiece::Kind::Boundary) {
            SsmlPiece piece;
            piece.kind = SsmlPiece::Kind::Boundary;
            pieces.push_back(std::move(piece));
        }
    };
    // Each search below either succeeds, and the text up to its find is
    // consumed, or fails once for the rest of the text: one pass in all.
    bool no_pi_end = false, no_cdata_end = false, no_doctype_end = false;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '&') {
            if (!decode_reference(text, at, kept)) kept.push_back(text[at++]);
            continue;
        }
        if (c != '<' || at + 1 >= text.size()) {
            kept.push_back(text[at++]);
            continue;
        }
        const std::string_view rest = text.substr(at);
        if (rest.starts_with("<!--")) {
            // A comment is never spoken, even one that does not end.
            const std::size_t end = text.find("-->", at + 4);
            if (end == std::string_view::npos) break;
            at = end + 3;
            continue;
        }
        if (rest.starts_with("<!DOCTYPE") && !no_doctype_end) {
            // A document type declaration, with its internal subset in brackets.
            std::size_t end = text.find_first_of("[>", at + 9);
            if (end != std::string_view::npos && text[end] == '[') end = text.find("]", end);
            if (end != std::string_view::npos) end = text.find('>', end);
            if (end != std::string_view::npos) {
                at = end + 1;
                continue;
            }
            no_doctype_end = true;
        }
        if (rest.starts_with("<![CDATA[") && !no_cdata_end) {
            const std::size_t end = text.find("]]>", at + 9);
            if (end != std::string_view::npos) {
                kept.append(text.substr(at + 9, end - at - 9));
                at = end + 3;
                continue;
            }
            no_cdata_end = true;
        }
        if (rest.starts_with("<?") && !no_pi_end) {
            const std::size_t end = text.find("?>", at + 2);
            if (end != std::string_view::npos) {
                at = end + 2;
                continue;
            }
            no_pi_end = true;
        }
        const char next = text[at + 1];
        const bool tag_like = is_name_start(next) || next == '!' ||
                              (next == '/' && at + 2 < text.size() && is_name_start(text[at + 2]));
        if (tag_like) {
            // A tag ends at its '>' before any other '<'; the search stops at
            // the next '<', so no byte is looked at more than twice.
            const std::size_t end = text.find_first_of("<>", at + 1);
            if (end != std::string_view::npos && text[end] == '>') {
                const std::string name = tag_name(text.substr(at, end + 1 - at));
                at = end + 1;
                if (name == "p" || name == "s" || name == "break") flush(true);
                continue;
            }
        }
        kept.push_back(text[at++]);
    }
    flush(false);
    return pieces;
}

}  // namespace sint
