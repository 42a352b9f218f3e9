// The engine with a real sintsrv: a program folder with a small synthetic voice
// (packed in advance, since the engine starts the server for a fast start), the
// server started by the engine from the token's EnginePath, and two sentences
// spoken through it.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/server_connection.h"
#include "engine/tts_engine.h"
#include "engine/voice_settings.h"
#include "server/protocol_client.h"
#include "tests/engine/fake_speech_api.h"
#include "tests/server/sintsrv_process.h"

namespace sint::testing {
namespace {

class SintsrvEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_server_connection();
        voice_settings() = VoiceSettings{};
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

    ProgramFolder folder;
};

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
}  // namespace sint::testing
