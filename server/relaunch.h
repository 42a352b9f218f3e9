// Starting a copy of the server as a detached background process.
#pragma once

#include <string>
#include <vector>

#include "core/process.h"

namespace sint {

// The exit code of a start-up that failed.
inline constexpr int kExitStartupFailed = 1;
inline constexpr const char* kRelaunchFailed = "Napaka: streznika v ozadju ni mogoce zagnati";
inline constexpr const char* kChildEnded = "Napaka: streznik v ozadju se je koncal ob zagonu";

// The child's arguments: the program path, "-konzola", then the parent's own
// options in the order given.
std::vector<std::string> relaunch_arguments(const std::string& program,
                                            const std::vector<std::string>& options);

// The relaunch of start-up: start the child (on failure wait 1 s and try once
// more), then wait 1 s for what it reports. Returns the parent's exit code: 0
// when the child serves or is still starting; non-zero, after writing the
// child's messages to standard error and reporting the failure, when no child
// could be started or it has already ended without serving. `pause_ms` is the
// wait.
int relaunch_in_background(const std::string& program, const std::string& folder,
                           const std::vector<std::string>& options, int pause_ms = 1000);

}  // namespace sint
