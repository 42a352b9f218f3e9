// sintsrv: the Slovenian speech synthesis server.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "server/log.h"
#include "server/shell.h"
#include "server/tcp_server.h"
#include "synth/facade.h"
#include "synth/profile_file.h"

namespace {

// The synthesis facade, its wave database and the TCP server, as the shell
// starts and stops them.
class ServerServices : public sint::ShellServices {
public:
    ServerServices() : facade_(sint::server_settings()) {}

    void configure(const sint::ProfileFile& sint_ini, const std::string& program_folder) override {
        options_.socket.address = sint::listen_address(&sint_ini);
        options_.program_folder = program_folder;
    }
    int facade_init() override {
        try {
            return facade_.init();
        } catch (const std::exception&) {
            // The stage has reported why; the server does not start.
            return -1;
        }
    }
    void facade_free() override { facade_.free(); }
    bool wave_init_slow(const std::string& list_file) override {
        return facade_.wave_init_slow(list_file);
    }
    bool wave_init_fast() override { return facade_.wave_init_fast(); }
    void wave_save_tables() override { facade_.wave_save_tables(); }
    void wave_free() override { facade_.wave_free(); }
    int server_start(std::int32_t port) override {
        if (!server_)
            server_ = std::make_unique<sint::TcpServer>(facade_, sint::shell_state(),
                                                        sint::server_settings(), options_);
        return server_->server_start(port);
    }
    void server_stop() override {
        if (server_) server_->server_stop();
    }
    bool clients_empty() override { return !server_ || server_->clients_empty(); }

private:
    sint::Sint facade_;
    sint::TcpServerOptions options_;
    std::unique_ptr<sint::TcpServer> server_;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.empty()) args.emplace_back("sintsrv");
    args[0] = sint::program_path(args[0]);
    ServerServices services;
    return sint::run_shell(args, services);
}
