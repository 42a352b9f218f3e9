// A real sintsrv for the end-to-end tests: a temporary program folder with a
// copy of the server, the default voice's text and prosody profiles and a
// small synthetic wave database, and the server process started from it on a
// free port.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/protocol_client.h"
#include "tests/support/temp_dir.h"
#include "tools/voicebuild/synthetic_voice.h"

namespace sint::test {

// Polls `done` every 20 ms for at most `limit_ms`.
template <typename Done>
bool poll_until(Done done, int limit_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The program folder: sintsrv and sint-say copied from the build (the server
// takes its own folder as its working folder), sint.ini with a free port and
// the log on, the default voice's profiles and dictionaries, and one synthetic
// recording with the phones the tests speak.
class ProgramFolder {
public:
    ProgramFolder() : port_(free_loopback_port()) {
        namespace fs = std::filesystem;
        const fs::path built(SINT_PROGRAM_DIR);
        for (const char* program : {"sintsrv", "sint-say"})
            fs::copy_file(built / program, dir_.path() / program);
        const fs::path voice = fs::path(SINT_SOURCE_DIR) / "voice";
        for (const char* name :
             {"gfp.ini", "simboli.ini", "mikro.ini", "makro.ini", "slovarji", "statistika"})
            if (fs::exists(voice / name))
                fs::copy(voice / name, dir_.path() / name, fs::copy_options::recursive);
        dir_.write("sint.ini",
                   "ini_mikro = mikro.ini\nini_makro = makro.ini\nini_gfp = gfp.ini\n"
                   "dct_dir = slovarji/\nstat_dir = statistika/\nlog_dir = ./\n"
                   "port = " +
                       std::to_string(port_) +
                       "\ndovoli_nesifrirane_slovarje = true\npisi_dnevnik = true\n");
        write_file(dir_.file("rec.wav"), recording_file(make_recording({{"_", 3, 100},
                                                                        {"m", 4, 90},
                                                                        {"a:", 6, 80},
                                                                        {"m", 4, 90},
                                                                        {"a", 5, 100},
                                                                        {"i", 5, 85},
                                                                        {"k", 3, 120},
                                                                        {"s", 4, 110},
                                                                        {"a", 5, 100},
                                                                        {"_", 3, 100}})));
        dir_.write("filenames.ini", "rec.wav\r\n");
        dir_.write("Cost.dat", "1\n_\t1\n");
    }

    std::uint16_t port() const { return port_; }
    const std::filesystem::path& path() const { return dir_.path(); }
    std::string file(std::string_view name) const { return dir_.file(name); }
    std::string read(std::string_view name) const { return TempDir::read(dir_.file(name)); }
    bool exists(std::string_view name) const { return std::filesystem::exists(dir_.file(name)); }

private:
    TempDir dir_;
    std::uint16_t port_;
};

// sintsrv started from a program folder with the given options (console mode
// is added first). Killed at the end of the test if it is still running.
class ServerProcess {
public:
    ServerProcess(const ProgramFolder& folder, std::vector<std::string> options) {
        const std::string program = folder.file("sintsrv");
        options.insert(options.begin(), {program, "-konzola"});
        std::vector<char*> argv;
        for (std::string& option : options) argv.push_back(option.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~ServerProcess() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        if (exit_status_) return false;
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) == 0) return pid_ > 0;
        exit_status_ = status;
        return false;
    }
    // Waits up to `limit_ms` for the process to end; its exit code, or
    // nothing while it runs on (or when it did not end normally).
    std::optional<int> wait_exit(int limit_ms) {
        if (!poll_until([this] { return !running(); }, limit_ms)) return std::nullopt;
        if (!exit_status_ || !WIFEXITED(*exit_status_)) return std::nullopt;
        return WEXITSTATUS(*exit_status_);
    }

private:
    pid_t pid_ = -1;
    std::optional<int> exit_status_;
};

// Connects to the server on `port` and waits until it answers TEST with
// "SINT_OK"; false when it does not within `limit_ms`, or as soon as
// `server` (when given) has ended.
inline bool connect_ready(ProtocolConnection& connection, std::uint16_t port, int limit_ms = 10000,
                          ServerProcess* server = nullptr) {
    bool ready = false;
    poll_until(
        [&] {
            if (server && !server->running()) return true;
            if (!connection.connected() && !connection.connect("127.0.0.1", port)) return false;
            if (!connection.send_request(command_request("TEST"))) {
                connection.close();
                return false;
            }
            const auto frame = connection.receive(1000);
            ready = frame && recognise_reply(frame->payload).type == ReplyType::Ok;
            return ready;
        },
        limit_ms);
    return ready;
}

}  // namespace sint::test
