// One voice of the library: its own synthesis facade over the shared data of
// its folder, its settings, and the speaking of plain text or SSML into a
// caller's callbacks. A voice speaks each text as the server speaks a STREAM
// request of the same text with the same settings, so the samples are the same.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "capi/shared_voice_data.h"
#include "capi/sint.h"
#include "synth/facade.h"

namespace sint {

// The samples handed to the audio callback at a time, so that a stop asked by
// the callback ends the speech within this many samples.
inline constexpr std::size_t kChunkSamples = 16000;
// Samples per millisecond (16 kHz).
inline constexpr int kLibrarySamplesPerMs = 16;
inline constexpr int kLibrarySampleRate = 16000;

// The settings of the next request, with the server's defaults for a new connection.
struct VoiceSettings {
    int rate = 0;
    int pitch = 0;
    int volume = 100;
    int speed_percent = 100;
    int articulation = 94;
    int window_width = 90;
};

class LibraryVoice {
public:
    // Opens the voice of `folder` (ending in "/"); nothing with `error` set.
    static std::unique_ptr<LibraryVoice> open(const std::string& folder, std::string& error);
    ~LibraryVoice();
    LibraryVoice(const LibraryVoice&) = delete;
    LibraryVoice& operator=(const LibraryVoice&) = delete;

    // SINT_OK or a SINT_E_ code.
    int speak(std::string_view utf8_text, bool ssml, sint_audio_fn audio, void* user);

    VoiceSettings& settings() { return settings_; }
    void set_mark_callback(sint_mark_fn mark, void* user) {
        mark_ = mark;
        mark_user_ = user;
    }
    void set_event_callback(sint_event_fn events, void* user) {
        events_ = events;
        events_user_ = user;
    }

private:
    explicit LibraryVoice(std::shared_ptr<const SharedVoiceData> shared);

    // One request of code page 1250 text with `settings`.
    int speak_request(std::string_view text, const VoiceSettings& settings);
    // Hands `samples` to the audio callback in chunks, each after the events
    // that begin in it.
    int deliver(const std::int16_t* samples, std::size_t count);
    // The word and phone events of the last request's `count` samples, placed
    // by the durations of the phones that were spoken.
    void plan_events(std::size_t count);
    // Fires the planned events that begin before `end` (a sample of the call).
    int fire_events(std::size_t end);
    int silence(int ms);
    int mark(const std::string& name);

    std::shared_ptr<const SharedVoiceData> shared_;
    Synthesiser synthesiser_;
    VoiceSettings settings_;
    sint_mark_fn mark_ = nullptr;
    void* mark_user_ = nullptr;
    sint_event_fn events_ = nullptr;
    void* events_user_ = nullptr;
    // The events of the request being delivered, in order, and the next to fire.
    struct PlannedEvent {
        int type = SINT_EVENT_PHONE;
        std::size_t sample = 0;
        std::size_t length = 0;
        std::size_t word = 0;
        std::string name;
    };
    std::vector<PlannedEvent> planned_;
    std::size_t next_event_ = 0;
    std::size_t words_ = 0;  // words of the call so far
    // The call in progress: its audio callback and the samples handed so far.
    sint_audio_fn audio_ = nullptr;
    void* audio_user_ = nullptr;
    std::size_t delivered_ = 0;
    std::vector<std::int16_t> scaled_;
};

}  // namespace sint
