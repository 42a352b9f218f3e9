// The configuration of sd_sint, read from the file that Speech Dispatcher
// names on its command line (sint.conf, in Speech Dispatcher's own syntax:
// one `Key value` per line, strings in double quotes, "#" comments).
//
//   SintServer "/usr/lib/sint/sintsrv"   the server to reach and to start
//   SintPort 10150                       its port (default: its sint.ini's port)
//   SintLifespan 600                     lifespan of a started server, ticks of 100 ms
//   SintRate 0, SintPitch 0, SintVolume 100   voice settings until Speech Dispatcher sets them
//   SintMaxSpeed 3                       the speed factor of rate +100 (up to 6); rate r
//                                        is 3^(r/100) below 0 and SintMaxSpeed^(r/100) above
//   SintLogFile "/tmp/sd_sint.log"       the module's log (default: none)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/ssml/speech_plan.h"

namespace sint {

inline constexpr int kModuleDefaultLifespan = 600;

struct ModuleConfig {
    std::string server_path;  // empty: the sintsrv beside sd_sint
    std::uint16_t port = 0;   // 0: the server's own configured port
    int lifespan = kModuleDefaultLifespan;
    VoiceParams voice;
    std::string log_file;
    // Lines of the file that were not understood ("line N: ...").
    std::vector<std::string> problems;
};

// Reads the configuration text; unknown keys and bad values are listed in
// `problems` and leave the defaults.
ModuleConfig parse_module_config(const std::string& text);

// Reads the file; a missing file gives the defaults and one problem.
ModuleConfig read_module_config(const std::string& path);

}  // namespace sint
