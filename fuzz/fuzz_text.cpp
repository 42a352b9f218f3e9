// Random bytes through the whole-text and the sentence-mode conversion of the
// default voice's text analysis. The first byte chooses the input switches.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "text/text_options.h"
#include "text/tgfp.h"

namespace {

// One engine for each combination of the four switches, made when first needed.
sint::TGFP& engine(unsigned switches) {
    static std::unique_ptr<sint::TGFP> engines[16];
    std::unique_ptr<sint::TGFP>& instance = engines[switches & 15];
    if (!instance) {
        sint::TextOptions s;
        s.dictionary_dir = std::string(SINT_SOURCE_DIR) + "/voice/slovarji/";
        s.statistics_dir = std::string(SINT_SOURCE_DIR) + "/voice/statistika/";
        s.fast_start = false;
        s.dictionaries_scrambled = false;
        s.seven_bit_input = (switches & 1) != 0;
        s.sibilants_with_quotes = (switches & 2) != 0;
        s.angle_bracket_filter = (switches & 4) != 0;
        s.sms_mode = (switches & 8) != 0;
        instance = std::make_unique<sint::TGFP>(std::string(SINT_SOURCE_DIR) + "/voice/gfp.ini", s,
                                                "/nonexistent/index.ndx");
    }
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    sint::TGFP& tgfp = engine(data[0]);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    tgfp.convert_text(std::string_view(text), true);
    const std::string result = tgfp.result_text();
    if (result.size() > sint::kStageLimit) __builtin_trap();

    int length = tgfp.convert_sentence(std::string_view(text), true);
    std::size_t covered = 0;
    while (length > 0) {
        const auto& span = tgfp.last_sentence_span();
        if (span.start != covered || span.length != static_cast<std::size_t>(length))
            __builtin_trap();
        covered = span.end;
        length = tgfp.convert_sentence(nullptr, true);
    }
    return 0;
}
