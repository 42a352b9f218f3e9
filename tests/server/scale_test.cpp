// Several synthesis workers and several servers: real sintsrv processes with
// the synthetic voice, many clients at once, and a real haproxy in front of two
// servers, all on the loopback interface.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/protocol_client.h"
#include "tests/support/sintsrv_process.h"
#include "tests/support/strict.h"

namespace sint {
namespace {

using sint::test::connect_ready;
using sint::test::poll_until;
using sint::test::ProgramFolder;
using sint::test::ServerProcess;
using sint::test::TempDir;

constexpr int kReplyMs = 20000;
// Sentences of the synthetic voice's phones, some alike, some not.
const char* const kSentences[] = {"Mama ima kis.", "Kaj ima mama?", "Sama kisa.", "Ima mama mamo?",
                                  "Mimi ima miks."};

// What one connection heard: its replies in order (empty for an unanswered one).
using Heard = std::vector<std::vector<std::int16_t>>;

// `clients` connections at once, each with voice settings of its own, send
// `each` sentences one after the other to `port`.
std::vector<Heard> speak(std::uint16_t port, int clients, int each) {
    std::vector<Heard> heard(static_cast<std::size_t>(clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&heard, port, c, each] {
            ProtocolConnection connection;
            if (!connection.connect("127.0.0.1", port)) return;
            connection.send_request(command_request("TEMPO", c % 21 - 10));
            connection.send_request(command_request("PITCH", c * 7 % 41 - 20));
            connection.send_request(command_request("VOLUME", 40 + c));
            for (int i = 0; i < each; ++i) {
                const auto reply = connection.ask(stream_request(kSentences[(c + i) % 5]),
                                                  ReplyType::Audio, kReplyMs);
                heard[static_cast<std::size_t>(c)].push_back(reply ? reply->samples
                                                                   : std::vector<std::int16_t>{});
            }
        });
    }
    for (auto& thread : threads) thread.join();
    return heard;
}

// A sintsrv with `workers` synthesis workers in a program folder of its own.
struct Server {
    explicit Server(int workers) {
        std::ofstream(folder.file("sint.ini"), std::ios::app)
            << "delavci = " << workers << "\npisi_dnevnik = false\n";
        process.emplace(folder, std::vector<std::string>{"-pocasi", "-disk"});
        ProtocolConnection probe;
        ready = connect_ready(probe, folder.port(), 20000, &*process);
    }
    ~Server() { stop(); }
    void stop() {
        if (!process || !process->running()) return;
        ProtocolConnection last;
        if (last.connect("127.0.0.1", folder.port()))
            last.send_request(command_request("TERMINATE"));
        EXPECT_EQ(process->wait_exit(20000), 0);
    }
    ProgramFolder folder;
    std::optional<ServerProcess> process;
    bool ready = false;
};

TEST(Workers, SeveralWorkersGiveTheAudioOfOneInOrder) {
    constexpr int kClients = 60, kEach = 4;
    std::vector<Heard> one;
    {
        Server server(1);
        ASSERT_TRUE(server.ready);
        one = speak(server.folder.port(), kClients, kEach);
    }
    for (int c = 0; c < kClients; ++c)
        for (int i = 0; i < kEach; ++i)
            ASSERT_FALSE(one[c][i].empty()) << "client " << c << ", sentence " << i;
    for (const int workers : {2, 4}) {
        Server server(workers);
        ASSERT_TRUE(server.ready) << workers;
        const std::vector<Heard> many = speak(server.folder.port(), kClients, kEach);
        int different = 0;
        for (int c = 0; c < kClients; ++c) different += many[c] != one[c];
        EXPECT_EQ(different, 0) << workers << " workers";
    }
}

// haproxy in the foreground with the shipped configuration, listening on the
// loopback at `port` in front of `backends`.
class Haproxy {
public:
    Haproxy(std::uint16_t port, const std::vector<std::uint16_t>& backends) {
        std::ifstream shipped(std::string(SINT_SOURCE_DIR) + "/deploy/haproxy/haproxy.cfg");
        std::ostringstream config;
        std::string line;
        while (std::getline(shipped, line)) {
            const auto word = line.substr(0, line.find_first_of('#'));
            // The test has no system log; its own address and servers.
            if (word.find(" log ") != std::string::npos ||
                word.find("tcplog") != std::string::npos || word.rfind("    server ", 0) == 0)
                continue;
            if (word.rfind("    bind ", 0) == 0)
                line = "    bind 127.0.0.1:" + std::to_string(port);
            config << line << "\n";
        }
        for (std::size_t i = 0; i < backends.size(); ++i)
            config << "    server sint" << i << " 127.0.0.1:" << backends[i] << " check\n";
        const std::string path = dir_.file("haproxy.cfg");
        std::ofstream(path) << config.str();
        pid_ = fork();
        if (pid_ == 0) {
            execl(kProgram, kProgram, "-db", "-q", "-f", path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Haproxy() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    static constexpr const char* kProgram = "/usr/sbin/haproxy";

private:
    TempDir dir_;
    pid_t pid_ = -1;
};

TEST(Haproxy, TwoServersShareTheClientsAndOneMayGoDown) {
    if (access(Haproxy::kProgram, X_OK) != 0) SINT_LACKING("haproxy (make deps installs it)");
    Server first(1), second(1);
    ASSERT_TRUE(first.ready && second.ready);
    const std::uint16_t port = free_loopback_port();
    Haproxy proxy(port, {first.folder.port(), second.folder.port()});
    ProtocolConnection probe;
    // Ready once the checks have found both servers up.
    ASSERT_TRUE(connect_ready(probe, port, 10000));
    probe.close();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));

    // 60 clients through the proxy are all answered.
    const std::vector<Heard> all = speak(port, 60, 2);
    int unanswered = 0;
    for (const Heard& heard : all)
        for (const auto& audio : heard) unanswered += audio.empty();
    EXPECT_EQ(unanswered, 0);

    // One server dies while clients are in the middle of their sentences:
    // those whose connection broke reconnect, through the proxy, to the other.
    std::atomic<int> failed{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 20; ++c) {
        clients.emplace_back([&, c] {
            ProtocolConnection connection;
            if (!connection.connect("127.0.0.1", port)) {
                ++failed;
                return;
            }
            connection.send_request(command_request("VOLUME", 50 + c));
            for (int i = 0; i < 12; ++i) {
                if (!connection.ask(stream_request(kSentences[i % 5]), ReplyType::Audio, kReplyMs))
                    ++failed;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(first.process->pid(), SIGKILL);
    for (auto& client : clients) client.join();
    EXPECT_EQ(failed, 0);

    // The check has taken the dead one out: new connections all get answers.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    for (int i = 0; i < 6; ++i) {
        ProtocolConnection fresh;
        ASSERT_TRUE(fresh.connect("127.0.0.1", port));
        EXPECT_TRUE(fresh.ask(stream_request("Mama ima kis."), ReplyType::Audio, kReplyMs)) << i;
    }
}

}  // namespace
}  // namespace sint
