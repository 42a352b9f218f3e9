#include "engine/tts_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/engine_platform.h"
#include "engine/module_lock.h"
#include "engine/server_connection.h"
#include "engine/trace.h"
#include "engine/voice_settings.h"
#include "engine/word_walk.h"

namespace sint {
namespace {

// The one mode that asks for the 7-bit national letters.
constexpr std::int32_t kModeYu = 1;

// A fragment list is usable when it exists and every fragment with text has a
// text pointer. The callers' pointers are otherwise trusted, as the interface
// contract says: no probe of memory could tell a dangling pointer from a live one.
bool valid_fragments(const SPVTEXTFRAG* fragments) {
    if (fragments == nullptr) return false;
    for (const SPVTEXTFRAG* f = fragments; f; f = f->pNext)
        if (f->ulTextLen > 0 && f->pTextStart == nullptr) return false;
    return true;
}

bool aborted(ISpTTSEngineSite* site) {
    return (site->GetActions() & SPVES_ABORT) != 0;
}

// The text read as a signed decimal number: leading blanks and a sign allowed,
// 0 when no number starts it; a number beyond the range of a long saturates at
// LONG_MAX or LONG_MIN. The magnitude is gathered unsigned and checked before
// each step, so no digit count can overflow it.
long read_number(const WCHAR* text, std::size_t length) {
    std::size_t i = 0;
    while (i < length && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' ||
                          text[i] == u'\r' || text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    const unsigned long limit =
        negative ? static_cast<unsigned long>(LONG_MAX) + 1 : static_cast<unsigned long>(LONG_MAX);
    unsigned long magnitude = 0;
    for (; i < length && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const unsigned long digit = static_cast<unsigned long>(text[i] - u'0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<long>(magnitude);
    // -(LONG_MAX + 1) is LONG_MIN, which has no positive counterpart.
    return magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude);
}

std::size_t even_floor(double position) {
    const auto whole = static_cast<std::size_t>(position);
    return whole & ~static_cast<std::size_t>(1);
}

}  // namespace

void spread_audio(std::vector<SpeechItem>& items, const std::uint8_t* audio,
                  std::size_t audio_length, std::size_t total) {
    if (total == 0) return;
    const double length = static_cast<double>(audio_length);
    // Clamped to the last whole sample, so that a count cut short by an abort
    // never reaches past the audio.
    const std::size_t limit = audio_length & ~static_cast<std::size_t>(1);
    std::size_t position = 0;
    for (SpeechItem& item : items) {
        if (item.state->eAction != SPVA_Speak) continue;
        const std::size_t start = std::min(
            even_floor(static_cast<double>(position) * length / static_cast<double>(total)), limit);
        position += item.length + 1;
        const std::size_t end = std::min(
            even_floor(static_cast<double>(position) * length / static_cast<double>(total)), limit);
        item.audio = audio + start;
        item.audio_length = end > start ? end - start : 0;
    }
}

HRESULT TTSEngine::create(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && !IsEqualGUID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    auto* engine = new (std::nothrow) TTSEngine(outer);
    if (engine == nullptr) return E_OUTOFMEMORY;
    if (!engine->sockets_started_) {
        delete engine;
        return E_FAIL;
    }
    const HRESULT hr = engine->inner_.QueryInterface(riid, object);
    engine->inner_.Release();
    return hr;
}

TTSEngine::TTSEngine(IUnknown* outer) : inner_(this), controlling_(outer ? outer : &inner_) {
    module_lock();
    sockets_started_ = platform::sockets_start();
}

TTSEngine::~TTSEngine() {
    if (token_) token_->Release();
    if (sockets_started_) platform::sockets_stop();
    module_unlock();
}

HRESULT TTSEngine::Inner::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown)) {
        *object = static_cast<IUnknown*>(this);
    } else if (IsEqualGUID(riid, IID_ISpTTSEngine)) {
        *object = static_cast<ISpTTSEngine*>(owner_);
    } else if (IsEqualGUID(riid, IID_ISpObjectWithToken)) {
        *object = static_cast<ISpObjectWithToken*>(owner_);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

ULONG TTSEngine::Inner::AddRef() {
    return ++owner_->references_;
}

ULONG TTSEngine::Inner::Release() {
    const ULONG left = --owner_->references_;
    if (left == 0) delete owner_;
    return left;
}

HRESULT TTSEngine::QueryInterface(REFIID riid, void** object) {
    return controlling_->QueryInterface(riid, object);
}

ULONG TTSEngine::AddRef() {
    return controlling_->AddRef();
}

ULONG TTSEngine::Release() {
    return controlling_->Release();
}

HRESULT TTSEngine::SetObjectToken(ISpObjectToken* token) {
    if (token == nullptr) return E_INVALIDARG;
    {
        const std::lock_guard<std::mutex> lock(lock_);
        if (token_) return SPERR_ALREADY_INITIALIZED;
        token->AddRef();
        token_ = token;
    }
    mode_ = 0;
    server_path_.clear();
    LPWSTR path = nullptr;
    if (SUCCEEDED(token->GetStringValue(SINT_WIDE("EnginePath"), &path)) && path) {
        server_path_ = path;
        CoTaskMemFree(path);
    }
    DWORD value = 0;
    const int lifespan = SUCCEEDED(token->GetDWORD(SINT_WIDE("Lifespan"), &value))
                             ? static_cast<int>(std::min<DWORD>(value, INT_MAX / 10))
                             : kTokenDefaultLifespan;
    const int port = SUCCEEDED(token->GetDWORD(SINT_WIDE("Port"), &value))
                         ? static_cast<int>(std::min<DWORD>(value, INT_MAX))
                         : kTokenDefaultPort;
    if (SUCCEEDED(token->GetDWORD(SINT_WIDE("Mode"), &value)))
        mode_ = static_cast<std::int32_t>(value);
    const std::string narrow_path =
        platform::wide_to_path(server_path_.data(), server_path_.size());
    if (CHECK_TTS_engine(narrow_path, lifespan, port)) return S_OK;
    const HRESULT failure = FAILED(check_failure()) ? check_failure() : E_FAIL;
    trace("SetObjectToken: streznik ni dosegljiv, 0x%08lX", static_cast<unsigned long>(failure));
    return failure;
}

HRESULT TTSEngine::GetObjectToken(ISpObjectToken** token) {
    if (token == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(lock_);
    *token = token_;
    if (token_ == nullptr) return S_FALSE;
    token_->AddRef();
    return S_OK;
}

HRESULT TTSEngine::GetOutputFormat(const GUID* /*target_format_id*/,
                                   const WAVEFORMATEX* /*target_wave_format*/, GUID* format_id,
                                   WAVEFORMATEX** wave_format) {
    if (format_id == nullptr || wave_format == nullptr) return E_POINTER;
    auto* format = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (format == nullptr) return E_OUTOFMEMORY;
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = 1;
    format->nSamplesPerSec = 16000;
    format->nAvgBytesPerSec = 32000;
    format->nBlockAlign = 2;
    format->wBitsPerSample = 16;
    format->cbSize = 0;
    *format_id = SPDFID_WaveFormatEx;
    *wave_format = format;
    return S_OK;
}

void TTSEngine::move_to(const SPVTEXTFRAG* fragment) {
    fragment_ = fragment;
    next_ = fragment ? fragment->pTextStart : nullptr;
    end_ = fragment ? fragment->pTextStart + fragment->ulTextLen : nullptr;
}

bool TTSEngine::next_sentence(std::vector<SpeechItem>& items) {
    items.clear();
    bool complete = false;
    while (fragment_ && !complete) {
        if (fragment_->State.eAction == SPVA_Speak) {
            WordSpan word;
            if (take_word(next_, end_, word)) {
                SpeechItem item;
                item.state = &fragment_->State;
                item.text = word.start;
                item.length = static_cast<ULONG>(word.end - word.start);
                item.source_offset = fragment_->ulTextSrcOffset +
                                     static_cast<ULONG>(word.start - fragment_->pTextStart);
                item.source_length = item.length;
                items.push_back(item);
                complete = finder_.ends_sentence(fragment_, word.start, word.end);
            }
            if (next_ >= end_) move_to(fragment_->pNext);
        } else {
            SpeechItem item;
            item.state = &fragment_->State;
            item.text = fragment_->pTextStart;
            item.length = fragment_->ulTextLen;
            item.source_offset = fragment_->ulTextSrcOffset;
            item.source_length = fragment_->ulTextLen;
            items.push_back(item);
            move_to(fragment_->pNext);
        }
    }
    return !items.empty();
}

HRESULT TTSEngine::Speak(DWORD /*speak_flags*/, REFGUID /*format_id*/,
                         const WAVEFORMATEX* /*wave_format*/, const SPVTEXTFRAG* fragments,
                         ISpTTSEngineSite* site) {
    if (site == nullptr || !valid_fragments(fragments)) return E_INVALIDARG;
    finder_.build(fragments);
    move_to(fragments);
    audio_offset_ = 0;
    pending_skip_ = 0;
    std::vector<SpeechItem> items;
    HRESULT hr = S_OK;
    while (true) {
        if (aborted(site)) break;
        if ((site->GetActions() & SPVES_SKIP) || pending_skip_ != 0) {
            LONG count = pending_skip_;
            if (count == 0) {
                SPVSKIPTYPE type = SPVST_SENTENCE;
                hr = site->GetSkipInfo(&type, &count);
                if (FAILED(hr)) break;
            }
            if (count <= 0) {
                hr = site->CompleteSkip(0);
            } else {
                LONG passed = 0;
                while (passed < count - 1 && next_sentence(items)) ++passed;
                hr = site->CompleteSkip(passed);
            }
            pending_skip_ = 0;
            if (FAILED(hr)) break;
        }
        if (!next_sentence(items)) break;
        if (!aborted(site)) {
            const SpeechItem& first = items.front();
            const SpeechItem& last = items.back();
            const auto span =
                static_cast<WPARAM>(last.source_offset) + last.source_length - first.source_offset;
            hr = fire_event(site, SPEI_SENTENCE_BOUNDARY, SPET_LPARAM_IS_UNDEFINED, span,
                            static_cast<LPARAM>(first.source_offset));
            pending_skip_ = 0;
            if (SUCCEEDED(hr)) hr = output_sentence(site, items);
        }
        if (FAILED(hr)) break;
    }
    if (aborted(site)) STOP_synthesis();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT TTSEngine::output_sentence(ISpTTSEngineSite* site, std::vector<SpeechItem>& items) {
    HRESULT hr = synthesise(site, items);
    if (FAILED(hr)) return hr;
    VoiceSettings& settings = settings_;
    for (SpeechItem& item : items) {
        const DWORD actions = site->GetActions();
        if (actions & SPVES_ABORT) break;
        if (actions & SPVES_RATE) {
            LONG rate = 0;
            hr = site->GetRate(&rate);
            if (SUCCEEDED(hr)) settings.set_rate(rate);
        }
        if (SUCCEEDED(hr) && (actions & SPVES_VOLUME)) {
            USHORT volume = 0;
            hr = site->GetVolume(&volume);
            if (SUCCEEDED(hr)) settings.set_volume(volume);
        }
        if (SUCCEEDED(hr) && (actions & SPVES_SKIP)) {
            SPVSKIPTYPE type = SPVST_SENTENCE;
            LONG count = 0;
            hr = site->GetSkipInfo(&type, &count);
            if (SUCCEEDED(hr)) {
                if (count > 0) {
                    pending_skip_ = count;
                    break;
                }
                hr = site->CompleteSkip(0);
            }
        }
        if (FAILED(hr)) break;
        switch (item.state->eAction) {
            case SPVA_Speak:
                hr = write_word(site, item);
                break;
            case SPVA_Silence:
                hr = write_silence(site, item);
                break;
            case SPVA_Bookmark:
                hr = fire_bookmark(site, item);
                break;
            default:
                break;  // pronunciations, spelling, sections and unknown tags are not spoken
        }
        if (FAILED(hr)) break;
    }
    if (aborted(site)) STOP_synthesis();
    return hr;
}

HRESULT TTSEngine::synthesise(ISpTTSEngineSite* site, std::vector<SpeechItem>& items) {
    std::size_t total = 0;
    for (const SpeechItem& item : items) {
        if (aborted(site)) break;
        if (item.state->eAction == SPVA_Speak) total += item.length + 1;
    }
    if (aborted(site)) STOP_synthesis();

    VoiceSettings& settings = settings_;
    settings.reset_statistics();
    HRESULT hr = S_OK;
    WideString text;
    text.reserve(total + 1);
    for (const SpeechItem& item : items) {
        const DWORD actions = site->GetActions();
        if (actions & SPVES_ABORT) break;
        if (actions & SPVES_RATE) {
            LONG rate = 0;
            hr = site->GetRate(&rate);
            if (FAILED(hr)) break;
            settings.set_rate(rate);
        }
        if (actions & SPVES_VOLUME) {
            USHORT volume = 0;
            hr = site->GetVolume(&volume);
            if (FAILED(hr)) break;
            settings.set_volume(volume);
        }
        if (item.state->eAction == SPVA_Speak) {
            settings.record(*item.state);
            text.append(item.text, item.length);
            text += static_cast<WCHAR>(' ');
        }
    }
    if (aborted(site)) STOP_synthesis();
    settings.choose();

    const std::string ansi = platform::wide_to_ansi(text.data(), text.size());
    auto exchange = exchange_lock();
    SET_rate(static_cast<long>(settings.rate_value()));
    SET_pitch(static_cast<long>(3 * settings.pitch_value()));
    if (mode_ == kModeYu)
        SET_yu();
    else
        SET_normal();
    sentence_audio_.clear();
    SYNTHESIZE_text(ansi, sentence_audio_);
    exchange.unlock();

    if (SUCCEEDED(hr) && !aborted(site))
        spread_audio(items, sentence_audio_.data(), sentence_audio_.size(), total);
    if (aborted(site)) STOP_synthesis();
    return hr;
}

HRESULT TTSEngine::fire_event(ISpTTSEngineSite* site, SPEVENTENUM id, SPEVENTLPARAMTYPE type,
                              WPARAM wparam, LPARAM lparam) {
    SPEVENT event{};
    event.eEventId = static_cast<WORD>(id);
    event.elParamType = static_cast<WORD>(type);
    event.ulStreamNum = 0;
    event.ullAudioStreamOffset = audio_offset_;
    event.wParam = wparam;
    event.lParam = lparam;
    return site->AddEvents(&event, 1);
}

HRESULT TTSEngine::write_word(ISpTTSEngineSite* site, SpeechItem& item) {
    HRESULT hr = fire_event(site, SPEI_WORD_BOUNDARY, SPET_LPARAM_IS_UNDEFINED, item.source_length,
                            static_cast<LPARAM>(item.source_offset));
    if (FAILED(hr)) return hr;
    const double gain = settings_.gain();
    // The item's audio lies in the object's own sentence buffer, so it is scaled in place.
    auto* audio = const_cast<std::uint8_t*>(item.audio);
    if (gain < 1.0 && audio != nullptr) {
        for (std::size_t i = 0; i + 1 < item.audio_length; i += 2) {
            std::int16_t sample;
            std::memcpy(&sample, audio + i, 2);
            sample = static_cast<std::int16_t>(static_cast<double>(sample) * gain);
            std::memcpy(audio + i, &sample, 2);
        }
    }
    static const std::uint8_t kNothing = 0;
    hr = site->Write(audio ? audio : &kNothing, static_cast<ULONG>(item.audio_length), nullptr);
    if (SUCCEEDED(hr)) audio_offset_ += item.audio_length;
    return hr;
}

HRESULT TTSEngine::write_silence(ISpTTSEngineSite* site, const SpeechItem& item) {
    static const std::uint8_t kZeros[kSilencePiece] = {};
    std::uint64_t left =
        static_cast<std::uint64_t>(item.state->SilenceMSecs) * kBytesPerMillisecond;
    HRESULT hr = S_OK;
    while (left > 0) {
        if (aborted(site)) break;
        const auto piece = static_cast<ULONG>(std::min<std::uint64_t>(left, kSilencePiece));
        hr = site->Write(kZeros, piece, nullptr);
        if (FAILED(hr)) break;
        audio_offset_ += piece;
        left -= piece;
    }
    return hr;
}

HRESULT TTSEngine::fire_bookmark(ISpTTSEngineSite* site, const SpeechItem& item) {
    WideString name(item.text ? item.text : SINT_WIDE(""), item.text ? item.length : 0);
    const long number = read_number(name.data(), name.size());
    return fire_event(site, SPEI_TTS_BOOKMARK, SPET_LPARAM_IS_STRING, static_cast<WPARAM>(number),
                      reinterpret_cast<LPARAM>(name.c_str()));
}

}  // namespace sint
