#include "tools/ssml/speech_plan.h"

#include <algorithm>
#include <cmath>

namespace sint {
namespace {

// Names in code page 1250 (š 0x9A, č 0xE8). A mark is spoken in the modes from
// `least` on: symbols already in "some", brackets and quotes from "most", the
// sentence punctuation only in "all".
struct PunctuationName {
    char mark;
    const char* name;
    PunctuationMode least;
};
constexpr PunctuationName kPunctuationNames[] = {
    {'.', "pika", PunctuationMode::All},
    {',', "vejica", PunctuationMode::All},
    {'!', "klicaj", PunctuationMode::All},
    {'?',
     "vpra\x9a"
     "aj",
     PunctuationMode::All},
    {';', "podpi\xe8je", PunctuationMode::All},
    {':', "dvopi\xe8je", PunctuationMode::All},
    {'-', "vezaj", PunctuationMode::Most},
    {'(', "oklepaj", PunctuationMode::Most},
    {')', "zaklepaj", PunctuationMode::Most},
    {'[', "oglati oklepaj", PunctuationMode::Most},
    {']', "oglati zaklepaj", PunctuationMode::Most},
    {'{', "zaviti oklepaj", PunctuationMode::Most},
    {'}', "zaviti zaklepaj", PunctuationMode::Most},
    {'"', "narekovaj", PunctuationMode::Most},
    {'\'',
     "opu\x9a\xe8"
     "aj",
     PunctuationMode::Most},
    {'`', "krativec", PunctuationMode::Most},
    {'@', "afna", PunctuationMode::Some},
    {'#', "lojtra", PunctuationMode::Some},
    {'$', "dolar", PunctuationMode::Some},
    {'%', "odstotek", PunctuationMode::Some},
    {'&', "in", PunctuationMode::Some},
    {'*', "zvezdica", PunctuationMode::Some},
    {'+', "plus", PunctuationMode::Some},
    {'/',
     "po\x9a"
     "evnica",
     PunctuationMode::Some},
    {'\\',
     "leva po\x9a"
     "evnica",
     PunctuationMode::Some},
    {'=',
     "ena\xe8"
     "aj",
     PunctuationMode::Some},
    {'<',
     "manj\x9a"
     "e",
     PunctuationMode::Some},
    {'>',
     "ve\xe8"
     "je",
     PunctuationMode::Some},
    {'_', "pod\xe8rtaj", PunctuationMode::Some},
    {'|', "navpi\xe8nica", PunctuationMode::Some},
    {'~', "tilda", PunctuationMode::Some},
    {'^',
     "stre\x9a"
     "ica",
     PunctuationMode::Some},
};

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

std::string name_punctuation(std::string_view text, PunctuationMode mode) {
    if (mode == PunctuationMode::None) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        for (const PunctuationName& p : kPunctuationNames) {
            if (p.mark == c && mode >= p.least) {
                out += ' ';
                out += p.name;
                out += ' ';
            }
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
                const std::string text =
                    spell ? piece.text : name_punctuation(piece.text, voice.punctuation);
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
