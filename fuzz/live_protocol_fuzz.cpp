// sint-live-fuzz: drives a live sintsrv (best built with ASan/UBSan) over the
// loopback with many hostile clients at once (random and mutated frames,
// truncated frames, oversized headers, byte-by-byte frames, clients that
// vanish mid-request or never read) while one well-behaved client keeps
// asking for the same sentence and checks that its audio arrives whole and
// unchanged. It starts the server itself from a program folder, runs for a
// bounded time, then ends the server with TERMINATE and reports what it saw.
//
//   sint-live-fuzz --folder DIR [--seconds N] [--clients N] [--seed N]
//
// DIR is a program folder (sintsrv, sint.ini and a packed voice); the server
// listens on the port of its sint.ini and writes wave files into it, so use a
// copy. Exit code 0 when no fault was seen.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/frame.h"
#include "core/profile_file.h"
#include "core/protocol_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The sentence the checking client asks for again and again.
constexpr const char* kCheckSentence = "Dober dan, mama ima kis.";
// How long the checking client waits for one reply before it counts a fault:
// far beyond one synthesis under the sanitizers, even with every fuzzing
// client's request ahead of it.
constexpr int kCheckReplyMs = 30000;
// Longest random text of a request, and the odd long one.
constexpr std::size_t kShortText = 120;
constexpr std::size_t kLongText = 3000;
// A fuzzing client stops waiting for answers after this long without one.
constexpr auto kQuietMs = std::chrono::milliseconds(300);

struct Options {
    std::string folder;
    int seconds = 600;
    int clients = 12;
    unsigned seed = 1;
};

struct Counters {
    std::atomic<std::uint64_t> requests{0};     // frames sent by fuzzing clients
    std::atomic<std::uint64_t> connections{0};  // connections they opened
    std::atomic<std::uint64_t> replies{0};      // frames they received
    std::atomic<std::uint64_t> checks{0};       // answers the checker verified
    std::atomic<std::uint64_t> faults{0};       // wrong or missing answers
};

std::mutex g_print;

void fault(Counters& counters, const std::string& what) {
    ++counters.faults;
    std::lock_guard lock(g_print);
    std::fprintf(stderr, "FAULT: %s\n", what.c_str());
}

// Commands a fuzzing client may use. TERMINATE and REINIT are left out: they
// would end or restart the server under test, which is not a fault.
const char* const kCommands[] = {"STREAM", "GFP",    "STOP",    "NORMAL",        "YU",
                                 "NOP",    "VOLUME", "TEMPO",   "PITCH",         "ARTICULATION",
                                 "WWIDTH", "TEST",   "PAUSE",   "RESUME",        "SINT",
                                 "",       "stream", "STREAM ", "\x01STREAM\x02"};

bool forbidden(const std::string& payload) {
    return payload.find("TERMINATE") != std::string::npos ||
           payload.find("REINIT") != std::string::npos;
}

class Fuzzer {
public:
    Fuzzer(unsigned seed, std::uint16_t port, Counters& counters)
        : random_(seed), port_(port), counters_(counters) {}

    // One episode: a connection that does one hostile thing and goes.
    void episode() {
        const int fd = open_connection();
        if (fd < 0) return;
        ++counters_.connections;
        switch (pick(9)) {
            case 0:
                requests(fd, 1 + pick(20), true);
                break;
            case 1:
                requests(fd, 1 + pick(20), false);  // never reads
                break;
            case 2:
                send_all(fd, random_bytes(1 + pick(4000)));
                break;
            case 3: {  // a request cut short, then gone
                const std::string frame = mutated_frame();
                send_all(fd, frame.substr(0, pick(frame.size())));
                break;
            }
            case 4: {  // a header announcing more than any frame may hold
                std::string header = frame_of("STREAM\t\tx");
                const std::uint32_t length =
                    pick(2) ? 0xFFFFFFFFu : 100000u + static_cast<std::uint32_t>(pick(1000));
                sint::put_u32(reinterpret_cast<std::uint8_t*>(header.data()) + 4, length);
                send_all(fd, header + random_bytes(pick(2000)));
                break;
            }
            case 5: {  // a frame byte by byte
                const std::string frame = frame_of(valid_request());
                for (char byte : frame) send_all(fd, std::string(1, byte));
                ++counters_.requests;
                read_replies(fd, 1, 2000);
                break;
            }
            case 6: {  // asks, then vanishes before the answer
                send_all(fd, frame_of("STREAM\t\t" + text(kShortText)));
                ++counters_.requests;
                break;
            }
            case 7: {  // junk, then good frames, then mutated ones
                std::string stream = random_bytes(pick(300));
                for (int i = 0, n = 1 + pick(5); i < n; ++i) {
                    stream += pick(2) ? frame_of(valid_request()) : mutated_frame();
                    ++counters_.requests;
                }
                send_all(fd, stream);
                read_replies(fd, 5, 1000);
                break;
            }
            default:  // connects and goes at once
                break;
        }
        if (pick(4) == 0) {
            // A reset instead of an orderly close.
            linger off{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
        }
        ::close(fd);
    }

private:
    int pick(std::size_t n) { return n == 0 ? 0 : static_cast<int>(random_() % n); }

    int open_connection() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // Never block for long on a server that does not read us.
        timeval limit{2, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        return fd;
    }

    void send_all(int fd, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }

    void read_replies(int fd, int frames, int limit_ms) {
        sint::FrameReader reader;
        const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
        int got = 0;
        // Many requests get no answer (settings, wave files, malformed ones):
        // stop once the server has been quiet for a while.
        auto quiet_until = Clock::now() + kQuietMs;
        while (got < frames && Clock::now() < end && Clock::now() < quiet_until) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            quiet_until = Clock::now() + kQuietMs;
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            reader.append(buffer, static_cast<std::size_t>(n));
            while (auto frame = reader.take()) {
                sint::recognise_reply(frame->payload);
                ++counters_.replies;
                ++got;
            }
        }
    }

