// PhoneInventory: the phone symbols of the voice (`Nabor_fonemov`) with their
// sonority digits (`Razvrstitev_fonemov`), and the services that split a phone
// string into inventory indices through a 65536-entry symbol table.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

class ProfileFile;

// Symbols the inventory holds at most; a longer list fails the loading.
inline constexpr std::size_t kPhoneInventoryMax = 63;

class PhoneInventory {
public:
    PhoneInventory();

    // Reads the two keys; returns 0, or -1 after reporting the failure.
    int load(ProfileFile& profile);
    // Takes symbols of one or two characters and one sonority digit each, as
    // they are (the caller has checked them).
    void assign(std::vector<std::string> symbols, std::string sonority);

    // The inventory indices of the phones of `phones`: at each position the
    // two-character symbol is tried first, then the one-character symbol; a
    // character that starts no symbol is skipped. Returns the count.
    int phone_indices(std::string_view phones, std::vector<int>& out) const;
    // The index of one symbol, -1 if none.
    int phone_index(std::string_view symbol) const;
    // Among the phones of `phones`, the index of the first whose symbol has ":"
    // as second character; -1 if none.
    int first_long_phone(std::string_view phones) const;

    std::size_t size() const { return symbols_.size(); }
    const std::string& symbol(int index) const { return symbols_[static_cast<std::size_t>(index)]; }
    // The sonority digit of a phone ('1' vowel, '2' sonorant, '3'/'4' obstruent).
    char sonority(int index) const { return sonority_[static_cast<std::size_t>(index)]; }

private:
    void build_lookup();
    static std::size_t code(unsigned char first, unsigned char second) {
        return first + 256u * second;
    }

    std::vector<std::string> symbols_;
    std::string sonority_;
    // Inventory index + 1 by symbol code, 0 for no phone.
    std::unique_ptr<std::array<std::uint8_t, 65536>> lookup_;
};

}  // namespace sint
