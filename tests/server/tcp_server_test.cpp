// The TCP server in this process on a free port, with the fake synthesiser:
// replies over real connections, malformed and hostile clients, many clients,
// large replies, the idle rule's client test, TERMINATE and restarting.
#include "server/tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "tests/support/fake_synthesis.h"

namespace sint {
namespace {

using namespace std::chrono_literals;

constexpr int kReplyWaitMs = 5000;

// A client that writes raw bytes, for frames no well-behaved client sends.
class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~RawClient() { close(); }
    bool connected() const { return connected_; }
    void write(std::string_view bytes) {
        ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // True when the server closed the connection within the time.
    bool closed_by_server(int timeout_ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) return false;
        char byte;
        return ::recv(fd_, &byte, 1, 0) <= 0;
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    bool connected_ = false;
};

std::string frame_bytes(std::string_view request) {
    std::string payload(request);
    payload.push_back('\0');
    const auto frame = encode_frame(payload, kFrameKindTest);
    return std::string(frame.begin(), frame.end());
}

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

class TcpServerTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    void start(ServerSocketOptions socket_options = {}) {
        TcpServerOptions options;
        options.socket = socket_options;
        options.socket.select_timeout_ms = 100;
        options.program_folder = "/tmp/";
        server = std::make_unique<TcpServer>(synthesis, shell, settings, options);
        ASSERT_EQ(server->server_start(0), 0);
        ASSERT_TRUE(server->listening());
        port = server->port();
    }

    std::unique_ptr<ProtocolConnection> connect() {
        auto connection = std::make_unique<ProtocolConnection>();
        EXPECT_TRUE(connection->connect("127.0.0.1", static_cast<std::uint16_t>(port)));
        return connection;
    }

    // Sends one request and waits for the next reply.
    static std::optional<Reply> ask(ProtocolConnection& connection, std::string_view request) {
        if (!connection.send_request(request)) return std::nullopt;
        const auto frame = connection.receive(kReplyWaitMs);
        if (!frame) return std::nullopt;
        return recognise_reply(frame->payload);
    }

    test::FakeSynthesis synthesis;
    ShellState shell;
    ServerSettings settings;
    std::unique_ptr<TcpServer> server;
    int port = 0;
};

TEST_F(TcpServerTest, TestIsAnsweredWithKindOne) {
    auto client = connect();
    ASSERT_TRUE(client->send_request("TEST\t\t"));
    const auto frame = client->receive(kReplyWaitMs);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, kFrameKindTest);
    EXPECT_EQ(std::string(frame->payload.begin(), frame->payload.end()),
              std::string("SINT_OK\0", 8));
}

TEST_F(TcpServerTest, StreamGfpAndVolumeOverTheConnection) {
    auto client = connect();
    client->send_request("VOLUME\t\tN5");
    client->send_request("TEMPO\t\t-30");
    const auto audio = ask(*client, "STREAM\t\tx");
    ASSERT_TRUE(audio);
    ASSERT_EQ(audio->type, ReplyType::Audio);
    EXPECT_EQ(audio->samples.size(), 3u * test::FakeSynthesis::kSamplesPerChar);  // "iks"
    EXPECT_EQ(audio->samples[0], -10);                                            // volume 1
    EXPECT_EQ(synthesis.calls("prosody"), std::vector<std::string>{"prosody:iks"});
    EXPECT_EQ(synthesis.calls("tempo"), std::vector<std::string>{"tempo:-10"});

    const auto end = ask(*client, "GFP\t\tDober dan. Kako si?");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->type, ReplyType::SentenceEnd);
    EXPECT_EQ(end->value, 10);

    // Another connection keeps the default settings.
    auto other = connect();
    const auto loud = ask(*other, "STREAM\t\tx");
    ASSERT_TRUE(loud);
    EXPECT_EQ(loud->samples[0], test::FakeSynthesis::kSample);
}

TEST_F(TcpServerTest, ARequestWithOneTabIsNotAnswered) {
    auto client = connect();
    client->send_request("TEST\t");
    client->send_request("STREAM\tx");
    const auto reply = ask(*client, "GFP\t\tA. B.");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, ReplyType::SentenceEnd);  // the first reply is the third request's
}

