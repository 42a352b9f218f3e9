// PhoneServices: what the prosody stages need from the text-analysis engine: the
// phone inventory lookups and the syllable division of a word.
//
// The engine implements it through EnginePhoneServices (engine_phone_services.h);
// PhoneTable (phone_table.h) is a stand-alone implementation from a symbol list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/syllables.h"

namespace sint {

class PhoneServices {
public:
    virtual ~PhoneServices() = default;

    // Splits a phone string into inventory indices (two-character symbols tried
    // first, characters that start no symbol skipped); returns the count.
    virtual int phone_indices(std::string_view phones, std::vector<int>& out) const = 0;
    // The number of phones of the inventory and the symbol of one of them.
    virtual int phone_count() const = 0;
    virtual std::string phone_symbol(int index) const = 0;
    // The inventory index of one symbol, -1 if none.
    virtual int phone_index(std::string_view symbol) const = 0;
    // Among the phones of the string, the index of the first whose symbol has
    // ":" as second character; -1 if none.
    virtual int first_long_phone(std::string_view phones) const = 0;
    // The class letter ('v', 'z', 'n') of each phone; false when a phone has no
    // valid sonority digit (it is then classed 'n').
    virtual bool DolociZvocnost(const std::vector<int>& phones, std::string& classes) const = 0;
    // Divides a class string into syllables; returns the count (at least 1).
    virtual int DeljenjeNaZloge(std::string_view classes, std::vector<SyllableSpan>& spans) const {
        return sint::DeljenjeNaZloge(classes, spans);
    }
};

}  // namespace sint
