#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "server/startup_status.h"

// The POSIX side of the start-up report: a pipe whose write end the child
// inherits through exec. Lines "E <message>" carry errors, "S" says the child
// serves.

namespace sint {
namespace {

void write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;  // the parent has gone: nobody to tell
        }
    }
}

}  // namespace

StartupWatch::~StartupWatch() {
    if (read_fd_ >= 0) ::close(read_fd_);
    if (write_fd_ >= 0) ::close(write_fd_);
}

bool StartupWatch::open() {
    int ends[2];
    if (::pipe(ends) != 0) return false;
    read_fd_ = ends[0];
    write_fd_ = ends[1];
    fcntl(read_fd_, F_SETFD, FD_CLOEXEC);
    setenv(kStatusFdVariable, std::to_string(write_fd_).c_str(), 1);
    return true;
}

void StartupWatch::child_started() {
    unsetenv(kStatusFdVariable);
    if (write_fd_ >= 0) ::close(write_fd_);
    write_fd_ = -1;
}

StartupWatch::Outcome StartupWatch::wait(int wait_ms) {
    Outcome outcome;
    if (read_fd_ < 0) return outcome;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    std::string received;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        if (outcome.ended) {
            // Nothing more can come; the wait still lasts its time.
            ::poll(nullptr, 0, static_cast<int>(left));
            continue;
        }
        pollfd p{read_fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(read_fd_, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            outcome.ended = true;
        }
    }
    read_status_lines(received, outcome);
    return outcome;
}

std::optional<int> take_status_fd() {
    const char* value = std::getenv(kStatusFdVariable);
    if (!value) return std::nullopt;
    const int fd = std::atoi(value);
    unsetenv(kStatusFdVariable);
    if (fd <= STDERR_FILENO || fcntl(fd, F_GETFD) < 0) return -1;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

void write_status_error(int fd, std::string_view message) {
    if (fd >= 0) write_all(fd, status_error_line(message));
}

void write_status_serving(int fd) {
    if (fd < 0) return;
    write_all(fd, "S\n");
    ::close(fd);
}

}  // namespace sint

namespace sint {

void close_status_fd(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace sint
