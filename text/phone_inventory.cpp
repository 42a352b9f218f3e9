#include "text/phone_inventory.h"

#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"
#include "text/profile_lists.h"

namespace sint {
namespace {

// Reported for a missing, empty or malformed phone list.
constexpr std::string_view kNoInventory = "Napaka: 'Nabor_fonemov' ne obstaja\n";

}  // namespace

PhoneInventory::PhoneInventory() : lookup_(std::make_unique<std::array<std::uint8_t, 65536>>()) {}

int PhoneInventory::load(ProfileFile& profile) {
    symbols_.clear();
    sonority_.clear();
    lookup_->fill(0);
    const int length = profile.string_length("Nabor_fonemov");
    if (length < 0) {
        report_error(kNoInventory);
        return kNotPossible;
    }
    std::vector<std::string> items;
    read_list_items(profile, "Nabor_fonemov", '\t', items);
    for (std::string& symbol : items) {
        // A symbol has one or two characters; the list holds at most 63.
        if (symbol.size() > 2 || symbols_.size() == kPhoneInventoryMax) {
            report_error(kNoInventory);
            return kNotPossible;
        }
        symbols_.push_back(std::move(symbol));
    }
    if (symbols_.empty()) {
        report_error(kNoInventory);
        return kNotPossible;
    }
    const int digits = profile.string_length("Razvrstitev_fonemov");
    if (digits < 0) {
        report_error("Napaka: 'Razvrstitev_fonemov' ne obstaja\n");
        return kNotPossible;
    }
    profile.get_string("Razvrstitev_fonemov", sonority_, static_cast<std::size_t>(digits) + 1);
    if (sonority_.size() != symbols_.size()) {
        report_error(
            "Napaka: 'Razvrstitev_fonemov' ni enake dol\x9E"
            "ine kot Nabor_fonemov\n");
        return kNotPossible;
    }
    build_lookup();
    return 0;
}

void PhoneInventory::assign(std::vector<std::string> symbols, std::string sonority) {
    symbols_ = std::move(symbols);
    sonority_ = std::move(sonority);
    build_lookup();
}

void PhoneInventory::build_lookup() {
    lookup_->fill(0);
    for (std::size_t i = 0; i < symbols_.size(); ++i) {
        const std::string& s = symbols_[i];
        const auto first = static_cast<unsigned char>(s[0]);
        const auto second = s.size() > 1 ? static_cast<unsigned char>(s[1]) : 0;
        (*lookup_)[code(first, second)] = static_cast<std::uint8_t>(i + 1);
    }
}

int PhoneInventory::phone_indices(std::string_view phones, std::vector<int>& out) const {
    out.clear();
    std::size_t i = 0;
    while (i < phones.size()) {
        const auto first = static_cast<unsigned char>(phones[i]);
        if (i + 1 < phones.size()) {
            const std::uint8_t two =
                (*lookup_)[code(first, static_cast<unsigned char>(phones[i + 1]))];
            if (two != 0) {
                out.push_back(two - 1);
                i += 2;
                continue;
            }
        }
        const std::uint8_t one = first != 0 ? (*lookup_)[code(first, 0)] : 0;
        if (one != 0) out.push_back(one - 1);
        ++i;
    }
    return static_cast<int>(out.size());
}

int PhoneInventory::phone_index(std::string_view symbol) const {
    if (symbol.empty() || symbol.size() > 2 || symbol[0] == '\0') return -1;
    const auto second = symbol.size() > 1 ? static_cast<unsigned char>(symbol[1]) : 0;
    return (*lookup_)[code(static_cast<unsigned char>(symbol[0]), second)] - 1;
}

int PhoneInventory::first_long_phone(std::string_view phones) const {
    std::vector<int> indices;
    phone_indices(phones, indices);
    for (std::size_t k = 0; k < indices.size(); ++k) {
        const std::string& s = symbols_[static_cast<std::size_t>(indices[k])];
        if (s.size() == 2 && s[1] == ':') return static_cast<int>(k);
    }
    return -1;
}

}  // namespace sint
