// Random bytes as a transcription through micro- and macro-prosody, and as raw
// records through macro-prosody alone. The first byte picks the rate and the
// tag switch.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "prosody/makro.h"
#include "prosody/mikro.h"
#include "prosody/phone_table.h"

namespace {

std::string profile_value(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
    }
    return {};
}

struct Stages {
    Stages()
        : voice(std::string(SINT_SOURCE_DIR) + "/voice/"),
          phones(sint::PhoneTable::from_list(
              profile_value(voice + "mikro.ini", "Nabor_fonemov"),
              profile_value(voice + "mikro.ini", "Razvrstitev_fonemov"))),
          mikro(voice + "mikro.ini", phones),
          makro(voice + "makro.ini", phones) {}
    std::string voice;
    sint::PhoneTable phones;
    sint::TMikro mikro;
    sint::TMakro makro;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Stages stages;
    if (size == 0) return 0;
    stages.mikro.set_rate(static_cast<int>(data[0] % 21) - 10);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (stages.mikro.run(text, (data[0] & 0x80) != 0) == 0) {
        stages.makro.run(stages.mikro.output(), stages.mikro.count());
    }
    std::vector<sint::ProsodyRecord> records((size - 1) / sizeof(sint::ProsodyRecord));
    if (!records.empty())
        std::memcpy(records.data(), data + 1, records.size() * sizeof(records[0]));
    for (auto& r : records) r.name[3] = '\0';
    stages.makro.run(records.data(), static_cast<int>(records.size()));
    return 0;
}
