#include "engine/tts_engine.h"

#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "core/protocol_client.h"
#include "engine/module_lock.h"
#include "engine/voice_settings.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/fake_speech_api.h"

namespace sint::test {
namespace {

// One engine object with its token, as the speech API holds it.
class Voice {
public:
    Voice() {
        void* object = nullptr;
        EXPECT_EQ(TTSEngine::create(nullptr, IID_ISpTTSEngine, &object), S_OK);
        engine = static_cast<ISpTTSEngine*>(object);
        EXPECT_EQ(engine->QueryInterface(IID_ISpObjectWithToken, &object), S_OK);
        with_token = static_cast<ISpObjectWithToken*>(object);
    }
    ~Voice() {
        with_token->Release();
        engine->Release();
    }
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    HRESULT set_token(int port, DWORD mode = 0) {
        token.strings[u"EnginePath"] = u"/nonexistent/sintsrv";
        token.numbers[u"Port"] = static_cast<DWORD>(port);
        token.numbers[u"Mode"] = mode;
        return with_token->SetObjectToken(&token);
    }
    HRESULT speak(Fragments& fragments, FakeSite& site) {
        return engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), &site);
    }

    FakeToken token;
    ISpTTSEngine* engine = nullptr;
    ISpObjectWithToken* with_token = nullptr;
};

class SpeakTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(voice.set_token(server->port()), S_OK);
        server->clear_requests();
    }
    // The commands of the requests received, in order.
    std::vector<std::string> commands() const {
        std::vector<std::string> found;
        for (const std::string& r : server->requests()) found.push_back(r.substr(0, r.find('\t')));
        return found;
    }
    // Lets the fake server take in requests that need no answer.
    void settle() const { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

    Voice voice;
    FakeSite site;
};

TEST_F(SpeakTest, TwoSentencesInOneFragment) {
    Fragments fragments;
    fragments.speak(u"Ena dvojk. Tri sto?");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    const std::vector<std::string> expected{"GFP", "TEMPO", "PITCH", "NORMAL", "STREAM",
                                            "GFP", "TEMPO", "PITCH", "NORMAL", "STREAM"};
    EXPECT_EQ(commands(), expected);
    const auto streams = server->requests_of("STREAM");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0], "STREAM\t\tEna dvojk. ");
    EXPECT_EQ(streams[1], "STREAM\t\tTri sto? ");

    const auto sentences = site.events_of(SPEI_SENTENCE_BOUNDARY);
    ASSERT_EQ(sentences.size(), 2u);
    EXPECT_EQ(sentences[0].lparam, 0);
    EXPECT_EQ(sentences[0].wparam, 10u);
    EXPECT_EQ(sentences[0].offset, 0u);
    EXPECT_EQ(sentences[1].lparam, 11);
    EXPECT_EQ(sentences[1].wparam, 8u);
    EXPECT_EQ(sentences[1].offset, 220u);  // 11 characters × 10 samples × 2 bytes

    const auto words = site.events_of(SPEI_WORD_BOUNDARY);
    ASSERT_EQ(words.size(), 4u);
    const LPARAM word_offsets[] = {0, 4, 11, 15};
    const WPARAM word_lengths[] = {3, 6, 3, 4};
    const ULONGLONG audio_offsets[] = {0, 80, 220, 220 + 80};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(words[i].lparam, word_offsets[i]);
        EXPECT_EQ(words[i].wparam, word_lengths[i]);
        EXPECT_EQ(words[i].offset, audio_offsets[i]);
    }
    EXPECT_EQ(site.events.front().id, SPEI_SENTENCE_BOUNDARY);
    EXPECT_EQ(site.audio.size(), 220u + 180u);
}

TEST_F(SpeakTest, BookmarkFiresAfterTheAudioOfThePrecedingWord) {
    Fragments fragments;
    fragments.speak(u"Ena").bookmark(u" -42abc").speak(u"dva.");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 1u);
    EXPECT_EQ(server->requests_of("STREAM").back(), "STREAM\t\tEna dva. ");
    const auto marks = site.events_of(SPEI_TTS_BOOKMARK);
    ASSERT_EQ(marks.size(), 1u);
    // "Ena dva. ": T = 9, 180 bytes; the first word takes ⌊4 × 180 / 9⌋ = 80.
    EXPECT_EQ(marks[0].offset, 80u);
    EXPECT_EQ(marks[0].type, SPET_LPARAM_IS_STRING);
    EXPECT_EQ(marks[0].text, u" -42abc");
    EXPECT_EQ(static_cast<long>(marks[0].wparam), -42);
}

