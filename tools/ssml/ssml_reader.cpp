#include "tools/ssml/ssml_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/cp1250.h"

namespace sint {
namespace {

// Changes are kept within this range however deeply they are nested.
constexpr int kChangeMax = 200;
// Rate factors are kept within this range however deeply they are nested.
constexpr double kRateFactorMin = 0.05;
constexpr double kRateFactorMax = 20.0;
// The pause of <break/> without attributes and of strength="medium".
constexpr int kDefaultBreakMs = 500;
// An entity name longer than this is not an entity.
constexpr std::size_t kEntityMax = 10;

struct Attribute {
    std::string name;
    std::string value;
};

struct Tag {
    std::string name;
    bool closing = false;
    bool self_closing = false;
    std::vector<Attribute> attributes;

    const std::string* attribute(std::string_view wanted) const {
        for (const Attribute& a : attributes)
            if (a.name == wanted) return &a.value;
        return nullptr;
    }
};

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool is_name_char(char c) {
    return c != '\0' && !is_space(c) && c != '>' && c != '/' && c != '=' && c != '<' && c != '"' &&
           c != '\'';
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trim(std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && is_space(text[first])) ++first;
    while (last > first && is_space(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

// Appends one code point in the document's own encoding: UTF-8, or code page
// 1250 for a document that is not valid UTF-8 (taken as 8-bit text).
void append_code_point(std::string& out, char32_t code_point, bool utf8) {
    if (code_point == 0 || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        return;
    if (utf8) {
        append_utf8(out, code_point);
    } else if (const unsigned char byte = cp1250_byte(code_point)) {
        out.push_back(static_cast<char>(byte));
    }
}

// Decodes the entity at text[at] ('&'); on success appends it and advances `at`.
bool decode_entity(std::string_view text, std::size_t& at, std::string& out, bool utf8) {
    const std::size_t end = text.find(';', at + 1);
    if (end == std::string_view::npos || end - at - 1 > kEntityMax || end == at + 1) return false;
    const std::string name(text.substr(at + 1, end - at - 1));
    static const std::pair<const char*, char32_t> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    std::optional<char32_t> code_point;
    for (const auto& [entity, value] : kNamed)
        if (name == entity) code_point = value;
    if (!code_point && name[0] == '#' && name.size() > 1) {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") != std::string::npos)
            return false;
        const unsigned long value = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
        code_point = static_cast<char32_t>(std::min<unsigned long>(value, 0x110000));
    }
    if (!code_point) return false;
    append_code_point(out, *code_point, utf8);
    at = end + 1;
    return true;
}

std::string decode_text(std::string_view text, bool utf8) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '&' && decode_entity(text, at, out, utf8)) continue;
        out.push_back(text[at++]);
    }
    return out;
}

// Parses the tag between '<' at `start` and its '>'; `end` is set past the '>'.
std::optional<Tag> parse_tag(std::string_view doc, std::size_t start, std::size_t& end, bool utf8) {
    Tag tag;
    std::size_t at = start + 1;
    if (at < doc.size() && doc[at] == '/') {
        tag.closing = true;
        ++at;
    }
    const std::size_t name_start = at;
    while (at < doc.size() && is_name_char(doc[at])) ++at;
    if (at == name_start) return std::nullopt;
    tag.name = lower(doc.substr(name_start, at - name_start));
    // A namespace prefix ("ssml:mark") does not change the element.
    if (const auto colon = tag.name.rfind(':'); colon != std::string::npos)
        tag.name.erase(0, colon + 1);
    while (true) {
        while (at < doc.size() && is_space(doc[at])) ++at;
        if (at >= doc.size()) return std::nullopt;
        if (doc[at] == '>') {
            end = at + 1;
            return tag;
        }
        if (doc[at] == '/' && at + 1 < doc.size() && doc[at + 1] == '>' && !tag.closing) {
            tag.self_closing = true;
            end = at + 2;
            return tag;
        }
        if (tag.closing) return std::nullopt;
        const std::size_t attr_start = at;
        while (at < doc.size() && is_name_char(doc[at])) ++at;
        if (at == attr_start) return std::nullopt;
        Attribute attribute{lower(doc.substr(attr_start, at - attr_start)), {}};
        while (at < doc.size() && is_space(doc[at])) ++at;
        if (at >= doc.size() || doc[at] != '=') return std::nullopt;
        ++at;
        while (at < doc.size() && is_space(doc[at])) ++at;
        if (at >= doc.size() || (doc[at] != '"' && doc[at] != '\'')) return std::nullopt;
        const char quote = doc[at++];
        const std::size_t close = doc.find(quote, at);
        if (close == std::string_view::npos) return std::nullopt;
        attribute.value = decode_text(doc.substr(at, close - at), utf8);
        tag.attributes.push_back(std::move(attribute));
        at = close + 1;
    }
}

std::optional<double> number_prefix(const std::string& text, std::string& unit) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return std::nullopt;
    unit = lower(trim(end));
    return value;
}

int clamp_change(double value) {
    return static_cast<int>(
        std::lround(std::clamp(value, double(-kChangeMax), double(kChangeMax))));
}

// The speed factor of a rate: rate="fast", "300%" (3 times), "+20%" (1.2
// times), "1.5". Nothing for what is no speaking rate: a negative value, a
// text, another unit.
std::optional<double> rate_factor(const std::string& value) {
    static const std::pair<const char*, double> kNamed[] = {{"x-slow", 0.5}, {"slow", 0.75},
                                                            {"medium", 1.0}, {"default", 1.0},
                                                            {"fast", 1.5},   {"x-fast", 2.0}};
    const std::string v = lower(trim(value));
    for (const auto& [name, factor] : kNamed)
        if (v == name) return factor;
    std::string unit;
    const auto number = number_prefix(v, unit);
    if (!number || *number < 0) return std::nullopt;
    if (unit == "%") return v[0] == '+' ? 1.0 + *number / 100 : *number / 100;
    if (unit.empty()) return *number;
    return std::nullopt;
}

// pitch="high", "+10%", "-2st", "+20Hz" (about one per cent of a speaking voice each).
std::optional<int> pitch_change(const std::string& value) {
    static const std::pair<const char*, int> kNamed[] = {
        {"x-low", -80}, {"low", -40}, {"medium", 0}, {"default", 0}, {"high", 40}, {"x-high", 80}};
    const std::string v = lower(trim(value));
    for (const auto& [name, change] : kNamed)
        if (v == name) return change;
    std::string unit;
    const auto number = number_prefix(v, unit);
    if (!number || !(v[0] == '+' || v[0] == '-')) return std::nullopt;
    if (unit == "%" || unit == "hz") return clamp_change(*number);
    if (unit == "st") return clamp_change(*number * 6);
    return std::nullopt;
}

// volume="soft", "+6dB", "-20%", "50" (of 100).
std::optional<double> volume_factor(const std::string& value) {
    static const std::pair<const char*, double> kNamed[] = {
        {"silent", 0.0},  {"x-soft", 0.25}, {"soft", 0.5},  {"medium", 1.0},
        {"default", 1.0}, {"loud", 1.0},    {"x-loud", 1.0}};
    const std::string v = lower(trim(value));
    for (const auto& [name, factor] : kNamed)
        if (v == name) return factor;
    std::string unit;
    const auto number = number_prefix(v, unit);
    if (!number) return std::nullopt;
    const bool signed_value = v[0] == '+' || v[0] == '-';
    double factor = 0;
    if (unit == "db") {
        factor = std::pow(10.0, *number / 20);
    } else if (unit == "%" && signed_value) {
        factor = 1.0 + *number / 100;
    } else if (unit.empty() && !signed_value) {
        factor = *number / 100;
    } else {
        return std::nullopt;
    }
    return std::clamp(factor, 0.0, 4.0);
}

// time="500ms", "2s"; strength="weak"; neither gives a medium pause.
int break_length(const Tag& tag) {
    if (const std::string* time = tag.attribute("time")) {
        std::string unit;
        if (const auto number = number_prefix(lower(trim(*time)), unit); number && *number >= 0) {
            if (unit == "ms") return static_cast<int>(std::min(*number, double(kSsmlBreakMaxMs)));
            if (unit == "s")
                return static_cast<int>(std::min(*number * 1000, double(kSsmlBreakMaxMs)));
        }
    }
    static const std::pair<const char*, int> kStrength[] = {
        {"none", 0},     {"x-weak", 100},   {"weak", 250}, {"medium", kDefaultBreakMs},
        {"strong", 750}, {"x-strong", 1000}};
    if (const std::string* strength = tag.attribute("strength")) {
        const std::string s = lower(trim(*strength));
        for (const auto& [name, ms] : kStrength)
            if (s == name) return ms;
    }
    return kDefaultBreakMs;
}

// Mark names travel on one protocol line: control characters become "_".
std::string clean_mark_name(std::string name) {
    if (name.size() > kSsmlMarkNameMax) name.resize(kSsmlMarkNameMax);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return name;
}

SsmlPiece make_piece(SsmlPiece::Kind kind, std::string text = {}) {
    SsmlPiece piece;
    piece.kind = kind;
    piece.text = std::move(text);
    return piece;
}

struct Scope {
    std::string element;
    ProsodyChange prosody;
    bool spell = false;
};

class Reader {
public:
    Reader(std::string_view doc, bool utf8) : doc_(doc), utf8_(utf8) {}

