// Helpers of the benchmarks that start a real sintsrv: a free port, a child
// process, and the program folder's sint.ini moved to another port.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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
inline std::string ini_for_port(const std::filesystem::path& ini, std::uint16_t port) {
    std::ifstream in(ini);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = line.substr(0, line.find_first_of(" \t="));
        if (key != "port" && key != "pisi_dnevnik") out << line << "\n";
    }
    out << "port = " << port << "\npisi_dnevnik = false\n";
    return out.str();
}

}  // namespace sint::bench