TEST_F(SpeakTest, BookmarkNumbersBeyondALongSaturate) {
    const struct {
        std::u16string text;
        long number;
    } cases[] = {
        {u"99999999999999999999", LONG_MAX},  {u"-99999999999999999999", LONG_MIN},
        {u"9223372036854775807", LONG_MAX},   {u"9223372036854775808x", LONG_MAX},
        {u"-9223372036854775808", LONG_MIN},  {u"-9223372036854775807", -LONG_MAX},
        {u"+00000000000000000000000012", 12},
    };
    Fragments fragments;
    for (const auto& c : cases) fragments.bookmark(c.text);
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    const auto marks = site.events_of(SPEI_TTS_BOOKMARK);
    ASSERT_EQ(marks.size(), std::size(cases));
    for (std::size_t i = 0; i < marks.size(); ++i)
        EXPECT_EQ(static_cast<long>(marks[i].wparam), cases[i].number) << i;
}

TEST_F(SpeakTest, SilenceIsWrittenInPiecesAndCounted) {
    Fragments fragments;
    fragments.silence(100).bookmark(u"end");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.writes, (std::vector<ULONG>{1024, 1024, 1024, 128}));
    EXPECT_EQ(site.audio, std::vector<std::uint8_t>(3200, 0));
    const auto marks = site.events_of(SPEI_TTS_BOOKMARK);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].offset, 3200u);
    EXPECT_EQ(marks[0].wparam, 0u);
    // A sentence without words still sends its four requests, with empty text.
    EXPECT_EQ(server->requests_of("STREAM").back(), "STREAM\t\t");
}

TEST(SpreadAudio, WordsShareTheAudioByLength) {
    SPVSTATE speak{};
    speak.eAction = SPVA_Speak;
    SPVSTATE mark{};
    mark.eAction = SPVA_Bookmark;
    std::vector<SpeechItem> items(4);
    const ULONG lengths[] = {3, 5, 0, 2};
    for (std::size_t i = 0; i < 4; ++i) {
        items[i].state = i == 2 ? &mark : &speak;
        items[i].length = lengths[i];
    }
    std::vector<std::uint8_t> audio(10000);
    spread_audio(items, audio.data(), audio.size(), 13);
    EXPECT_EQ(items[0].audio - audio.data(), 0);
    EXPECT_EQ(items[0].audio_length, 3076u);
    EXPECT_EQ(items[1].audio - audio.data(), 3076);
    EXPECT_EQ(items[1].audio_length, 7692u - 3076u);
    EXPECT_EQ(items[2].audio, nullptr);
    EXPECT_EQ(items[3].audio - audio.data(), 7692);
    EXPECT_EQ(items[3].audio_length, 10000u - 7692u);

    // Odd positions are rounded down to whole samples; a total that is too
    // small never reaches past the audio.
    spread_audio(items, audio.data(), 999, 13);
    EXPECT_EQ(items[0].audio_length, 306u);  // ⌊4 × 999 / 13⌋ = 307 → 306
    spread_audio(items, audio.data(), 1000, 4);
    EXPECT_EQ(items[1].audio - audio.data(), 1000);
    EXPECT_EQ(items[3].audio_length, 0u);
    spread_audio(items, audio.data(), 1001, 4);  // an odd length keeps whole samples
    EXPECT_EQ(items[0].audio_length, 1000u);
    EXPECT_EQ(items[1].audio - audio.data(), 1000);
}

TEST_F(SpeakTest, SkipDropsTheRestOfTheSentenceAndTwoMore) {
    Fragments fragments;
    fragments.speak(u"Ena. Dva. Tri. Stiri. Pet.");
    site.skip_count = 3;
    site.decide_actions = [](const FakeSite& s) -> DWORD {
        const bool asked = !s.events_of(SPEI_SENTENCE_BOUNDARY).empty();
        return asked && s.completed_skips.empty() ? SPVES_SKIP : SPVES_CONTINUE;
    };
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.completed_skips, std::vector<LONG>{2});
    const auto sentences = site.events_of(SPEI_SENTENCE_BOUNDARY);
    ASSERT_EQ(sentences.size(), 3u);
    EXPECT_EQ(sentences[1].lparam, 15);  // "Stiri."
    const auto words = site.events_of(SPEI_WORD_BOUNDARY);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].lparam, 15);
    EXPECT_EQ(words[1].lparam, 22);
    EXPECT_EQ(server->requests_of("STREAM").size(), 3u);
}

