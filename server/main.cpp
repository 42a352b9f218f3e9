// sintsrv: the Slovenian speech synthesis server.
#include <string>
#include <vector>

#include "server/log.h"
#include "server/shell.h"

namespace {

// Until the synthesiser and the TCP server are joined, the shell runs with
// services that only log: it starts, serves nobody and ends by the idle rule.
class ShellOnlyServices : public sint::ShellServices {
public:
    int facade_init() override {
        sint::log_start_banner();
        return 0;
    }
    void facade_free() override { sint::log_stop_banner(); }
    bool wave_init_slow(const std::string&) override { return true; }
    bool wave_init_fast() override { return true; }
    void wave_save_tables() override {}
    void wave_free() override {}
    int server_start(std::int32_t) override { return 0; }
    void server_stop() override {}
    bool clients_empty() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.empty()) args.emplace_back("sintsrv");
    args[0] = sint::program_path(args[0]);
    ShellOnlyServices services;
    return sint::run_shell(args, services);
}
