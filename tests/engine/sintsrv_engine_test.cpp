// The engine with a real sintsrv: a program folder with a small synthetic voice
// (packed in advance, since the engine starts the server for a fast start), the
// server started by the engine from the token's EnginePath, and two sentences
// spoken through it.
#include <gtest/gtest.h>

#include <cstring>

#include "core/protocol_client.h"
#include "engine/server_connection.h"
#include "engine/tts_engine.h"
#include "engine/voice_settings.h"
#include "tests/support/fake_speech_api.h"
#include "tests/support/sintsrv_process.h"

namespace sint::test {
namespace {

class SintsrvEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_server_connection();
        ServerProcess builder(folder, {"-ustvaripodatke"});
        ASSERT_EQ(builder.wait_exit(15000), 0) << folder.read("sint.log");
    }
    // The engine's server is detached, not ours to wait for: TERMINATE ends it.
    void TearDown() override {
        reset_server_connection();
        ProtocolConnection last;
        if (last.connect("127.0.0.1", folder.port())) {
            last.send_request(command_request("TERMINATE"));
            last.receive(5000);
        }
        EXPECT_TRUE(poll_until(
            [this] {
                ProtocolConnection probe;
                return !probe.connect("127.0.0.1", folder.port());
            },
            10000));
    }

    // A voice whose token starts the server of the program folder.
    struct Voice {
        ISpTTSEngine* engine = nullptr;
        ISpObjectWithToken* with_token = nullptr;
        FakeToken token;
        explicit Voice(const ProgramFolder& folder) {
            void* object = nullptr;
            EXPECT_EQ(TTSEngine::create(nullptr, IID_ISpTTSEngine, &object), S_OK);
            engine = static_cast<ISpTTSEngine*>(object);
            EXPECT_EQ(engine->QueryInterface(IID_ISpObjectWithToken, &object), S_OK);
            with_token = static_cast<ISpObjectWithToken*>(object);
            const std::string program = folder.file("sintsrv");
            token.strings[u"EnginePath"] = std::u16string(program.begin(), program.end());
            token.numbers[u"Port"] = folder.port();
        }
        ~Voice() {
            with_token->Release();
            engine->Release();
        }
        std::vector<std::uint8_t> speak(const std::u16string& text) {
            Fragments fragments;
            fragments.speak(text);
            FakeSite site;
            EXPECT_EQ(engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), &site),
                      S_OK);
            return site.audio;
        }
    };

    static bool is_speech(const std::vector<std::uint8_t>& audio) {
        return !audio.empty() && audio != std::vector<std::uint8_t>(audio.size(), 0);
    }

    ProgramFolder folder;
};

TEST_F(SintsrvEngineTest, AbortSendsStopAndTheNextSpeakIsWhole) {
    Voice voice(folder);
    ASSERT_EQ(voice.with_token->SetObjectToken(&voice.token), S_OK) << folder.read("sint.log");
    Fragments fragments;
    fragments.speak(u"Mama ima kis. Ima mama kis? Kis ima.");
    FakeSite site;
    site.decide_actions = [](const FakeSite& s) -> DWORD {
        return s.writes.empty() ? SPVES_CONTINUE : SPVES_ABORT;
    };
    EXPECT_EQ(voice.engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), &site), S_OK);
    EXPECT_EQ(site.writes.size(), 1u);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 1u);
    // The server's answer to STOP is passed over by the next exchanges.
    EXPECT_TRUE(is_speech(voice.speak(u"Ima?")));
}

TEST_F(SintsrvEngineTest, ServerEndedBetweenSentencesIsStartedAgain) {
    Voice voice(folder);
    ASSERT_EQ(voice.with_token->SetObjectToken(&voice.token), S_OK) << folder.read("sint.log");
    EXPECT_TRUE(is_speech(voice.speak(u"Mama ima kis.")));
    {
        ProtocolConnection last;
        ASSERT_TRUE(last.connect("127.0.0.1", folder.port()));
        last.send_request(command_request("TERMINATE"));
        last.receive(5000);
    }
    ASSERT_TRUE(poll_until(
        [this] {
            ProtocolConnection probe;
            return !probe.connect("127.0.0.1", folder.port());
        },
        10000));
    // The ended server's connection is noticed before the sentence goes out:
    // the server is started again and the very next sentence is spoken.
    const bool spoken = is_speech(voice.speak(u"Ima?"));
    EXPECT_TRUE(spoken) << folder.read("sint.log");
}

TEST_F(SintsrvEngineTest, FirstTokenStartsTheServerAndSentencesAreSpoken) {
    void* object = nullptr;
    ASSERT_EQ(TTSEngine::create(nullptr, IID_ISpTTSEngine, &object), S_OK);
    auto* engine = static_cast<ISpTTSEngine*>(object);
    ASSERT_EQ(engine->QueryInterface(IID_ISpObjectWithToken, &object), S_OK);
    auto* with_token = static_cast<ISpObjectWithToken*>(object);

    FakeToken token;
    const std::string program = folder.file("sintsrv");
    token.strings[u"EnginePath"] = std::u16string(program.begin(), program.end());
    token.numbers[u"Port"] = folder.port();
    token.numbers[u"Lifespan"] = 30;
    EXPECT_EQ(with_token->SetObjectToken(&token), S_OK) << folder.read("sint.log");
    EXPECT_EQ(connection_state(), kConnectionReady);

    Fragments fragments;
    fragments.speak(u"Mama ima kis.").bookmark(u"3").speak(u"Ima?");
    FakeSite site;
    EXPECT_EQ(engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), &site), S_OK);
    const auto sentences = site.events_of(SPEI_SENTENCE_BOUNDARY);
    ASSERT_EQ(sentences.size(), 2u) << folder.read("sint.log");
    EXPECT_EQ(sentences[0].lparam, 0);
    EXPECT_EQ(sentences[1].lparam, 14);  // the second sentence begins with the bookmark
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 4u);
    ASSERT_EQ(site.events_of(SPEI_TTS_BOOKMARK).size(), 1u);
    // Real speech: more than the silence fall-back, and not all zero.
    EXPECT_GT(site.audio.size(), 2u * 16000);
    EXPECT_NE(site.audio, std::vector<std::uint8_t>(site.audio.size(), 0));
    EXPECT_EQ(site.audio.size() % 2, 0u);

    with_token->Release();
    engine->Release();
}

}  // namespace
}  // namespace sint::test
