// ServerSettings: the process-wide settings of sintsrv, from sint.ini, the
// command line and the protocol commands NORMAL and YU.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "synth/synthesiser_options.h"

namespace sint {

class ProfileFile;

// The port used when sint.ini names none.
inline constexpr std::int32_t kDefaultPort = 10150;
// The sint.ini key that lets requests name absolute paths ("true").
inline constexpr const char* kAbsolutePathsKey = "dovoli_absolutne_poti";
// Longest path kept from sint.ini (longer values are cut).
inline constexpr std::size_t kSettingsPathMax = 255;
// Main-loop ticks of 100 ms before an unused server ends (60 s).
inline constexpr std::int32_t kDefaultLifespan = 600;
// The environment variable that names the folder for everything the server
// writes (the log, the diagnostic files and the wave files clients name) in
// place of log_dir and the program folder: an installed program folder is
// read-only, so a service points it at its own state folder.
inline constexpr const char* kStateFolderEnvironment = "SINT_STATE_DIR";

struct ServerSettings {
    bool log_disabled = true;
    bool single_instance = true;  // read, but several servers may run on different ports
    bool sibilants_with_quotes = false;
    bool sms_mode = false;
    bool dictionaries_scrambled = true;
    bool samples_in_memory = false;
    bool fast_start = true;
    bool create_data = false;
    bool read_test = false;
    bool background = true;
    // Absolute paths in requests (wave file names, REINIT list files) are
    // accepted; otherwise every such path must lie inside the program folder.
    bool absolute_paths_allowed = false;
    // Written by the protocol thread (NORMAL, YU) while text analysis reads it.
    std::atomic<bool> seven_bit_input{false};
    bool angle_bracket_filter = false;
    std::int32_t lifespan = kDefaultLifespan;
    std::int32_t port = 0;
    std::string mikro_profile;
    std::string makro_profile;
    std::string gfp_profile;
    std::string dictionary_dir;  // ends in "/" when set
    std::string statistics_dir;  // ends in "/" when set
    std::string log_dir;         // ends in "/" when set
    std::string config_path = "sint.ini";
};

// The one instance of the process.
ServerSettings& server_settings();

// Reads sint.ini (plain) from the current directory into `settings`, reporting
// every missing file or key; sets the log path and the log switch at the end.
// Returns the profile object, which the shell keeps open until shutdown.
std::unique_ptr<ProfileFile> read_sint_ini(ServerSettings& settings);

// The folder named by SINT_STATE_DIR, ending in "/"; empty when it is unset or empty.
std::string state_folder();

// Applies the options (the arguments after the program path), first to last,
// then the "-testbranja" rule. Unknown arguments are ignored.
void parse_command_line(ServerSettings& settings, const std::vector<std::string>& args);

// A directory value of sint.ini: "\" becomes "/", and a "/" is appended when the
// value does not end in one. An empty value stays empty (the current folder).
std::string directory_value(std::string value);

// The facade's options from the settings: the profiles and folders, the text
// switches (sharing the 7-bit switch that NORMAL and YU change) and the wave
// database's storage mode. `settings` must outlive the facade.
SynthesiserOptions synthesiser_options(ServerSettings& settings);

}  // namespace sint
