// EnginePhoneServices: PhoneServices over the text-analysis engine. The engine
// type must offer phone_indices, phone_index, first_long_phone and
// phone_inventory() with sonority(index) and size().
#pragma once

#include <string>

#include "prosody/phone_services.h"

namespace sint {

template <typename Engine>
class EnginePhoneServices final : public PhoneServices {
public:
    // The engine's inventory is fixed once it is built, so its sonority digits
    // are taken once here.
    explicit EnginePhoneServices(const Engine& engine) : engine_(engine) {
        const auto& inventory = engine_.phone_inventory();
        for (std::size_t i = 0; i < inventory.size(); ++i) {
            digits_.push_back(inventory.sonority(static_cast<int>(i)));
        }
    }

    int phone_indices(std::string_view phones, std::vector<int>& out) const override {
        return engine_.phone_indices(phones, out);
    }
    int phone_count() const override { return static_cast<int>(engine_.phone_inventory().size()); }
    std::string phone_symbol(int index) const override {
        return engine_.phone_inventory().symbol(index);
    }
    int phone_index(std::string_view symbol) const override { return engine_.phone_index(symbol); }
    int first_long_phone(std::string_view phones) const override {
        return engine_.first_long_phone(phones);
    }
    bool DolociZvocnost(const std::vector<int>& phones, std::string& classes) const override {
        return sint::DolociZvocnost(phones, digits_, classes);
    }

private:
    const Engine& engine_;
    std::string digits_;
};

}  // namespace sint
