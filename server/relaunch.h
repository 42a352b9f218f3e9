// Starting a copy of the server as a detached background process.
#pragma once

#include <string>
#include <vector>

#include "core/process.h"

namespace sint {

// The child's arguments: the program path, "-konzola", then the parent's own
// options in the order given.
std::vector<std::string> relaunch_arguments(const std::string& program,
                                            const std::vector<std::string>& options);

// The relaunch of start-up: wait 1 s, start the child; on failure wait 1 s and
// try once more; on a second failure wait 1 s. `pause_ms` is the wait.
bool relaunch_in_background(const std::string& program, const std::string& folder,
                            const std::vector<std::string>& options, int pause_ms = 1000);

}  // namespace sint
