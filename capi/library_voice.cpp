#include "capi/library_voice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "capi/voice_folder.h"
#include "core/cp1250.h"
#include "core/speaking_rate.h"
#include "server/letter_names.h"
#include "tools/ssml/ssml_reader.h"

namespace sint {
namespace {

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The voice's settings changed by SSML prosody: the rate as a factor of the
// voice's speed (split into TEMPO and SPEED as the server's clients split it),
// pitch on the −100..100 scale of the reader (half of it), volume as a factor.
VoiceSettings with_prosody(VoiceSettings s, const ProsodyChange& change) {
    if (change.rate != 1.0) {
        const RateRequest rate =
            rate_request(tempo_factor(s.rate) * s.speed_percent / 100.0 * change.rate);
        s.rate = rate.tempo;
        s.speed_percent = rate.speed_percent;
    }
    s.pitch = std::clamp(s.pitch + change.pitch / 2, SINT_PITCH_MIN, SINT_PITCH_MAX);
    s.volume = std::clamp(static_cast<int>(std::lround(s.volume * change.volume)), SINT_VOLUME_MIN,
                          SINT_VOLUME_MAX);
    return s;
}

}  // namespace

std::unique_ptr<LibraryVoice> LibraryVoice::open(const std::string& folder, std::string& error) {
    std::error_code failed;
    const std::string key = std::filesystem::weakly_canonical(folder, failed).string();
    VoiceOptions options = read_voice_options(folder);
    if (!options.options) {
        error = options.error;
        return nullptr;
    }
    auto shared = SharedVoiceData::of_folder(failed ? folder : key, *options.options, error);
    if (!shared) return nullptr;
    std::unique_ptr<LibraryVoice> voice(new LibraryVoice(shared));
    try {
        if (voice->synthesiser_.init() != 0 ||
            !voice->synthesiser_.share_wave_database(shared->owner())) {
            error = "the synthesiser did not start";
            return nullptr;
        }
    } catch (const std::exception& e) {
        error = std::string("the voice's profiles did not load: ") + e.what();
        return nullptr;
    }
    return voice;
}

LibraryVoice::LibraryVoice(std::shared_ptr<const SharedVoiceData> shared)
    : shared_(std::move(shared)), synthesiser_(shared_->sharing_options()) {}

LibraryVoice::~LibraryVoice() {
    synthesiser_.wave_free();
    synthesiser_.free();
}

int LibraryVoice::speak(std::string_view utf8_text, bool ssml, sint_audio_fn audio, void* user) {
    audio_ = audio;
    audio_user_ = user;
    delivered_ = 0;
    words_ = 0;
    planned_.clear();
    next_event_ = 0;
    if (!ssml) return speak_request(utf8_to_cp1250(utf8_text), settings_);
    for (const SsmlPiece& piece : read_ssml(utf8_text).pieces) {
        int result = SINT_OK;
        switch (piece.kind) {
            case SsmlPiece::Kind::Text:
                result = speak_request(piece.text, with_prosody(settings_, piece.prosody));
                break;
            case SsmlPiece::Kind::Mark:
                result = mark(piece.text);
                break;
            case SsmlPiece::Kind::Break:
                result = silence(piece.break_ms);
                break;
            case SsmlPiece::Kind::Boundary:
                break;
        }
        if (result != SINT_OK) return result;
    }
    return SINT_OK;
}

int LibraryVoice::speak_request(std::string_view text, const VoiceSettings& settings) {
    // As the server: a single character is spoken by its name, anything else
    // is converted whole.
    std::string_view letter;
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    if (first != std::string_view::npos && first == last)
        letter = letter_transcription(synthesiser_.symbol_names(),
                                      static_cast<unsigned char>(text[first]));
    if (letter.empty() && synthesiser_.convert(text) != 0)
        return blank(text) ? SINT_OK : SINT_E_SYNTHESIS;
    synthesiser_.set_pitch_offset(settings.pitch);
    synthesiser_.set_articulation(settings.articulation);
    synthesiser_.set_tempo(settings.rate);
    synthesiser_.set_speed(settings.speed_percent);
    synthesiser_.set_window_width(settings.window_width);
    if (synthesiser_.prosody(letter.empty() ? std::nullopt : std::optional(letter)) != 0)
        return SINT_E_SYNTHESIS;
    const std::span<const std::int16_t> samples =
        synthesiser_.synthesise_to_memory(settings.volume);
    plan_events(samples.size());
    if (settings.volume >= 100) return deliver(samples.data(), samples.size());
    scaled_.resize(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        scaled_[i] = static_cast<std::int16_t>(samples[i] * settings.volume / 100);
    return deliver(scaled_.data(), scaled_.size());
}

void LibraryVoice::plan_events(std::size_t count) {
    planned_.clear();
    next_event_ = 0;
    if (!events_) return;
    const std::vector<ProsodyRecord>& records = synthesiser_.timed_records();
    long total_ms = 0;
    for (const ProsodyRecord& r : records) total_ms += std::max<std::int16_t>(r.duration, 0);
    if (total_ms <= 0 || count == 0) return;
    // The phones' durations, spread over the samples that were made: PSOLA
    // speaks whole pitch periods, so its length differs a little from theirs.
    const auto at = [&](long ms) { return delivered_ + count * ms / total_ms; };
    long elapsed = 0;
    std::optional<std::size_t> word;  // the event of the word being spoken
    for (const ProsodyRecord& r : records) {
        const long ms = std::max<std::int16_t>(r.duration, 0);
        const std::string name(r.name, strnlen(r.name, sizeof r.name));
        const std::size_t start = at(elapsed), end = at(elapsed + ms);
        if (name == "_") {
            word.reset();
        } else if (!word) {
            word = planned_.size();
            planned_.push_back({SINT_EVENT_WORD, start, 0, words_++, ""});
        }
        if (word) {
            PlannedEvent& w = planned_[*word];
            w.name += (w.name.empty() ? "" : " ") + name;
            w.length = end - w.sample;
        }
        planned_.push_back(
            {SINT_EVENT_PHONE, start, end - start, word ? words_ - 1 : words_, name});
        elapsed += ms;
    }
}

int LibraryVoice::fire_events(std::size_t end) {
    for (; next_event_ < planned_.size() && planned_[next_event_].sample < end; ++next_event_) {
        const PlannedEvent& e = planned_[next_event_];
        const sint_event event{e.type, e.sample, e.length, e.word, e.name.c_str()};
        if (events_ && events_(&event, events_user_) != 0) return SINT_E_STOPPED;
    }
    return SINT_OK;
}

int LibraryVoice::deliver(const std::int16_t* samples, std::size_t count) {
    for (std::size_t at = 0; at < count; at += kChunkSamples) {
        const std::size_t n = std::min(kChunkSamples, count - at);
        if (fire_events(delivered_ + n) != SINT_OK) return SINT_E_STOPPED;
        delivered_ += n;
        if (audio_ && audio_(samples + at, n, audio_user_) != 0) return SINT_E_STOPPED;
    }
    // Events of no length at the very end.
    return fire_events(std::numeric_limits<std::size_t>::max());
}

int LibraryVoice::silence(int ms) {
    scaled_.assign(static_cast<std::size_t>(std::max(0, ms)) * kLibrarySamplesPerMs, 0);
    return deliver(scaled_.data(), scaled_.size());
}

int LibraryVoice::mark(const std::string& name) {
    if (mark_ && mark_(name.c_str(), delivered_, mark_user_) != 0) return SINT_E_STOPPED;
    return SINT_OK;
}

}  // namespace sint
