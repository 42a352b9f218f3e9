// The engine against the server's own TCP server and request protocol, with a
// stand-in synthesiser behind them (the synthesis itself is not part of this).
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/tts_engine.h"
#include "engine/voice_settings.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/fake_speech_api.h"
#include "tests/support/fake_synthesis.h"

namespace sint::test {
namespace {

class ServerProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_server_connection();
        set_connection_timings(short_timings());
        TcpServerOptions options;
        options.program_folder = "/tmp/";
        server = std::make_unique<TcpServer>(synthesis, shell, settings, options);
        ASSERT_EQ(server->server_start(0), 0);
        ASSERT_TRUE(server->listening());
        void* object = nullptr;
        ASSERT_EQ(TTSEngine::create(nullptr, IID_ISpTTSEngine, &object), S_OK);
        engine = static_cast<ISpTTSEngine*>(object);
        ASSERT_EQ(engine->QueryInterface(IID_ISpObjectWithToken, &object), S_OK);
        with_token = static_cast<ISpObjectWithToken*>(object);
        token.strings[u"EnginePath"] = u"/nonexistent/sintsrv";
        token.numbers[u"Port"] = static_cast<DWORD>(server->port());
    }
    void TearDown() override {
        if (with_token) with_token->Release();
        if (engine) engine->Release();
        reset_server_connection();
        set_connection_timings(ConnectionTimings{});
        if (server) server->server_stop();
    }

    FakeSynthesis synthesis;
    ShellState shell;
    ServerSettings settings;
    std::unique_ptr<TcpServer> server;
    FakeToken token;
    ISpTTSEngine* engine = nullptr;
    ISpObjectWithToken* with_token = nullptr;
};

TEST_F(ServerProtocolTest, SentencesAreAskedForAndSpoken) {
    ASSERT_EQ(with_token->SetObjectToken(&token), S_OK);
    Fragments fragments;
    fragments.speak(u"Ena dvojk. Tri sto?", 100, 2);
    FakeSite site;
    ASSERT_EQ(engine->Speak(0, SPDFID_WaveFormatEx, nullptr, fragments.list(), &site), S_OK);
    EXPECT_EQ(site.events_of(SPEI_SENTENCE_BOUNDARY).size(), 2u);
    EXPECT_EQ(site.events_of(SPEI_WORD_BOUNDARY).size(), 4u);
    const std::vector<std::string> asked{"gfp:Ena dvojk. Tri sto?", "gfp: Tri sto?"};
    EXPECT_EQ(synthesis.calls("gfp:"), asked);
    const std::vector<std::string> converted{"convert:Ena dvojk. ", "convert:Tri sto? "};
    EXPECT_EQ(synthesis.calls("convert:"), converted);
    EXPECT_EQ(synthesis.calls("tempo:").front(), "tempo:2");
    // 11 and 9 characters, 10 samples each, two bytes a sample.
    ASSERT_EQ(site.audio.size(), 2u * 10 * (11 + 9));
    std::int16_t sample;
    std::memcpy(&sample, site.audio.data(), 2);
    EXPECT_EQ(sample, FakeSynthesis::kSample);
}

TEST_F(ServerProtocolTest, ServerThatIsNeverReadyFailsTheToken) {
    synthesis.is_ready = false;
    EXPECT_EQ(with_token->SetObjectToken(&token), E_FAIL);
    EXPECT_EQ(connection_state(), kConnectionFailed);
}

TEST_F(ServerProtocolTest, ServerThatBecomesReadyPassesTheTest) {
    synthesis.is_ready = false;
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        synthesis.is_ready = true;
    });
    EXPECT_EQ(with_token->SetObjectToken(&token), S_OK);
    later.join();
    EXPECT_EQ(connection_state(), kConnectionReady);
}

}  // namespace
}  // namespace sint::test
