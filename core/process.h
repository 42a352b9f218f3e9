// Process helpers every program of the system shares: where the running program
// lives (its path and its folder, which holds sint.ini and the voice), and the
// start of another program as a detached background process (the server's
// relaunch, the engine library and sint-say starting a server).
#pragma once

#include <string>
#include <vector>

namespace sint {

// The absolute path of the running program (from the operating system; else
// `argv0` made absolute, or "" when that fails too).
std::string program_path(const std::string& argv0 = {});

// The folder of the running program, ending in the path separator ("./" when
// unknown).
std::string program_folder(const std::string& argv0 = {});

// The file name of a program of the system on this platform ("sintsrv" or
// "sintsrv.exe").
std::string executable_name(const std::string& stem);

// Starts `args[0]` with `args` as a detached child: a new session (no console
// on Windows), standard streams on /dev/null, `folder` as its working directory. Returns true when
// the program was executed; never waits for the child.
bool spawn_detached(const std::vector<std::string>& args, const std::string& folder);

// Puts standard output into binary mode, so that raw samples pass unchanged
// (Windows would turn each byte 0x0A into 0x0D 0x0A); nothing to do elsewhere.
void set_binary_stdout();

}  // namespace sint
