#include "server/relaunch.h"

#include <chrono>
#include <thread>

namespace sint {

std::vector<std::string> relaunch_arguments(const std::string& program,
                                            const std::vector<std::string>& options) {
    std::vector<std::string> args{program, "-konzola"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

bool relaunch_in_background(const std::string& program, const std::string& folder,
                            const std::vector<std::string>& options, int pause_ms) {
    const auto pause = [pause_ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    };
    const std::vector<std::string> args = relaunch_arguments(program, options);
    pause();
    if (spawn_detached(args, folder)) return true;
    pause();
    if (spawn_detached(args, folder)) return true;
    pause();
    return false;
}

}  // namespace sint
