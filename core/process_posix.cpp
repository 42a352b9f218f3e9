#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/process.h"

// The POSIX side of the process helpers: /proc/self/exe for the program's own
// path, fork and setsid for the detached start.

namespace sint {

std::string program_path(const std::string& argv0) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty()) return self.string();
    if (argv0.empty()) return {};
    return std::filesystem::absolute(argv0, error).lexically_normal().string();
}

std::string program_folder(const std::string& argv0) {
    std::string folder = std::filesystem::path(program_path(argv0)).parent_path().string();
    if (folder.empty()) return "./";
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string executable_name(const std::string& stem) {
    return stem;
}

bool spawn_detached(const std::vector<std::string>& args, const std::string& folder) {
    if (args.empty()) return false;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    // The child reports a failed exec through this pipe; a successful exec closes
    // it (close-on-exec), which the parent reads as end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;

    const pid_t pid = fork();
    if (pid < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (pid == 0) {
        close(report[0]);
        // Detach twice, so that the server is adopted by init and the parent
        // never has to reap it.
        if (setsid() < 0) _exit(126);
        const pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 126 : 0);
        const int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, STDIN_FILENO);
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
            if (null_fd > STDERR_FILENO) close(null_fd);
        }
        if (!folder.empty() && chdir(folder.c_str()) != 0) {
            const int code = errno;
            (void)!write(report[1], &code, sizeof code);
            _exit(127);
        }
        execv(argv[0], argv.data());
        const int code = errno;
        (void)!write(report[1], &code, sizeof code);
        _exit(127);
    }
    close(report[1]);
    // The intermediate child ends at once; reaping it is not waiting for the server.
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    int code = 0;
    ssize_t got;
    while ((got = read(report[0], &code, sizeof code)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    const bool intermediate_ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return intermediate_ok && got == 0;
}

void set_binary_stdout() {}

}  // namespace sint
