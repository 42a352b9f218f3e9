// sintsrv: the Slovenian speech synthesis server.
#include <exception>
#include <string>
#include <vector>

#include "core/process.h"
#include "core/status.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_services.h"
#include "synth/facade.h"

namespace {

// The facade is built before the TCP services that serve requests with it.
struct FacadeHolder {
    sint::Synthesiser facade;
    // The listen address and folder are set by configure() once sint.ini is read.
    sint::TcpServerOptions options;
};

// The synthesis facade and its wave database, with the TCP server, as the
// shell starts and stops them.
class ServerServices : private FacadeHolder, public sint::TcpShellServices {
public:
    ServerServices() : TcpShellServices(facade, options) {}

    int facade_init() override {
        try {
            facade.set_options(sint::synthesiser_options(sint::server_settings()));
            return facade.init();
        } catch (const std::exception&) {
            // The stage has reported why; the server does not start.
            return sint::kNotPossible;
        }
    }
    void facade_free() override { facade.free(); }
    bool wave_init_slow(const std::string& list_file) override {
        return facade.wave_init_slow(list_file);
    }
    bool wave_init_fast() override { return facade.wave_init_fast(); }
    void wave_save_tables() override { facade.wave_save_tables(); }
    void wave_free() override { facade.wave_free(); }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.empty()) args.emplace_back("sintsrv");
    args[0] = sint::program_path(args[0]);
    ServerServices services;
    return sint::run_shell(args, services);
}
