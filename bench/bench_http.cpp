// sint-http in front of the program folder's sintsrv and voice: requests per
// second and the time to the whole reply of a ten-word sentence for 1 and 40
// clients at once, and the time to the first audio byte of a 10 KB text.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <nlohmann/json.hpp>

#include "bench/server_process.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kSentence = "Danes je lep sončen dan in vsi gremo na izlet v hribe.";
constexpr int kStartTimeoutMs = 30000;
constexpr int kRequestsPerClient = 25;
constexpr int kFirstByteRounds = 10;
constexpr std::size_t kLongTextBytes = 10 * 1024;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

std::string speech_body(const std::string& text, const char* format) {
    return nlohmann::json{{"model", "sint"}, {"input", text}, {"response_format", format}}.dump();
}

// `clients` clients at once, each sending kRequestsPerClient requests for the
// sentence; false when a request failed.
bool measure_clients(std::uint16_t port, int clients, const char* format) {
    std::vector<double> times;
    std::mutex times_mutex;
    std::atomic<int> failed{0};
    const std::string body = speech_body(kSentence, format);
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(60, 0);
            for (int i = 0; i < kRequestsPerClient; ++i) {
                const auto asked = Clock::now();
                const auto reply = client.Post("/v1/audio/speech", body, "application/json");
                const double took = ms_since(asked);
                if (!reply || reply->status != 200 || reply->body.size() < 1000) {
                    ++failed;
                    continue;
                }
                std::lock_guard lock(times_mutex);
                times.push_back(took);
            }
        });
    for (std::thread& thread : threads) thread.join();
    const double seconds = ms_since(start) / 1000;
    std::printf(
        "%2d client(s), %-4s %4zu replies: %7.1f requests/s, whole reply p50 %6.1f ms, "
        "p99 %6.1f ms%s\n",
        clients, format, times.size(), static_cast<double>(times.size()) / seconds,
        percentile(times, 0.5), percentile(times, 0.99),
        failed ? (", " + std::to_string(failed.load()) + " failed").c_str() : "");
    return failed == 0;
}

// The time from sending a request for `text` until the first byte of audio
// (the first chunk of the body) arrives; negative when none came.
double first_audio_byte_ms(std::uint16_t port, const std::string& text) {
    const std::string body = speech_body(text, "pcm");
    const std::string request =
        "POST /v1/audio/speech HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/json\r\nConnection: close\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    const auto asked = Clock::now();
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[65536];
    double took = -1;
    while (took < 0) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<std::size_t>(n));
        // Past the head, a chunk's size line, then its first byte.
        const auto head_end = reply.find("\r\n\r\n");
        if (head_end == std::string::npos) continue;
        const auto size_end = reply.find("\r\n", head_end + 4);
        if (size_end != std::string::npos && reply.size() > size_end + 2) took = ms_since(asked);
    }
    close(fd);
    return took;
}

int measure(std::uint16_t port) {
    bool ok = measure_clients(port, 1, "wav");
    ok = measure_clients(port, 1, "mp3") && ok;
    ok = measure_clients(port, 40, "wav") && ok;
    ok = measure_clients(port, 40, "mp3") && ok;
    std::ifstream in(std::string(SINT_SOURCE_DIR) + "/tests/data/rate_paragraph_sl.txt");
    const std::string paragraph(std::istreambuf_iterator<char>(in), {});
    std::string text;
    while (text.size() < kLongTextBytes) text += paragraph + "\n";
    text.resize(kLongTextBytes);
    std::vector<double> first;
    for (int i = 0; i < kFirstByteRounds; ++i) {
        const double took = first_audio_byte_ms(port, text);
        if (took >= 0) first.push_back(took);
    }
    std::printf(
        "first audio byte of %zu bytes of text (%zu of %d): median %.1f ms, worst %.1f ms\n",
        text.size(), first.size(), kFirstByteRounds, percentile(first, 0.5),
        percentile(first, 1.0));
    return ok && static_cast<int>(first.size()) == kFirstByteRounds ? 0 : 1;
}

}  // namespace

int main() {
    const fs::path source = SINT_PROGRAM_DIR;
    if (!fs::exists(source / "sintsrv") || !fs::exists(source / "sint-http")) {
        std::fprintf(stderr, "bench_http: no sintsrv or sint-http in %s\n", source.c_str());
        return 1;
    }
    const std::uint16_t server_port = sint::free_loopback_port();
    const std::uint16_t http_port = sint::free_loopback_port();
    const fs::path folder = sint::bench::copy_program_folder(source, server_port);
    if (folder.empty()) return 1;
    const std::string program = (folder / "sintsrv").string();
    std::printf("== sint-http on port %u with sintsrv and the voice of %s\n", http_port,
                source.c_str());
    if (!fs::exists(folder / "data/MorvenaIdra.dat"))
        waitpid(sint::bench::spawn({program, "-konzola", "-ustvaripodatke"}), nullptr, 0);
    const pid_t server = sint::bench::spawn({program, "-konzola", "-hitro"});
    const pid_t gateway =
        sint::bench::spawn({(folder / "sint-http").string(), "--port", std::to_string(http_port),
                            "--server-port", std::to_string(server_port), "--server", program});
    httplib::Client probe("127.0.0.1", http_port);
    bool ready = false;
    const auto started = Clock::now();
    while (!ready && ms_since(started) < kStartTimeoutMs) {
        const auto health = probe.Get("/health");
        ready = health && health->status == 200;
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int result = ready ? measure(http_port) : 1;
    if (!ready) std::fprintf(stderr, "bench_http: sint-http or sintsrv did not become ready\n");
    kill(gateway, SIGTERM);
    sint::bench::reap(gateway);
    sint::ProtocolConnection last;
    if (last.connect("127.0.0.1", server_port))
        last.send_request(sint::command_request("TERMINATE"));
    last.close();
    sint::bench::reap(server);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}