    // Nothing when the markup is malformed.
    std::optional<std::vector<SsmlPiece>> read() {
        std::vector<Scope> stack{Scope{}};
        std::size_t at = 0;
        while (at < doc_.size()) {
            if (doc_[at] != '<') {
                const std::size_t next = std::min(doc_.find('<', at), doc_.size());
                add_text(decode_text(doc_.substr(at, next - at), utf8_), stack.back());
                at = next;
                continue;
            }
            if (const auto skip = skip_special(at, stack.back())) {
                if (*skip == std::string_view::npos) return std::nullopt;
                at = *skip;
                continue;
            }
            std::size_t end = 0;
            const auto tag = parse_tag(doc_, at, end, utf8_);
            if (!tag) return std::nullopt;
            at = end;
            if (tag->closing) {
                if (stack.size() < 2 || stack.back().element != tag->name) return std::nullopt;
                stack.pop_back();
                if (tag->name == "s" || tag->name == "p") boundary();
                continue;
            }
            Scope scope = open_element(*tag, stack.back());
            if (!tag->self_closing) {
                if (static_cast<int>(stack.size()) > kSsmlDepthMax) return std::nullopt;
                stack.push_back(std::move(scope));
            } else if (tag->name == "s" || tag->name == "p") {
                boundary();
            }
        }
        if (stack.size() != 1) return std::nullopt;
        return std::move(pieces_);
    }