TEST_F(TcpServerTest, WaveFileRequestsAreNumberedAcrossConnections) {
    auto first = connect();
    auto second = connect();
    for (int i = 0; i < 4; ++i) {
        first->send_request("SINT\t\tDober dan.");
        second->send_request("SINT\t\tDober dan.");
    }
    ASSERT_TRUE(ask(*first, "TEST\t\t"));
    ASSERT_TRUE(ask(*second, "TEST\t\t"));
    const auto files = synthesis.calls("file");
    ASSERT_EQ(files.size(), 8u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file:/tmp/sint_%04zu.wav", (i + 1) % 6);
        EXPECT_EQ(files[i].rfind(name, 0), 0u) << files[i];
    }
}

TEST_F(TcpServerTest, TerminateAnswersAndRequestsTheStop) {
    auto client = connect();
    const auto reply = ask(*client, "TERMINATE\t\t");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, ReplyType::End);
    EXPECT_TRUE(shell.stop_requested());
}

TEST_F(TcpServerTest, MalformedFramesDoNotDisturbTheServer) {
    auto good = connect();
    std::string all_bytes;
    for (int c = 0; c < 256; ++c) all_bytes.push_back(static_cast<char>(c));
    const std::string headers_split = frame_bytes("TEST\t\t");
    const std::string huge = [] {
        std::string header = frame_bytes("");
        header.replace(4, 4, "\xff\xff\xff\x7f", 4);
        return header;
    }();

    {
        RawClient junk(port);
        junk.write("garbage without any magic at all, garbage, garbage" + frame_bytes("TEST\t\t"));
        RawClient split(port);
        for (char byte : headers_split) split.write(std::string(1, byte));
        RawClient twice(port);
        twice.write(frame_bytes("TEST\t\t") + frame_bytes("TEST\t\t"));
        RawClient no_nul(port);
        const auto frame = encode_frame("TEST\t\t", kFrameKindTest);
        no_nul.write(std::string(frame.begin(), frame.end()));
        RawClient no_tabs(port);
        no_tabs.write(frame_bytes("STREAM Dober dan."));
        RawClient every_byte(port);
        every_byte.write(frame_bytes(all_bytes) + frame_bytes("STREAM\t\t" + all_bytes));
        RawClient oversized(port);
        oversized.write(huge + std::string(1000, 'a'));
        EXPECT_TRUE(oversized.closed_by_server(kReplyWaitMs));

        for (RawClient* client : {&junk, &split, &no_nul}) {
            ProtocolConnection reader;  // read the raw socket's replies through a reader
            FrameReader frames;
            char buffer[64];
            pollfd p{client->fd(), POLLIN, 0};
            ASSERT_GT(::poll(&p, 1, kReplyWaitMs), 0);
            const ssize_t n = ::recv(client->fd(), buffer, sizeof buffer, 0);
            ASSERT_GT(n, 0);
            frames.append(buffer, static_cast<std::size_t>(n));
            const auto reply = frames.take();
            ASSERT_TRUE(reply);
            EXPECT_EQ(recognise_reply(reply->payload).type, ReplyType::Ok);
        }
        // Two frames in one segment: two replies, however the network splits them.
        FrameReader frames;
        int replies = 0;
        while (replies < 2) {
            if (frames.take()) {
                ++replies;
                continue;
            }
            char buffer[64];
            pollfd p{twice.fd(), POLLIN, 0};
            ASSERT_GT(::poll(&p, 1, kReplyWaitMs), 0) << replies << " replies";
            const ssize_t n = ::recv(twice.fd(), buffer, sizeof buffer, 0);
            ASSERT_GT(n, 0);
            frames.append(buffer, static_cast<std::size_t>(n));
        }
        EXPECT_FALSE(frames.take());
    }
    const auto reply = ask(*good, "TEST\t\t");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, ReplyType::Ok);
}

TEST_F(TcpServerTest, SilentSlowAndVanishingClientsDoNotBlockOthers) {
    RawClient silent(port);
    RawClient slow(port);
    RawClient vanishing(port);
    const std::string request = frame_bytes("STREAM\t\tDober dan.");
    vanishing.write(request.substr(0, 7));
    vanishing.close();
    slow.write(request.substr(0, 3));
    auto good = connect();
    for (int i = 0; i < 20; ++i) {
        const auto reply = ask(*good, "STREAM\t\tabc");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->type, ReplyType::Audio);
        slow.write(request.substr(3 + i, 1));
    }
    EXPECT_TRUE(eventually([&] { return server->clients().count() == 3; }));
}

