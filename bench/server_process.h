// Helpers of the benchmarks that start a real sintsrv: a free port, a child
// process, and the program folder's sint.ini moved to another port.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/protocol_client.h"

namespace sint::bench {

// Starts `args` (found on PATH when not a path) as a child; with `output`, its
// standard output goes to that file.
inline pid_t spawn(const std::vector<std::string>& args, const std::string& output = "") {
    // The child must not write this process's buffered output a second time.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!output.empty()) {
            if (!std::freopen(output.c_str(), "w", stdout)) _exit(127);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The program folder's sint.ini with another port and without the log.
// Reaps a child that was asked to end, killing it when it has not ended
// within `limit_ms`.
inline void reap(pid_t pid, int limit_ms = 5000) {
    const auto stopping = std::chrono::steady_clock::now();
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - stopping > std::chrono::milliseconds(limit_ms)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline std::string ini_for_port(const std::filesystem::path& ini, std::uint16_t port,
                                const std::string& extra = "") {
    const auto key_of = [](const std::string& line) {
        return line.substr(0, line.find_first_of(" \t="));
    };
    // The first value of a key counts: the keys set here leave the file.
    std::vector<std::string> replaced{"port", "pisi_dnevnik"};
    std::istringstream extra_lines(extra);
    for (std::string line; std::getline(extra_lines, line);) replaced.push_back(key_of(line));
    std::ifstream in(ini);
    std::ostringstream out;
    for (std::string line; std::getline(in, line);)
        if (std::find(replaced.begin(), replaced.end(), key_of(line)) == replaced.end())
            out << line << "\n";
    out << "port = " << port << "\npisi_dnevnik = false\n" << extra;
    return out.str();
}

// A copy of the program folder `source` in a new temporary folder, its
// sint.ini moved to `port`; an empty path when no folder could be made.
inline std::filesystem::path copy_program_folder(const std::filesystem::path& source,
                                                 std::uint16_t port) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "sint-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    const fs::path folder = pattern;
    fs::copy(source, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    std::ofstream(folder / "sint.ini") << ini_for_port(source / "sint.ini", port);
    return folder;
}

}  // namespace sint::bench
