#include "tools/sint-http/speech_request.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "tools/sint-say/text_input.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {
namespace {

bool starts_as_ssml(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text.substr(first).starts_with("<speak");
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string range_text(double low, double high) {
    char text[64];
    std::snprintf(text, sizeof text, "%g to %g", low, high);
    return text;
}

std::optional<RequestError> check_speed(double speed) {
    if (!std::isfinite(speed) || speed < kHttpSpeedMin || speed > kHttpSpeedMax)
        return RequestError{"speed must be a number from " +
                            range_text(kHttpSpeedMin, kHttpSpeedMax)};
    return std::nullopt;
}

RequestError unknown_format(std::string_view name) {
    return {"unsupported response_format '" + std::string(name) +
            "'; supported: " + std::string(kAudioFormatNames)};
}

// A whole-number query value from `low` to `high`.
std::optional<long> query_number(std::string_view text, long low, long high) {
    long value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

ParsedRequest parse_openai_request(std::string_view body) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) return RequestError{"the body is not valid JSON"};
    if (!json.is_object()) return RequestError{"the body must be a JSON object"};
    SpeechRequest request;
    const auto input = json.find("input");
    if (input == json.end() || !input->is_string())
        return RequestError{"'input' is required and must be a string"};
    request.text = input->get<std::string>();
    if (blank(request.text)) return RequestError{"'input' is empty"};
    request.ssml = starts_as_ssml(request.text);
    if (const auto format = json.find("response_format"); format != json.end()) {
        if (!format->is_string()) return RequestError{"'response_format' must be a string"};
        const auto known = parse_audio_format(format->get<std::string>());
        if (!known) return unknown_format(format->get<std::string>());
        request.format = *known;
    }
    if (const auto speed = json.find("speed"); speed != json.end() && !speed->is_null()) {
        if (!speed->is_number()) return RequestError{"'speed' must be a number"};
        if (auto error = check_speed(speed->get<double>())) return *error;
        request.voice.speed = speed->get<double>();
    }
    for (const char* name : {"model", "voice"}) {
        if (const auto value = json.find(name); value != json.end() && !value->is_string())
            return RequestError{"'" + std::string(name) + "' must be a string"};
    }
    return request;
}

ParsedRequest parse_query_request(const std::multimap<std::string, std::string>& query) {
    SpeechRequest request;
    request.format = AudioFormat::Wav;
    const auto value = [&](const char* name) -> const std::string* {
        const auto found = query.find(name);
        return found == query.end() ? nullptr : &found->second;
    };
    const std::string* text = value("text");
    if (!text || blank(*text)) return RequestError{"'text' is required"};
    request.text = *text;
    if (const std::string* ssml = value("ssml")) request.ssml = *ssml == "1" || *ssml == "true";
    if (const std::string* format = value("format")) {
        const auto known = parse_audio_format(*format);
        if (!known) return unknown_format(*format);
        request.format = *known;
    }
    // The scales of sint-say: TEMPO steps, the server's pitch offset, volume in percent.
    struct Setting {
        const char* name;
        long low, high;
        int* target;
        int scale, offset;  // onto VoiceParams' -100..100 scales
    };
    const Setting settings[] = {{"rate", -10, 10, &request.voice.rate, 10, 0},
                                {"pitch", -50, 50, &request.voice.pitch, 2, 0},
                                {"volume", 1, 100, &request.voice.volume, 2, -100}};
    for (const Setting& setting : settings) {
        const std::string* given = value(setting.name);
        if (!given) continue;
        const auto number = query_number(*given, setting.low, setting.high);
        if (!number)
            return RequestError{"'" + std::string(setting.name) + "' must be a whole number from " +
                                std::to_string(setting.low) + " to " +
                                std::to_string(setting.high)};
        *setting.target = static_cast<int>(*number * setting.scale + setting.offset);
    }
    if (const std::string* speed = value("speed")) {
        double factor = 0;
        const auto [end, status] =
            std::from_chars(speed->data(), speed->data() + speed->size(), factor);
        if (status != std::errc() || end != speed->data() + speed->size())
            return RequestError{"speed must be a number from " +
                                range_text(kHttpSpeedMin, kHttpSpeedMax)};
        if (auto error = check_speed(factor)) return *error;
        request.voice.speed = factor;
    }
    return request;
}

std::vector<PlanItem> plan_request(const SpeechRequest& request, std::string& error) {
    if (!request.ssml)
        return {speech_item(speakable_text(request.text), false, request_settings(request.voice))};
    const SsmlDocument document = read_ssml(request.text);
    if (document.plain_fallback) {
        error = "the SSML is not well-formed: line " + std::to_string(document.error_line) +
                ", column " + std::to_string(document.error_column) + ": " + document.error;
        return {};
    }
    if (!document.problems.empty()) {
        error = document.problems.front();
        return {};
    }
    return plan_speech(document, request.voice);
}

}  // namespace sint
