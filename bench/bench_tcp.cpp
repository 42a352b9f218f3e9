// sintsrv under load over TCP: requests per second of 60 clients sending 100
// STREAM requests each, the server's resident memory after 1000 and after
// 10000 requests, and the time from a ten-word sentence's request to the first
// byte (and to the whole) of its audio reply.
//
//   bench_tcp                a sintsrv with the default voice, started from a
//                            copy of the build's program folder on a free port
//   bench_tcp --folder DIR   the same from another program folder
//   bench_tcp --instant      the TCP server and protocol alone, in process, with
//                            a stand-in synthesiser that answers at once
//   bench_tcp PORT           a sintsrv that runs already (no memory figures)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/server_process.h"
#include "core/frame.h"
#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "synth/synthesis_service.h"

namespace {

namespace fs = std::filesystem;
using sint::bench::ini_for_port;
using sint::bench::reap;
using sint::bench::spawn;
using Clock = std::chrono::steady_clock;

// The ten-word sentence of every request.
constexpr const char* kTenWords = "Danes je lep dan in jutri bo verjetno tudi lepo vreme.";
// How long one reply may take before the request counts as unanswered.
constexpr int kReplyTimeoutMs = 30000;
// How long a started server may take to load its data.
constexpr int kStartTimeoutMs = 60000;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 100 samples per character of the transcription.
class InstantSynthesis : public sint::SynthesisService {
public:
    bool ready() const override { return true; }
    int convert(std::string_view text) override {
        length_ = text.size();
        return text.empty() ? -201 : 0;
    }
    long convert_first_sentence(std::string_view text) override {
        return static_cast<long>(text.size());
    }
    int prosody(std::optional<std::string_view> transcription) override {
        if (transcription) length_ = transcription->size();
        return 0;
    }
    void synthesise_to_file(int, int, int, int, const std::string&, int) override {}
    std::span<const std::int16_t> synthesise_to_memory(int) override {
        samples_.assign(length_ * 100, 1234);
        return samples_;
    }
    void set_pitch_offset(std::int32_t) override {}
    void set_articulation(std::int32_t) override {}
    void set_tempo(std::int32_t) override {}
    void set_window_width(std::int32_t) override {}

private:
    std::size_t length_ = 0;
    std::vector<std::int16_t> samples_;
};

// Resident memory of a process in kB (/proc/<pid>/status), or -1.
long resident_kb(pid_t pid) {
    std::ifstream status("/proc/" + (pid > 0 ? std::to_string(pid) : std::string("self")) +
                         "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// `clients` connections send `each` STREAM requests of `text`, one after the
// other; returns how many were answered with audio.
long run_load(int port, int clients, int each, const char* text = kTenWords) {
    std::atomic<long> answered{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            sint::ProtocolConnection connection;
            if (!connection.connect("127.0.0.1", static_cast<std::uint16_t>(port))) return;
            for (int i = 0; i < each; ++i) {
                if (!connection.send_request(sint::stream_request(text))) return;
                if (connection.wait_for(sint::ReplyType::Audio, kReplyTimeoutMs)) ++answered;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    return answered;
}

struct Latency {
    double first_byte_ms = -1;  // request sent to the first byte of the reply
    double whole_ms = -1;       // request sent to the last byte of the reply
};

// The median over `rounds` STREAM requests of `text` on one raw connection.
Latency audio_latency(int port, const char* text, int rounds = 21) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return {};
    }
    const std::string request = sint::stream_request(text);
    const std::vector<std::uint8_t> frame =
        sint::encode_frame(std::string_view(request.c_str(), request.size() + 1), 1);
    std::vector<double> first, whole;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (int r = 0; r < rounds; ++r) {
        const auto started = Clock::now();
        if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size()))
            break;
        std::vector<std::uint8_t> reply;
        std::size_t expected = sint::kFrameHeaderSize;
        while (reply.size() < expected) {
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, kReplyTimeoutMs) <= 0) break;
            const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
            if (got <= 0) break;
            if (reply.empty()) first.push_back(ms_since(started));
            reply.insert(reply.end(), buffer.begin(), buffer.begin() + got);
            if (reply.size() >= sint::kFrameHeaderSize && expected == sint::kFrameHeaderSize)
                expected += sint::decode_header(reply.data()).length;
        }
        if (reply.size() < expected) break;
        whole.push_back(ms_since(started));
    }
    close(fd);
    const auto median = [](std::vector<double>& v) {
        if (v.empty()) return -1.0;
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    return {median(first), median(whole)};
}

