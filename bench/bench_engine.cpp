// The engine library's own cost per sentence: Speak through the server's TCP
// server and protocol with a stand-in synthesiser that answers at once, so the
// time is the engine's (fragment walk, sentence query, settings requests,
// audio reply, spreading, events) plus the loopback round trips.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "engine/engine_platform.h"
#include "engine/server_connection.h"
#include "engine/speech_api.h"
#include "engine/tts_engine.h"
#include "engine/value_token.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "synth/synthesis_service.h"

namespace {

using Clock = std::chrono::steady_clock;

double since_ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 100 samples per character; sentences end after ".", "!" or "?".
class InstantSynthesis : public sint::SynthesisService {
public:
    bool ready() const override { return true; }
    int convert(std::string_view text) override {
        length_ = text.size();
        return 0;
    }
    long convert_first_sentence(std::string_view text) override {
        const auto end = text.find_first_of(".!?");
        return end == std::string_view::npos ? static_cast<long>(text.size())
                                             : static_cast<long>(end + 1);
    }
    int prosody(std::optional<std::string_view>) override { return 0; }
    void synthesise_to_file(int, int, int, int, const std::string&, int) override {}
    std::span<const std::int16_t> synthesise_to_memory(int) override {
        samples_.assign(length_ * 100, 1234);
        return samples_;
    }
    void set_pitch_offset(std::int32_t) override {}
    void set_articulation(std::int32_t) override {}
    void set_tempo(std::int32_t) override {}
    void set_speed(std::int32_t) override {}
    void set_window_width(std::int32_t) override {}

private:
    std::size_t length_ = 0;
    std::vector<std::int16_t> samples_;
};

class CountingSite final : public ISpTTSEngineSite {
public:
    std::size_t bytes = 0, events = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE AddEvents(const SPEVENT*, ULONG count) override {
        events += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEventInterest(ULONGLONG* interest) override {
        *interest = ~0ull;
        return S_OK;
    }
    DWORD STDMETHODCALLTYPE GetActions() override { return SPVES_CONTINUE; }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG size, ULONG*) override {
        bytes += size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRate(LONG* rate) override {
        *rate = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolume(USHORT* volume) override {
        *volume = 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSkipInfo(SPVSKIPTYPE*, LONG* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CompleteSkip(LONG) override { return S_OK; }
};

// Speaks one fragment; returns the milliseconds taken.
double speak(ISpTTSEngine* engine, const std::u16string& text, CountingSite& site) {
    SPVTEXTFRAG fragment{};
    fragment.State.eAction = SPVA_Speak;
    fragment.State.Volume = 100;
    fragment.pTextStart = text.c_str();
    fragment.ulTextLen = static_cast<ULONG>(text.size());
    const auto start = Clock::now();
    engine->Speak(0, SPDFID_WaveFormatEx, nullptr, &fragment, &site);
    return since_ms(start);
}

}  // namespace

int main() {
    InstantSynthesis synthesis;
    sint::ShellState shell;
    sint::ServerSettings settings;
    sint::TcpServerOptions options;
    options.program_folder = "/tmp/";
    sint::TcpServer server(synthesis, shell, settings, options);
    if (server.server_start(0) != 0 || !server.listening()) {
        std::fprintf(stderr, "bench_engine: the server did not start\n");
        return 1;
    }

    void* object = nullptr;
    sint::TTSEngine::create(nullptr, IID_ISpTTSEngine, &object);
    auto* engine = static_cast<ISpTTSEngine*>(object);
    engine->QueryInterface(IID_ISpObjectWithToken, &object);
    auto* with_token = static_cast<ISpObjectWithToken*>(object);
    sint::ValueToken token;
    token.numbers[u"Port"] = static_cast<DWORD>(server.port());
    auto start = Clock::now();
    const HRESULT set = with_token->SetObjectToken(&token);
    std::printf("SetObjectToken with the server running (connect and test): %.3f ms (%s)\n",
                since_ms(start), set == S_OK ? "ready" : "failed");

    std::u16string text;
    for (int i = 0; i < 100; ++i) text += u"Danes je lep dan in sonce sije nad mestom. ";
    CountingSite site;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) best = std::min(best, speak(engine, text, site));
    std::printf("Speak of 100 sentences of 9 words: %.2f ms, %.3f ms per sentence\n", best,
                best / 100);

    std::u16string long_text;
    for (int i = 0; i < 10000; ++i) long_text += u"a ";
    best = 1e9;
    for (int round = 0; round < 5; ++round) best = std::min(best, speak(engine, long_text, site));
    std::printf("Speak of one 20000-character fragment (10000 words, one sentence): %.2f ms\n",
                best);

    // The exchanges of one sentence, apart.
    const std::string sentence = "Danes je lep dan in sonce sije nad mestom. ";
    std::vector<std::uint8_t> audio;
    double query = 1e9, alone = 1e9, with_settings = 1e9;
    for (int round = 0; round < 20; ++round) {
        start = Clock::now();
        sint::GET_sentence_end(sentence);
        query = std::min(query, since_ms(start));
        start = Clock::now();
        sint::SYNTHESIZE_text(sentence, audio);
        alone = std::min(alone, since_ms(start));
        start = Clock::now();
        sint::SET_rate(0);
        sint::SET_pitch(0);
        sint::SET_normal();
        sint::SYNTHESIZE_text(sentence, audio);
        with_settings = std::min(with_settings, since_ms(start));
    }
    std::printf(
        "sentence query: %.3f ms; synthesis request alone: %.3f ms; "
        "after the three settings requests: %.3f ms\n",
        query, alone, with_settings);

    with_token->Release();
    engine->Release();
    server.server_stop();
    return 0;
}
