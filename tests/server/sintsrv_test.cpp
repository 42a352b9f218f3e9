// sintsrv end to end: the real server process, started on a free port from a
// temporary program folder with a synthetic voice, spoken to over TCP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/protocol_client.h"
#include "server/shell.h"
#include "tests/support/sintsrv_process.h"

namespace sint {
namespace {

using sint::test::connect_ready;
using sint::test::poll_until;
using sint::test::ProgramFolder;
using sint::test::ServerProcess;

// How long one reply may take from the synthetic voice.
constexpr int kReplyMs = 5000;

// The phone names of the last micro-prosody run ("mikro.out" in the log
// folder), pauses left out.
std::vector<std::string> spoken_phones(const ProgramFolder& folder) {
    std::istringstream lines(folder.read("mikro.out"));
    std::vector<std::string> phones;
    std::string line;
    std::getline(lines, line);  // the line of hyphens
    while (std::getline(lines, line)) {
        const std::string name = line.substr(0, line.find('\t'));
        if (!name.empty() && name != "_" && name != ".") phones.push_back(name);
    }
    return phones;
}

// A server of its own for each test: the file counter and the log start afresh.
class SintsrvTest : public ::testing::Test {
protected:
    // Every server ends by TERMINATE with exit code 0: under the sanitizers a
    // fault or a leak in the server fails the test here.
    void TearDown() override {
        if (!server_ || !server_->running()) return;
        ProtocolConnection last;
        if (last.connect("127.0.0.1", folder_.port()))
            last.send_request(command_request("TERMINATE"));
        EXPECT_EQ(server_->wait_exit(10000), 0) << folder_.read("sint.log");
    }
    void start(std::vector<std::string> options = {"-pocasi", "-ram"}) {
        server_.emplace(folder_, std::move(options));
        ASSERT_TRUE(connect_ready(client_, folder_.port(), 10000, &*server_))
            << "sintsrv did not become ready; its log:\n"
            << folder_.read("sint.log");
    }
    ReceivedFrame exchange(const std::string& request) {
        EXPECT_TRUE(client_.send_request(request)) << request;
        auto frame = client_.receive(kReplyMs);
        EXPECT_TRUE(frame) << "no reply to " << request;
        return frame.value_or(ReceivedFrame{});
    }
    std::vector<std::int16_t> stream(const std::string& text) {
        const Reply reply = recognise_reply(exchange(stream_request(text)).payload);
        EXPECT_EQ(reply.type, ReplyType::Audio) << text;
        return reply.samples;
    }
    // Requests are served in order: once TEST is answered, all before it are done.
    void settle() {
        const ReceivedFrame frame = exchange(command_request("TEST"));
        EXPECT_EQ(recognise_reply(frame.payload).type, ReplyType::Ok);
    }

    ProgramFolder folder_;
    std::optional<ServerProcess> server_;
    ProtocolConnection client_;
};

TEST_F(SintsrvTest, TestIsAnsweredWithKindOne) {
    start();
    const ReceivedFrame frame = exchange(command_request("TEST"));
    EXPECT_EQ(frame.kind, 1);
    EXPECT_EQ(frame.payload, std::vector<std::uint8_t>({'S', 'I', 'N', 'T', '_', 'O', 'K', 0}));
}

TEST_F(SintsrvTest, SingleLettersSpeakTheirNames) {
    start();
    // The name goes to prosody as it stands, without text analysis.
    const struct {
        const char* text;
        std::vector<std::string> phones;
    } cases[] = {{"x", {"i", "k", "s"}},
                 {" x \r\n", {"i", "k", "s"}},
                 {"X", {"i", "k", "s"}},
                 {"*", {"z", "v", "E", "z", "d", "i:", "ts", "a"}},
                 {"\x01", {}}};  // outside the table: a pause
    for (const auto& c : cases) {
        EXPECT_FALSE(stream(c.text).empty()) << c.text;
        EXPECT_EQ(spoken_phones(folder_), c.phones) << c.text;
    }
}

TEST_F(SintsrvTest, VolumeAndTempoAreClamped) {
    // Each case on a fresh server, so that the pitch jitter draws alike.
    const auto restart = [&] {
        if (server_) {
            exchange(command_request("TERMINATE"));
            EXPECT_EQ(server_->wait_exit(5000), 0);
            client_.close();
        }
        start();
    };
    const auto first_audio = [&](const std::vector<std::string>& settings) {
        restart();
        for (const std::string& setting : settings) client_.send_request(setting);
        return stream("x");
    };
    const std::vector<std::int16_t> full = first_audio({});
    ASSERT_FALSE(full.empty());

    // N5 is -5, clamped to 1: every sample becomes a hundredth, cut toward zero.
    const std::vector<std::int16_t> quiet = first_audio({command_request("VOLUME") + "N5"});
    ASSERT_EQ(quiet.size(), full.size());
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < full.size(); ++i)
        wrong += quiet[i] != static_cast<std::int16_t>(full[i] / 100);
    EXPECT_EQ(wrong, 0u);
    // 250 is clamped to 100: the samples as synthesised.
    EXPECT_TRUE(first_audio({command_request("VOLUME", 250)}) == full);