    void requests(int fd, int count, bool read) {
        std::string burst;
        for (int i = 0; i < count; ++i) {
            burst += pick(3) ? frame_of(valid_request()) : mutated_frame();
            ++counters_.requests;
        }
        send_all(fd, burst);
        if (read) read_replies(fd, count, 3000);
    }

    std::string random_bytes(std::size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random_());
        return bytes;
    }

    // Letters, Slovenian letters of code page 1250, digits, punctuation and
    // the control codes the protocol decodes.
    std::string text(std::size_t most) {
        static const std::string alphabet =
            "abcdefghijklmnoprstuvzABCDEFGHIJKLMNOPRSTUVZ0123456789 .,!?;:-()\"'%$&*/+=<>@#"
            "\xE8\x9A\x9E\xC8\x8A\x8E\xE6\xF0\x05\x06\x08\x04\t\r\n";
        std::string result;
        const std::size_t size = pick(most + 1);
        for (std::size_t i = 0; i < size; ++i) {
            if (pick(50) == 0)
                result.push_back(static_cast<char>(random_()));
            else
                result.push_back(alphabet[pick(alphabet.size())]);
        }
        return result;
    }

    std::string valid_request() {
        std::string request = kCommands[pick(std::size(kCommands))];
        request += '\t';
        if (pick(8) == 0) request += pick(2) ? "x.wav" : text(12);
        request += '\t';
        request += text(pick(20) == 0 ? kLongText : kShortText);
        if (forbidden(request)) request = "NOP\t\t";
        return request;
    }

    std::string mutated_frame() {
        std::string payload = valid_request();
        for (int i = 0, n = 1 + pick(8); i < n && !payload.empty(); ++i) {
            const std::size_t at = pick(payload.size());
            switch (pick(4)) {
                case 0:
                    payload[at] = static_cast<char>(random_());
                    break;
                case 1:
                    payload.erase(at, 1 + pick(8));
                    break;
                case 2:
                    payload.insert(at, random_bytes(1 + pick(8)));
                    break;
                default:
                    payload.insert(at, 1, '\t');
                    break;
            }
        }
        if (forbidden(payload)) payload = "NOP\t\t";
        std::string frame = frame_of(payload);
        if (pick(6) == 0) {
            // A lying length field, shorter or longer than the payload.
            const auto length = static_cast<std::uint32_t>(pick(payload.size() + 64));
            sint::put_u32(reinterpret_cast<std::uint8_t*>(frame.data()) + 4, length);
        }
        if (pick(6) == 0) {
            // Random kind and reserved fields.
            for (int i = 8; i < 12; ++i) frame[i] = static_cast<char>(random_());
        }
        return frame;
    }

    static std::string frame_of(const std::string& request) {
        std::string payload = request;
        payload.push_back('\0');
        const auto frame = sint::encode_frame(payload, sint::kFrameKindTest);
        return std::string(frame.begin(), frame.end());
    }

    std::mt19937 random_;
    std::uint16_t port_;
    Counters& counters_;
};

