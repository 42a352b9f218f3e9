#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "core/process.h"

// The Windows side of the process helpers: GetModuleFileName for the
// program's own path, CreateProcess for the detached start. Paths are in the
// ANSI code page, the form the C library's file functions take.

namespace sint {
namespace {

// An argument as the C runtime's command-line parser reads it back: quoted
// when it holds a blank or a quote, with quotes and the backslashes before
// them escaped.
std::string quoted_argument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

bool create_process(const std::string& program, std::string command_line, const std::string& folder,
                    DWORD flags, STARTUPINFOA& startup) {
    PROCESS_INFORMATION process{};
    const BOOL created =
        CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    if (!created) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

std::string program_path(const std::string& argv0) {
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) return std::string(path, length);
    if (argv0.empty()) return {};
    char full[MAX_PATH * 4];
    const DWORD full_length = GetFullPathNameA(argv0.c_str(), sizeof full, full, nullptr);
    return full_length > 0 && full_length < sizeof full ? std::string(full, full_length) : argv0;
}

std::string program_folder(const std::string& argv0) {
    const std::string path = program_path(argv0);
    const std::size_t last = path.find_last_of("\\/");
    if (last == std::string::npos) return ".\\";
    return path.substr(0, last + 1);
}

std::string executable_name(const std::string& stem) {
    return stem + ".exe";
}

bool spawn_detached(const std::vector<std::string>& args, const std::string& folder) {
    if (args.empty()) return false;
    std::string command_line;
    for (const std::string& arg : args) {
        if (!command_line.empty()) command_line += ' ';
        command_line += quoted_argument(arg);
    }
    // First without any console; where that is refused, with a new console
    // that is never shown.
    STARTUPINFOA plain{};
    plain.cb = sizeof plain;
    if (create_process(args[0], command_line, folder,
                       DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | CREATE_DEFAULT_ERROR_MODE, plain))
        return true;
    STARTUPINFOA hidden{};
    hidden.cb = sizeof hidden;
    hidden.dwFlags = STARTF_USESHOWWINDOW | STARTF_USEPOSITION | STARTF_USESIZE;
    hidden.wShowWindow = SW_HIDE;
    return create_process(args[0], command_line, folder, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                          hidden);
}

void set_binary_stdout() {
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace sint
