// Speed of the whole system with the default voice: the 200-sentence news text
// (repeated ten times, and more if that makes less than 10 minutes of speech)
// synthesised sentence by sentence through the facade in this process and
// through a sintsrv started from a copy of the program folder (one STREAM
// request per sentence), each with the samples read from disk and held in
// memory, and sint-say finding the sentences itself, then through `espeak-ng -v sl` when it is
// installed (apt package espeak-ng). Prints seconds of audio per second of CPU for each, the
// ratios, the server's peak resident memory, the server CPU of a loopback round trip with no
// synthesis behind it, and the speed of overlap-add alone against a plain
// multiply-add loop over the same windows (the machine's floor).
//
//   bench_voice                 the build's program folder and the test text
//   bench_voice DIR [TEXT]      another program folder and/or text (UTF-8, one
//                               sentence a line)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/server_process.h"
#include "core/cp1250.h"
#include "core/frame.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "synth/facade.h"
#include "waveform/overlap_add.h"
#include "waveform/psola.h"

namespace {

namespace fs = std::filesystem;
using sint::bench::reap;
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

// CPU time of a running process: the sum of its threads' time on a CPU from
// /proc (nanoseconds; clock ticks would be too coarse for a second of CPU), or
// -1 when it cannot be read.
double process_cpu(pid_t pid) {
    std::error_code error;
    double seconds = 0;
    bool any = false;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        unsigned long long nanoseconds = 0;
        if (in >> nanoseconds) {
            seconds += static_cast<double>(nanoseconds) / 1e9;
            any = true;
        }
    }
    return any ? seconds : -1;
}

// The peak resident set of a running process (VmHWM, KiB), or -1.
long peak_resident_kib(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    return -1;
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
bool bench_facade(const fs::path& folder, const std::vector<std::string>& sentences, bool in_memory,
                  int& passes, Figure& f) {
    const fs::path old_dir = fs::current_path();
    fs::current_path(folder);
    sint::ServerSettings settings;
    const std::unique_ptr<sint::ProfileFile> ini = sint::read_sint_ini(settings);
    sint::set_log_disabled(true);
    bool ok = false;
    {
        sint::SynthesiserOptions options = synthesiser_options(settings);
        options.wave.samples_in_memory = in_memory;
        sint::Synthesiser sint(options);
        if (sint.init() == 0 && sint.wave_init_fast()) {
            ok = true;
            std::int64_t samples = 0;
            const double cpu = self_cpu();
            const auto started = Clock::now();
            // `passes` given: speak the text that often; 0: until enough speech.
            const int fixed = passes;
            for (passes = 0;
                 fixed ? passes < fixed
                       : passes < kMinimumPasses || samples < kMinimumAudioSeconds * kSampleRate;
                 ++passes)
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
                  const std::vector<std::string>& sentences, int passes, bool in_memory,
                  Figure& server, Figure& both, long& peak_kib) {
    const auto started = Clock::now();
    const pid_t pid =
        spawn({(folder / "sintsrv").string(), "-konzola", "-hitro", in_memory ? "-ram" : "-disk"});
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
        peak_kib = peak_resident_kib(pid);
        connection.send_request(sint::command_request("TERMINATE"));
        connection.wait_for(sint::ReplyType::End, 5000);
    } else {
        std::fprintf(stderr, "bench_voice: sintsrv did not become ready\n");
    }
    connection.close();
    reap(pid);
    return ok && server.audio > 0;
}

// The least CPU any server could spend per request here: a thread of this
// process answering each STREAM request over loopback TCP with a ready-made
// audio reply of `reply_bytes`, synthesising nothing, to the same client code
// as bench_server. The wake-ups and the copies of a round trip are all it
// pays. Returns its CPU seconds per request, or -1.
double transport_floor(const std::vector<std::string>& sentences, std::size_t reply_bytes) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0) close(listener);
        return -1;
    }
    std::string payload = "SINT_S_";
    payload.resize(std::max(reply_bytes, payload.size() + 1), '\0');
    const std::vector<std::uint8_t> reply = sint::encode_frame(payload, sint::kFrameKindPlain);
    double cpu = -1;
    int answered = 0;
    std::thread server([&] {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0) return;
        timespec begun{}, ended{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &begun);
        std::vector<std::uint8_t> in(sint::kFrameLimit);
        std::size_t held = 0;
        while (true) {
            const long n = recv(client, in.data() + held, in.size() - held, 0);
            if (n <= 0) break;
            held += static_cast<std::size_t>(n);
            // One request at a time: answer once the frame is whole.
            if (held < sint::kFrameHeaderSize) continue;
            const std::size_t whole =
                sint::kFrameHeaderSize + sint::decode_header(in.data()).length;
            if (whole > in.size()) break;
            if (held < whole) continue;
            held = 0;
            if (send(client, reply.data(), reply.size(), MSG_NOSIGNAL) !=
                static_cast<long>(reply.size()))
                break;
            ++answered;
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ended);
        cpu = static_cast<double>(ended.tv_sec - begun.tv_sec) +
              static_cast<double>(ended.tv_nsec - begun.tv_nsec) / 1e9;
        close(client);
    });
    {
        sint::ProtocolConnection connection;
        if (connection.connect("127.0.0.1", ntohs(address.sin_port)))
            for (int p = 0; p < kMinimumPasses; ++p)
                for (const std::string& s : sentences)
                    if (!connection.send_request(sint::stream_request(s)) ||
                        !connection.wait_for(sint::ReplyType::Audio, kReplyTimeoutMs))
                        break;
    }
    close(listener);
    server.join();
    return answered > 0 && cpu >= 0 ? cpu / answered : -1;
}

