#include "prosody/phone_table.h"

#include <stdexcept>

namespace sint {

PhoneTable::PhoneTable(const std::vector<std::string>& symbols, std::string sonority)
    : symbols_(symbols),
      sonority_(std::move(sonority)),
      lookup_(std::make_unique<std::array<std::uint8_t, 65536>>()) {
    if (symbols_.size() != sonority_.size() || symbols_.size() > 255) {
        throw std::invalid_argument("phone list and sonority digits do not match");
    }
    lookup_->fill(0);
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
        const std::string& s = symbols_[i];
        if (s.empty() || s.size() > 2) throw std::invalid_argument("bad phone symbol: " + s);
        const auto second = s.size() > 1 ? static_cast<unsigned char>(s[1]) : 0;
        (*lookup_)[code(static_cast<unsigned char>(s[0]), second)] =
            static_cast<std::uint8_t>(i + 1);
    }
}

PhoneTable PhoneTable::from_list(std::string_view tab_separated, std::string sonority) {
    std::vector<std::string> symbols;
    std::size_t start = 0;
    while (start <= tab_separated.size()) {
        std::size_t end = tab_separated.find('\t', start);
        if (end == std::string_view::npos) end = tab_separated.size();
        std::string_view item = tab_separated.substr(start, end - start);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) symbols.emplace_back(item);
        start = end + 1;
    }
    return PhoneTable(symbols, std::move(sonority));
}

int PhoneTable::phone_indices(std::string_view phones, std::vector<int>& out) const {
    out.clear();
    std::size_t i = 0;
    while (i < phones.size()) {
        const auto first = static_cast<unsigned char>(phones[i]);
        if (i + 1 < phones.size()) {
            const auto two = (*lookup_)[code(first, static_cast<unsigned char>(phones[i + 1]))];
            if (two != 0) {
                out.push_back(two - 1);
                i += 2;
                continue;
            }
        }
        const auto one = first != 0 ? (*lookup_)[code(first, 0)] : 0;
        if (one != 0) out.push_back(one - 1);
        ++i;
    }
    return static_cast<int>(out.size());
}

int PhoneTable::phone_index(std::string_view symbol) const {
    if (symbol.empty() || symbol.size() > 2 || symbol[0] == '\0') return -1;
    const auto second = symbol.size() > 1 ? static_cast<unsigned char>(symbol[1]) : 0;
    return static_cast<int>((*lookup_)[code(static_cast<unsigned char>(symbol[0]), second)]) - 1;
}

int PhoneTable::first_long_phone(std::string_view phones) const {
    std::vector<int> indices;
    phone_indices(phones, indices);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::string& s = symbols_[static_cast<std::size_t>(indices[i])];
        if (s.size() > 1 && s[1] == ':') return static_cast<int>(i);
    }
    return -1;
}

bool PhoneTable::DolociZvocnost(const std::vector<int>& phones, std::string& classes) const {
    return sint::DolociZvocnost(phones, sonority_, classes);
}

}  // namespace sint
