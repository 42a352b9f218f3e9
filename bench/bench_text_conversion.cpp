// Whole-text conversion speed: a 100 KB Slovenian news text (dates, times,
// prices, percentages, abbreviations, capitals) through every stage of the
// default voice's text analysis, in whole-text and in sentence mode.
// Target: under 100 ms for the 100 KB.
#include <chrono>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "text/text_options.h"
#include "text/tgfp.h"

int main() {
    sint::set_log_disabled(true);
    sint::TextOptions settings;
    settings.dictionary_dir = std::string(SINT_SOURCE_DIR) + "/voice/slovarji/";
    settings.statistics_dir = std::string(SINT_SOURCE_DIR) + "/voice/statistika/";
    settings.fast_start = false;
    settings.dictionaries_scrambled = false;
    sint::TGFP engine(std::string(SINT_SOURCE_DIR) + "/voice/gfp.ini", settings,
                      "/nonexistent/index.ndx");
    const std::string paragraph =
        "Ljubljana, 5. maja 2024 - Vlada je v ponedeljek ob 10.30 sprejela predlog, po "
        "katerem bo cena bencina 1,45 EUR za liter, kar je 3 % ve\xE8 kot lani. Minister dr. "
        "Novak je povedal, da bo NLB izpla\xE8"
        "ala 250 000 evrov. Ali bo OK? \x8A"
        "ofer "
        "\x8Eiga je prevozil 102 km v 2 h, \xE8"
        "eprav je bilo 30 C. Prireditve so se "
        "udele\x9Eili predstavniki NATO in ZDA.\n";
    std::string text;
    while (text.size() < 100 * 1024) text += paragraph;
    text.resize(100 * 1024);

    using Clock = std::chrono::steady_clock;
    // Whole-text mode takes at most 16384 characters a call, so the text goes
    // in pieces cut at sentence ends.
    double best_whole = 1e9;
    std::size_t out_size = 0;
    for (int round = 0; round < 5; ++round) {
        out_size = 0;
        const auto start = Clock::now();
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = std::min(text.size(), at + 12000);
            const std::size_t dot = text.rfind(". ", end);
            if (end < text.size() && dot != std::string::npos && dot > at) end = dot + 2;
            engine.convert_text(std::string_view(text).substr(at, end - at), true);
            out_size += std::string(engine.result_text()).size();
            at = end;
        }
        best_whole =
            std::min(best_whole, std::chrono::duration<double>(Clock::now() - start).count());
    }
    double best_sentences = 1e9;
    int sentences = 0;
    for (int round = 0; round < 5; ++round) {
        sentences = 0;
        const auto start = Clock::now();
        for (int n = engine.convert_sentence(text.c_str(), true); n > 0;
             n = engine.convert_sentence(nullptr, true))
            ++sentences;
        best_sentences =
            std::min(best_sentences, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("100 KB whole-text mode: %.1f ms (%zu output bytes) (target < 100 ms)\n",
                best_whole * 1000, out_size);
    std::printf("100 KB sentence mode:   %.1f ms (%d sentences)\n", best_sentences * 1000,
                sentences);
    return 0;
}
