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
//   SintVoice "ana" "/srv/voices/ana"    a further voice: a program folder with its
//                                        own sintsrv and port (make voice-from builds
//                                        one); Speech Dispatcher's synthesis_voice
//                                        chooses it, "sint" the voice of SintServer
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/ssml/speech_plan.h"

namespace sint {

inline constexpr int kModuleDefaultLifespan = 600;

// The name of the voice of SintServer.
inline constexpr const char* kModuleDefaultVoice = "sint";

struct ModuleVoice {
    std::string name;
    std::string folder;  // holds the voice's sintsrv and its sint.ini
};

struct ModuleConfig {
    std::string server_path;  // empty: the sintsrv beside sd_sint
    std::uint16_t port = 0;   // 0: the server's own configured port
    int lifespan = kModuleDefaultLifespan;
    VoiceParams voice;
    std::string log_file;
    std::vector<ModuleVoice> voices;  // besides the voice of SintServer
    // Lines of the file that were not understood ("line N: ...").
    std::vector<std::string> problems;
};

// Reads the configuration text; unknown keys and bad values are listed in
// `problems` and leave the defaults.
ModuleConfig parse_module_config(const std::string& text);

// Reads the file; a missing file gives the defaults and one problem.
ModuleConfig read_module_config(const std::string& path);

}  // namespace sint
