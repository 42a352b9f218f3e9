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
//   bench_tcp --scale [N]    60 clients x N sentences (default 100) with 1, 2
//                            and 4 synthesis workers, and through haproxy with
//                            1 and 2 one-worker servers: requests and seconds of
//                            audio per second, p50/p99 time to the whole reply
//                            of the ten-word sentence under that load, and the
//                            resident memory of 1 and 4 workers in disk mode
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
#include <memory>
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
    void set_speed(std::int32_t) override {}
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

// A sintsrv of the scale table: a copy of the program folder with its own port
// and `extra` lines in sint.ini, started in disk mode with a fast start.
class BenchServer {
public:
    BenchServer(const fs::path& source, const std::string& extra) {
        std::string pattern = (fs::temp_directory_path() / "sint-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        fs::copy(source, folder_,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        port_ = sint::free_loopback_port();
        std::ofstream(folder_ / "sint.ini") << ini_for_port(source / "sint.ini", port_, extra);
        const std::string program = (folder_ / "sintsrv").string();
        if (!fs::exists(folder_ / "data/MorvenaIdra.dat")) {
            const pid_t builder = spawn({program, "-konzola", "-ustvaripodatke"});
            waitpid(builder, nullptr, 0);
        }
        pid_ = spawn({program, "-konzola", "-hitro", "-disk"});
        const auto started = Clock::now();
        sint::ProtocolConnection probe;
        while (ms_since(started) < kStartTimeoutMs && waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (probe.connect("127.0.0.1", port_) &&
                probe.send_request(sint::command_request("TEST")) &&
                probe.wait_for(sint::ReplyType::Ok, 1000)) {
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~BenchServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    bool ready() const { return ready_; }
    std::uint16_t port() const { return port_; }
    pid_t pid() const { return pid_; }

private:
    fs::path folder_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// haproxy with the shipped configuration in front of `backends`, listening on
// the loopback; -1 when it is not installed.
pid_t start_haproxy(std::uint16_t port, const std::vector<std::uint16_t>& backends,
                    const fs::path& config_file) {
    if (access("/usr/sbin/haproxy", X_OK) != 0) return -1;
    std::ifstream shipped(std::string(SINT_SOURCE_DIR) + "/deploy/haproxy/haproxy.cfg");
    std::ofstream config(config_file);
    std::string line;
    while (std::getline(shipped, line)) {
        const std::string word = line.substr(0, line.find('#'));
        if (word.find(" log ") != std::string::npos || word.find("tcplog") != std::string::npos ||
            word.rfind("    server ", 0) == 0)
            continue;
        if (word.rfind("    bind ", 0) == 0) line = "    bind 127.0.0.1:" + std::to_string(port);
        config << line << "\n";
    }
    for (std::size_t i = 0; i < backends.size(); ++i)
        config << "    server sint" << i << " 127.0.0.1:" << backends[i] << " check\n";
    config.close();
    return spawn({"/usr/sbin/haproxy", "-db", "-q", "-f", config_file.string()});
}

struct LoadFigures {
    long answered = 0;
    double seconds = 0;
    double audio_seconds = 0;
    double p50_ms = -1, p99_ms = -1;
};

// A load client that costs little: it sends a prepared frame and reads the
// reply into a scratch buffer, so that on a small machine the clients leave
// the cores to the server. The audio's length is taken from the header.
class LeanClient {
public:
    explicit LeanClient(std::uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Blocking reads with a time-out: one call per read, no wait call.
        timeval limit{kReplyTimeoutMs / 1000, (kReplyTimeoutMs % 1000) * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~LeanClient() {
        if (fd_ >= 0) close(fd_);
    }
    // Sends the frame and reads one reply: its payload length, or -1.
    long exchange(const std::vector<std::uint8_t>& frame) {
        if (fd_ < 0 || send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) !=
                           static_cast<ssize_t>(frame.size()))
            return -1;
        std::uint8_t header[sint::kFrameHeaderSize];
        if (!read_exactly(header, sizeof header, sizeof header)) return -1;
        const long length = sint::decode_header(header).length;
        return read_exactly(nullptr, 0, static_cast<std::size_t>(length)) ? length : -1;
    }

private:
    // Reads `count` bytes, into `into` when given (of size `size`), else away.
    bool read_exactly(std::uint8_t* into, std::size_t size, std::size_t count) {
        std::size_t got = 0;
        while (got < count) {
            std::uint8_t* target = into ? into + got : scratch_.data();
            const std::size_t room = into ? size - got : scratch_.size();
            const ssize_t n = recv(fd_, target, std::min(room, count - got), 0);
            if (n <= 0) return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    int fd_ = -1;
    // Room for a whole reply of the ten-word sentence in one read.
    std::vector<std::uint8_t> scratch_ = std::vector<std::uint8_t>(1 << 18);
};

// 60 clients each send `each` ten-word sentences one after the other; every
// request is timed from its sending to the last byte of its reply.
LoadFigures timed_load(std::uint16_t port, int clients, int each) {
    const std::string request = sint::stream_request(kTenWords);
    const std::vector<std::uint8_t> frame =
        sint::encode_frame(std::string_view(request.c_str(), request.size() + 1), 1);
    std::vector<std::vector<double>> times(static_cast<std::size_t>(clients));
    std::atomic<long> answered{0}, samples{0};
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            auto connection = std::make_unique<LeanClient>(port);
            for (int i = 0; i < each; ++i) {
                const auto sent = Clock::now();
                const long length = connection->exchange(frame);
                // Only audio counts: the 8 bytes of "SINT_S_" and its NUL, then samples.
                if (length <= 8) continue;
                times[static_cast<std::size_t>(c)].push_back(ms_since(sent));
                ++answered;
                samples += (length - 8) / 2;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    LoadFigures figures;
    figures.seconds = ms_since(started) / 1000;
    figures.answered = answered;
    figures.audio_seconds = static_cast<double>(samples) / 16000;
    std::vector<double> all;
    for (const auto& client : times) all.insert(all.end(), client.begin(), client.end());
    if (!all.empty()) {
        std::sort(all.begin(), all.end());
        figures.p50_ms = all[all.size() / 2];
        figures.p99_ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    return figures;
}

void print_row(const char* setup, const LoadFigures& f, int requests, long rss_kb) {
    std::printf("%-22s %6ld/%-5d %8.1f %10.2f %9.0f %9.0f", setup, f.answered, requests,
                f.answered / f.seconds, f.audio_seconds / f.seconds, f.p50_ms, f.p99_ms);
    if (rss_kb >= 0)
        std::printf(" %9ld\n", rss_kb);
    else
        std::printf(" %9s\n", "-");
}

int bench_scale(const fs::path& source, int each) {
    constexpr int kClients = 60;
    const int requests = kClients * each;
    std::printf("== %d clients x %d ten-word sentences, default voice, disk mode, %u cores\n",
                kClients, each, std::thread::hardware_concurrency());
    std::printf("%-22s %12s %8s %10s %9s %9s %9s\n", "setup", "answered", "req/s", "audio s/s",
                "p50 ms", "p99 ms", "RSS kB");
    double one_worker = 0;
    int result = 0;
    for (const int workers : {1, 2, 4}) {
        BenchServer server(source, "delavci = " + std::to_string(workers) + "\n");
        if (!server.ready()) {
            std::fprintf(stderr, "bench_tcp: sintsrv did not become ready\n");
            return 1;
        }
        const long idle_rss = resident_kb(server.pid());
        const LoadFigures figures = timed_load(server.port(), kClients, each);
        const std::string setup = std::to_string(workers) + " worker" + (workers > 1 ? "s" : "");
        print_row(setup.c_str(), figures, requests, resident_kb(server.pid()));
        std::printf("%-22s resident memory when ready: %ld kB\n", "", idle_rss);
        const double rate = figures.answered / figures.seconds;
        if (workers == 1) one_worker = rate;
        if (workers == 2)
            std::printf("%-22s 2 workers give %.2f x the requests per second of 1\n", "",
                        rate / one_worker);
        if (figures.answered != requests) result = 1;
    }
    for (const int backends : {1, 2}) {
        std::vector<std::unique_ptr<BenchServer>> servers;
        std::vector<std::uint16_t> ports;
        for (int i = 0; i < backends; ++i) {
            servers.push_back(std::make_unique<BenchServer>(source, "delavci = 1\n"));
            if (!servers.back()->ready()) return 1;
            ports.push_back(servers.back()->port());
        }
        const std::uint16_t port = sint::free_loopback_port();
        const fs::path config =
            fs::temp_directory_path() / ("sint-bench-haproxy-" + std::to_string(getpid()) + ".cfg");
        const pid_t proxy = start_haproxy(port, ports, config);
        if (proxy < 0) {
            std::printf("haproxy is not installed (make deps): no figures through it\n");
            break;
        }
        // Ready once the health checks have found every server up (rise 2, inter 1 s).
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const LoadFigures figures = timed_load(port, kClients, each);
        const std::string setup =
            "haproxy, " + std::to_string(backends) + " server" + (backends > 1 ? "s" : "");
        print_row(setup.c_str(), figures, requests, -1);
        kill(proxy, SIGTERM);
        waitpid(proxy, nullptr, 0);
        fs::remove(config);
        if (figures.answered != requests) result = 1;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--instant") return bench_instant();
    if (first == "--scale")
        return bench_scale(SINT_PROGRAM_DIR, argc > 2 ? std::max(1, std::atoi(argv[2])) : 100);
    if (first == "--folder" && argc > 2) return bench_folder(argv[2]);
    if (!first.empty() && std::isdigit(static_cast<unsigned char>(first[0]))) {
        std::printf("== sintsrv on port %s\n", first.c_str());
        return measure(std::atoi(first.c_str()), -1);
    }
    if (!first.empty()) {
        std::fprintf(stderr, "usage: bench_tcp [--instant | --folder DIR | PORT | --scale [N]]\n");
        return 2;
    }
    return bench_folder(SINT_PROGRAM_DIR);
}
