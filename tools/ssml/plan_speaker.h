// Speaks a speech plan through one connection to sintsrv: the settings of each
// stretch, then sentence by sentence a GFP query and a STREAM request, handing
// the audio and the index marks to a listener in the order they are heard. A
// mark inside a sentence cuts the sentence's audio in proportion to its place
// in the text. Waiting for a reply is done in short slices, so a stop request
// is noticed within one slice.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol_client.h"
#include "tools/ssml/speech_plan.h"

namespace sint {

// Samples per millisecond of the server's audio (16 kHz).
inline constexpr int kSamplesPerMs = 16;
// One slice of waiting for a reply: the delay before a stop is noticed.
inline constexpr int kReplySliceMs = 5;

class PlanListener {
public:
    virtual ~PlanListener() = default;
    // Each returns false to end the speech there.
    virtual bool audio(std::span<const std::int16_t> samples) = 0;
    virtual bool mark(const std::string& name) = 0;
    // A sentence (or spelled letter) the server was asked to speak.
    virtual void sentence(std::string_view) {}
};

enum class SpeakOutcome {
    Done,       // the whole plan was spoken
    Ended,      // the listener or the stop check ended it
    LostServer  // the connection broke or a reply did not come in time
};

class PlanSpeaker {
public:
    // `stop_requested` is asked between slices of every wait; `reply_timeout_ms`
    // bounds one reply.
    PlanSpeaker(ProtocolConnection& connection, std::function<bool()> stop_requested,
                int reply_timeout_ms)
        : connection_(connection),
          stop_requested_(std::move(stop_requested)),
          reply_timeout_ms_(reply_timeout_ms) {}

    SpeakOutcome speak(const std::vector<PlanItem>& plan, PlanListener& listener);

private:
    SpeakOutcome speak_text(const PlanItem& item, PlanListener& listener);
    SpeakOutcome spell_text(const PlanItem& item, PlanListener& listener);
    // Sends a request and waits for its reply of `type`.
    SpeakOutcome ask(const std::string& request, ReplyType type, Reply& reply);
    SpeakOutcome send(const std::string& request);

    ProtocolConnection& connection_;
    std::function<bool()> stop_requested_;
    int reply_timeout_ms_;
};

}  // namespace sint
