#include "server/tcp_services.h"

#include <filesystem>

#include "server/server_settings.h"
#include "synth/profile_file.h"

namespace sint {

TcpShellServices::TcpShellServices(SynthesisService& synthesis, TcpServerOptions options,
                                   ShellState& state, ServerSettings& settings)
    : settings_(settings),
      address_from_ini_(options.socket.address.empty()),
      folder_from_cwd_(options.program_folder.empty()),
      tcp_(synthesis, state, settings, std::move(options)) {}

int TcpShellServices::server_start(std::int32_t port) {
    if (address_from_ini_) {
        const ProfileFile ini(settings_.config_path, false);
        tcp_.set_listen_address(listen_address(&ini));
    }
    if (folder_from_cwd_) {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::current_path(error);
        tcp_.set_program_folder(error ? std::string("./") : folder.string() + "/");
    }
    return tcp_.server_start(port);
}

void TcpShellServices::server_stop() {
    tcp_.server_stop();
}

bool TcpShellServices::clients_empty() {
    return tcp_.clients_empty();
}

}  // namespace sint
