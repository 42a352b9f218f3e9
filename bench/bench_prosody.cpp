// Runs micro- and macro-prosody with the default voice's profiles over a
// transcription of about 100 KB and reports the best time of a few runs
// (target: both stages together under 50 ms).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace

int main() {
    const std::string voice = std::string(SINT_SOURCE_DIR) + "/voice/";
    const sint::PhoneTable phones =
        sint::PhoneTable::from_list(profile_value(voice + "mikro.ini", "Nabor_fonemov"),
                                    profile_value(voice + "mikro.ini", "Razvrstitev_fonemov"));
    sint::TMikro mikro(voice + "mikro.ini", phones);
    sint::TMakro makro(voice + "makro.ini", phones);

    const char* const sentences[] = {
        "jutri gr@:mO na mO:rjE , ka:jti vrE:mE bO lE:pO . ",
        "vsi: lju:djE sO ro:jEni svO:bOdni in Ena:ki pO dOstOja:nstvu in pra:vitsa:x . ",
        "ka:kO stE: ? ",
        "pOzdra:vlJEni u nO:vi hi:Si ! ",
        "ta:m jE ma:ma , ki: kU:xa kO:sil'O za vsO: dru:Zi:nO . ",
    };
    std::string text;
    for (std::size_t i = 0; text.size() < 100000; ++i) text += sentences[i % 5];
    text += " .";

    using clock = std::chrono::steady_clock;
    double best_mikro = 1e9, best_makro = 1e9;
    int records = 0;
    for (int run = 0; run < 7; ++run) {
        mikro.set_word_boundary_pause(0);
        const auto start = clock::now();
        if (mikro.run(text, false) != 0) return 1;
        const auto middle = clock::now();
        if (makro.run(mikro.output(), mikro.count()) != 0) return 1;
        const auto end = clock::now();
        best_mikro =
            std::min(best_mikro, std::chrono::duration<double, std::milli>(middle - start).count());
        best_makro =
            std::min(best_makro, std::chrono::duration<double, std::milli>(end - middle).count());
        records = makro.count();
    }
    std::printf(
        "prosody over %zu bytes (%d records): mikro %.2f ms, makro %.2f ms, "
        "together %.2f ms (target < 50 ms)\n",
        text.size(), records, best_mikro, best_makro, best_mikro + best_makro);
    return 0;
}
