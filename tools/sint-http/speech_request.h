// What one HTTP speech request asks for, read from the OpenAI-shaped JSON body
// of POST /v1/audio/speech or from the query of GET /api/tts, with every
// value checked; a request that cannot be spoken gets the reason instead.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>

#include "tools/sint-http/audio_encoder.h"
#include "tools/ssml/speech_plan.h"

namespace sint {

// The OpenAI speed range; it maps onto the speed factor of core/speaking_rate.h.
inline constexpr double kHttpSpeedMin = 0.25;
inline constexpr double kHttpSpeedMax = 4.0;

struct SpeechRequest {
    std::string text;  // UTF-8 as received (SSML is read from it)
    bool ssml = false;
    VoiceParams voice;
    AudioFormat format = AudioFormat::Mp3;
};

struct RequestError {
    std::string message;
};

using ParsedRequest = std::variant<SpeechRequest, RequestError>;

// The body of POST /v1/audio/speech: model (any), input, voice (any),
// response_format (mp3 when absent), speed. An input that begins with
// "<speak" (after blanks) is SSML.
ParsedRequest parse_openai_request(std::string_view body);

// The query of GET /api/tts: text, ssml (1/true), rate (-10..10), pitch
// (-50..50), volume (1..100), speed, format (wav when absent).
ParsedRequest parse_query_request(const std::multimap<std::string, std::string>& query);

// The plan of the request: SSML read and planned, plain text narrowed to code
// page 1250 as one stretch; the reason in `error` when the markup is refused.
std::vector<PlanItem> plan_request(const SpeechRequest& request, std::string& error);

}  // namespace sint
