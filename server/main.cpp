// sintsrv: the Slovenian speech synthesis server.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/process.h"
#include "core/status.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "server/tcp_services.h"
#include "synth/facade.h"

namespace {

constexpr const char* kUsage =
    "usage: sintsrv [options]\n"
    "The Slovenian speech synthesis server: loads the voice of its program folder\n"
    "(sint.ini) and serves clients on its TCP port. Without -konzola it starts a\n"
    "copy of itself in the background and ends.\n"
    "  -lifespan N       end after N ticks of 100 ms without clients (default 600)\n"
    "  -konzola          stay in the foreground\n"
    "  -vozadju          relaunch in the background (the default)\n"
    "  -hitro            load the packed wave database (the default)\n"
    "  -pocasi           build the wave database from filenames.ini\n"
    "  -ustvaripodatke   write the packed database and the dictionary index, then end\n"
    "  -ram, -disk       keep the samples in memory, or read them as needed\n"
    "  -testbranja       compare the samples read from disk with memory\n"
    "  -ascii, -ascii7, -yuascii  the input may hold the 7-bit letter codes\n"
    "  -h, --help        print this help\n";

// The facade is built before the TCP services that serve requests with it.
// Each synthesis worker beyond the first has a facade of its own that shares
// the first one's wave database.
struct FacadeHolder {
    sint::Synthesiser facade;
    std::vector<std::unique_ptr<sint::Synthesiser>> more;
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
            const sint::SynthesiserOptions options =
                sint::synthesiser_options(sint::server_settings());
            facade.set_options(options);
            if (facade.init() != 0) return -1;
            more.clear();
            std::vector<sint::SynthesisService*> workers{&facade};
            // The others read the first one's dictionaries and statistics tables.
            const sint::SynthesiserOptions sharing = facade.sharing_options();
            for (int i = 1; i < workers_wanted(); ++i) {
                more.push_back(std::make_unique<sint::Synthesiser>(sharing));
                if (more.back()->init() != 0) return -1;
                workers.push_back(more.back().get());
            }
            tcp().set_workers(std::move(workers));
            return 0;
        } catch (const std::exception&) {
            // The stage has reported why; the server does not start.
            return sint::kNotPossible;
        }
    }
    void facade_free() override {
        for (auto& worker : more) worker->free();
        facade.free();
    }
    bool wave_init_slow(const std::string& list_file) override {
        return share_wave(facade.wave_init_slow(list_file));
    }
    bool wave_init_fast() override { return share_wave(facade.wave_init_fast()); }
    void wave_save_tables() override { facade.wave_save_tables(); }
    // The new database replaces the old one only when it loaded; the workers
    // then drop their share of the old one and take the new one.
    bool wave_reload(const std::string& list_file) override {
        if (!facade.wave_reload(list_file)) return false;
        for (auto& worker : more) worker->wave_free();
        return share_wave(true);
    }
    void wave_free() override {
        for (auto& worker : more) worker->wave_free();
        facade.wave_free();
    }

private:
    // The workers read the first facade's wave database once it is loaded.
    bool share_wave(bool loaded) {
        if (loaded)
            for (auto& worker : more) worker->share_wave_database(facade);
        return loaded;
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-h" || args[i] == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (args.empty()) args.emplace_back("sintsrv");
    args[0] = sint::program_path(args[0]);
    ServerServices services;
    return sint::run_shell(args, services);
}