// sint-say speaking the whole text (the sentences one a line, `passes` times)
// through a sintsrv started from the folder: sint-say finds the sentences with
// the server's sentence queries and sends each to STREAM. Its audio goes to
// /dev/null, as the facade's stays in memory; the seconds of speech are the
// ones it reports. `server` is the server's CPU alone, `both` adds sint-say's.
bool bench_say(const fs::path& folder, std::uint16_t port, const std::vector<std::string>& utf8,
               int passes, Figure& server, Figure& both) {
    const std::string text = (folder / "say-text.txt").string();
    const std::string report = (folder / "say-report.txt").string();
    {
        std::ofstream out(text);
        for (int p = 0; p < passes; ++p)
            for (const std::string& s : utf8) out << s << "\n";
    }
    const auto started = Clock::now();
    const pid_t pid = spawn({(folder / "sintsrv").string(), "-konzola", "-hitro"});
    bool ready = false;
    while (!ready &&
           std::chrono::duration<double, std::milli>(Clock::now() - started).count() <
               kStartTimeoutMs &&
           waitpid(pid, nullptr, WNOHANG) == 0) {
        sint::ProtocolConnection probe;
        ready = probe.connect("127.0.0.1", port) &&
                probe.send_request(sint::command_request("TEST")) &&
                probe.wait_for(sint::ReplyType::Ok, 1000).has_value();
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool ok = false;
    if (ready) {
        const double server_cpu = process_cpu(pid);
        const auto begun = Clock::now();
        std::fflush(stdout);
        const pid_t say = fork();
        if (say == 0) {
            // "/dev/null: <seconds> s" goes to standard error.
            if (!std::freopen(report.c_str(), "w", stderr)) _exit(127);
            const std::string program = (folder / "sint-say").string();
            const std::string port_text = std::to_string(port);
            execl(program.c_str(), program.c_str(), "--port", port_text.c_str(), "-o", "/dev/null",
                  "-f", text.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        ok = say > 0 && wait4(say, &status, 0, &usage) == say && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0;
        server.wall = both.wall = std::chrono::duration<double>(Clock::now() - begun).count();
        server.cpu = process_cpu(pid) - server_cpu;
        both.cpu = server.cpu + cpu_seconds(usage);
        std::ifstream in(report);
        const std::string said((std::istreambuf_iterator<char>(in)), {});
        const std::size_t colon = said.rfind(": ");
        server.audio = both.audio =
            colon == std::string::npos ? 0 : std::strtod(said.c_str() + colon + 2, nullptr);
        if (!ok) std::fprintf(stderr, "bench_voice: sint-say failed on the text\n");
        sint::ProtocolConnection last;
        if (last.connect("127.0.0.1", port) &&
            last.send_request(sint::command_request("TERMINATE")))
            last.wait_for(sint::ReplyType::End, 5000);
    } else {
        std::fprintf(stderr, "bench_voice: sintsrv did not become ready for sint-say\n");
    }
    reap(pid);
    return ok && server.audio > 0;
}

// Seconds of sound in a RIFF file of 16-bit samples (its fmt and data chunks);
// only the chunk headers are read, the data size comes from the file's size.
double wave_seconds(const std::string& path) {
    std::error_code error;
    const auto file_size = static_cast<std::size_t>(fs::file_size(path, error));
    if (error) return 0;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::min<std::size_t>(file_size, 4096), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
        if (id == "data" && (size == 0 || size == 0xFFFFFFFFu || at + 8 + size > file_size))
            size = file_size - at - 8;
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

// The machine's floor for overlap-add: out[k] += source[k] × weights[k] >> 14
// in 16 bits, without rounding toward zero or saturation, compiled the way the
// product's overlap-add is (on x86-64 with an AVX2 copy chosen at run time).
#if defined(__x86_64__)
[[gnu::target_clones("avx2", "default")]]
#endif
void multiply_add_window(std::int16_t* __restrict out, const std::int16_t* __restrict source,
                         const std::int16_t* __restrict weights, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<std::int16_t>(out[k] + ((source[k] * weights[k]) >> 14));
}

// Overlap-add alone: windows of the lengths speech uses laid at one period's
// step over a second of output, from recorded samples in memory, against the
// plain multiply-add loop over the same windows. Output samples per second.
void bench_overlap_add() {
    constexpr std::size_t kOutput = 16000;
    constexpr int kRounds = 2000;
    std::vector<std::int16_t> source(kOutput + 2000), out(kOutput + 2000);
    std::uint32_t seed = 12345;
    for (auto& s : source) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<std::int16_t>(static_cast<std::int32_t>(seed >> 16) % 12000);
    }
    // Periods of 60 to 200 samples (80 to 267 Hz) at window width 100.
    std::vector<std::vector<std::int16_t>> weights;
    for (int half = 60; half <= 200; half += 10) {
        std::vector<std::int16_t> w(2 * half + 1);
        for (int j = -half; j <= half; ++j)
            w[j + half] = static_cast<std::int16_t>(
                sint::TPsola::window_table()[std::abs(j) * sint::kWindowSteps / half]);
        weights.push_back(std::move(w));
    }
    const auto run = [&](auto kernel) {
        std::int64_t samples = 0;
        const double cpu = self_cpu();
        for (int round = 0; round < kRounds; ++round) {
            std::fill(out.begin(), out.end(), 0);
            std::size_t at = 0, which = 0;
            while (at + 500 < kOutput) {
                const auto& w = weights[which++ % weights.size()];
                kernel(out.data() + at, source.data() + at, w.data(), w.size());
                samples += static_cast<std::int64_t>(w.size());
                at += w.size() / 2;  // one period: windows overlap by half
            }
        }
        const double seconds = self_cpu() - cpu;
        return seconds > 0 ? static_cast<double>(samples) / seconds : 0.0;
    };
    const double ola = run(sint::overlap_add_window);
    const double floor = run(multiply_add_window);
    std::printf("%-34s %10.0f M samples / s CPU\n", "overlap-add (Q14, saturating)", ola / 1e6);
    std::printf("%-34s %10.0f M samples / s CPU\n", "plain multiply-add (the floor)", floor / 1e6);
    std::printf("overlap-add / floor: %.2f\n", floor > 0 ? ola / floor : 0);
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

    const std::uint16_t port = sint::free_loopback_port();
    const fs::path folder = sint::bench::copy_program_folder(source, port);
    if (folder.empty()) return 1;
    if (!fs::exists(folder / "data/MorvenaIdra.dat")) {
        fs::create_directories(folder / "data");
        const pid_t builder = spawn({(folder / "sintsrv").string(), "-konzola", "-ustvaripodatke"});
        waitpid(builder, nullptr, 0);
    }
    std::printf("== %zu sentences of %s, voice of %s\n", utf8.size(), text_file.c_str(),
                source.c_str());

    int result = 1;
    int passes = 0;
    Figure facade_disk, facade_memory, server_disk, both_disk, server_memory, both_memory, espeak;
    long rss_disk = -1, rss_memory = -1;
    if (bench_facade(folder, sentences, false, passes, facade_disk) &&
        bench_facade(folder, sentences, true, passes, facade_memory)) {
        std::printf("the text spoken %d times (at least %d times and %.0f s of speech)\n", passes,
                    kMinimumPasses, kMinimumAudioSeconds);
        print("facade, samples from disk", facade_disk);
        print("facade, samples in memory", facade_memory);
        if (bench_server(folder, port, sentences, passes, false, server_disk, both_disk,
                         rss_disk) &&
            bench_server(folder, port, sentences, passes, true, server_memory, both_memory,
                         rss_memory)) {
            print("sintsrv -disk (server CPU)", server_disk);
            print("sintsrv -disk (server and client)", both_disk);
            print("sintsrv -ram (server CPU)", server_memory);
            print("sintsrv -ram (server and client)", both_memory);
            std::printf("sintsrv peak resident memory: -disk %.1f MiB, -ram %.1f MiB\n",
                        rss_disk / 1024.0, rss_memory / 1024.0);
            result = 0;
        }
        if (!espeak_installed()) {
            std::printf("espeak-ng is not installed (apt package espeak-ng): no comparison\n");
        } else if (bench_espeak(folder, utf8, passes, espeak)) {
            print("espeak-ng -v sl", espeak);
            std::printf("ratio to espeak-ng: facade %.2f (memory %.2f), sintsrv -disk %.2f\n",
                        facade_disk.rate() / espeak.rate(), facade_memory.rate() / espeak.rate(),
                        server_disk.rate() / espeak.rate());
        } else {
            std::printf("espeak-ng -v sl failed on the text: no comparison\n");
        }
        if (result == 0)
            std::printf(
                "ratio sintsrv / facade: -disk %.2f (with client %.2f), -ram %.2f (with client "
                "%.2f)\n",
                server_disk.rate() / facade_disk.rate(), both_disk.rate() / facade_disk.rate(),
                server_memory.rate() / facade_memory.rate(),
                both_memory.rate() / facade_memory.rate());
        if (result == 0) {
            // The facade's CPU for one sentence against the floor of one round trip.
            const double requests = static_cast<double>(sentences.size()) * passes;
            const double floor = transport_floor(
                sentences,
                static_cast<std::size_t>(server_disk.audio * kSampleRate * 2 / requests));
            const double sentence = facade_disk.cpu / requests;
            if (floor > 0)
                std::printf(
                    "loopback round trip with no synthesis: %.1f us of server CPU a request, the "
                    "facade's sentence %.1f us: facade / (facade + round trip) %.2f\n",
                    floor * 1e6, sentence * 1e6, sentence / (sentence + floor));
        }
        Figure say_server, say_both;
        if (result == 0 && bench_say(folder, port, utf8, passes, say_server, say_both)) {
            print("sint-say (server CPU)", say_server);
            print("sint-say (server and client CPU)", say_both);
            std::printf("ratio sint-say / facade: %.2f\n", say_both.rate() / facade_disk.rate());
        }
    }
    bench_overlap_add();
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
