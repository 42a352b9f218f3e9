// sint-say: its text conversion, its wave files, and the program itself
// against an in-process server with the fake synthesiser.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/cp1250.h"
#include "core/frame.h"
#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "tests/support/fake_synthesis.h"
#include "tests/support/temp_dir.h"
#include "tools/sint-say/text_input.h"
#include "tools/sint-say/wave_output.h"

namespace sint {
namespace {

TEST(SayText, Utf8IsNarrowedToCodePage1250) {
    const std::pair<const char*, const char*> cases[] = {
        {"\xC4\x8D\xC5\xA1\xC5\xBE \xC4\x8C\xC5\xA0\xC5\xBD",
         "\xE8\x9A\x9E \xC8\x8A\x8E"},     // čšž ČŠŽ
        {"\xC4\x91\xC4\x90", "\xF0\xD0"},  // đĐ
        {"\xC4\x87\xC4\x86", "\xE8\xC8"},  // ć Ć are read as č Č
        {"\xE2\x80\x9E"
         "a"
         "\xE2\x80\x9C",
         "\x84"
         "a"
         "\x93"},              // „a“
        {"\xC3\xA9", "\xE9"},  // é
        {"\xE4\xB8\xAD", ""},  // outside the code page, nothing stands for it: dropped
    };
    for (const auto& [utf8, cp1250] : cases) {
        EXPECT_TRUE(looks_like_utf8(utf8)) << utf8;
        EXPECT_EQ(speakable_text(utf8), cp1250) << utf8;
    }
    // Plain ASCII and 8-bit text stay as they are.
    for (const char* as_is : {"Dober dan.",
                              "\xE8lovek \x9A"
                              "ah",
                              "a\xC4", "\xC0\x80", "\xED\xA0\x80"}) {
        EXPECT_FALSE(looks_like_utf8(as_is)) << as_is;
        EXPECT_EQ(speakable_text(as_is), as_is);
    }
}

TEST(SayWave, HeaderDescribes16kHzMono16Bit) {
    const auto header = wave_header(1000);
    ASSERT_EQ(header.size(), 44u);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "RIFF");
    EXPECT_EQ(get_u32(header.data() + 4), 36u + 2000u);
    EXPECT_EQ(get_u16(header.data() + 20), 1);
    EXPECT_EQ(get_u16(header.data() + 22), 1);
    EXPECT_EQ(get_u32(header.data() + 24), 16000u);
    EXPECT_EQ(get_u32(header.data() + 28), 32000u);
    EXPECT_EQ(get_u16(header.data() + 34), 16);
    EXPECT_EQ(get_u32(header.data() + 40), 2000u);
}

// A wave file stops short of its format's 4 GB limit; raw samples have none.
TEST(SayWave, AWaveFileRefusesAudioBeyondItsLimit) {
    EXPECT_EQ(kWaveSamplesMax, (0xFFFFFFFFull - 36) / 2);
    const test::TempDir dir;
    const std::int16_t samples[3] = {1, 2, 3};
    AudioSink wave(dir.file("a.wav"), nullptr, 4);
    EXPECT_TRUE(wave.write(samples));
    EXPECT_FALSE(wave.write(samples));
    EXPECT_TRUE(wave.full());
    std::FILE* null = std::fopen("/dev/null", "wb");
    ASSERT_NE(null, nullptr);
    {
        AudioSink raw("", null, 4);
        EXPECT_TRUE(raw.write(samples));
        EXPECT_TRUE(raw.write(samples));
        EXPECT_FALSE(raw.full());
    }
    std::fclose(null);
}

// Runs sint-say with `args`; its exit code, standard output and standard error.
struct SayRun {
    int code = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SayProgram : public ::testing::Test {
protected:
    void SetUp() override {
        TcpServerOptions options;
        options.socket.select_timeout_ms = 100;
        server = std::make_unique<TcpServer>(synthesis, shell, settings, options);
        ASSERT_EQ(server->server_start(0), 0);
        port = server->port();
        dir = ::testing::TempDir() + "sint_say_" + std::to_string(getpid()) + "_";
    }

    void TearDown() override {
        for (const char* name : {"in", "out", "err", "a.wav", "b.wav"})
            std::remove((dir + name).c_str());
    }

    SayRun say(const std::string& args, const std::string& input = "") {
        const std::string in = dir + "in", out = dir + "out", err = dir + "err";
        std::ofstream(in, std::ios::binary) << input;
        const std::string command = std::string(SINT_PROGRAM_DIR) + "/sint-say " + args + " <" +
                                    in + " >" + out + " 2>" + err;
        SayRun run;
        const int status = std::system(command.c_str());
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = slurp(out);
        run.err = slurp(err);
        return run;
    }
    std::string port_option() const { return "--port " + std::to_string(port) + " "; }

    test::FakeSynthesis synthesis;
    ShellState shell;
    ServerSettings settings;
    std::unique_ptr<TcpServer> server;
    int port = 0;
    std::string dir;
};

TEST_F(SayProgram, WritesAWaveFileSentenceBySentence) {
    const std::string wav = dir + "a.wav";
    const SayRun run = say(port_option() + "-o " + wav + " Dober dan. Kako si?");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(synthesis.calls("convert"),
              (std::vector<std::string>{"convert:Dober dan.", "convert: Kako si?"}));
    EXPECT_EQ(synthesis.calls("gfp").size(), 2u);
    const std::string file = slurp(wav);
    const std::size_t samples = (10 + 9) * test::FakeSynthesis::kSamplesPerChar;
    ASSERT_EQ(file.size(), 44 + 2 * samples);
    const auto header = wave_header(samples);
    EXPECT_EQ(file.substr(0, 44), std::string(header.begin(), header.end()));
}

// Each sentence query sends a small window of the rest, not all of it, and the
// window grows over a stretch without a sentence end only as far as a piece
// of at most kSentencePieceMax bytes needs.
TEST_F(SayProgram, SentenceQueriesSendSmallWindows) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Ena dva tri stiri pet. ";
    text += std::string(1500, 'a');
    const SayRun run = say(port_option() + "--raw -f -", text);
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<std::size_t> windows;
    for (const std::string& call : synthesis.calls("gfp")) windows.push_back(call.size() - 4);
    std::vector<std::size_t> pieces;
    for (const std::string& call : synthesis.calls("convert")) pieces.push_back(call.size() - 8);
    // One window and one request per sentence, then the letters (1501 bytes
    // with the space before them) in pieces of 500; the last letter alone is
    // spoken by its name.
    ASSERT_GT(windows.size(), 40u);
    ASSERT_GT(pieces.size(), 40u);
    EXPECT_EQ(std::vector<std::size_t>(windows.begin(), windows.begin() + 40),
              std::vector<std::size_t>(40, kSentenceWindow));
    EXPECT_EQ(std::vector<std::size_t>(windows.begin() + 40, windows.end()),
              (std::vector<std::size_t>{512, 1024, 512, 1001, 501, 1}));
    EXPECT_EQ(std::vector<std::size_t>(pieces.begin() + 40, pieces.end()),
              (std::vector<std::size_t>{500, 500, 500}));
    EXPECT_EQ(run.out.size(), 2 * text.size() * test::FakeSynthesis::kSamplesPerChar);
}

// -m refuses markup that is not well-formed, with the parser's position, and
// says when a limit of the markup was reached.
TEST_F(SayProgram, SsmlIsRefusedWhenMalformedAndLimitsAreReported) {
    const SayRun broken =
        say(port_option() + "-m --raw -f -", "<mark name=\"a\"/>Tri <break time=\"2s\"/> 3 < 5.");
    EXPECT_EQ(broken.code, 2);
    EXPECT_NE(broken.err.find("not well-formed: line 1, column 43"), std::string::npos)
        << broken.err;
    EXPECT_TRUE(synthesis.calls("convert").empty());

    std::string deep;
    for (int i = 0; i < 70; ++i) deep += "<emphasis>";
    deep += "Ena.<break time=\"61s\"/>";
    for (int i = 0; i < 70; ++i) deep += "</emphasis>";
    const SayRun limited = say(port_option() + "-m --raw -f -", deep);
    EXPECT_EQ(limited.code, 0) << limited.err;
    EXPECT_NE(limited.err.find("nested deeper than 64"), std::string::npos) << limited.err;
    EXPECT_NE(limited.err.find("pauses cut to 60 s each"), std::string::npos) << limited.err;
}

TEST_F(SayProgram, RawSamplesWithSettingsFromStandardInput) {
    const SayRun run = say(port_option() + "--raw --volume 50 --rate -30", "x");
    EXPECT_EQ(run.code, 2);  // the rate is out of range
    const SayRun ok = say(port_option() + "--raw --volume 50 --rate 3 --pitch -5",
                          "\xC4\x8D");  // UTF-8 č
    ASSERT_EQ(ok.code, 0) << ok.err;
    ASSERT_EQ(ok.out.size(), 2u * 3 * test::FakeSynthesis::kSamplesPerChar);  // "tS@"
    EXPECT_EQ(
        static_cast<std::int16_t>(get_u16(reinterpret_cast<const std::uint8_t*>(ok.out.data()))),
        -500);
    EXPECT_EQ(synthesis.calls("tempo"), std::vector<std::string>{"tempo:3"});
    EXPECT_EQ(synthesis.calls("pitch"), std::vector<std::string>{"pitch:-5"});
}

TEST_F(SayProgram, SpeedIsAFactorOnTopOfTheRate) {
    const SayRun words = say(port_option() + "--raw --speed fast", "x");
    EXPECT_EQ(words.code, 2);
    EXPECT_NE(words.err.find("the speed \"fast\" is not a number"), std::string::npos) << words.err;
    const SayRun ok = say(port_option() + "--raw --rate 2 --speed 2.5", "x");
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(synthesis.calls("speed"), std::vector<std::string>{"speed:250"});
    // Beyond 6: the message, and 6.
    const SayRun beyond = say(port_option() + "--raw --speed 9", "x");
    ASSERT_EQ(beyond.code, 0) << beyond.err;
    EXPECT_NE(beyond.err.find("the speed 9 is outside 0.3 to 6: 6 is used"), std::string::npos)
        << beyond.err;
    EXPECT_EQ(synthesis.calls("speed").back(), "speed:600");
    // An SSML rate that is no speaking rate is an error too.
    const SayRun ssml = say(port_option() + "--raw -m", "<prosody rate=\"-50%\">x</prosody>");
    EXPECT_EQ(ssml.code, 1);
    EXPECT_NE(ssml.err.find("rate=\"-50%\" is no speaking rate"), std::string::npos) << ssml.err;
}

// A voice folder names the server's port in its sint.ini.
TEST_F(SayProgram, VoiceFolderGivesThePort) {
    const std::string folder = dir + "voice";
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/sint.ini") << "port = " << port << "\n";
    const SayRun run = say("--voice " + folder + " -o " + dir + "a.wav Dober dan.");
    std::filesystem::remove_all(folder);
    EXPECT_EQ(run.code, 0) << run.err;
}

TEST_F(SayProgram, SaysClearlyWhenNoServerCanBeReached) {
    const int free_port = port;
    server->server_stop();
    const SayRun run = say("--port " + std::to_string(free_port) +
                           " --server /nonexistent/sintsrv -o " + dir + "b.wav Dober dan.");
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("/nonexistent/sintsrv cannot be started"), std::string::npos) << run.err;
    const SayRun no_voice = say("--voice /nonexistent/voice -o " + dir + "b.wav Dober dan.");
    EXPECT_EQ(no_voice.code, 1);
    EXPECT_NE(no_voice.err.find("no voice folder /nonexistent/voice"), std::string::npos);
    const SayRun usage = say("Dober dan.");
    EXPECT_EQ(usage.code, 1);
    EXPECT_NE(usage.err.find("-o FILE.wav or --raw"), std::string::npos);
}

}  // namespace
}  // namespace sint
