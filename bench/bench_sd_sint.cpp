// sd_sint as Speech Dispatcher drives it: the time from a SPEAK of a ten-word
// sentence to its first 705 AUDIO line, and from STOP in the middle of a long
// text to 703 STOP, median and worst of 100 each; then STOP to 703 while the
// module takes in a 1 MB document and while it speaks 20 KB without a
// sentence end, median and worst of 20 each. The module speaks through a
// sintsrv with the default voice, started from a copy of the build's program
// folder on a free port.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/server_process.h"
#include "core/protocol_client.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kTenWords = "Danes je lep dan in jutri bo verjetno tudi lepo vreme.";
constexpr int kRounds = 100;
constexpr int kLongRounds = 20;
constexpr int kStartTimeoutMs = 60000;
constexpr int kLineTimeoutMs = 30000;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// sd_sint on pipes.
class Module {
public:
    Module(const std::string& program, const std::string& config) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execl(program.c_str(), program.c_str(), config.c_str(), nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Module() {
        send("QUIT\n");
        close(to_);
        close(from_);
        waitpid(pid_, nullptr, 0);
    }
    void send(const std::string& text) {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = write(to_, text.data() + sent, text.size() - sent);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }
    // Reads lines until one starts with `prefix`; false on time-out.
    bool until(const std::string& prefix) {
        const auto start = Clock::now();
        while (true) {
            std::size_t newline;
            while ((newline = buffer_.find('\n')) != std::string::npos) {
                const bool found = buffer_.compare(0, prefix.size(), prefix) == 0;
                buffer_.erase(0, newline + 1);
                if (found) return true;
            }
            if (ms_since(start) > kLineTimeoutMs) return false;
            pollfd p{from_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char chunk[65536];
            const ssize_t n = read(from_, chunk, sizeof chunk);
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    std::string buffer_;
};

void report(const char* what, std::vector<double> times) {
    if (times.empty()) {
        std::printf("%s: no measurements\n", what);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-40s median %7.2f ms, worst %7.2f ms (%zu runs)\n", what, times[times.size() / 2],
                times.back(), times.size());
}

int measure(const fs::path& folder) {
    Module module((folder / "sd_sint").string(), (folder / "sint.conf").string());
    module.send("INIT\n");
    if (!module.until("299 OK")) {
        std::fprintf(stderr, "bench_sd_sint: sd_sint did not initialise\n");
        return 1;
    }
    std::vector<double> first_audio, stop;
    for (int i = 0; i < kRounds; ++i) {
        module.send("SPEAK\n");
        if (!module.until("202")) break;
        const auto start = Clock::now();
        module.send(std::string(kTenWords) + "\n.\n");
        if (!module.until("705-")) break;
        first_audio.push_back(ms_since(start));
        if (!module.until("702 END")) break;
    }
    std::string long_text;
    for (int i = 0; i < 20; ++i) long_text += std::string(kTenWords) + " ";
    for (int i = 0; i < kRounds; ++i) {
        module.send("SPEAK\n");
        if (!module.until("202")) break;
        module.send(long_text + "\n.\n");
        if (!module.until("705-")) break;
        const auto start = Clock::now();
        module.send("STOP\n");
        if (!module.until("703 STOP")) break;
        stop.push_back(ms_since(start));
    }
    // STOP right after 701 (or after the first audio), during a long message.
    const auto stop_during = [&module](const std::string& text, const char* wait_for) {
        std::vector<double> times;
        for (int i = 0; i < kLongRounds; ++i) {
            module.send("SPEAK\n");
            if (!module.until("202")) break;
            module.send(text + "\n.\n");
            if (!module.until(wait_for)) break;
            const auto start = Clock::now();
            module.send("STOP\n");
            if (!module.until("703 STOP")) break;
            times.push_back(ms_since(start));
        }
        return times;
    };
    std::string document = "<speak>";
    while (document.size() < 1024 * 1024) document += std::string(kTenWords) + " ";
    document += "</speak>";
    std::string words;
    while (words.size() < 20 * 1024) words += "danes je lep dan ";
    const auto stop_document = stop_during(document, "701 BEGIN");
    const auto stop_words = stop_during(words, "705-");
    report("SPEAK (ten words) to the first 705:", first_audio);
    report("STOP (mid-text) to 703:", stop);
    report("STOP (1 MB document) to 703:", stop_document);
    report("STOP (20 KB, no sentence end) to 703:", stop_words);
    return first_audio.size() == kRounds && stop.size() == kRounds &&
                   stop_document.size() == kLongRounds && stop_words.size() == kLongRounds
               ? 0
               : 1;
}

}  // namespace

int main() {
    const fs::path source = SINT_PROGRAM_DIR;
    if (!fs::exists(source / "sintsrv") || !fs::exists(source / "sd_sint")) {
        std::fprintf(stderr, "bench_sd_sint: no sintsrv or sd_sint in %s\n", source.c_str());
        return 1;
    }
    const std::uint16_t port = sint::free_loopback_port();
    const fs::path folder = sint::bench::copy_program_folder(source, port);
    if (folder.empty()) return 1;
    std::ofstream(folder / "sint.conf")
        << "SintServer \"" << (folder / "sintsrv").string() << "\"\nSintPort " << port << "\n";
    const std::string program = (folder / "sintsrv").string();
    std::printf("== sd_sint with sintsrv and the voice of %s, port %u\n", source.c_str(), port);
    if (!fs::exists(folder / "data/MorvenaIdra.dat"))
        waitpid(sint::bench::spawn({program, "-konzola", "-ustvaripodatke"}), nullptr, 0);
    const pid_t server = sint::bench::spawn({program, "-konzola", "-hitro"});
    sint::ProtocolConnection probe;
    bool ready = false;
    const auto started = Clock::now();
    while (!ready && ms_since(started) < kStartTimeoutMs &&
           waitpid(server, nullptr, WNOHANG) == 0) {
        if (probe.connect("127.0.0.1", port) && probe.send_request(sint::command_request("TEST")))
            ready = probe.wait_for(sint::ReplyType::Ok, 1000).has_value();
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int result = ready ? measure(folder) : 1;
    if (!ready) std::fprintf(stderr, "bench_sd_sint: sintsrv did not become ready\n");
    if (probe.connected() || probe.connect("127.0.0.1", port))
        probe.send_request(sint::command_request("TERMINATE"));
    probe.close();
    sint::bench::reap(server);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}
