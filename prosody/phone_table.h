// PhoneTable: a stand-alone PhoneServices built from a phone list and its
// sonority digits, for tools and tests that run prosody without the
// text-analysis engine.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "prosody/phone_services.h"

namespace sint {

class PhoneTable final : public PhoneServices {
public:
    // Symbols of one or two characters, one sonority digit each. Throws
    // std::invalid_argument when a symbol is empty or longer, the two lists differ
    // in length, or there are more than 255 symbols.
    PhoneTable(const std::vector<std::string>& symbols, std::string sonority);
    // The same from a tab-separated list.
    static PhoneTable from_list(std::string_view tab_separated, std::string sonority);

    int phone_indices(std::string_view phones, std::vector<int>& out) const override;
    int phone_count() const override { return static_cast<int>(symbols_.size()); }
    std::string phone_symbol(int index) const override { return symbol(index); }
    int phone_index(std::string_view symbol) const override;
    int first_long_phone(std::string_view phones) const override;
    bool DolociZvocnost(const std::vector<int>& phones, std::string& classes) const override;

    std::size_t size() const { return symbols_.size(); }
    const std::string& symbol(int index) const { return symbols_[static_cast<std::size_t>(index)]; }

private:
    static std::size_t code(unsigned char first, unsigned char second) {
        return first + 256u * second;
    }

    std::vector<std::string> symbols_;
    std::string sonority_;
    // Index + 1 by symbol code, 0 for no phone.
    std::unique_ptr<std::array<std::uint8_t, 65536>> lookup_;
};

}  // namespace sint
