// The TCP server and the protocol under load, with a stand-in synthesiser
// that returns a fixed amount of audio at once (so only the server is timed):
// 60 clients sending 100 STREAM requests each, the resident memory after 1000
// and after 10000 requests, and the time to a sentence's audio.
// "bench_tcp PORT" measures a running sintsrv instead.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "server/protocol_client.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/synthesis_service.h"
#include "server/tcp_server.h"

namespace {

using Clock = std::chrono::steady_clock;

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

long resident_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

constexpr const char* kSentence = "Danes je lep dan in jutri bo verjetno tudi lepo vreme.";

// `clients` connections send `each` STREAM requests; returns the answers.
long run_load(int port, int clients, int each) {
    std::atomic<long> answered{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            sint::ProtocolConnection connection;
            if (!connection.connect("127.0.0.1", static_cast<std::uint16_t>(port))) return;
            for (int i = 0; i < each; ++i) {
                connection.send_request(sint::stream_request(kSentence));
                if (connection.wait_for(sint::ReplyType::Audio, 10000)) ++answered;
            }
            (void)c;
        });
    }
    for (auto& thread : threads) thread.join();
    return answered;
}

}  // namespace

double first_audio_ms(int port) {
    sint::ProtocolConnection connection;
    if (!connection.connect("127.0.0.1", static_cast<std::uint16_t>(port))) return -1;
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
        const auto started = Clock::now();
        connection.send_request(sint::stream_request(kSentence));
        if (!connection.wait_for(sint::ReplyType::Audio, 60000)) return -1;
        best = std::min(best,
                        std::chrono::duration<double, std::milli>(Clock::now() - started).count());
    }
    return best;
}

// Against a running sintsrv on PORT: requests per second and the time to the
// whole audio of a ten-word sentence, with real synthesis.
int bench_running_server(int port) {
    const auto started = Clock::now();
    const long answered = run_load(port, 60, 5);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("sintsrv on port %d, 60 clients x 5 STREAM: %ld of 300 answered, %.1f requests/s\n",
                port, answered, answered / seconds);
    std::printf("ten-word sentence, request to whole audio reply: %.1f ms\n", first_audio_ms(port));
    return answered == 300 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc > 1) return bench_running_server(std::atoi(argv[1]));

    InstantSynthesis synthesis;
    sint::ShellState shell;
    sint::ServerSettings settings;
    sint::TcpServerOptions options;
    options.program_folder = "/tmp/";
    sint::TcpServer server(synthesis, shell, settings, options);
    if (server.server_start(0) != 0 || !server.listening()) {
        std::fprintf(stderr, "bench_tcp: the server did not start\n");
        return 1;
    }
    const int port = server.port();

    const auto started = Clock::now();
    const long answered = run_load(port, 60, 100);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("60 clients x 100 STREAM: %ld of 6000 answered, %.0f requests/s\n", answered,
                answered / seconds);

    run_load(port, 10, 100);
    const long after_1000 = resident_kb();
    run_load(port, 10, 1000);
    const long after_10000 = resident_kb();
    std::printf("resident memory: %ld kB after 1000 requests, %ld kB after 10000 more\n",
                after_1000, after_10000);
    std::printf("ten-word sentence, request to whole audio reply (server only): %.3f ms\n",
                first_audio_ms(port));
    server.server_stop();
    return 0;
}
