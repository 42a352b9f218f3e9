// The speech-API engine object: receives the voice token, walks the text
// fragments of a Speak call sentence by sentence, has each sentence synthesised
// by the server, and writes its audio with sentence, word and bookmark events to
// the output site. Aggregatable; every live object holds a module lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/sentence_finder.h"
#include "engine/speech_api.h"
#include "engine/voice_settings.h"

namespace sint {

// One entry of a sentence: a spoken word, or a whole fragment of another action.
struct SpeechItem {
    const SPVSTATE* state = nullptr;
    const WCHAR* text = nullptr;
    ULONG length = 0;  // wide characters
    ULONG source_offset = 0;
    ULONG source_length = 0;
    const std::uint8_t* audio = nullptr;  // into the sentence audio; spoken words only
    std::size_t audio_length = 0;
};

// Bytes of 16 kHz 16-bit mono audio per millisecond.
inline constexpr std::uint64_t kBytesPerMillisecond = 32;
// Silence is written in pieces of this size, checking for an abort before each.
inline constexpr std::size_t kSilencePiece = 1024;

// Splits `audio_length` bytes over the spoken items in proportion to their
// length plus one; pieces start and end on whole samples.
void spread_audio(std::vector<SpeechItem>& items, const std::uint8_t* audio,
                  std::size_t audio_length, std::size_t total);

class TTSEngine final : public ISpTTSEngine, public ISpObjectWithToken {
public:
    // Creates an object (aggregated when `outer` is given, which then must ask
    // for IUnknown) and returns the requested interface.
    static HRESULT create(IUnknown* outer, REFIID riid, void** object);

    // IUnknown, delegating to the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISpTTSEngine
    HRESULT STDMETHODCALLTYPE Speak(DWORD speak_flags, REFGUID format_id,
                                    const WAVEFORMATEX* wave_format, const SPVTEXTFRAG* fragments,
                                    ISpTTSEngineSite* site) override;
    HRESULT STDMETHODCALLTYPE GetOutputFormat(const GUID* target_format_id,
                                              const WAVEFORMATEX* target_wave_format,
                                              GUID* format_id, WAVEFORMATEX** wave_format) override;

    // ISpObjectWithToken
    HRESULT STDMETHODCALLTYPE SetObjectToken(ISpObjectToken* token) override;
    HRESULT STDMETHODCALLTYPE GetObjectToken(ISpObjectToken** token) override;

private:
    // The object's own, non-delegating IUnknown.
    class Inner : public IUnknown {
    public:
        explicit Inner(TTSEngine* owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        TTSEngine* owner_;
    };

    explicit TTSEngine(IUnknown* outer);
    ~TTSEngine();
    TTSEngine(const TTSEngine&) = delete;
    TTSEngine& operator=(const TTSEngine&) = delete;

    void move_to(const SPVTEXTFRAG* fragment);
    bool next_sentence(std::vector<SpeechItem>& items);
    HRESULT output_sentence(ISpTTSEngineSite* site, std::vector<SpeechItem>& items);
    HRESULT synthesise(ISpTTSEngineSite* site, std::vector<SpeechItem>& items);
    HRESULT write_word(ISpTTSEngineSite* site, SpeechItem& item);
    HRESULT write_silence(ISpTTSEngineSite* site, const SpeechItem& item);
    HRESULT fire_bookmark(ISpTTSEngineSite* site, const SpeechItem& item);
    HRESULT fire_event(ISpTTSEngineSite* site, SPEVENTENUM id, SPEVENTLPARAMTYPE type,
                       WPARAM wparam, LPARAM lparam);

    Inner inner_;
    IUnknown* controlling_;
    std::atomic<ULONG> references_{1};
    std::mutex lock_;
    bool sockets_started_ = false;

    std::int32_t mode_ = 0;
    ISpObjectToken* token_ = nullptr;
    WideString server_path_;

    SentenceFinder finder_;
    LONG pending_skip_ = 0;
    const SPVTEXTFRAG* fragment_ = nullptr;
    const WCHAR* next_ = nullptr;
    const WCHAR* end_ = nullptr;
    std::uint64_t audio_offset_ = 0;
    std::vector<std::uint8_t> sentence_audio_;
    // The speech API's volume and rate for this voice and the markup statistics
    // of its sentence; each voice has its own, so that two voices speaking at
    // once neither mix their statistics nor take each other's rate.
    VoiceSettings settings_;
};

}  // namespace sint