    const std::vector<std::string>& problems() const { return problems_; }

private:
    // Comments, CDATA, processing instructions and declarations: the position
    // after them, npos when they do not end, nothing when `at` starts none.
    std::optional<std::size_t> skip_special(std::size_t at, const Scope& scope) {
        const std::string_view rest = doc_.substr(at);
        const auto past = [&](std::string_view close, std::size_t from) -> std::size_t {
            const std::size_t found = doc_.find(close, at + from);
            return found == std::string_view::npos ? found : found + close.size();
        };
        if (rest.starts_with("<!--")) return past("-->", 4);
        if (rest.starts_with("<![CDATA[")) {
            const std::size_t end = past("]]>", 9);
            if (end != std::string_view::npos)
                add_text(std::string(doc_.substr(at + 9, end - 3 - at - 9)), scope);
            return end;
        }
        if (rest.starts_with("<?")) return past("?>", 2);
        if (rest.starts_with("<!")) return past(">", 2);
        return std::nullopt;
    }

    Scope open_element(const Tag& tag, const Scope& parent) {
        Scope scope{tag.name, parent.prosody, parent.spell};
        if (tag.name == "mark") {
            if (const std::string* name = tag.attribute("name"))
                pieces_.push_back(make_piece(SsmlPiece::Kind::Mark, clean_mark_name(*name)));
        } else if (tag.name == "break") {
            SsmlPiece piece = make_piece(SsmlPiece::Kind::Break);
            piece.break_ms = break_length(tag);
            pieces_.push_back(piece);
        } else if (tag.name == "s" || tag.name == "p") {
            if (!tag.self_closing) boundary();
        } else if (tag.name == "prosody") {
            if (const std::string* v = tag.attribute("rate")) {
                if (const auto factor = rate_factor(*v))
                    scope.prosody.rate =
                        std::clamp(scope.prosody.rate * *factor, kRateFactorMin, kRateFactorMax);
                else
                    problems_.push_back("rate=\"" + *v +
                                        "\" is no speaking rate (give a percentage such as "
                                        "300%, a factor such as 1.5, or x-slow, slow, medium, "
                                        "fast or x-fast)");
            }
            if (const std::string* v = tag.attribute("pitch"))
                if (const auto change = pitch_change(*v))
                    scope.prosody.pitch = clamp_change(scope.prosody.pitch + *change);
            if (const std::string* v = tag.attribute("volume"))
                if (const auto factor = volume_factor(*v))
                    scope.prosody.volume = std::min(4.0, scope.prosody.volume * *factor);
        } else if (tag.name == "say-as") {
            if (const std::string* how = tag.attribute("interpret-as")) {
                const std::string h = lower(trim(*how));
                if (h == "characters" || h == "spell-out" || h == "letters") scope.spell = true;
            }
        }
        return scope;
    }

