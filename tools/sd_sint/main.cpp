// sd_sint: the Speech Dispatcher output module of the Slovenian synthesiser.
// Speech Dispatcher starts it with the path of its configuration file (sint.conf)
// and talks to it on standard input and output; the speech comes from sintsrv.
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>

#include "core/log.h"
#include "tools/sd_sint/module.h"
#include "tools/sd_sint/module_config.h"

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << "Usage: sd_sint [CONFIG]\n"
                     "The Speech Dispatcher output module of the Slovenian synthesiser sintsrv.\n"
                     "Speech Dispatcher starts it and talks to it on standard input and output;\n"
                     "CONFIG is its sint.conf (SintServer, SintPort, SintLifespan, SintRate,\n"
                     "SintPitch, SintVolume, SintMaxSpeed, SintVoice, SintLogFile).\n";
        return 0;
    }
    // A write to a Speech Dispatcher that has gone must not kill the module.
    std::signal(SIGPIPE, SIG_IGN);
    sint::ModuleConfig config = argc > 1 ? sint::read_module_config(argv[1]) : sint::ModuleConfig{};
    if (!config.log_file.empty()) {
        sint::set_log_path(config.log_file);
        sint::set_log_disabled(false);
    }
    sint::Module module(std::move(config), 0, 1);
    return module.run();
}