TEST_F(SpeakTest, SkipOfNothingIsCompletedAtOnce) {
    Fragments fragments;
    fragments.speak(u"Ena. Dva.");
    site.skip_count = 0;
    site.actions = SPVES_SKIP;
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.completed_skips, std::vector<LONG>{0});
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 2u);
}

TEST_F(SpeakTest, AbortStopsOutputAndSendsStop) {
    Fragments fragments;
    fragments.speak(u"ena dva tri stiri pet sest sedem osem.");
    site.decide_actions = [](const FakeSite& s) -> DWORD {
        return s.writes.size() >= 2 ? SPVES_ABORT : SPVES_CONTINUE;
    };
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.writes.size(), 2u);
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 2u);
    settle();
    EXPECT_FALSE(server->requests_of("STOP").empty());
}

TEST_F(SpeakTest, RateVolumeAndPitchReachTheServerAndTheAudio) {
    server->set_sample_value(1000);
    site.rate = 5;
    site.volume = 50;
    site.actions = SPVES_RATE | SPVES_VOLUME;
    Fragments fragments;
    fragments.speak(u"Ena dva", 100, -3, 4).speak(u"tri.");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(server->requests_of("TEMPO").back(), "TEMPO\t\t2");   // 5 − 3
    EXPECT_EQ(server->requests_of("PITCH").back(), "PITCH\t\t12");  // 3 × 4
    EXPECT_TRUE(server->requests_of("SPEED").empty());  // within ±10 the TEMPO step says all
    ASSERT_GE(site.audio.size(), 2u);
    std::int16_t first;
    std::memcpy(&first, site.audio.data(), 2);
    EXPECT_EQ(first, 414);  // 1000 × G(50), truncated

    // Beyond +10 the rate goes on as a boost: 5 + 10 is 3^1.5 times the normal speed.
    Fragments faster;
    faster.speak(u"Ena dva", 100, 10, 0).speak(u"tri.");
    ASSERT_EQ(voice.speak(faster, site), S_OK);
    EXPECT_EQ(server->requests_of("TEMPO").back(), "TEMPO\t\t10");
    EXPECT_EQ(server->requests_of("SPEED").back(), "SPEED\t\t173");
    // And back within the scale, the boost is undone.
    Fragments plain;
    plain.speak(u"Ena.");
    ASSERT_EQ(voice.speak(plain, site), S_OK);
    EXPECT_EQ(server->requests_of("SPEED").back(), "SPEED\t\t100");
}

TEST_F(SpeakTest, ModeOneAsksForTheNationalLetters) {
    Voice yu;
    ASSERT_EQ(yu.set_token(server->port(), 1), S_OK);
    Fragments fragments;
    fragments.speak(u"Ena.");
    ASSERT_EQ(yu.speak(fragments, site), S_OK);
    EXPECT_EQ(server->requests_of("YU").size(), 1u);
    EXPECT_TRUE(server->requests_of("NORMAL").empty());
}

TEST_F(SpeakTest, SentenceQueryNarrowsTheLetters) {
    Fragments fragments;
    fragments.speak(u"\u0107a \u0106a \u0111a \u010D\u0161\u017E.");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(server->requests_of("GFP").front(),
              "GFP\t\t\xE8"
              "a \xC8"
              "a d\x9E"
              "a \xE8\x9A\x9E.");
    // The sentence itself goes out in code page 1250 unchanged.
    EXPECT_EQ(server->requests_of("STREAM").front(),
              "STREAM\t\t\xE6"
              "a \xC6"
              "a \xF0"
              "a \xE8\x9A\x9E. ");
}

TEST_F(SpeakTest, NulAndLongFragments) {
    Fragments with_nul;
    with_nul.speak(std::u16string(u"Ena\0dva.", 8));
    ASSERT_EQ(voice.speak(with_nul, site), S_OK);
    EXPECT_EQ(server->requests_of("STREAM").back(), "STREAM\t\tEna dva. ");
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 2u);

    Fragments long_word;
    long_word.speak(std::u16string(20000, u'a'));
    FakeSite second;
    ASSERT_EQ(voice.speak(long_word, second), S_OK);
    EXPECT_EQ(server->requests_of("STREAM").back().size(), 8u + 20000u + 1u);
    EXPECT_EQ(second.events_of(SPEI_WORD_BOUNDARY).size(), 1u);

    std::u16string words;
    for (int i = 0; i < 10000; ++i) words += u"a ";
    Fragments many_words;
    many_words.speak(words);
    FakeSite third;
    ASSERT_EQ(voice.speak(many_words, third), S_OK);
    // Text without sentence ends goes out in pieces of at most 500 bytes.
    const auto streams = server->requests_of("STREAM");
    EXPECT_EQ(streams.back().size(), 8u + kSentencePieceMax);
    EXPECT_EQ(streams.size(), 2u + 20000u / kSentencePieceMax);
    EXPECT_EQ(third.events_of(SPEI_WORD_BOUNDARY).size(), 10000u);
}

