#include "server/tcp_services.h"

#include "server/server_settings.h"

namespace sint {

TcpShellServices::TcpShellServices(SynthesisService& synthesis, TcpServerOptions options,
                                   ShellState& state, ServerSettings& settings)
    : tcp_(synthesis, state, settings, std::move(options)) {}

void TcpShellServices::configure(const ProfileFile& sint_ini, const std::string& program_folder) {
    tcp_.set_listen_address(listen_address(&sint_ini));
    const std::string state = state_folder();
    tcp_.set_program_folder(state.empty() ? program_folder : state);
    tcp_.set_remote_control(remote_control_allowed(&sint_ini));
    workers_wanted_ = configured_workers(&sint_ini);
}

int TcpShellServices::server_start(std::int32_t port) {
    return tcp_.server_start(port);
}

void TcpShellServices::server_stop() {
    tcp_.server_stop();
}

bool TcpShellServices::clients_empty() {
    return tcp_.clients_empty();
}

}  // namespace sint
