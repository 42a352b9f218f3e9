// Speed of the whole system with the default voice: the 200-sentence news text
// (repeated ten times, and more if that makes less than 10 minutes of speech) synthesised sentence
// by sentence through the facade in this process, then through a sintsrv
// started from a copy of the program folder, then through `espeak-ng -v sl`
// when it is installed. Prints seconds of audio per second of CPU for each and
// the ratios.
//
//   bench_voice                 the build's program folder and the test text
//   bench_voice DIR [TEXT]      another program folder and/or text (UTF-8, one
//                               sentence a line)
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/server_process.h"
#include "core/cp1250.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "synth/facade.h"

namespace {

namespace fs = std::filesystem;
using sint::bench::ini_for_port;
using sint::bench::spawn;
using Clock = std::chrono::steady_clock;

// Speech the benchmark makes at least (seconds); the text is repeated to reach it.
constexpr double kMinimumAudioSeconds = 600;
// Times the text is spoken at least: the server's CPU time is read in clock
// ticks (10 ms), so each figure should cover a second or more of CPU.
constexpr int kMinimumPasses = 10;
constexpr int kSampleRate = 16000;
// How long one reply may take before the server counts as stuck.
constexpr int kReplyTimeoutMs = 30000;
// How long a started server may take to load its data.
constexpr int kStartTimeoutMs = 60000;

double cpu_seconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double self_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return cpu_seconds(u);
}

// User and system time of a running process from /proc (clock ticks), or -1.
double process_cpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // state is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Figure {
    double audio = 0;  // seconds of speech
    double cpu = 0;    // seconds of CPU
    double wall = 0;
    double rate() const { return cpu > 0 ? audio / cpu : 0; }
};

void print(const char* what, const Figure& f) {
    std::printf("%-34s %8.1f s audio %8.3f s CPU %8.3f s wall %10.0f s audio / s CPU\n", what,
                f.audio, f.cpu, f.wall, f.rate());
}

// The facade of this process over the folder's packed database. Sets `passes`
// to the number of times the text had to be spoken for kMinimumAudioSeconds.
bool bench_facade(const fs::path& folder, const std::vector<std::string>& sentences, int& passes,
                  Figure& f) {
    const fs::path old_dir = fs::current_path();
    fs::current_path(folder);
    sint::ServerSettings settings;
    const std::unique_ptr<sint::ProfileFile> ini = sint::read_sint_ini(settings);
    sint::set_log_disabled(true);
    bool ok = false;
    {
        sint::Synthesiser sint(synthesiser_options(settings));
        if (sint.init() == 0 && sint.wave_init_fast()) {
            ok = true;
            std::int64_t samples = 0;
            const double cpu = self_cpu();
            const auto started = Clock::now();
            for (passes = 0;
                 passes < kMinimumPasses || samples < kMinimumAudioSeconds * kSampleRate; ++passes)
                for (const std::string& s : sentences) {
                    if (sint.convert(s) != 0 || sint.prosody(std::nullopt) != 0) continue;
                    samples += static_cast<std::int64_t>(sint.synthesise_to_memory(100).size());
                }
            f.cpu = self_cpu() - cpu;
            f.wall = std::chrono::duration<double>(Clock::now() - started).count();
            f.audio = static_cast<double>(samples) / kSampleRate;
        } else {
            std::fprintf(stderr, "bench_voice: the facade or the packed database did not load\n");
        }
    }
    fs::current_path(old_dir);
    return ok && f.audio > 0;
}

// A sintsrv started from the folder: one STREAM request per sentence over one
// connection. `server` is the server's CPU alone, `both` adds this client's.
bool bench_server(const fs::path& folder, std::uint16_t port,
                  const std::vector<std::string>& sentences, int passes, Figure& server,
                  Figure& both) {
    const auto started = Clock::now();
    const pid_t pid = spawn({(folder / "sintsrv").string(), "-konzola", "-hitro"});
    sint::ProtocolConnection connection;
    bool ready = false;
    while (!ready &&
           std::chrono::duration<double, std::milli>(Clock::now() - started).count() <
               kStartTimeoutMs &&
           waitpid(pid, nullptr, WNOHANG) == 0) {
        if (connection.connect("127.0.0.1", port) &&
            connection.send_request(sint::command_request("TEST")))
            ready = connection.wait_for(sint::ReplyType::Ok, 1000).has_value();
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool ok = ready;
    if (ready) {
        std::int64_t samples = 0;
        const double server_cpu = process_cpu(pid);
        const double client_cpu = self_cpu();
        const auto begun = Clock::now();
        for (int p = 0; ok && p < passes; ++p)
            for (const std::string& s : sentences) {
                if (!connection.send_request(sint::stream_request(s))) {
                    ok = false;
                    break;
                }
                const auto reply = connection.wait_for(sint::ReplyType::Audio, kReplyTimeoutMs);
                if (!reply) {
                    ok = false;
                    break;
                }
                samples += static_cast<std::int64_t>(reply->samples.size());
            }
        server.wall = both.wall = std::chrono::duration<double>(Clock::now() - begun).count();
        server.cpu = process_cpu(pid) - server_cpu;
        both.cpu = server.cpu + self_cpu() - client_cpu;
        server.audio = both.audio = static_cast<double>(samples) / kSampleRate;
        connection.send_request(sint::command_request("TERMINATE"));
        connection.wait_for(sint::ReplyType::End, 5000);
    } else {
        std::fprintf(stderr, "bench_voice: sintsrv did not become ready\n");
    }
    connection.close();
    const auto stopping = Clock::now();
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() - stopping > std::chrono::seconds(5)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ok && server.audio > 0;
}

// Seconds of sound in a RIFF file of 16-bit samples (its fmt and data chunks).
double wave_seconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) return 0;
    std::uint32_t rate = 0, block = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        std::size_t size = u32(at + 4);
        // A streamed file may leave the data size unset: the rest of the file.
        if (id == "data" && (size == 0 || size == 0xFFFFFFFFu || at + 8 + size > bytes.size()))
            size = bytes.size() - at - 8;
        if (id == "fmt " && size >= 16 && at + 24 <= bytes.size()) {
            rate = u32(at + 12);
            block = static_cast<unsigned char>(bytes[at + 20]) |
                    static_cast<unsigned char>(bytes[at + 21]) << 8;
        }
        if (id == "data") return rate && block ? static_cast<double>(size) / block / rate : 0;
        at += 8 + size + (size & 1);
    }
    return 0;
}

