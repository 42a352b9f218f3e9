#include "text/addresses.h"

#include <algorithm>
#include <array>

#include "text/char_conversion.h"

namespace sint {
namespace {

// Longest address read out; a longer token is left to the other stages.
constexpr std::size_t kAddressMax = 256;

// The marks said inside an address; others are passed over.
constexpr std::string_view kSaidMarks = "@./-_:?=&#+%~";
// Schemes spelled at the start of an address.
constexpr std::string_view kSchemes[] = {"http", "https"};
// The part said by its own name wherever it stands (spelled without one).
constexpr std::string_view kWww = "www";
// Letters of a top-level domain spelled when the symbol table gives it no name.
constexpr std::size_t kSpelledDomainSize = 2;

bool ascii_lower_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool ascii_letters(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// A host name: two or more labels of letters, digits and hyphens with dots
// between; sets `top` to the last label.
bool host_name(std::string_view host, std::string_view& top) {
    if (host.empty() || host.front() == '.' || host.back() == '.' ||
        host.find("..") != std::string_view::npos || host.find('.') == std::string_view::npos)
        return false;
    if (!std::all_of(host.begin(), host.end(),
                     [](char c) { return ascii_lower_alnum(c) || c == '-' || c == '.'; }))
        return false;
    top = host.substr(host.rfind('.') + 1);
    return ascii_letters(top) && top.size() >= 2;
}

// Ends of a token: no blank, no bracket or quote, no comma.
bool token_char(unsigned char c) {
    return c > ' ' && c < 0x7F &&
           std::string_view("\"'<>()[]{},;").find(static_cast<char>(c)) == std::string_view::npos;
}

// Adds the name of `c` from the symbol table in the internal letter codes;
// a character without a name is not said.
void add_name(std::string& out, const SymbolNames& names, char c) {
    const std::string_view name = names.name(static_cast<unsigned char>(c));
    if (name.empty()) return;
    if (!out.empty()) out += ' ';
    for (char letter : name)
        out += static_cast<char>(convert_letter(static_cast<unsigned char>(letter)));
}

void add_word(std::string& out, std::string_view word) {
    if (!out.empty()) out += ' ';
    out += word;
}

// The spoken parts of `text` (lower-cased), `top` being the top-level domain
// at `top_at` (npos for none).
void speak(std::string_view text, std::size_t top_at, const SymbolNames& names, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (!ascii_lower_alnum(text[i])) {
            if (kSaidMarks.find(text[i]) != std::string_view::npos) add_name(out, names, text[i]);
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && ascii_lower_alnum(text[j])) ++j;
        const std::string_view part = text.substr(i, j - i);
        const bool scheme = i == 0 && std::find(std::begin(kSchemes), std::end(kSchemes), part) !=
                                          std::end(kSchemes);
        const std::string_view own_name = names.address_part(part);
        if ((i == top_at || part == kWww) && !own_name.empty()) {
            add_word(out, own_name);
        } else if ((i == top_at && part.size() == kSpelledDomainSize) || part == kWww || scheme) {
            for (char c : part) add_name(out, names, c);
        } else {
            add_word(out, part);
        }
        i = j;
    }
}

}  // namespace

bool read_address(std::string_view in, std::size_t begin, bool email, const SymbolNames& names,
                  const std::vector<std::string>& domains, std::string& spoken, std::size_t& end) {
    std::size_t stop = begin;
    while (stop < in.size() && stop - begin <= kAddressMax &&
           token_char(static_cast<unsigned char>(in[stop])))
        ++stop;
    if (stop - begin > kAddressMax) return false;
    // A mark that closes the sentence or the clause is no part of the address.
    while (stop > begin && std::string_view(".:!?").find(in[stop - 1]) != std::string_view::npos)
        --stop;
    std::string token(in.substr(begin, stop - begin));
    for (char& c : token)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string_view top;
    std::size_t host_begin = 0;
    const std::size_t at = token.find('@');
    if (at != std::string::npos) {
        const std::string_view local = std::string_view(token).substr(0, at);
        if (!email || at == 0 || token.find('@', at + 1) != std::string::npos ||
            !std::all_of(local.begin(), local.end(),
                         [](char c) {
                             return ascii_lower_alnum(c) ||
                                    std::string_view("._%+-").find(c) != std::string_view::npos;
                         }) ||
            !host_name(std::string_view(token).substr(at + 1), top))
            return false;
        host_begin = at + 1;
    } else {
        bool scheme = false;
        for (std::string_view prefix : {"http://", "https://"}) {
            if (token.starts_with(prefix)) {
                host_begin = prefix.size();
                scheme = true;
            }
        }
        const std::size_t slash = token.find('/', host_begin);
        const std::string_view host = std::string_view(token).substr(
            host_begin, slash == std::string::npos ? std::string::npos : slash - host_begin);
        if (!host_name(host, top)) return false;
        const bool www = host.starts_with("www.");
        const bool known = std::find(domains.begin(), domains.end(), top) != domains.end();
        // "primer.si" only in small letters as written, so that a sentence
        // that lacks the blank after its dot ("konec.Potem") stays one.
        const bool small = std::none_of(in.begin() + static_cast<std::ptrdiff_t>(begin),
                                        in.begin() + static_cast<std::ptrdiff_t>(stop),
                                        [](char c) { return c >= 'A' && c <= 'Z'; });
        if (!scheme && !www && !(known && small)) return false;
    }
    const std::size_t host_end = token.find('/', host_begin);
    const std::size_t top_end = host_end == std::string::npos ? token.size() : host_end;
    spoken.clear();
    speak(token, top_end - top.size(), names, spoken);
    end = stop;
    return true;
}

}  // namespace sint
