// The server shell: start-up, the main loop and shutdown of sintsrv.
//
// The shell drives the synthesiser and the TCP server only through
// ShellServices, in a fixed order: facade, wave database, TCP server on the way
// up; TCP server, facade, wave database on the way down.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "server/idle_counter.h"
#include "server/server_settings.h"

namespace sint {

class ProfileFile;

// Main-loop tick (the idle rule counts these).
inline constexpr int kTickMs = 100;
// The list file of the recordings, in the program folder.
inline constexpr const char* kWaveListFile = "filenames.ini";

// Start-up failures, reported after the message of the stage that failed.
inline constexpr const char* kFacadeFailed = "Napaka: sintetizatorja ni mogoce inicializirati";
inline constexpr const char* kWaveFailed = "Napaka: baze posnetkov ni mogoce naloziti";
inline constexpr const char* kServerFailed = "Napaka: streznika TCP ni mogoce zagnati";

// A REINIT whose list gave no database; the old one serves on.
inline constexpr const char* kReloadFailed =
    "REINIT: baze posnetkov ni mogoce zgraditi, ostaja dosedanja; seznam: ";

// What the shell calls on the facade, the wave database and the TCP server.
class ShellServices {
public:
    virtual ~ShellServices() = default;
    // Called once sint.ini and the command line are read, before anything is
    // started, with the sint.ini profile (which may be unloaded).
    virtual void configure(const ProfileFile& /*sint_ini*/, const std::string& /*program_folder*/) {
    }
    // The synthesis facade: 0 on success.
    virtual int facade_init() = 0;
    virtual void facade_free() = 0;
    // The wave database: built from a list file (slow start) or loaded from its
    // saved tables (fast start); true when ready.
    virtual bool wave_init_slow(const std::string& list_file) = 0;
    virtual bool wave_init_fast() = 0;
    virtual void wave_save_tables() = 0;
    // Builds a new database from a list file (slow start) and replaces the
    // current one only when it loaded; otherwise the current one stays. True
    // when the new one is in place.
    virtual bool wave_reload(const std::string& list_file) = 0;
    virtual void wave_free() = 0;
    // The TCP server: 0 when started.
    virtual int server_start(std::int32_t port) = 0;
    virtual void server_stop() = 0;
    // True while no client is connected.
    virtual bool clients_empty() = 0;
};

// State of the shell shared with the protocol thread.
class ShellState {
public:
    void request_stop() { stop_requested_ = true; }
    bool stop_requested() const { return stop_requested_; }

    // REINIT: rebuild the wave database from `list_file` at the next tick.
    void request_reload(const std::string& list_file);
    // Takes a pending reload request: true and its list path, or false.
    bool take_reload(std::string& list_file);

    IdleCounter& idle() { return idle_; }

private:
    std::atomic<bool> stop_requested_{false};
    std::atomic<bool> reload_requested_{false};
    std::mutex reload_mutex_;
    std::string reload_list_;
    IdleCounter idle_;
};

// The shell state of this process.
ShellState& shell_state();

// Runs sintsrv: start-up, main loop and shutdown. `args` are the whole command
// line, the program's absolute path first (its folder becomes the current
// directory). Returns the exit code: 0 after serving (or after a relaunch
// whose child has not failed), non-zero when start-up failed. Every start-up
// error goes to standard error as well as the log.
int run_shell(const std::vector<std::string>& args, ShellServices& services,
              ServerSettings& settings = server_settings(), ShellState& state = shell_state());

// One pass of the main loop (without the sleep): a pending reload (the new
// database replaces the old one only when it loaded), the idle check and the
// idle counter.
void main_loop_tick(ShellServices& services, const ServerSettings& settings, ShellState& state,
                    bool& wave_ready);

}  // namespace sint