    void boundary() {
        if (!pieces_.empty() && pieces_.back().kind == SsmlPiece::Kind::Boundary) return;
        pieces_.push_back(make_piece(SsmlPiece::Kind::Boundary));
    }

    void add_text(std::string text, const Scope& scope) {
        if (text.empty()) return;
        if (!pieces_.empty()) {
            SsmlPiece& last = pieces_.back();
            if (last.kind == SsmlPiece::Kind::Text && last.prosody == scope.prosody &&
                last.spell == scope.spell) {
                last.text += text;
                return;
            }
        }
        SsmlPiece piece = make_piece(SsmlPiece::Kind::Text, std::move(text));
        piece.prosody = scope.prosody;
        piece.spell = scope.spell;
        pieces_.push_back(std::move(piece));
    }

    std::string_view doc_;
    bool utf8_;
    std::vector<SsmlPiece> pieces_;
    std::vector<std::string> problems_;
};

}  // namespace

std::string strip_markup(std::string_view document) {
    const bool utf8 = is_valid_utf8(document);
    std::string kept;
    kept.reserve(document.size());
    for (std::size_t at = 0; at < document.size();) {
        if (document[at] == '<') {
            const std::size_t close = document.find('>', at);
            if (close != std::string_view::npos) {
                at = close + 1;
                continue;
            }
        }
        kept.push_back(document[at++]);
    }
    return decode_text(kept, utf8);
}

SsmlDocument read_ssml(std::string_view document) {
    const bool utf8 = is_valid_utf8(document);
    SsmlDocument result;
    Reader reader(document, utf8);
    if (auto pieces = reader.read()) {
        result.pieces = std::move(*pieces);
        result.problems = reader.problems();
    } else {
        result.plain_fallback = true;
        std::string text = strip_markup(document);
        if (!text.empty())
            result.pieces.push_back(make_piece(SsmlPiece::Kind::Text, std::move(text)));
    }
    // The server reads code page 1250; a document that is not UTF-8 already is 8-bit.
    if (utf8)
        for (SsmlPiece& piece : result.pieces)
            if (piece.kind == SsmlPiece::Kind::Text) piece.text = utf8_to_cp1250(piece.text);
    return result;
}

}  // namespace sint