    // -30 is clamped to -10 and 30 to 10: the slowest and fastest speech.
    const auto slowest = first_audio({command_request("TEMPO", -10)});
    const auto fastest = first_audio({command_request("TEMPO", 10)});
    EXPECT_TRUE(first_audio({command_request("TEMPO", -30)}) == slowest);
    EXPECT_TRUE(first_audio({command_request("TEMPO", 30)}) == fastest);
    EXPECT_GT(slowest.size(), full.size());
    EXPECT_LT(fastest.size(), full.size());

    // The settings belong to the connection that sent them.
    restart();
    client_.send_request(command_request("VOLUME", 5));
    client_.send_request(command_request("TEMPO", 10));
    ProtocolConnection other;
    ASSERT_TRUE(connect_ready(other, folder_.port()));
    other.send_request(stream_request("x"));
    const auto reply = other.wait_for(ReplyType::Audio, kReplyMs);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->samples == full);
}

TEST_F(SintsrvTest, SentenceEndOfTwoSentences) {
    start();
    const std::string first = "Prvi stavek je kratek. ";
    const Reply reply =
        recognise_reply(exchange(gfp_request(first + "Drugi stavek sledi.")).payload);
    ASSERT_EQ(reply.type, ReplyType::SentenceEnd);
    EXPECT_GE(reply.value, static_cast<long>(first.size()) - 1);
    EXPECT_LE(reply.value, static_cast<long>(first.size()));
}

TEST_F(SintsrvTest, WaveFilesCycleThroughSixNumbers) {
    start();
    const char* names[] = {"sint_0001.wav", "sint_0002.wav", "sint_0003.wav",
                           "sint_0004.wav", "sint_0005.wav", "sint_0000.wav"};
    for (const char* name : names) {
        client_.send_request(wave_file_request("", "mama"));
        settle();
        EXPECT_TRUE(folder_.exists(name)) << name;
    }
    // The seventh synthesis writes the first number again; the name keeps its extension.
    std::filesystem::remove(folder_.file("sint_0001.wav"));
    client_.send_request(wave_file_request("glas.raw", "mama"));
    client_.send_request(wave_file_request("", "mama"));
    settle();
    EXPECT_TRUE(folder_.exists("glas_0001.raw"));
    EXPECT_TRUE(folder_.exists("sint_0002.wav"));
    const std::string wave = folder_.read("sint_0002.wav");
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
}