TEST_F(TcpServerTest, SeventyClientsAreAllServedSixtyAtATime) {
    std::vector<std::unique_ptr<ProtocolConnection>> clients;
    for (int i = 0; i < 70; ++i) {
        clients.push_back(connect());
        ASSERT_TRUE(clients.back()->send_request("STREAM\t\tab"));
    }
    int answered = 0;
    for (int i = 0; i < 60; ++i) {
        const auto frame = clients[i]->receive(kReplyWaitMs);
        ASSERT_TRUE(frame) << i;
        EXPECT_EQ(recognise_reply(frame->payload).type, ReplyType::Audio);
        ++answered;
    }
    EXPECT_EQ(server->clients().count(), 60u);
    // The last ten wait in the backlog until others leave.
    EXPECT_FALSE(clients[65]->receive(200));
    for (int i = 0; i < 10; ++i) clients[i]->close();
    for (int i = 60; i < 70; ++i) {
        const auto frame = clients[i]->receive(kReplyWaitMs);
        ASSERT_TRUE(frame) << i;
        ++answered;
    }
    EXPECT_EQ(answered, 70);
}

TEST_F(TcpServerTest, ALargeReplyArrivesWholeAtASlowReader) {
    synthesis.fixed_samples = 2'000'000;  // 4 MB of audio, far beyond the socket buffers
    auto client = connect();
    client->send_request("STREAM\t\tdolg stavek");
    std::this_thread::sleep_for(300ms);  // the server has to wait for the reader
    const auto frame = client->receive(kReplyWaitMs * 2);
    ASSERT_TRUE(frame);
    const Reply reply = recognise_reply(frame->payload);
    EXPECT_EQ(reply.samples.size(), 2'000'000u);
    const auto again = ask(*client, "TEST\t\t");
    ASSERT_TRUE(again);
}

TEST_F(TcpServerTest, AClientThatNeverReadsIsDroppedAfterTheSendTimeOut) {
    server->server_stop();
    ServerSocketOptions options;
    options.stall_timeout_ms = 200;
    start(options);
    synthesis.fixed_samples = 4'000'000;
    RawClient deaf(port);
    deaf.write(frame_bytes("STREAM\t\tdolg stavek"));
    auto good = connect();
    const auto reply = ask(*good, "TEST\t\t");
    ASSERT_TRUE(reply);
    EXPECT_TRUE(eventually([&] { return server->clients().count() == 1; }));
}