double rms(const std::vector<std::int16_t>& samples) {
    double sum = 0;
    for (std::int16_t s : samples) sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// The synthesiser carries a little state from one sentence to the next (the
// same sentence comes out a few milliseconds longer or shorter), so an answer
// is checked against the first one for length and loudness, not bytes.
bool like(const std::vector<std::int16_t>& samples, const std::vector<std::int16_t>& reference) {
    constexpr double kLengthTolerance = 0.05;
    const double length = static_cast<double>(samples.size());
    const double wanted = static_cast<double>(reference.size());
    if (length < wanted * (1 - kLengthTolerance) || length > wanted * (1 + kLengthTolerance))
        return false;
    const double loudness = rms(samples);
    const double wanted_loudness = rms(reference);
    return loudness > wanted_loudness * 0.7 && loudness < wanted_loudness * 1.4;
}

// The well-behaved client: the same sentence again and again, each answer
// compared with the first one.
void check(std::uint16_t port, const std::atomic<bool>& running, Counters& counters) {
    std::vector<std::int16_t> reference;
    sint::ProtocolConnection connection;
    while (running) {
        if (!connection.connected() && !connection.connect("127.0.0.1", port)) {
            fault(counters, "the checking client cannot connect");
            std::this_thread::sleep_for(1s);
            continue;
        }
        if (!connection.send_request(sint::stream_request(kCheckSentence))) {
            fault(counters, "the checking client cannot send");
            connection.close();
            continue;
        }
        const auto frame = connection.receive(kCheckReplyMs);
        if (!frame) {
            fault(counters, "no audio for the checking client within the time");
            connection.close();
            continue;
        }
        const sint::Reply reply = sint::recognise_reply(frame->payload);
        if (reply.type != sint::ReplyType::Audio || reply.samples.empty()) {
            fault(counters, "the checking client got no audio but reply type " +
                                std::to_string(static_cast<int>(reply.type)));
            continue;
        }
        if (reference.empty()) reference = reply.samples;
        if (!like(reply.samples, reference))
            fault(counters, "the checking client's audio is unlike the first (" +
                                std::to_string(reply.samples.size()) + " samples against " +
                                std::to_string(reference.size()) + ")");
        ++counters.checks;
    }
}

std::uint16_t port_of(const std::string& folder) {
    const sint::ProfileFile ini(folder + "/sint.ini", false);
    std::string value;
    if (!ini.is_loaded() || ini.get_string("port", value) < 0) return 10150;
    const long port = std::strtol(value.c_str(), nullptr, 10);
    return port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 10150;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--folder" && has_value) {
            options.folder = argv[++i];
        } else if (arg == "--seconds" && has_value) {
            options.seconds = std::atoi(argv[++i]);
        } else if (arg == "--clients" && has_value) {
            options.clients = std::atoi(argv[++i]);
        } else if (arg == "--seed" && has_value) {
            options.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            return false;
        }
    }
    return !options.folder.empty() && options.seconds > 0 && options.clients >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: sint-live-fuzz --folder DIR [--seconds N] [--clients N] [--seed N]\n"
                     "Drives the sintsrv of the program folder DIR (a copy: it writes wave\n"
                     "files there) with hostile clients over the loopback while a\n"
                     "well-behaved client checks its audio; exits non-zero on any fault.\n");
        return 2;
    }
    const std::uint16_t port = port_of(options.folder);
    const std::string program = options.folder + "/sintsrv";
    const pid_t server = fork();
    if (server == 0) {
        execl(program.c_str(), program.c_str(), "-konzola", "-lifespan", "600", nullptr);
        _exit(127);
    }
    Counters counters;
    sint::ProtocolConnection probe;
    bool ready = false;
    for (int i = 0; i < 600 && !ready; ++i) {
        std::this_thread::sleep_for(100ms);
        if (!probe.connected() && !probe.connect("127.0.0.1", port)) continue;
        probe.send_request(sint::command_request("TEST"));
        const auto frame = probe.receive(1000);
        ready = frame && sint::recognise_reply(frame->payload).type == sint::ReplyType::Ok;
        if (!frame) probe.close();
    }
    if (!ready) {
        std::fprintf(stderr, "sint-live-fuzz: the server on port %u did not become ready\n", port);
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        return 1;
    }

    std::atomic<bool> running{true};
    std::vector<std::thread> threads;
    threads.emplace_back([&] { check(port, running, counters); });
    for (int i = 0; i < options.clients; ++i) {
        threads.emplace_back([&, i] {
            Fuzzer fuzzer(options.seed * 7919u + static_cast<unsigned>(i), port, counters);
            while (running) fuzzer.episode();
        });
    }
    const auto end = Clock::now() + std::chrono::seconds(options.seconds);
    while (Clock::now() < end) {
        std::this_thread::sleep_for(1s);
        int status = 0;
        if (waitpid(server, &status, WNOHANG) == server) {
            fault(counters, "the server ended during the run");
            running = false;
            for (std::thread& t : threads) t.join();
            return 1;
        }
    }
    running = false;
    for (std::thread& t : threads) t.join();

    // TERMINATE ends the server; under the sanitizers a leak or a fault makes
    // its exit code non-zero.
    probe.send_request(sint::command_request("TERMINATE"));
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = waitpid(server, &status, WNOHANG) == server;
        if (!ended) std::this_thread::sleep_for(100ms);
    }
    if (!ended) {
        fault(counters, "the server did not end on TERMINATE");
        kill(server, SIGKILL);
        waitpid(server, &status, 0);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fault(counters, "the server ended with status " + std::to_string(status));
    }
    std::printf(
        "sint-live-fuzz: %d s, %d clients: %llu requests on %llu connections, %llu replies "
        "read; %llu checked answers; %llu faults\n",
        options.seconds, options.clients, static_cast<unsigned long long>(counters.requests.load()),
        static_cast<unsigned long long>(counters.connections.load()),
        static_cast<unsigned long long>(counters.replies.load()),
        static_cast<unsigned long long>(counters.checks.load()),
        static_cast<unsigned long long>(counters.faults.load()));
    return counters.faults == 0 ? 0 : 1;
}
