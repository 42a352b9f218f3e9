#include "engine/server_connection.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/protocol_client.h"
#include "engine/trace.h"
#include "engine/tts_engine.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/fake_speech_api.h"
#include "tests/support/temp_dir.h"

namespace sint::test {
namespace {

using ConnectionTest = EngineTest;

TEST_F(ConnectionTest, RunningServerIsTestedOnceAndThenTrusted) {
    // Long enough for the first answer on a busy machine, so that the test
    // loop never repeats its TEST.
    ConnectionTimings timings = short_timings();
    timings.test_reply_ms = 5000;
    set_connection_timings(timings);
    ASSERT_TRUE(connect());
    EXPECT_EQ(connection_state(), kConnectionReady);
    EXPECT_TRUE(connect());
    EXPECT_TRUE(CHECK_TTS_engine("", 30, server->port()));
    EXPECT_EQ(server->requests_of("TEST").size(), 1u);
    EXPECT_EQ(server->requests_of("TEST").front(), "TEST\t\t");
}

TEST_F(ConnectionTest, NotReadyAnswerKeepsTheTestGoing) {
    server->set_not_ready_answers(1);
    ASSERT_TRUE(connect());
    EXPECT_EQ(connection_state(), kConnectionReady);
    EXPECT_EQ(server->requests_of("TEST").size(), 2u);
}

TEST_F(ConnectionTest, ServerThatNeverAnswersFailsAfterTheTestLoop) {
    server->set_mode(FakeServer::Mode::Mute);
    EXPECT_FALSE(connect());
    EXPECT_EQ(connection_state(), kConnectionFailed);
    // 91 passes, TEST on every third: passes 0, 3, ..., 90.
    EXPECT_EQ(server->requests_of("TEST").size(), 31u);
}

TEST_F(ConnectionTest, NothingListeningAndNoProgramFails) {
    const int port = server->port();
    server->stop();
    EXPECT_FALSE(CHECK_TTS_engine("/nonexistent/sintsrv", 30, port));
    EXPECT_EQ(connection_state(), kConnectionFailed);
}

// A port that names no server is refused before anything is started.
TEST_F(ConnectionTest, PortOutsideOneToFfffIsRefused) {
    for (const int port : {0, -1, 65536}) {
        reset_server_connection();
        EXPECT_FALSE(CHECK_TTS_engine("/nonexistent/sintsrv", 30, port)) << port;
        EXPECT_EQ(check_failure(), E_INVALIDARG) << port;
    }
}

// A server that was not ready when the first test gave up is tested again by
// the next check, and its replies are then taken.
TEST_F(ConnectionTest, ServerReadyAfterAFailedTestIsTestedAgain) {
    for (const bool listening : {false, true}) {
        SCOPED_TRACE(listening ? "answering SINT_NO at first" : "not listening at first");
        reset_server_connection();
        const int port = server->port();
        if (listening)
            server->set_not_ready_answers(1000);
        else
            server->stop();
        EXPECT_FALSE(CHECK_TTS_engine("/nonexistent/sintsrv", 30, port));
        EXPECT_EQ(connection_state(), kConnectionFailed);
        if (listening)
            server->set_not_ready_answers(0);
        else
            server = std::make_unique<FakeServer>(port);
        std::vector<std::uint8_t> audio;
        ASSERT_TRUE(SYNTHESIZE_text("Dober dan.", audio));
        EXPECT_EQ(audio.size(), 2u * 10 * 10);
        EXPECT_EQ(connection_state(), kConnectionReady);
    }
}

TEST(ServerStart, CommandLineAndFolder) {
    EXPECT_EQ(server_command_line("C:\\sint\\sintsrv.exe", 30),
              "C:\\sint\\sintsrv.exe -lifespan 300 -disk -hitro -konzola");
    EXPECT_EQ(server_folder("C:\\sint\\sintsrv.exe"), "C:\\sint\\");
    EXPECT_EQ(server_folder("/opt/sint/sintsrv"), "/opt/sint/");
    EXPECT_EQ(server_folder("sintsrv"), "");
}

// A stand-in server program: records its arguments and working folder, then
// creates a flag file on which the test starts its fake server.
std::string write_launcher(const TempDir& dir) {
    const std::string path = dir.write("sintsrv",
                                       "#!/bin/sh\n"
                                       "echo \"$@\" > \"$(dirname \"$0\")/arguments\"\n"
                                       "pwd > \"$(dirname \"$0\")/folder\"\n"
                                       "touch \"$(dirname \"$0\")/started\"\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// Starts a fake server on `port` once the launcher has run.
std::thread serve_when_started(const TempDir& dir, int port, std::unique_ptr<FakeServer>& server) {
    return std::thread([&dir, port, &server] {
        for (int i = 0; i < 500 && !std::filesystem::exists(dir.file("started")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::filesystem::remove(dir.file("started"));
        server = std::make_unique<FakeServer>(port);
    });
}

TEST_F(ConnectionTest, MissingServerIsStartedFromItsPathAndTested) {
    TempDir dir;
    const std::string program = write_launcher(dir);
    const int port = server->port();
    server.reset();
    std::unique_ptr<FakeServer> started;
    std::thread watcher = serve_when_started(dir, port, started);
    const bool ready = CHECK_TTS_engine(program, 30, port);
    watcher.join();
    EXPECT_TRUE(ready);
    EXPECT_EQ(TempDir::read(dir.file("arguments")), "-lifespan 300 -disk -hitro -konzola\n");
    EXPECT_EQ(std::filesystem::path(
                  TempDir::read(dir.file("folder")).substr(0, dir.path().string().size())),
              std::filesystem::canonical(dir.path()));
    ASSERT_TRUE(started);
    EXPECT_GE(started->requests_of("TEST").size(), 1u);
}

// The same through the engine object: the token's values start the server.
TEST_F(ConnectionTest, FirstTokenStartsTheServerFromEnginePath) {
    TempDir dir;
    const std::string program = write_launcher(dir);
    const int port = server->port();
    server.reset();
    std::unique_ptr<FakeServer> started;
    std::thread watcher = serve_when_started(dir, port, started);
    void* object = nullptr;
    ASSERT_EQ(TTSEngine::create(nullptr, IID_ISpObjectWithToken, &object), S_OK);
    auto* engine = static_cast<ISpObjectWithToken*>(object);
    FakeToken token;
    token.strings[u"EnginePath"] = std::u16string(program.begin(), program.end());
    token.numbers[u"Port"] = static_cast<DWORD>(port);
    token.numbers[u"Lifespan"] = 7;
    EXPECT_EQ(engine->SetObjectToken(&token), S_OK);
    watcher.join();
    engine->Release();
    EXPECT_EQ(TempDir::read(dir.file("arguments")), "-lifespan 70 -disk -hitro -konzola\n");
}

// With the library's own waits: the closed connection is noticed before the
// sentence goes out, the server is started again and the sentence is spoken.
TEST_F(ConnectionTest, ServerKilledBetweenSentencesIsStartedAgain) {
    set_connection_timings(ConnectionTimings{});
    TempDir dir;
    const std::string program = write_launcher(dir);
    const int port = server->port();
    ASSERT_TRUE(CHECK_TTS_engine(program, 30, port));
    std::vector<std::uint8_t> audio;
    ASSERT_TRUE(SYNTHESIZE_text("Ena dva tri.", audio));
    EXPECT_EQ(audio.size(), 2u * 10 * 12);
    server.reset();  // killed

    std::unique_ptr<FakeServer> started;
    std::thread watcher = serve_when_started(dir, port, started);
    ASSERT_TRUE(SYNTHESIZE_text("Stiri pet.", audio));
    watcher.join();
    EXPECT_EQ(audio.size(), 2u * 10 * 10);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->requests_of("STREAM").size(), 1u);
}

// A header announcing more than a reply can hold fails that exchange (the
// sentence gets the silence fall-back) instead of swallowing every later reply.
TEST_F(ConnectionTest, OversizedReplyFailsOnlyItsOwnExchange) {
    const struct {
        const char* name;
        std::uint32_t length;
        const char* code;
    } cases[] = {
        {"4 GiB of audio", 0xFFFFFFFFu, "SINT_S_"},
        {"a sentence end beyond the frame limit", 100000, "SINT_EP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_server_connection();
        server = std::make_unique<FakeServer>();
        ASSERT_TRUE(connect());
        server->set_mode(FakeServer::Mode::Oversized);
        server->set_oversized(c.length, c.code);
        std::vector<std::uint8_t> audio;
        ASSERT_TRUE(SYNTHESIZE_text("Ena dva tri.", audio));
        EXPECT_EQ(audio, std::vector<std::uint8_t>(16000, 0));
        server->set_mode(FakeServer::Mode::Normal);
        ASSERT_TRUE(SYNTHESIZE_text("Stiri pet.", audio));
        EXPECT_EQ(audio.size(), 2u * 10 * 10);
    }
}

TEST_F(ConnectionTest, SynthesisReturnsTheAudioOfTheReply) {
    ASSERT_TRUE(connect());
    server->set_sample_value(0x1234);
    std::vector<std::uint8_t> audio;
    ASSERT_TRUE(SYNTHESIZE_text("Dober dan.", audio));
    ASSERT_EQ(audio.size(), 2u * 10 * 10);
    EXPECT_EQ(audio[0], 0x34);
    EXPECT_EQ(audio[1], 0x12);
    EXPECT_EQ(server->requests_of("STREAM").back(), "STREAM\t\tDober dan.");
}

// Every fault of the server ends in half a second of silence, within the waits.
TEST_F(ConnectionTest, FaultyRepliesGiveHalfASecondOfSilence) {
    struct Case {
        const char* name;
        FakeServer::Mode mode;
        long audio_bytes;
    };
    const Case cases[] = {
        {"short audio", FakeServer::Mode::Normal, 128},
        {"garbage", FakeServer::Mode::Garbage, -1},
        {"silent", FakeServer::Mode::Silent, -1},
        {"closed mid-frame", FakeServer::Mode::CloseMidFrame, 50000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_server_connection();
        server = std::make_unique<FakeServer>();
        ASSERT_TRUE(connect());
        server->set_mode(c.mode);
        server->set_audio_bytes(c.audio_bytes);
        std::vector<std::uint8_t> audio{1, 2, 3};
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(SYNTHESIZE_text("Dober dan.", audio));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(audio, std::vector<std::uint8_t>(16000, 0));
    }
}

// A late status answer is not taken for the audio, which follows it.
TEST_F(ConnectionTest, StrayStatusBeforeTheAudioIsPassedOver) {
    ASSERT_TRUE(connect());
    server->set_status_before_audio(true);
    std::vector<std::uint8_t> audio;
    ASSERT_TRUE(SYNTHESIZE_text("Dober dan.", audio));
    EXPECT_EQ(audio.size(), 2u * 10 * 10);
    EXPECT_EQ(connection_state(), kConnectionReady);
}

TEST_F(ConnectionTest, AudioOfExactlyTheShortestLengthIsKept) {
    ASSERT_TRUE(connect());
    server->set_audio_bytes(130);
    std::vector<std::uint8_t> audio;
    ASSERT_TRUE(SYNTHESIZE_text("a", audio));
    EXPECT_EQ(audio.size(), 130u);
}

TEST_F(ConnectionTest, NoServerLeavesTheAudioUntouched) {
    const int port = server->port();
    server->stop();
    EXPECT_FALSE(CHECK_TTS_engine("", 30, port));
    std::vector<std::uint8_t> audio{7};
    EXPECT_FALSE(SYNTHESIZE_text("Dober dan.", audio));
    EXPECT_EQ(audio, std::vector<std::uint8_t>{7});
    EXPECT_EQ(GET_sentence_end("Dober dan."), 0);
}

TEST_F(ConnectionTest, SentenceEndComesFromTheServer) {
    ASSERT_TRUE(connect());
    EXPECT_EQ(GET_sentence_end("Ena dva. Tri."), 8);
    EXPECT_EQ(server->requests_of("GFP").back(), "GFP\t\tEna dva. Tri.");
    server->set_mode(FakeServer::Mode::Silent);
    EXPECT_EQ(GET_sentence_end("Ena dva. Tri."), 13);  // the whole text is one sentence
}

// The sentence query sends a small window of the text and widens it only while
// the answer does not lie well inside it.
TEST_F(ConnectionTest, SentenceQueriesSendAWindowThatGrows) {
    std::string sentences;
    for (int i = 0; i < 40; ++i) sentences += "Ena dva tri stiri pet. ";
    std::string words;
    for (int i = 0; i < 200; ++i) words += "abcdefg ";
    const struct {
        const char* name;
        std::string text;
        std::vector<std::size_t> windows;
        long end;
    } cases[] = {
        {"many sentences", sentences, {512}, 22},
        // A piece near 500 bytes, at a blank when there is one.
        {"no sentence end", std::string(1500, 'a'), {512, 1024}, 500},
        {"no sentence end, words", words, {512, 1024}, 496},
        {"an end near the window's end",
         std::string(450, 'a') + "." + std::string(1549, 'b'),
         {512, 1024},
         451},
        {"a short text", "Ena. Dva.", {9}, 4},
    };
    ASSERT_TRUE(connect());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server->clear_requests();
        EXPECT_EQ(GET_sentence_end(c.text), c.end);
        std::vector<std::size_t> windows;
        for (const std::string& request : server->requests_of("GFP")) {
            windows.push_back(request.size() - 5);
            EXPECT_EQ(c.text.compare(0, windows.back(), request, 5), 0);
        }
        EXPECT_EQ(windows, c.windows);
    }
}

TEST_F(ConnectionTest, LongTextsAreCutToTheRequestLimit) {
    ASSERT_TRUE(connect());
    const std::string text(30000, 'a');
    std::vector<std::uint8_t> audio;
    ASSERT_TRUE(SYNTHESIZE_text(text, audio));
    EXPECT_EQ(server->requests_of("STREAM").back().size(), 8u + 20471u);
    // A sentence query never sends more than a piece needs.
    GET_sentence_end(text);
    EXPECT_EQ(server->requests_of("GFP").back().size(), 5u + 2 * kSentenceWindow);
}

TEST_F(ConnectionTest, SettingsRequestsAndStop) {
    SET_rate(3);  // no connection yet: nothing is sent
    ASSERT_TRUE(connect());
    SET_rate(-4);
    SET_pitch(27);
    SET_normal();
    SET_yu();
    EXPECT_TRUE(STOP_synthesis());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<std::string> expected{"TEST\t\t",   "TEMPO\t\t-4", "PITCH\t\t27",
                                            "NORMAL\t\t", "YU\t\t",      "STOP\t\t"};
    EXPECT_EQ(server->requests(), expected);
}

TEST_F(ConnectionTest, TraceGoesToTheNamedFileOnly) {
    TempDir dir;
    const std::string path = dir.file("trace.txt");
    ::setenv(kTraceFileVariable, path.c_str(), 1);
    ASSERT_TRUE(connect());
    ::unsetenv(kTraceFileVariable);
    SET_normal();
    const std::string written = TempDir::read(path);
    EXPECT_NE(written.find("------CHECK_TTS_engine-------\n"), std::string::npos);
    EXPECT_NE(written.find("prepoznan sint_ok\n"), std::string::npos);
    EXPECT_NE(written.find("inicializiran\n"), std::string::npos);
    EXPECT_EQ(written.find("SET_normal"), std::string::npos);
}

}  // namespace
}  // namespace sint::test
