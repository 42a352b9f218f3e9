#include "tools/sd_sint/key_names.h"

#include <cmath>
#include <numbers>
#include <string>

#include "core/cp1250.h"
#include "tools/ssml/plan_speaker.h"

namespace sint {
namespace {

constexpr double kBeepHz = 880;
constexpr double kBeepAmplitude = 8000;
// Fade in and out over this many samples, so the beep does not click.
constexpr int kBeepFade = 160;

// Key names in code page 1250 (š 0x9A, č 0xE8, ž 0x9E).
constexpr std::pair<const char*, const char*> kKeyNames[] = {
    {"alt", "alt"},
    {"control", "kontrol"},
    {"hyper", "hiper"},
    {"meta", "meta"},
    {"shift",
     "\x9a"
     "ift"},
    {"super", "super"},
    {"backspace",
     "vra\xe8"
     "alka"},
    {"break", "prekinitev"},
    {"delete", "bri\x9ai"},
    {"down", "dol"},
    {"end", "konec"},
    {"enter", "enter"},
    {"escape", "ube\x9enica"},
    {"home", "domov"},
    {"insert", "vstavi"},
    {"left", "levo"},
    {"menu", "meni"},
    {"next", "naslednja stran"},
    {"num-lock", "num lok"},
    {"pause", "premor"},
    {"print", "tiskaj"},
    {"prior", "prej\x9anja stran"},
    {"return", "enter"},
    {"right", "desno"},
    {"scroll-lock", "skrol lok"},
    {"space", "presledek"},
    {"tab", "tabulator"},
    {"up", "gor"},
    {"window", "okno"},
};

PlanItem spoken(std::string text, bool spell, const VoiceParams& voice) {
    return speech_item(std::move(text), spell, request_settings(voice));
}

void add_key(std::string_view key, const VoiceParams& voice, std::vector<PlanItem>& plan) {
    if (key == "underscore") key = "_";
    if (key == "double-quote") key = "\"";
    for (const auto& [name, words] : kKeyNames) {
        if (key == name) {
            plan.push_back(spoken(words, false, voice));
            return;
        }
    }
    if (key.size() > 1 && (key[0] == 'f' || key[0] == 'F') &&
        key.find_first_not_of("0123456789", 1) == std::string_view::npos) {
        plan.push_back(spoken("ef " + std::string(key.substr(1)), false, voice));
        return;
    }
    if (key.starts_with("kp-") && key.size() > 3) {
        plan.push_back(spoken("\x9atevil\xe8nica", false, voice));  // številčnica
        add_key(key.substr(3), voice, plan);
        return;
    }
    const std::string text = utf8_to_cp1250(key);
    plan.push_back(spoken(text, text.size() == 1, voice));
}

}  // namespace

std::vector<PlanItem> character_plan(std::string_view character, const VoiceParams& voice) {
    if (character == "space") return {spoken("presledek", false, voice)};
    std::string text = utf8_to_cp1250(character);
    if (text.empty()) return {};
    return {spoken(std::move(text), true, voice)};
}

std::vector<PlanItem> key_plan(std::string_view key, const VoiceParams& voice) {
    std::vector<PlanItem> plan;
    // Combinations join their keys with "_"; a lone "_" is the key itself.
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('_', start);
        if (end == start) end = key.find('_', start + 1);
        if (end == std::string_view::npos) end = key.size();
        if (end > start) add_key(key.substr(start, end - start), voice, plan);
        start = end + 1;
    }
    return plan;
}

std::vector<std::int16_t> icon_beep(const VoiceParams& voice) {
    const int count = kIconBeepMs * kSamplesPerMs;
    const double gain = request_settings(voice).volume / 100.0;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double fade = std::min({1.0, double(i) / kBeepFade, double(count - i) / kBeepFade});
        samples[i] = static_cast<std::int16_t>(
            std::lround(kBeepAmplitude * gain * fade *
                        std::sin(2 * std::numbers::pi * kBeepHz * i / (kSamplesPerMs * 1000))));
    }
    return samples;
}

}  // namespace sint