TEST_F(TcpServerTest, AClientThatNeverReadsDelaysNobody) {
    synthesis.fixed_samples = 1'500'000;  // 3 MB per reply, far beyond the socket buffers
    RawClient deaf(port);
    for (int i = 0; i < 3; ++i) deaf.write(frame_bytes("STREAM\t\tdolg stavek"));
    EXPECT_TRUE(eventually([&] { return synthesis.calls("memory").size() >= 3; }));
    // Well within the 10 s a non-reading client is given before it is dropped.
    auto good = connect();
    ASSERT_TRUE(good->send_request("STREAM\t\tdolg stavek"));
    const auto frame = good->receive(3000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(recognise_reply(frame->payload).samples.size(), 1'500'000u);
    EXPECT_EQ(server->clients().count(), 2u);
}

TEST_F(TcpServerTest, RepliesPilingUpForAClientThatNeverReadsDropIt) {
    // 4 MB per reply: whatever the socket buffers take, 8 MB soon wait.
    synthesis.fixed_samples = 2'000'000;
    RawClient deaf(port);
    for (int i = 0; i < 8; ++i) deaf.write(frame_bytes("STREAM\t\tdolg stavek"));
    EXPECT_TRUE(eventually([&] { return synthesis.calls("memory").size() >= 3; }));
    EXPECT_TRUE(eventually([&] { return server->clients().count() == 0; }));
}

TEST_F(TcpServerTest, ClientsWithManyRequestsTakeTurnsWithOthers) {
    synthesis.delay_ms = 20;
    std::string requests;
    for (int i = 0; i < 30; ++i) requests += frame_bytes("STREAM\t\tbusy" + std::to_string(i));
    RawClient raw(port);
    raw.write(requests);
    EXPECT_TRUE(eventually([&] { return !synthesis.calls("convert:busy").empty(); }));
    auto other = connect();
    const auto reply = ask(*other, "STREAM\t\tother");
    ASSERT_TRUE(reply);
    const auto converts = synthesis.calls("convert");
    const auto at = std::find(converts.begin(), converts.end(), "convert:other");
    ASSERT_NE(at, converts.end());
    // Served after a turn or two of the busy client, not after all its 30 requests.
    EXPECT_LE(at - converts.begin(), 4);
}

TEST_F(TcpServerTest, TheClientListFollowsConnectionsForTheIdleRule) {
    EXPECT_TRUE(server->clients_empty());
    {
        auto client = connect();
        EXPECT_TRUE(eventually([&] { return !server->clients_empty(); }));
    }
    EXPECT_TRUE(eventually([&] { return server->clients_empty(); }));
}

TEST_F(TcpServerTest, StopClosesConnectionsAndFreesThePort) {
    auto client = connect();
    ASSERT_TRUE(ask(*client, "TEST\t\t"));
    const auto started = std::chrono::steady_clock::now();
    server->server_stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(server->clients_empty());
    EXPECT_FALSE(client->receive(kReplyWaitMs));
    EXPECT_FALSE(client->connected());
    // The same port can be bound again at once (REINIT restarts the server).
    const int old_port = port;
    ASSERT_EQ(server->server_start(old_port), 0);
    EXPECT_TRUE(server->listening());
    EXPECT_EQ(server->port(), old_port);
    auto again = connect();
    ASSERT_TRUE(ask(*again, "TEST\t\t"));
}

TEST_F(TcpServerTest, APortInUseLeavesTheServerWithoutListener) {
    const TcpServerOptions options;
    TcpServer second(synthesis, shell, settings, options);
    EXPECT_EQ(second.server_start(port), 0);
    EXPECT_FALSE(second.listening());
    second.server_stop();
    auto client = connect();
    EXPECT_TRUE(ask(*client, "TEST\t\t"));
}

// With every descriptor of the process taken, a waiting connection is
// accepted and closed rather than left to wake the loop again and again.
TEST(TcpServerDescriptors, RunningOutOfDescriptorsDoesNotSpinTheLoop) {
    Tserver_socket server(0, ServerSocketOptions{});
    ASSERT_EQ(server.open_listener(), Tserver_socket::kListening);
    std::thread loop([&] { server.run_loop(); });
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);

    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) fillers.push_back(fd);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::uint64_t before = server.loop_passes();
    pollfd p{client, POLLIN, 0};
    const bool closed = ::poll(&p, 1, 1000) > 0;
    std::this_thread::sleep_for(300ms);
    const std::uint64_t passes = server.loop_passes() - before;

    for (int fd : fillers) ::close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
    char byte;
    EXPECT_TRUE(closed && ::recv(client, &byte, 1, 0) == 0) << "the connection is refused";
    EXPECT_LT(passes, 50u);
    ::close(client);
    server.request_stop();
    loop.join();
}

TEST_F(TcpServerTest, WorkersAnswerEachConnectionInOrderWithItsSettings) {
    std::vector<std::unique_ptr<test::FakeSynthesis>> fakes;
    std::vector<SynthesisService*> workers;
    for (int i = 0; i < 4; ++i) {
        fakes.push_back(std::make_unique<test::FakeSynthesis>());
        fakes.back()->delay_ms = 5;
        workers.push_back(fakes.back().get());
    }
    server->server_stop();
    server->set_workers(workers);
    ASSERT_EQ(server->server_start(0), 0);
    port = server->port();

    constexpr int kClients = 12, kEach = 8;
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            ProtocolConnection connection;
            if (!connection.connect("127.0.0.1", static_cast<std::uint16_t>(port))) {
                ++wrong;
                return;
            }
            const int volume = 10 + c;
            connection.send_request("VOLUME\t\t" + std::to_string(volume));
            // All requests at once: the replies must still come in order.
            for (int i = 0; i < kEach; ++i)
                connection.send_request("STREAM\t\t" + std::string(2 + i, 'a'));
            for (int i = 0; i < kEach; ++i) {
                const auto reply = connection.wait_for(ReplyType::Audio, kReplyWaitMs);
                if (!reply ||
                    reply->samples.size() != (2u + i) * test::FakeSynthesis::kSamplesPerChar ||
                    reply->samples[0] != test::FakeSynthesis::kSample * volume / 100)
                    ++wrong;
            }
        });
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(wrong, 0);
    int busy = 0;
    for (const auto& fake : fakes) busy += !fake->calls("memory").empty();
    EXPECT_GT(busy, 1);  // the requests were spread over the workers
}