TEST_F(SpeakTest, TwoVoicesSpeakingAtOnceKeepTheirOwnAudio) {
    Voice other;
    ASSERT_EQ(other.set_token(server->port()), S_OK);
    std::u16string short_text, long_text;
    for (int i = 0; i < 20; ++i) {
        short_text += u"Ena dva tri. ";                     // 13 characters a sentence
        long_text += u"Stiri pet sest sedem osem devet. ";  // 33
    }
    Fragments short_fragments, long_fragments;
    short_fragments.speak(short_text);
    long_fragments.speak(long_text);
    FakeSite other_site;
    std::thread first([&] { EXPECT_EQ(voice.speak(short_fragments, site), S_OK); });
    std::thread second([&] { EXPECT_EQ(other.speak(long_fragments, other_site), S_OK); });
    first.join();
    second.join();
    EXPECT_EQ(site.audio.size(), 20u * 13 * 10 * 2);
    EXPECT_EQ(other_site.audio.size(), 20u * 33 * 10 * 2);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 20u);
    EXPECT_EQ(other_site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 20u);
}

TEST_F(SpeakTest, FaultyServerGivesSilenceAndKeepsTheEvents) {
    for (auto mode :
         {FakeServer::Mode::Garbage, FakeServer::Mode::Silent, FakeServer::Mode::CloseMidFrame}) {
        SCOPED_TRACE(static_cast<int>(mode));
        server->set_mode(mode);
        Fragments fragments;
        fragments.speak(u"Ena dva.");
        FakeSite faulty;
        ASSERT_EQ(voice.speak(fragments, faulty), S_OK);
        EXPECT_EQ(faulty.events_of(SPEI_WORD_BOUNDARY).size(), 2u);
        EXPECT_EQ(faulty.audio, std::vector<std::uint8_t>(16000, 0));
    }
}

TEST_F(SpeakTest, ServerGoneDuringSpeakStillFiresEvents) {
    server->stop();
    Fragments fragments;
    fragments.speak(u"Ena. Dva.");
    ASSERT_EQ(voice.speak(fragments, site), S_OK);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 1u);  // the whole text, one sentence
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 2u);
}

TEST_F(SpeakTest, FailedWriteEndsSpeak) {
    site.write_result = E_FAIL;
    Fragments fragments;
    fragments.speak(u"Ena. Dva.");
    EXPECT_EQ(voice.speak(fragments, site), E_FAIL);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 1u);
}

// Null pointers are refused; other pointers are the caller's contract.
TEST_F(SpeakTest, NullArgumentsAreRefusedBeforeAnythingIsSent) {
    Fragments fragments;
    fragments.speak(u"Ena.");
    Fragments no_text;
    no_text.speak(u"x");
    no_text.at(0).pTextStart = nullptr;

    ISpTTSEngine* e = voice.engine;
    EXPECT_EQ(e->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), nullptr), E_INVALIDARG);
    EXPECT_EQ(e->Speak(0, SPDFID_WaveFormatEx, nullptr, nullptr, &site), E_INVALIDARG);
    EXPECT_EQ(e->Speak(0, SPDFID_WaveFormatEx, nullptr, no_text.list(), &site), E_INVALIDARG);
    EXPECT_TRUE(site.events.empty());
    settle();
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(SpeakTest, TokenIsSetOnce) {
    ISpObjectToken* got = nullptr;
    EXPECT_EQ(voice.with_token->GetObjectToken(&got), S_OK);
    EXPECT_EQ(got, &voice.token);
    got->Release();
    EXPECT_EQ(voice.set_token(server->port()), SPERR_ALREADY_INITIALIZED);
    EXPECT_EQ(voice.with_token->SetObjectToken(nullptr), E_INVALIDARG);
    EXPECT_EQ(voice.with_token->GetObjectToken(nullptr), E_POINTER);

    Voice fresh;
    EXPECT_EQ(fresh.with_token->GetObjectToken(&got), S_FALSE);
    EXPECT_EQ(got, nullptr);
}

