#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "server/startup_status.h"

// The Windows side of the start-up report. A relaunched server is a detached
// process that inherits no handles (an inherited handle of the parent's own
// output would keep a caller's pipe open for the server's whole life), so the
// parent creates a named pipe of its own and names it in the environment; the
// child opens it as a file. Lines "E <message>" carry errors, "S" says the
// child serves; the child's handle closing (at serving, or at its end) is the
// end of the report. The parent's side is non-blocking and polled.

namespace sint {
namespace {

constexpr const char* kPipePrefix = "\\\\.\\pipe\\sintsrv-status-";
// How often the parent looks at the pipe during its wait.
constexpr int kPollMs = 20;
constexpr DWORD kPipeBufferSize = 4096;

HANDLE as_handle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

void write_all(int fd, const std::string& text) {
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(as_handle(fd), text.data() + done, static_cast<DWORD>(text.size() - done),
                       &written, nullptr) ||
            written == 0)
            return;  // the parent has gone: nobody to tell
        done += written;
    }
}

}  // namespace

StartupWatch::~StartupWatch() {
    if (read_fd_ >= 0) CloseHandle(as_handle(read_fd_));
}

bool StartupWatch::open() {
    // Unique per process and moment; the first-instance flag refuses a name
    // that someone else holds already.
    static unsigned counter = 0;
    const std::string name = kPipePrefix + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
    const HANDLE pipe = CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        kPipeBufferSize, 0, nullptr);
    // Without a pipe the variable still tells the child that it is the
    // relaunched copy; the parent then reports nothing of it.
    if (pipe == INVALID_HANDLE_VALUE) return SetEnvironmentVariableA(kStatusFdVariable, "-") != 0;
    read_fd_ = static_cast<int>(reinterpret_cast<std::intptr_t>(pipe));
    return SetEnvironmentVariableA(kStatusFdVariable, name.c_str()) != 0;
}

void StartupWatch::child_started() {
    SetEnvironmentVariableA(kStatusFdVariable, nullptr);
}

StartupWatch::Outcome StartupWatch::wait(int wait_ms) {
    Outcome outcome;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    if (read_fd_ < 0) {
        std::this_thread::sleep_for(deadline - Clock::now());
        return outcome;
    }
    const HANDLE pipe = as_handle(read_fd_);
    bool connected = false;
    std::string received;
    // The wait lasts its time even when the child has finished its report.
    while (Clock::now() < deadline) {
        if (!outcome.ended && !connected) {
            // Non-blocking: a child that has opened the pipe, or has opened
            // and closed it already, is there; one that has not is awaited.
            if (ConnectNamedPipe(pipe, nullptr)) {
                connected = true;
            } else {
                const DWORD error = GetLastError();
                connected = error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
            }
        }
        while (connected && !outcome.ended) {
            char buffer[512];
            DWORD got = 0;
            if (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr)) {
                received.append(buffer, got);
                if (got == 0) break;
                continue;
            }
            if (GetLastError() != ERROR_NO_DATA) outcome.ended = true;  // the child closed it
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    read_status_lines(received, outcome);
    return outcome;
}

std::optional<int> take_status_fd() {
    char name[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(kStatusFdVariable, name, sizeof name);
    if (length == 0) return std::nullopt;
    SetEnvironmentVariableA(kStatusFdVariable, nullptr);
    if (length >= sizeof name || std::string(name).rfind(kPipePrefix, 0) != 0) return -1;
    const HANDLE pipe =
        CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return -1;
    // Handle values fit in 32 bits on every Windows, so that they can be
    // shared with 32-bit processes.
    return static_cast<int>(reinterpret_cast<std::intptr_t>(pipe));
}

void write_status_error(int fd, std::string_view message) {
    if (fd >= 0) write_all(fd, status_error_line(message));
}

void write_status_serving(int fd) {
    if (fd < 0) return;
    write_all(fd, "S\n");
    CloseHandle(as_handle(fd));
}

void close_status_fd(int fd) {
    if (fd >= 0) CloseHandle(as_handle(fd));
}

}  // namespace sint