// espeak-ng reading the same UTF-8 text into a wave file; its CPU from wait4.
bool bench_espeak(const fs::path& folder, const std::vector<std::string>& utf8, int passes,
                  Figure& f) {
    const std::string text = (folder / "espeak-text.txt").string();
    const std::string wave = (folder / "espeak.wav").string();
    {
        std::ofstream out(text);
        for (int p = 0; p < passes; ++p)
            for (const std::string& s : utf8) out << s << "\n";
    }
    const auto started = Clock::now();
    const pid_t pid = spawn({"espeak-ng", "-v", "sl", "-f", text, "-w", wave});
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    f.wall = std::chrono::duration<double>(Clock::now() - started).count();
    f.cpu = cpu_seconds(usage);
    f.audio = wave_seconds(wave);
    return f.audio > 0;
}

bool espeak_installed() {
    const pid_t pid = spawn({"espeak-ng", "--version"}, "/dev/null");
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

int run(const fs::path& source, const fs::path& text_file) {
    std::vector<std::string> utf8, sentences;
    {
        std::ifstream in(text_file);
        std::string line;
        while (std::getline(in, line))
            if (!line.empty()) utf8.push_back(line);
    }
    if (utf8.empty()) {
        std::fprintf(stderr, "bench_voice: no sentences in %s\n", text_file.c_str());
        return 1;
    }
    for (const std::string& s : utf8) sentences.push_back(sint::utf8_to_cp1250(s));
    if (!fs::exists(source / "sintsrv") ||
        (!fs::exists(source / "data/MorvenaIdra.dat") && !fs::exists(source / "filenames.ini"))) {
        std::fprintf(stderr, "bench_voice: %s holds no sintsrv or no voice\n", source.c_str());
        return 1;
    }

    std::string pattern = (fs::temp_directory_path() / "sint-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return 1;
    const fs::path folder = pattern;
    fs::copy(source, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const std::uint16_t port = sint::free_loopback_port();
    std::ofstream(folder / "sint.ini") << ini_for_port(source / "sint.ini", port);
    if (!fs::exists(folder / "data/MorvenaIdra.dat")) {
        fs::create_directories(folder / "data");
        const pid_t builder = spawn({(folder / "sintsrv").string(), "-konzola", "-ustvaripodatke"});
        waitpid(builder, nullptr, 0);
    }
    std::printf("== %zu sentences of %s, voice of %s\n", utf8.size(), text_file.c_str(),
                source.c_str());

    int result = 1;
    int passes = 0;
    Figure facade, server, both, espeak;
    if (bench_facade(folder, sentences, passes, facade)) {
        std::printf("the text spoken %d times (at least %d times and %.0f s of speech)\n", passes,
                    kMinimumPasses, kMinimumAudioSeconds);
        print("facade in process", facade);
        if (bench_server(folder, port, sentences, passes, server, both)) {
            print("sintsrv (server CPU)", server);
            print("sintsrv (server and client CPU)", both);
            result = 0;
        }
        if (!espeak_installed()) {
            std::printf("espeak-ng is not installed: no comparison\n");
        } else if (bench_espeak(folder, utf8, passes, espeak)) {
            print("espeak-ng -v sl", espeak);
            std::printf("ratio to espeak-ng: facade %.2f, sintsrv %.2f (with client %.2f)\n",
                        facade.rate() / espeak.rate(), server.rate() / espeak.rate(),
                        both.rate() / espeak.rate());
        } else {
            std::printf("espeak-ng -v sl failed on the text: no comparison\n");
        }
        if (result == 0) std::printf("ratio sintsrv / facade: %.2f\n", both.rate() / facade.rate());
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fprintf(stderr, "usage: bench_voice [PROGRAM_DIR [TEXT]]\n");
        return 2;
    }
    const fs::path folder = argc > 1 ? argv[1] : SINT_PROGRAM_DIR;
    const fs::path text =
        argc > 2 ? fs::path(argv[2]) : fs::path(SINT_SOURCE_DIR) / "tests/data/news_sl_200.txt";
    return run(folder, text);
}
