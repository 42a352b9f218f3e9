#include "server/shell.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/log.h"
#include "core/process.h"
#include "core/profile_file.h"
#include "server/relaunch.h"

namespace sint {
namespace {

std::string seconds_text(std::chrono::steady_clock::duration elapsed) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    char text[32];
    std::snprintf(text, sizeof text, "%03f s", static_cast<double>(ms) * 0.001);
    return text;
}

// Loads the wave database the way the settings ask and logs the time it took.
bool load_wave_database(ShellServices& services, const ServerSettings& settings) {
    const auto started = std::chrono::steady_clock::now();
    const bool ready =
        settings.fast_start ? services.wave_init_fast() : services.wave_init_slow(kWaveListFile);
    if (ready)
        log_write("Baza posnetkov: " + seconds_text(std::chrono::steady_clock::now() - started));
    return ready;
}

}  // namespace

void ShellState::request_reload(const std::string& list_file) {
    std::lock_guard lock(reload_mutex_);
    reload_list_ = list_file;
    reload_requested_ = true;
}

bool ShellState::take_reload(std::string& list_file) {
    if (!reload_requested_) return false;
    std::lock_guard lock(reload_mutex_);
    list_file = reload_list_;
    reload_requested_ = false;
    return true;
}

ShellState& shell_state() {
    static ShellState state;
    return state;
}

void main_loop_tick(ShellServices& services, const ServerSettings& settings, ShellState& state,
                    bool& wave_ready) {
    std::string list_file;
    if (state.take_reload(list_file)) {
        services.server_stop();
        if (wave_ready) services.wave_free();
        wave_ready = services.wave_init_slow(list_file);
        services.server_start(settings.port);
    }
    if (state.idle().exceeds(settings.lifespan)) state.request_stop();
    if (services.clients_empty())
        state.idle().add();
    else
        state.idle().reset();
}

int run_shell(const std::vector<std::string>& args, ShellServices& services,
              ServerSettings& settings, ShellState& state) {
    const std::string program = args.empty() ? std::string("sintsrv") : args.front();
    std::string folder = std::filesystem::path(program).parent_path().string();
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    // When the folder cannot be entered, go on from the current directory:
    // sint.ini is then missing and says so.
    (void)!chdir(folder.c_str());

    std::unique_ptr<ProfileFile> ini = read_sint_ini(settings);
    const std::vector<std::string> options(args.empty() ? args.end() : args.begin() + 1,
                                           args.end());
    parse_command_line(settings, options);

    if (settings.background) {
        relaunch_in_background(program, folder, options);
        return 0;
    }

    services.configure(*ini, folder);
    bool facade_ready = services.facade_init() == 0;
    bool wave_ready = false;
    bool server_started = false;
    if (facade_ready && settings.create_data) {
        settings.samples_in_memory = true;
        if (services.wave_init_slow(kWaveListFile)) {
            services.wave_save_tables();
            services.wave_free();
        }
        return 0;
    }
    if (facade_ready) wave_ready = load_wave_database(services, settings);
    if (facade_ready && wave_ready) server_started = services.server_start(settings.port) == 0;

    if (server_started) {
        while (!state.stop_requested()) {
            main_loop_tick(services, settings, state, wave_ready);
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
        }
    }

    if (server_started) services.server_stop();
    if (facade_ready) services.facade_free();
    if (wave_ready) services.wave_free();
    ini.reset();
    return 0;
}

}  // namespace sint
