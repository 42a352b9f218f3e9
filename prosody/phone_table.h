// PhoneTable: a stand-alone PhoneServices built from a phone list and its
// sonority digits, for tools and tests that run prosody without the
// text-analysis engine.
#pragma once

#include <string>
#include <vector>

#include "prosody/phone_services.h"
#include "text/phone_inventory.h"

namespace sint {

class PhoneTable final : public PhoneServices {
public:
    // Symbols of one or two characters, one sonority digit each. Throws
    // std::invalid_argument when a symbol is empty or longer, the two lists differ
    // in length, or there are more than 255 symbols.
    PhoneTable(const std::vector<std::string>& symbols, std::string sonority);
    // The same from a tab-separated list.
    static PhoneTable from_list(std::string_view tab_separated, std::string sonority);

    int phone_indices(std::string_view phones, std::vector<int>& out) const override {
        return inventory_.phone_indices(phones, out);
    }
    int phone_count() const override { return static_cast<int>(inventory_.size()); }
    std::string phone_symbol(int index) const override { return symbol(index); }
    int phone_index(std::string_view symbol) const override {
        return inventory_.phone_index(symbol);
    }
    int first_long_phone(std::string_view phones) const override {
        return inventory_.first_long_phone(phones);
    }
    bool DolociZvocnost(const std::vector<int>& phones, std::string& classes) const override;

    std::size_t size() const { return inventory_.size(); }
    const std::string& symbol(int index) const { return inventory_.symbol(index); }

private:
    std::string sonority_;
    PhoneInventory inventory_;
};

}  // namespace sint
