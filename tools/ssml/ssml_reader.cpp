#include "tools/ssml/ssml_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/cp1250.h"
#include "tools/ssml/ssml_text.h"
#include "tools/ssml/xml_parser.h"

namespace sint {
namespace {

// Changes are kept within this range however deeply they are nested.
constexpr int kChangeMax = 200;
// Rate factors are kept within this range however deeply they are nested.
constexpr double kRateFactorMin = 0.05;
constexpr double kRateFactorMax = 20.0;
// The element put around a document that has no declaration of its own.
constexpr std::string_view kImpliedRoot = "speak";
// The pause of <break/> without attributes and of strength="medium".
constexpr int kDefaultBreakMs = 500;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
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

const std::string* attribute(const std::vector<XmlAttribute>& attributes, std::string_view wanted) {
    for (const XmlAttribute& a : attributes)
        if (lower(a.name) == wanted) return &a.value;
    return nullptr;
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

// What is said of a rate that is no speaking rate.
std::string rate_problem(const std::string& value) {
    return "rate=\"" + value +
           "\" is no speaking rate (give a percentage such as 300%, a factor such as 1.5, or "
           "x-slow, slow, medium, fast or x-fast)";
}

// The value of the attribute `name` in the tag text `tag` (after the element
// name, up to its ">"), as written between its quotes; nothing when absent.
std::optional<std::string> tag_attribute(std::string_view tag, std::string_view name) {
    std::size_t at = 0;
    while (at < tag.size()) {
        while (at < tag.size() && (is_space(tag[at]) || tag[at] == '/')) ++at;
        const std::size_t name_start = at;
        while (at < tag.size() && !is_space(tag[at]) && tag[at] != '=') ++at;
        const std::string_view found = tag.substr(name_start, at - name_start);
        while (at < tag.size() && is_space(tag[at])) ++at;
        if (at >= tag.size() || tag[at] != '=') return std::nullopt;
        ++at;
        while (at < tag.size() && is_space(tag[at])) ++at;
        if (at >= tag.size() || (tag[at] != '"' && tag[at] != '\'')) return std::nullopt;
        const std::size_t close = tag.find(tag[at], at + 1);
        if (close == std::string_view::npos) return std::nullopt;
        if (found == name) return std::string(tag.substr(at + 1, close - at - 1));
        at = close + 1;
    }
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

// A time in the SSML form: digits with an optional fraction, then "s" or
// "ms" ("250ms", "1.5s", ".5s"); nothing for any other form ("0x10s", "1e3ms").
std::optional<double> break_time_ms(const std::string& value) {
    const std::string v = lower(trim(value));
    std::size_t at = 0, digits = 0;
    while (at < v.size() && v[at] >= '0' && v[at] <= '9') ++at, ++digits;
    if (at < v.size() && v[at] == '.') {
        ++at;
        const std::size_t fraction = at;
        while (at < v.size() && v[at] >= '0' && v[at] <= '9') ++at, ++digits;
        if (at == fraction) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    const std::string unit = v.substr(at);
    const double number = std::strtod(v.substr(0, at).c_str(), nullptr);
    if (unit == "ms") return number;
    if (unit == "s") return number * 1000;
    return std::nullopt;
}

// time="500ms", "2s"; strength="weak"; neither gives a medium pause.
double break_length(const std::vector<XmlAttribute>& attributes) {
    if (const std::string* time = attribute(attributes, "time"))
        if (const auto ms = break_time_ms(*time)) return *ms;
    static const std::pair<const char*, int> kStrength[] = {
        {"none", 0},     {"x-weak", 100},   {"weak", 250}, {"medium", kDefaultBreakMs},
        {"strong", 750}, {"x-strong", 1000}};
    if (const std::string* strength = attribute(attributes, "strength")) {
        const std::string s = lower(trim(*strength));
        for (const auto& [name, ms] : kStrength)
            if (s == name) return ms;
    }
    return kDefaultBreakMs;
}

// Mark names travel on one protocol line: control characters become "_", and
// a long name is cut before the character that would pass the limit.
std::string clean_mark_name(std::string name) {
    if (name.size() > kSsmlMarkNameMax) {
        std::size_t cut = kSsmlMarkNameMax;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
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

// The element's local name in lower case ("ssml:Mark" is "mark").
std::string local_name(const std::string& name) {
    std::string local = lower(name);
    if (const auto colon = local.rfind(':'); colon != std::string::npos) local.erase(0, colon + 1);
    return local;
}

// Elements whose content is not spoken: data about the document, and the
// description of an audio clip (its fallback content is spoken instead).
bool silent_element(const std::string& name) {
    return name == "metadata" || name == "meta" || name == "lexicon" || name == "desc";
}

struct Scope {
    ProsodyChange prosody;
    bool spell = false;
    bool silent = false;
};

// Turns the parser's events into pieces. Unknown elements (<audio>, <voice>,
// <emphasis>, ...) speak their content.
class Reader : public XmlHandler {
public:
    // `depth_max`: the nesting that keeps its meaning (the implied root adds one).
    explicit Reader(int depth_max) : depth_max_(depth_max) {}
    SsmlDocument& document() { return document_; }

    void start_element(const std::string& qualified,
                       const std::vector<XmlAttribute>& attributes) override {
        const std::string name = local_name(qualified);
        Scope scope = stack_.back();
        if (!scope.silent && name == "mark") {
            if (const std::string* mark = attribute(attributes, "name"))
                pieces().push_back(make_piece(SsmlPiece::Kind::Mark, clean_mark_name(*mark)));
        } else if (!scope.silent && name == "break") {
            add_break(break_length(attributes));
        }
        if (static_cast<int>(stack_.size()) > depth_max_) {
            // Too deep: text, marks and breaks still count, other markup is ignored.
            document_.depth_limited = true;
            ++ignored_depth_;
            return;
        }
        if (scope.silent) {
            stack_.push_back(scope);
            return;
        }
        if (silent_element(name)) {
            scope.silent = true;
        } else if (name == "s" || name == "p") {
            boundary();
        } else if (name == "sub") {
            if (const std::string* alias = attribute(attributes, "alias")) {
                add_text(*alias, scope);
                scope.silent = true;
            }
        } else if (name == "prosody") {
            if (const std::string* v = attribute(attributes, "rate")) {
                if (const auto factor = rate_factor(*v))
                    scope.prosody.rate =
                        std::clamp(scope.prosody.rate * *factor, kRateFactorMin, kRateFactorMax);
                else
                    document_.problems.push_back(rate_problem(*v));
            }
            if (const std::string* v = attribute(attributes, "pitch"))
                if (const auto change = pitch_change(*v))
                    scope.prosody.pitch = clamp_change(scope.prosody.pitch + *change);
            if (const std::string* v = attribute(attributes, "volume"))
                if (const auto factor = volume_factor(*v))
                    scope.prosody.volume = std::min(4.0, scope.prosody.volume * *factor);
        } else if (name == "say-as") {
            if (const std::string* how = attribute(attributes, "interpret-as")) {
                const std::string h = lower(trim(*how));
                if (h == "characters" || h == "spell-out" || h == "letters") scope.spell = true;
            }
        }
        stack_.push_back(scope);
    }

    void end_element(const std::string& qualified) override {
        if (ignored_depth_ > 0) {
            --ignored_depth_;
            return;
        }
        const bool silent = stack_.back().silent;
        if (stack_.size() > 1) stack_.pop_back();
        const std::string name = local_name(qualified);
        if (!silent && (name == "s" || name == "p")) boundary();
    }

    void text(std::string_view utf8) override {
        if (!stack_.back().silent) add_text(utf8, stack_.back());
    }

private:
    std::vector<SsmlPiece>& pieces() { return document_.pieces; }

    void boundary() {
        if (!pieces().empty() && pieces().back().kind == SsmlPiece::Kind::Boundary) return;
        pieces().push_back(make_piece(SsmlPiece::Kind::Boundary));
    }

    void add_break(double ms) {
        if (ms > kSsmlBreakMaxMs) {
            ms = kSsmlBreakMaxMs;
            document_.pauses_limited = true;
        }
        long length = std::lround(ms);
        if (pauses_ms_ + length > kSsmlPausesMaxMs) {
            length = kSsmlPausesMaxMs - pauses_ms_;
            document_.pauses_limited = true;
        }
        pauses_ms_ += length;
        SsmlPiece piece = make_piece(SsmlPiece::Kind::Break);
        piece.break_ms = static_cast<int>(length);
        pieces().push_back(piece);
    }

    void add_text(std::string_view text, const Scope& scope) {
        if (text.empty()) return;
        if (!pieces().empty()) {
            SsmlPiece& last = pieces().back();
            if (last.kind == SsmlPiece::Kind::Text && last.prosody == scope.prosody &&
                last.spell == scope.spell) {
                last.text += text;
                return;
            }
        }
        SsmlPiece piece = make_piece(SsmlPiece::Kind::Text, std::string(text));
        piece.prosody = scope.prosody;
        piece.spell = scope.spell;
        pieces().push_back(std::move(piece));
    }

    int depth_max_;
    SsmlDocument document_;
    std::vector<Scope> stack_{Scope{}};
    int ignored_depth_ = 0;
    long pauses_ms_ = 0;
};

}  // namespace

std::vector<std::string> ssml_rate_problems(std::string_view document) {
    std::vector<std::string> problems;
    for (std::size_t at = document.find('<'); at != std::string_view::npos;
         at = document.find('<', at + 1)) {
        std::size_t name_end = at + 1;
        while (name_end < document.size() && !is_space(document[name_end]) &&
               document[name_end] != '>' && document[name_end] != '/')
            ++name_end;
        if (local_name(std::string(document.substr(at + 1, name_end - at - 1))) != "prosody")
            continue;
        const std::size_t tag_end = document.find('>', name_end);
        if (tag_end == std::string_view::npos) break;
        if (const auto rate = tag_attribute(document.substr(name_end, tag_end - name_end), "rate"))
            if (!rate_factor(*rate)) problems.push_back(rate_problem(*rate));
        at = tag_end;
    }
    return problems;
}

SsmlDocument read_ssml(std::string_view document) {
    SsmlDocument result;
    // A document with a byte-order mark or an XML declaration stands as it is;
    // anything else (plain text, a fragment of markup) is the content of <speak>.
    const bool whole = document.starts_with("\xEF\xBB\xBF") || document.starts_with("\xFF\xFE") ||
                       document.starts_with("\xFE\xFF") || document.starts_with("<?xml") ||
                       document.starts_with("<!DOCTYPE");
    std::string wrapped;
    if (!whole) {
        wrapped.reserve(document.size() + 2 * kImpliedRoot.size() + 1);
        wrapped.append("<").append(kImpliedRoot).append(">");
        wrapped.append(document);
        wrapped.append("</").append(kImpliedRoot).append(">");
    }
    Reader reader(whole ? kSsmlDepthMax : kSsmlDepthMax + 1);
    if (const auto error = parse_xml(whole ? document : std::string_view(wrapped),
                                     assumed_encoding(document), reader)) {
        result.plain_fallback = true;
        result.error = error->message;
        result.error_line = error->line;
        result.error_column = error->column;
        if (!whole) {
            // The position as the caller wrote the document: not in the implied
            // root's tags, which an error at the end may point into.
            const std::size_t last_line = document.rfind('\n') + 1;  // 0 without a line feed
            const long lines =
                1 + static_cast<long>(std::count(document.begin(), document.end(), '\n'));
            if (error->line == 1)
                result.error_column =
                    std::max(1L, error->column - static_cast<long>(kImpliedRoot.size() + 2));
            if (error->line >= lines) {
                result.error_line = lines;
                result.error_column = std::min(result.error_column,
                                               static_cast<long>(document.size() - last_line) + 1);
            }
        }
        result.pieces = text_without_markup(document_utf8(document));
    } else {
        result = std::move(reader.document());
    }
    // The server reads code page 1250.
    for (SsmlPiece& piece : result.pieces)
        if (piece.kind == SsmlPiece::Kind::Text) piece.text = utf8_to_cp1250(piece.text);
    return result;
}

}  // namespace sint
