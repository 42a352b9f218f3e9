// Where a library voice lives and what its facade is built from: the folder
// given, or SINT_VOICE, or the installed voice; and sint.ini of that folder
// read into the facade's options, every path in it taken relative to the
// folder (the server takes them relative to its working folder, which a
// library may not change).
#pragma once

#include <optional>
#include <string>

#include "synth/synthesiser_options.h"

namespace sint {

// The environment variable naming the voice folder when none is given.
inline constexpr const char* kVoiceEnvironment = "SINT_VOICE";

// `folder` when given, else $SINT_VOICE when set and not empty, else
// `installed`; always ending in "/".
std::string voice_folder(const char* folder, const std::string& installed);

struct VoiceOptions {
    std::optional<SynthesiserOptions> options;  // nothing when the folder is unusable
    std::string error;                          // why, naming the folder or file
};

// Reads `folder`/sint.ini. The samples are always kept in memory (the wave
// file paths of the voice are relative to its folder) and logging stays off.
VoiceOptions read_voice_options(const std::string& folder);

}  // namespace sint