// The figures, against a server on `port` whose memory is read from `pid`
// (0: this process; -1: not known).
int measure(int port, pid_t pid) {
    const auto resident = [pid] { return pid < 0 ? -1L : resident_kb(pid); };
    long total = 0;
    const Latency ten = audio_latency(port, kTenWords);
    std::printf(
        "ten-word sentence: first audio byte after %.1f ms, whole reply after %.1f ms"
        " (median of 21)\n",
        ten.first_byte_ms, ten.whole_ms);

    total += run_load(port, 10, 100);
    const long after_1000 = resident();

    const auto started = Clock::now();
    const long answered = run_load(port, 60, 100);
    const double seconds = ms_since(started) / 1000;
    total += answered;
    std::printf("60 clients x 100 STREAM: %ld of 6000 answered with audio, %.0f requests/s\n",
                answered, answered / seconds);

    total += run_load(port, 10, static_cast<int>((10000 - total) / 10));
    const long after_10000 = resident();
    // In process the figure includes the clients' threads and their heaps.
    if (pid >= 0)
        std::printf("%s: %ld kB after 1000 requests, %ld kB after %ld\n",
                    pid > 0 ? "server's resident memory" : "resident memory of server and clients",
                    after_1000, after_10000, total);
    return answered == 6000 ? 0 : 1;
}

int bench_instant() {
    std::printf("== the TCP server and protocol in process, stand-in synthesiser\n");
    InstantSynthesis synthesis;
    sint::ShellState shell;
    sint::ServerSettings settings;
    sint::TcpServerOptions options;
    options.program_folder = fs::temp_directory_path().string() + "/";
    sint::TcpServer server(synthesis, shell, settings, options);
    if (server.server_start(0) != 0 || !server.listening()) {
        std::fprintf(stderr, "bench_tcp: the server did not start\n");
        return 1;
    }
    const int result = measure(server.port(), 0);
    server.server_stop();
    return result;
}

int bench_folder(const fs::path& source) {
    if (!fs::exists(source / "sintsrv")) {
        std::fprintf(stderr, "bench_tcp: no sintsrv in %s\n", source.c_str());
        return 1;
    }
    const bool packed = fs::exists(source / "data/MorvenaIdra.dat");
    if (!packed && !fs::exists(source / "filenames.ini")) {
        std::printf(
            "%s holds no voice (neither data/MorvenaIdra.dat nor filenames.ini; make "
            "voice builds it): measuring the server alone\n",
            source.c_str());
        return bench_instant();
    }
    std::string pattern = (fs::temp_directory_path() / "sint-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path folder = pattern;
    fs::copy(source, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const std::uint16_t port = sint::free_loopback_port();
    std::ofstream(folder / "sint.ini") << ini_for_port(source / "sint.ini", port);
    const std::string program = (folder / "sintsrv").string();
    std::printf("== sintsrv with the voice of %s, port %u\n", source.c_str(), port);

    int result = 1;
    if (!packed) {
        const pid_t builder = spawn({program, "-konzola", "-ustvaripodatke"});
        waitpid(builder, nullptr, 0);
    }
    const auto started = Clock::now();
    const pid_t server = spawn({program, "-konzola", "-hitro"});
    sint::ProtocolConnection probe;
    bool ready = false;
    while (!ready && ms_since(started) < kStartTimeoutMs &&
           waitpid(server, nullptr, WNOHANG) == 0) {
        if (probe.connect("127.0.0.1", port) && probe.send_request(sint::command_request("TEST")))
            ready = probe.wait_for(sint::ReplyType::Ok, 1000).has_value();
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ready) {
        std::printf("fast start to the first answer of TEST: %.0f ms, resident memory %ld kB\n",
                    ms_since(started), resident_kb(server));
        probe.close();  // the load takes all 60 client slots
        result = measure(port, server);
        if (probe.connect("127.0.0.1", port))
            probe.send_request(sint::command_request("TERMINATE"));
        probe.wait_for(sint::ReplyType::End, 5000);
    } else {
        std::fprintf(stderr, "bench_tcp: sintsrv did not become ready\n");
    }
    probe.close();
    reap(server);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--instant") return bench_instant();
    if (first == "--folder" && argc > 2) return bench_folder(argv[2]);
    if (!first.empty() && std::isdigit(static_cast<unsigned char>(first[0]))) {
        std::printf("== sintsrv on port %s\n", first.c_str());
        return measure(std::atoi(first.c_str()), -1);
    }
    if (!first.empty()) {
        std::fprintf(stderr, "usage: bench_tcp [--instant | --folder DIR | PORT]\n");
        return 2;
    }
    return bench_folder(SINT_PROGRAM_DIR);
}
