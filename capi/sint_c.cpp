// The C interface: each function checks its pointers, turns the voice handle
// into the library voice behind it, and lets no exception out.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "capi/installed_voice.h"
#include "capi/library_voice.h"
#include "capi/sint.h"
#include "capi/voice_folder.h"

struct sint_voice {
    std::unique_ptr<sint::LibraryVoice> voice;
};

namespace {

void write_error(char* error, std::size_t size, const std::string& message) {
    if (!error || size == 0) return;
    const std::size_t n = std::min(size - 1, message.size());
    std::memcpy(error, message.data(), n);
    error[n] = '\0';
}

}  // namespace

extern "C" {

sint_voice* sint_open(const char* folder, char* error, size_t error_size) {
    try {
        std::string why;
        auto voice = sint::LibraryVoice::open(
            sint::voice_folder(folder, sint::installed_voice_folder()), why);
        if (!voice) {
            write_error(error, error_size, why);
            return nullptr;
        }
        write_error(error, error_size, "");
        return new sint_voice{std::move(voice)};
    } catch (const std::bad_alloc&) {
        write_error(error, error_size, sint_strerror(SINT_E_MEMORY));
    } catch (const std::exception& e) {
        write_error(error, error_size, std::string("the voice did not open: ") + e.what());
    }
    return nullptr;
}

int sint_speak(sint_voice* voice, const char* utf8_text, unsigned flags, sint_audio_fn audio,
               void* user) {
    if (!voice || !utf8_text) return SINT_E_ARGUMENT;
    try {
        return voice->voice->speak(utf8_text, (flags & SINT_SSML) != 0, audio, user);
    } catch (const std::bad_alloc&) {
        return SINT_E_MEMORY;
    } catch (...) {
        return SINT_E_INTERNAL;
    }
}

int sint_sample_rate(const sint_voice* voice) {
    return voice ? sint::kLibrarySampleRate : SINT_E_ARGUMENT;
}

int sint_set_rate(sint_voice* voice, int rate) {
    if (!voice || rate < SINT_RATE_MIN || rate > SINT_RATE_MAX) return SINT_E_ARGUMENT;
    voice->voice->settings().rate = rate;
    return SINT_OK;
}

int sint_set_pitch(sint_voice* voice, int pitch) {
    if (!voice || pitch < SINT_PITCH_MIN || pitch > SINT_PITCH_MAX) return SINT_E_ARGUMENT;
    voice->voice->settings().pitch = pitch;
    return SINT_OK;
}

int sint_set_volume(sint_voice* voice, int volume) {
    if (!voice || volume < SINT_VOLUME_MIN || volume > SINT_VOLUME_MAX) return SINT_E_ARGUMENT;
    voice->voice->settings().volume = volume;
    return SINT_OK;
}

int sint_set_speed(sint_voice* voice, double speed) {
    // Written so that a NaN fails too.
    if (!voice || !(speed >= SINT_SPEED_MIN && speed <= SINT_SPEED_MAX)) return SINT_E_ARGUMENT;
    voice->voice->settings().speed_percent = static_cast<int>(std::lround(speed * 100));
    return SINT_OK;
}

void sint_set_mark_callback(sint_voice* voice, sint_mark_fn mark, void* user) {
    if (voice) voice->voice->set_mark_callback(mark, user);
}

void sint_set_event_callback(sint_voice* voice, sint_event_fn events, void* user) {
    if (voice) voice->voice->set_event_callback(events, user);
}

const char* sint_strerror(int code) {
    switch (code) {
        case SINT_OK:
            return "no error";
        case SINT_E_ARGUMENT:
            return "a null pointer or a setting out of its range";
        case SINT_E_STOPPED:
            return "stopped by a callback";
        case SINT_E_SYNTHESIS:
            return "a stage of the synthesiser failed";
        case SINT_E_MEMORY:
            return "out of memory";
        case SINT_E_INTERNAL:
            return "an internal fault of the library";
        default:
            return "unknown error code";
    }
}

void sint_close(sint_voice* voice) {
    delete voice;
}

}  // extern "C"
