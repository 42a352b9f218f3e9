#include "server/relaunch.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/log.h"
#include "server/startup_status.h"

namespace sint {

std::vector<std::string> relaunch_arguments(const std::string& program,
                                            const std::vector<std::string>& options) {
    std::vector<std::string> args{program, "-konzola"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

int relaunch_in_background(const std::string& program, const std::string& folder,
                           const std::vector<std::string>& options, int pause_ms) {
    const auto pause = [pause_ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    };
    const std::vector<std::string> args = relaunch_arguments(program, options);
    StartupWatch watch;
    watch.open();  // without a pipe the child still starts; it just cannot be watched
    bool started = spawn_detached(args, folder);
    if (!started) {
        pause();
        started = spawn_detached(args, folder);
    }
    watch.child_started();
    if (!started) {
        report_error(kRelaunchFailed);
        return kExitStartupFailed;
    }
    const StartupWatch::Outcome outcome = watch.wait(pause_ms);
    if (!outcome.ended || outcome.serving) return 0;
    // The child has logged its messages itself; the console has not seen them.
    for (const std::string& message : outcome.messages)
        std::fprintf(stderr, "%s\n", message.c_str());
    report_error(kChildEnded);
    return kExitStartupFailed;
}

}  // namespace sint