TEST_F(SintsrvTest, WaveFilesOutsideTheFolderAreRefused) {
    start();
    ProgramFolder elsewhere;  // a folder outside the server's
    std::filesystem::create_directory(folder_.path() / "sub");
    std::filesystem::create_directory_symlink(elsewhere.path(), folder_.path() / "out");
    const std::string refused[] = {elsewhere.file("abs.wav"), "../abs.wav", "sub/../../abs.wav",
                                   "sub\\..\\..\\abs.wav", "out/abs.wav"};
    for (const std::string& name : refused) client_.send_request(wave_file_request(name, "mama"));
    client_.send_request(wave_file_request("sub/in.wav", "mama"));
    settle();
    // Nothing named abs*, neither in the other folder nor above the server's.
    for (const auto& dir : {elsewhere.path(), folder_.path().parent_path()})
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            EXPECT_NE(entry.path().filename().string().rfind("abs_", 0), 0u) << entry.path();
    // Five refused names count as syntheses: the sixth is number 0.
    EXPECT_TRUE(folder_.exists("sub/in_0000.wav"));
    const std::string log = folder_.read("sint.log");
    for (const std::string& name : refused)
        EXPECT_NE(log.find("Zavrnjeno ime datoteke: " + name), std::string::npos) << name;
}

TEST_F(SintsrvTest, LongAudioArrivesWholeAtALateReader) {
    start();
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Mama ima kis, mama ima kisa. ";
    ASSERT_TRUE(client_.send_request(stream_request(text)));
    // The reply fills the socket's buffers while nobody reads.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto reply = client_.wait_for(ReplyType::Audio, 20000);
    ASSERT_TRUE(reply);
    EXPECT_GT(reply->samples.size(), 16000u * 10);  // several hundred kilobytes
    settle();                                       // the connection is still served
}

TEST_F(SintsrvTest, ListensOnTheLoopbackOnly) {
    start();
    // Another address of this machine, if it has one.
    std::string other;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) == 0) {
        for (const ifaddrs* i = interfaces; i && other.empty(); i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
            if (std::string(text).rfind("127.", 0) != 0) other = text;
        }
        freeifaddrs(interfaces);
    }
    // Without another interface, another address of the loopback range serves.
    if (other.empty()) other = "127.0.0.2";
    ProtocolConnection outside;
    EXPECT_FALSE(outside.connect(other, folder_.port())) << other;
}

TEST_F(SintsrvTest, RequestWithOneTabIsNotAnswered) {
    start();
    client_.send_request("STREAM\tx");
    client_.send_request("GFP\tDober dan.");
    // The first reply is the one to TEST.
    const ReceivedFrame frame = exchange(command_request("TEST"));
    EXPECT_EQ(recognise_reply(frame.payload).type, ReplyType::Ok);
    EXPECT_FALSE(client_.receive(200));
}

TEST_F(SintsrvTest, TerminateEndsTheServerAndFreesThePort) {
    start();
    const Reply reply = recognise_reply(exchange(command_request("TERMINATE")).payload);
    EXPECT_EQ(reply.type, ReplyType::End);
    EXPECT_EQ(server_->wait_exit(5000), 0);
    EXPECT_NE(folder_.read("sint.log").find("Sint stopped"), std::string::npos);
    // The port can be listened on again.
    ServerProcess again(folder_, {"-pocasi"});
    ProtocolConnection client;
    EXPECT_TRUE(connect_ready(client, folder_.port()));
}

TEST_F(SintsrvTest, IdleServerEndsAfterItsLifespan) {
    // Five ticks of 100 ms; a connected client, even a silent one, keeps it alive.
    start({"-pocasi", "-lifespan", "5"});
    EXPECT_FALSE(poll_until([&] { return !server_->running(); }, 1000));
    client_.close();
    EXPECT_EQ(server_->wait_exit(5000), 0);
}

TEST_F(SintsrvTest, CreatedDataGiveAFastStart) {
    ServerProcess builder(folder_, {"-ustvaripodatke"});
    ASSERT_EQ(builder.wait_exit(15000), 0);
    ASSERT_TRUE(folder_.exists("data/MorvenaIdra.dat"));

    // The packed file stands for the list file and the recording.
    start();
    const std::vector<std::int16_t> slow = stream("x");
    ASSERT_EQ(recognise_reply(exchange(command_request("TERMINATE")).payload).type, ReplyType::End);
    ASSERT_EQ(server_->wait_exit(5000), 0);
    client_.close();
    std::filesystem::remove(folder_.file("filenames.ini"));
    std::filesystem::remove(folder_.file("rec.wav"));
    start({"-hitro", "-ram"});
    EXPECT_EQ(stream("x"), slow);
}