TEST_F(TcpServerTest, AResultForAVanishedClientIsDroppedAndTheWorkerGoesOn) {
    synthesis.delay_ms = 300;
    {
        RawClient gone(port);
        gone.write(frame_bytes("STREAM\t\tDober dan."));
        ASSERT_TRUE(eventually([&] { return !synthesis.calls("prosody").empty(); }));
    }  // closed while its request is with the worker
    auto next = connect();
    const auto first = ask(*next, "STREAM\t\tx");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, ReplyType::Audio);
    EXPECT_EQ(first->samples.size(), 3u * test::FakeSynthesis::kSamplesPerChar);  // "iks"
}

TEST_F(TcpServerTest, StopSendsTheRepliesOfHeldRequestsFirst) {
    synthesis.delay_ms = 300;
    auto client = connect();
    ASSERT_TRUE(client->send_request("STREAM\t\tDober dan."));
    ASSERT_TRUE(eventually([&] { return !synthesis.calls("prosody").empty(); }));
    std::thread stopper([&] { server->server_stop(); });
    const auto reply = client->wait_for(ReplyType::Audio, kReplyWaitMs);
    stopper.join();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->samples.empty());
}

TEST_F(TcpServerTest, TheClientReconnectsOnceWithItsSettingsWhenTheConnectionBreaks) {
    auto client = connect();
    client->send_request("VOLUME\t\t50");
    client->send_request("VOLUME\t\t20");  // only the last value is sent again
    client->send_request("TEMPO\t\t3");
    ASSERT_TRUE(client->ask("STREAM\t\tx", ReplyType::Audio, kReplyWaitMs));
    server->server_stop();  // the connection breaks
    ASSERT_EQ(server->server_start(port), 0);
    synthesis.clear();
    const auto reply = client->ask("STREAM\t\tx", ReplyType::Audio, kReplyWaitMs);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->samples[0], test::FakeSynthesis::kSample * 20 / 100);
    EXPECT_EQ(synthesis.calls("tempo"), std::vector<std::string>{"tempo:3"});
    // Nobody to reconnect to: one more try, then nothing.
    server->server_stop();
    EXPECT_FALSE(client->ask("STREAM\t\tx", ReplyType::Audio, kReplyWaitMs));
}

TEST(TcpServerAddress, TheLoopbackIsTheDefault) {
    EXPECT_EQ(listen_address(nullptr), "127.0.0.1");
    EXPECT_EQ(ServerSocketOptions{}.address, "127.0.0.1");
}

}  // namespace
}  // namespace sint

namespace sint {
namespace {

// A frame in pieces that the socket takes only in part: what it does not take
// is queued from the right byte on, and the reader gets the pieces whole, in order.
TEST(OutputQueueTest, PiecesTheSocketCannotTakeAtOnceArriveWholeAndInOrder) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int small = 4096;
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
    std::vector<std::uint8_t> bytes(300'000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const OutputQueue::Bytes pieces[] = {
        {bytes.data(), 12}, {bytes.data() + 12, 8}, {}, {bytes.data() + 20, bytes.size() - 20}};
    OutputQueue queue;
    EXPECT_EQ(queue.send_frame(pair[0], pieces), OutputQueue::Flush::Blocked);
    std::vector<std::uint8_t> got;
    std::uint8_t chunk[8192];
    while (got.size() < bytes.size()) {
        const long n = ::read(pair[1], chunk, sizeof chunk);
        ASSERT_GT(n, 0);
        got.insert(got.end(), chunk, chunk + n);
        if (!queue.empty()) queue.flush(pair[0]);
    }
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(got == bytes);
    ::close(pair[0]);
    ::close(pair[1]);
}

}  // namespace
}  // namespace sint
