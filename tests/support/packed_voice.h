// A copy of the build's program folder in a temporary folder, with the packed
// wave database made there by `sintsrv -ustvaripodatke`: the default voice as
// the server loads it at fast start, without touching the build's own folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace sint::test {

// Runs `program` with `args` and waits for it: its exit code, or -1 when it did
// not end normally.
inline int run_program(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Copies the program folder `built` into `dir` without its packed database and
// logs, and packs the database there. "" on success, else why it failed.
inline std::string make_packed_voice(const std::filesystem::path& built, const TempDir& dir) {
    namespace fs = std::filesystem;
    if (!fs::exists(built / "sintsrv") || !fs::exists(built / "filenames.ini"))
        return built.string() + " holds no sintsrv or no filenames.ini";
    for (const auto& entry : fs::directory_iterator(built)) {
        const std::string name = entry.path().filename().string();
        if (name == "data" || name == "sint.log" || name.ends_with(".out")) continue;
        fs::copy(entry.path(), dir.path() / name, fs::copy_options::recursive);
    }
    fs::create_directories(dir.path() / "data");
    const int code = run_program(dir.file("sintsrv"), {"-konzola", "-ustvaripodatke"});
    if (code != 0 || !fs::exists(dir.path() / "data/MorvenaIdra.dat"))
        return "sintsrv -ustvaripodatke ended with " + std::to_string(code) +
               " and made no data/MorvenaIdra.dat";
    return "";
}

}  // namespace sint::test