TEST_F(SpeakTest, TokenKeepsItsReferenceUntilTheObjectGoes) {
    const ULONG before = voice.token.references;
    {
        Voice other;
        ASSERT_EQ(other.with_token->SetObjectToken(&voice.token), S_OK);
        EXPECT_EQ(voice.token.references, before + 1);
    }
    EXPECT_EQ(voice.token.references, before);
}

TEST_F(SpeakTest, OutputFormatIsAlways16kHzMono) {
    WAVEFORMATEX wanted{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    GUID format_id{};
    WAVEFORMATEX* format = nullptr;
    ASSERT_EQ(voice.engine->GetOutputFormat(&SPDFID_WaveFormatEx, &wanted, &format_id, &format),
              S_OK);
    EXPECT_EQ(format_id, SPDFID_WaveFormatEx);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format->nChannels, 1);
    EXPECT_EQ(format->nSamplesPerSec, 16000u);
    EXPECT_EQ(format->nAvgBytesPerSec, 32000u);
    EXPECT_EQ(format->nBlockAlign, 2);
    EXPECT_EQ(format->wBitsPerSample, 16);
    EXPECT_EQ(format->cbSize, 0);
    CoTaskMemFree(format);
    EXPECT_EQ(voice.engine->GetOutputFormat(nullptr, nullptr, nullptr, &format), E_POINTER);
}

// Each way of not reaching the server has its own result; the token is kept
// all the same.
TEST_F(EngineTest, TokenWithoutServerFailsWithTheReason) {
    enum class Server { None, Mute, NotReady, Answering };
    const struct {
        const char* name;
        const char16_t* path;  // nullptr: the token has no EnginePath
        Server server;
        HRESULT expected;
    } cases[] = {
        {"program missing", u"/nonexistent/sintsrv", Server::None,
         static_cast<HRESULT>(0x80070002)},
        {"no EnginePath", nullptr, Server::None, kServerPathMissing},
        {"no EnginePath, server running", nullptr, Server::Answering, S_OK},
        {"server never answers", u"/nonexistent/sintsrv", Server::Mute, kServerSilent},
        {"server never ready", u"/nonexistent/sintsrv", Server::NotReady, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_server_connection();
        server = std::make_unique<FakeServer>();
        const int port = server->port();
        if (c.server == Server::None) server->stop();
        if (c.server == Server::Mute) server->set_mode(FakeServer::Mode::Mute);
        if (c.server == Server::NotReady) server->set_not_ready_answers(1000);
        Voice voice;
        voice.token.numbers[u"Port"] = static_cast<DWORD>(port);
        if (c.path) voice.token.strings[u"EnginePath"] = c.path;
        EXPECT_EQ(voice.with_token->SetObjectToken(&voice.token), c.expected);
        ISpObjectToken* got = nullptr;
        EXPECT_EQ(voice.with_token->GetObjectToken(&got), S_OK);
        got->Release();
    }
}

// A controlling object that aggregates the engine.
class Outer final : public IUnknown {
public:
    IUnknown* inner = nullptr;
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(EngineObject, AggregationAndModuleLock) {
    const long locks = module_lock_count();
    Outer outer;
    void* object = nullptr;
    EXPECT_EQ(TTSEngine::create(&outer, IID_ISpTTSEngine, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(TTSEngine::create(&outer, IID_IUnknown, &object), S_OK);
    outer.inner = static_cast<IUnknown*>(object);
    EXPECT_EQ(module_lock_count(), locks + 1);

    void* engine = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_ISpTTSEngine, &engine), S_OK);
    EXPECT_EQ(outer.references, 2u);  // the engine's interfaces count on the outer object
    void* back = nullptr;
    ASSERT_EQ(static_cast<ISpTTSEngine*>(engine)->QueryInterface(IID_IUnknown, &back), S_OK);
    EXPECT_EQ(back, &outer);
    static_cast<ISpTTSEngine*>(engine)->Release();
    outer.Release();
    EXPECT_EQ(outer.inner->QueryInterface(IID_IClassFactory, &back), E_NOINTERFACE);
    outer.inner->Release();
    EXPECT_EQ(module_lock_count(), locks);
}

}  // namespace
}  // namespace sint::test
