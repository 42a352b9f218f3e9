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

// The keys said before the keys of the numeric keypad and for a blank.
constexpr std::string_view kKeypadKey = "kp";
constexpr std::string_view kSpaceKey = "space";

std::string_view key_name(std::string_view key, const VoiceParams& voice) {
    return voice.symbol_names ? voice.symbol_names->key_name(key) : std::string_view();
}

PlanItem spoken(std::string text, bool spell, const VoiceParams& voice) {
    return speech_item(std::move(text), spell, request_settings(voice));
}

void add_key(std::string_view key, const VoiceParams& voice, std::vector<PlanItem>& plan) {
    if (key == "underscore") key = "_";
    if (key == "double-quote") key = "\"";
    if (const std::string_view name = key_name(key, voice); !name.empty()) {
        plan.push_back(spoken(std::string(name), false, voice));
        return;
    }
    const std::string_view letter_f =
        voice.symbol_names ? voice.symbol_names->name('f') : std::string_view();
    if (key.size() > 1 && (key[0] == 'f' || key[0] == 'F') && !letter_f.empty() &&
        key.find_first_not_of("0123456789", 1) == std::string_view::npos) {
        plan.push_back(
            spoken(std::string(letter_f) + " " + std::string(key.substr(1)), false, voice));
        return;
    }
    if (key.starts_with("kp-") && key.size() > 3) {
        if (const std::string_view name = key_name(kKeypadKey, voice); !name.empty())
            plan.push_back(spoken(std::string(name), false, voice));
        add_key(key.substr(3), voice, plan);
        return;
    }
    const std::string text = utf8_to_cp1250(key);
    plan.push_back(spoken(text, text.size() == 1, voice));
}

}  // namespace

std::vector<PlanItem> character_plan(std::string_view character, const VoiceParams& voice) {
    if (character == kSpaceKey) {
        const std::string_view name = key_name(kSpaceKey, voice);
        if (name.empty()) return {};
        return {spoken(std::string(name), false, voice)};
    }
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
