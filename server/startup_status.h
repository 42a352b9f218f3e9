// What a server relaunched into the background tells the parent that started
// it: the errors of its start-up, and that it serves. The parent opens a pipe
// and names its write end in the environment; the child takes it from there
// (which also tells the child that it is the relaunched copy, which must never
// relaunch again), writes each start-up error into it and closes it once it
// serves. At the end of its wait the parent reads whether the child has
// already ended without serving, and with which messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sint {

// The environment variable that carries the pipe's descriptor to the child.
inline constexpr const char* kStatusFdVariable = "SINTSRV_STATUS_FD";

// The parent's end.
class StartupWatch {
public:
    struct Outcome {
        bool serving = false;               // the child said it serves
        bool ended = false;                 // the pipe closed: the child serves or has ended
        std::vector<std::string> messages;  // the child's start-up errors
    };

    StartupWatch() = default;
    ~StartupWatch();
    StartupWatch(const StartupWatch&) = delete;
    StartupWatch& operator=(const StartupWatch&) = delete;

    // Opens the pipe and names its write end in this process's environment, for
    // the child to inherit; false when no pipe can be made.
    bool open();
    // Once the child is started (or could not be): closes this process's copy
    // of the write end and removes the variable.
    void child_started();
    // Collects what the child writes for `wait_ms`.
    Outcome wait(int wait_ms);

private:
    int read_fd_ = -1;
    int write_fd_ = -1;
};

// The child's end: nothing when this process was not relaunched, else the
// descriptor named in the environment (−1 when it is unusable). The variable
// is removed, so that nothing this process starts inherits it.
std::optional<int> take_status_fd();
// One start-up error, on one line.
void write_status_error(int fd, std::string_view message);
// The line that write_status_error writes: "E ", the message on one line, a newline.
std::string status_error_line(std::string_view message);
// Reads what a child wrote: "S" (it serves) and its error lines.
void read_status_lines(const std::string& received, StartupWatch::Outcome& outcome);
// The child serves: says so and closes the descriptor.
void write_status_serving(int fd);
void close_status_fd(int fd);

}  // namespace sint