TEST_F(SintsrvTest, AReinitWithABadListKeepsTheOldDatabase) {
    start();
    ASSERT_TRUE(client_.send_request(command_request("REINIT") + "manjka.ini"));
    ASSERT_TRUE(poll_until(
        [&] { return folder_.read("sint.log").find(kReloadFailed) != std::string::npos; }, 5000));
    // The reload restarted the listener, which closed the connection.
    client_.close();
    ASSERT_TRUE(connect_ready(client_, folder_.port()));
    EXPECT_FALSE(stream("x").empty());
    // Lists outside the program folder are refused without a reload.
    for (const char* list : {"../filenames.ini", "/etc/passwd"}) {
        ASSERT_TRUE(client_.send_request(command_request("REINIT") + list));
        settle();
        EXPECT_FALSE(stream("x").empty()) << list;
    }
}

// Runs a shell command; its exit code and what it printed on both streams.
std::pair<int, std::string> run_command(const std::string& command) {
    std::string output;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST_F(SintsrvTest, AStartUpFailureIsPrintedAndEndsNonZero) {
    // No packed database for a fast start; in the background it is the parent
    // that prints the child's messages at the end of its wait.
    for (const char* mode : {"-konzola", "-vozadju"}) {
        const auto [code, output] =
            run_command(folder_.file("sintsrv") + " " + mode + " -hitro -lifespan 20");
        EXPECT_NE(code, 0) << mode;
        EXPECT_NE(output.find(kWaveFailed), std::string::npos) << mode << ": " << output;
    }
}

TEST_F(SintsrvTest, ABackgroundServerNeverRelaunchesItself) {
    const auto [code, output] =
        run_command(folder_.file("sintsrv") + " -vozadju -pocasi -ram -lifespan 50");
    ASSERT_EQ(code, 0) << output;
    ASSERT_TRUE(connect_ready(client_, folder_.port()));
    EXPECT_EQ(recognise_reply(exchange(command_request("TERMINATE")).payload).type, ReplyType::End);
    // Anchored, so that the shell running pgrep does not match itself.
    const std::string any_copy = "pgrep -f '^" + folder_.file("sintsrv") + "' >/dev/null";
    EXPECT_TRUE(poll_until([&] { return std::system(any_copy.c_str()) != 0; }, 5000));
}

TEST_F(SintsrvTest, SintSayStartsTheServerWhenNothingAnswers) {
    const std::string command = folder_.file("sint-say") + " -q -o " + folder_.file("say.wav") +
                                " 'Mama ima kis. Ima?' 2>&1";
    // Nothing answers: sint-say starts the sintsrv beside it, then speaks.
    // Then one answers: sint-say speaks through the running server.
    for (int run = 0; run < 2; ++run) {
        std::filesystem::remove(folder_.file("say.wav"));
        ASSERT_EQ(std::system(command.c_str()), 0) << run;
        const std::string wave = folder_.read("say.wav");
        ASSERT_GT(wave.size(), 44u) << run;
        EXPECT_EQ(wave.substr(0, 4), "RIFF");
    }
    // The started server is not ours to wait for: it ends on TERMINATE.
    ASSERT_TRUE(connect_ready(client_, folder_.port()));
    EXPECT_EQ(recognise_reply(exchange(command_request("TERMINATE")).payload).type, ReplyType::End);
    EXPECT_TRUE(poll_until(
        [&] {
            ProtocolConnection probe;
            return !probe.connect("127.0.0.1", folder_.port());
        },
        5000));
}

TEST_F(SintsrvTest, SintSaySaysSoWhenTheServerHasNoVoice) {
    std::filesystem::remove(folder_.file("filenames.ini"));
    const std::string command = folder_.file("sint-say") + " -q -o " + folder_.file("say.wav") +
                                " 'Dober dan.' 2>" + folder_.file("say.err");
    EXPECT_NE(std::system(command.c_str()), 0);
    const std::string error = folder_.read("say.err");
    EXPECT_NE(error.find("has no voice to start with"), std::string::npos) << error;
    EXPECT_FALSE(folder_.exists("say.wav"));
}

}  // namespace
}  // namespace sint
