#include "prosody/phone_table.h"

#include <stdexcept>

namespace sint {

PhoneTable::PhoneTable(const std::vector<std::string>& symbols, std::string sonority)
    : sonority_(std::move(sonority)) {
    if (symbols.size() != sonority_.size() || symbols.size() > 255) {
        throw std::invalid_argument("phone list and sonority digits do not match");
    }
    for (const std::string& s : symbols)
        if (s.empty() || s.size() > 2) throw std::invalid_argument("bad phone symbol: " + s);
    inventory_.assign(symbols, sonority_);
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

bool PhoneTable::DolociZvocnost(const std::vector<int>& phones, std::string& classes) const {
    return sint::DolociZvocnost(phones, sonority_, classes);
}

}  // namespace sint
