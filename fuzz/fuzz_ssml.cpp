// Feeds arbitrary bytes to the SSML reader and the speech plan, and checks
// what the reader promises whatever the input: mark names short and free of
// control characters, pauses within their limits.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/ssml/speech_plan.h"
#include "tools/ssml/ssml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const sint::SsmlDocument document = sint::read_ssml(input);
    long pauses = 0;
    for (const sint::SsmlPiece& piece : document.pieces) {
        if (piece.kind == sint::SsmlPiece::Kind::Mark) {
            if (piece.text.size() > sint::kSsmlMarkNameMax) std::abort();
            for (const char c : piece.text)
                if (static_cast<unsigned char>(c) < 0x20) std::abort();
        }
        if (piece.break_ms < 0 || piece.break_ms > sint::kSsmlBreakMaxMs) std::abort();
        pauses += piece.break_ms;
    }
    if (pauses > sint::kSsmlPausesMaxMs) std::abort();
    sint::plan_speech(document, sint::VoiceParams{});
    return 0;
}
