// What a client of sintsrv does to speak one SSML document: the reader's
// pieces grouped into stretches of text that share one set of server settings
// (TEMPO, PITCH, VOLUME), with the index marks at their places in the text,
// and the pauses between them. The Speech Dispatcher module and sint-say -m
// build the same plan for the same document, so they send the same requests.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/speaking_rate.h"
#include "core/symbol_names.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {

// Which punctuation marks are spoken by name.
enum class PunctuationMode { None, Some, Most, All };

// The voice settings of a client on Speech Dispatcher's scales: rate, pitch
// and volume from −100 to 100. The rate r is the speed factor 3^(r/100);
// above 0 `max_speed` (up to kSpeedMax) takes the place of 3, and `speed`
// multiplies the factor.
struct VoiceParams {
    int rate = 0;
    int pitch = 0;
    int volume = 100;
    PunctuationMode punctuation = PunctuationMode::None;
    bool spelling = false;
    double max_speed = kTempoTopFactor;
    double speed = 1.0;
    // The names of marks for the punctuation modes and of keys; none: marks
    // are not named.
    std::shared_ptr<const SymbolNames> symbol_names = nullptr;
};

// The values of the server's settings commands for one stretch of text.
struct RequestSettings {
    long tempo = 0;     // TEMPO, −10..10, and SPEED, 30..600 %: the speed factor
    long speed = 100;   // of the rate and the markup (core/speaking_rate.h)
    long pitch = 0;     // PITCH, −50..50: pitch / 2
    long volume = 100;  // VOLUME, 1..100 %: (volume + 100) / 2, times the SSML factor
    bool operator==(const RequestSettings&) const = default;
};

RequestSettings request_settings(const VoiceParams& voice, const ProsodyChange& change = {});
// The speed factor of a voice's rate (see VoiceParams).
double rate_factor(const VoiceParams& voice);

struct PlanMark {
    std::size_t offset = 0;  // in the text of its item: the mark stands before this byte
    std::string name;
};

struct PlanItem {
    enum class Kind { Speech, Mark, Silence };
    Kind kind = Kind::Speech;
    std::string text;  // Speech: code page 1250; Mark: the mark's name
    bool spell = false;
    RequestSettings settings;
    std::vector<PlanMark> marks;  // Speech: the marks inside or right after the text
    int silence_ms = 0;
};

// A Speech item of `text` with `settings`.
PlanItem speech_item(std::string text, bool spell, const RequestSettings& settings);

std::vector<PlanItem> plan_speech(const SsmlDocument& document, const VoiceParams& voice);

// Code page 1250 text with the punctuation marks of `mode` preceded by their
// names in the symbol table ("a, b" → "a vejica , b" when commas are spoken);
// without a table, or for a mark without a name, the text is unchanged.
std::string name_punctuation(std::string_view text, PunctuationMode mode, const SymbolNames* names);

}  // namespace sint
