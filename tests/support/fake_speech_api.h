// Stand-ins for the speech API's side of the engine: a voice token with values,
// an output site that records audio and events and lets a test set the action
// flags, and a builder for fragment lists.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/speech_api.h"
#include "engine/value_token.h"

namespace sint::test {

// The token with values of the engine's own host side.
using FakeToken = ValueToken;

struct RecordedEvent {
    SPEVENTENUM id;
    SPEVENTLPARAMTYPE type;
    ULONGLONG offset;
    WPARAM wparam;
    LPARAM lparam;
    std::u16string text;  // the bookmark's name
};

class FakeSite final : public ISpTTSEngineSite {
public:
    // Action flags, asked before every use; by default those in `actions`.
    std::function<DWORD(const FakeSite&)> decide_actions;
    DWORD actions = SPVES_CONTINUE;
    LONG rate = 0;
    USHORT volume = 100;
    LONG skip_count = 0;
    std::vector<LONG> completed_skips;
    HRESULT write_result = S_OK;

    std::vector<std::uint8_t> audio;
    std::vector<ULONG> writes;
    std::vector<RecordedEvent> events;
    int action_calls = 0;

    std::vector<RecordedEvent> events_of(SPEVENTENUM id) const {
        std::vector<RecordedEvent> found;
        for (const RecordedEvent& e : events)
            if (e.id == id) found.push_back(e);
        return found;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE AddEvents(const SPEVENT* list, ULONG count) override {
        for (ULONG i = 0; i < count; ++i) {
            RecordedEvent e{static_cast<SPEVENTENUM>(list[i].eEventId),
                            static_cast<SPEVENTLPARAMTYPE>(list[i].elParamType),
                            list[i].ullAudioStreamOffset,
                            list[i].wParam,
                            list[i].lParam,
                            {}};
            if (e.type == SPET_LPARAM_IS_STRING)
                e.text = reinterpret_cast<const WCHAR*>(list[i].lParam);
            events.push_back(e);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEventInterest(ULONGLONG* interest) override {
        *interest = ~0ull;
        return S_OK;
    }
    DWORD STDMETHODCALLTYPE GetActions() override {
        ++action_calls;
        return decide_actions ? decide_actions(*this) : actions;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG*) override {
        if (FAILED(write_result)) return write_result;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        audio.insert(audio.end(), bytes, bytes + size);
        writes.push_back(size);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRate(LONG* value) override {
        *value = rate;
        actions &= ~static_cast<DWORD>(SPVES_RATE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT* value) override {
        *value = volume;
        actions &= ~static_cast<DWORD>(SPVES_VOLUME);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSkipInfo(SPVSKIPTYPE* type, LONG* count) override {
        *type = SPVST_SENTENCE;
        *count = skip_count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CompleteSkip(LONG skipped) override {
        completed_skips.push_back(skipped);
        actions &= ~static_cast<DWORD>(SPVES_SKIP);
        return S_OK;
    }
};

// A fragment list whose texts and records stay in place while it lives.
class Fragments {
public:
    Fragments& speak(const std::u16string& text, ULONG volume = 100, LONG rate = 0,
                     LONG pitch = 0) {
        SPVTEXTFRAG& f = add(SPVA_Speak, text);
        f.State.Volume = volume;
        f.State.RateAdj = rate;
        f.State.PitchAdj.MiddleAdj = pitch;
        return *this;
    }
    Fragments& bookmark(const std::u16string& name) {
        add(SPVA_Bookmark, name);
        return *this;
    }
    Fragments& silence(ULONG milliseconds) {
        add(SPVA_Silence, u"").State.SilenceMSecs = milliseconds;
        return *this;
    }
    const SPVTEXTFRAG* list() {
        for (std::size_t i = 0; i < records_.size(); ++i)
            records_[i].pNext = i + 1 < records_.size() ? &records_[i + 1] : nullptr;
        return records_.empty() ? nullptr : &records_.front();
    }
    SPVTEXTFRAG& at(std::size_t i) { return records_[i]; }

private:
    SPVTEXTFRAG& add(SPVACTIONS action, const std::u16string& text) {
        texts_.push_back(text);
        SPVTEXTFRAG f{};
        f.State.eAction = action;
        f.State.Volume = 100;
        f.pTextStart = texts_.back().data();
        f.ulTextLen = static_cast<ULONG>(text.size());
        f.ulTextSrcOffset = offset_;
        offset_ += f.ulTextLen + 1;
        records_.push_back(f);
        return records_.back();
    }

    std::deque<std::u16string> texts_;
    std::deque<SPVTEXTFRAG> records_;
    ULONG offset_ = 0;
};

}  // namespace sint::test
