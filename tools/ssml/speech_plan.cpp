#include "tools/ssml/speech_plan.h"

#include <algorithm>
#include <cmath>

namespace sint {
namespace {

// The marks spoken by name in each mode, by their names in the symbol table:
// symbols already in "some", brackets and quotes from "most", the sentence
// punctuation only in "all".
constexpr std::string_view kSomeMarks = "@#$%&*+/\\=<>_|~^";
constexpr std::string_view kMostMarks = "-()[]{}\"'`";
constexpr std::string_view kAllMarks = ".,!?;:";

bool spoken_in(char c, PunctuationMode mode) {
    auto in = [c](std::string_view marks) { return marks.find(c) != std::string_view::npos; };
    return (mode >= PunctuationMode::Some && in(kSomeMarks)) ||
           (mode >= PunctuationMode::Most && in(kMostMarks)) ||
           (mode >= PunctuationMode::All && in(kAllMarks));
}

long clamp_long(double value, long low, long high) {
    return std::clamp(static_cast<long>(std::lround(value)), low, high);
}

}  // namespace

double rate_factor(const VoiceParams& voice) {
    const int rate = std::clamp(voice.rate, -100, 100);
    const double top = rate > 0 ? std::clamp(voice.max_speed, 1.0, kSpeedMax) : kTempoTopFactor;
    return std::pow(top, rate / 100.0);
}

RequestSettings request_settings(const VoiceParams& voice, const ProsodyChange& change) {
    RequestSettings settings;
    const RateRequest rate = rate_request(rate_factor(voice) * voice.speed * change.rate);
    settings.tempo = rate.tempo;
    settings.speed = rate.speed_percent;
    settings.pitch = clamp_long((voice.pitch + change.pitch) / 2.0, -50, 50);
    const double percent = (std::clamp(voice.volume, -100, 100) + 100) / 2.0;
    settings.volume = clamp_long(percent * change.volume, 1, 100);
    return settings;
}

PlanItem speech_item(std::string text, bool spell, const RequestSettings& settings) {
    PlanItem item;
    item.text = std::move(text);
    item.spell = spell;
    item.settings = settings;
    return item;
}

std::string name_punctuation(std::string_view text, PunctuationMode mode,
                             const SymbolNames* names) {
    if (mode == PunctuationMode::None || !names) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const std::string_view name = names->name(static_cast<unsigned char>(c));
        if (!name.empty() && spoken_in(c, mode)) {
            out += ' ';
            out += name;
            out += ' ';
        }
        out.push_back(c);
    }
    return out;
}

std::vector<PlanItem> plan_speech(const SsmlDocument& document, const VoiceParams& voice) {
    std::vector<PlanItem> plan;
    bool open = false;  // the last item is a Speech item that text may still join
    for (const SsmlPiece& piece : document.pieces) {
        switch (piece.kind) {
            case SsmlPiece::Kind::Text: {
                const RequestSettings settings = request_settings(voice, piece.prosody);
                const bool spell = piece.spell || voice.spelling;
                const std::string text = spell ? piece.text
                                               : name_punctuation(piece.text, voice.punctuation,
                                                                  voice.symbol_names.get());
                if (open && plan.back().settings == settings && plan.back().spell == spell) {
                    plan.back().text += text;
                } else {
                    plan.push_back(speech_item(text, spell, settings));
                    open = true;
                }
                break;
            }
            case SsmlPiece::Kind::Mark:
                if (open) {
                    plan.back().marks.push_back({plan.back().text.size(), piece.text});
                } else {
                    PlanItem item;
                    item.kind = PlanItem::Kind::Mark;
                    item.text = piece.text;
                    plan.push_back(std::move(item));
                }
                break;
            case SsmlPiece::Kind::Break: {
                PlanItem item;
                item.kind = PlanItem::Kind::Silence;
                item.silence_ms = piece.break_ms;
                plan.push_back(std::move(item));
                open = false;
                break;
            }
            case SsmlPiece::Kind::Boundary:
                open = false;
                break;
        }
    }
    return plan;
}

}  // namespace sint
