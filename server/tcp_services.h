// The TCP server's part of the shell's services. The synthesiser's part (the
// facade and the wave database) is added by deriving from this class.
#pragma once

#include <cstdint>
#include <string>

#include "server/shell.h"
#include "server/tcp_server.h"

namespace sint {

class TcpShellServices : public ShellServices {
public:
    // The server thread uses `synthesis` for every request.
    TcpShellServices(SynthesisService& synthesis, TcpServerOptions options,
                     ShellState& state = shell_state(),
                     ServerSettings& settings = server_settings());

    // Takes the listen address from sint.ini (key naslov_streznika, else
    // 127.0.0.1), whether a server beyond loopback obeys control commands,
    // and the number of synthesis workers (delavci); writes wave files into
    // the program folder, or into the folder of SINT_STATE_DIR when that is set.
    void configure(const ProfileFile& sint_ini, const std::string& program_folder) override;
    int server_start(std::int32_t port) override;
    void server_stop() override;
    bool clients_empty() override;

    TcpServer& tcp() { return tcp_; }
    // The number of synthesis workers sint.ini asks for (known after configure).
    int workers_wanted() const { return workers_wanted_; }

private:
    TcpServer tcp_;
    int workers_wanted_ = kDefaultWorkers;
};

}  // namespace sint
