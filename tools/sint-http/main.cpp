// sint-http: speech over HTTP, a gateway to the sintsrv synthesis server.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/sint-http/gateway.h"

namespace {

constexpr const char* kUsage =
    "Usage: sint-http [options]\n"
    "Serves Slovenian speech over HTTP through the sintsrv synthesis server:\n"
    "  POST /v1/audio/speech   the OpenAI speech API (mp3, opus, flac, wav, pcm)\n"
    "  GET  /api/tts?text=...  with ssml, rate, pitch, volume, speed and format\n"
    "  GET  /api/voices, GET /health, and a page to try the voice at /\n"
    "\n"
    "  --host ADDRESS    address to listen on (default 127.0.0.1)\n"
    "  --port N          port to listen on (default 10151)\n"
    "  --cors ORIGIN     allow pages of ORIGIN ('*' for any) to call the API\n"
    "  --server-host A   the synthesis server's address (default 127.0.0.1)\n"
    "  --server-port N   its port (default: the port of its sint.ini, else 10150)\n"
    "  --server PATH     the sintsrv to start when nobody answers\n"
    "                    (default: $SINT_SERVER, else the sintsrv beside sint-http)\n"
    "  -h, --help        this text\n";

int fail(const std::string& reason) {
    std::cerr << "sint-http: " << reason << "\n";
    return 2;
}

bool read_port(const char* text, std::uint16_t& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    sint::GatewayOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (!has_value)
            return fail(arg == "--host" || arg.starts_with("--")
                            ? (arg + " needs a value (see --help)")
                            : ("unknown argument " + arg));
        const char* value = argv[++i];
        if (arg == "--host") {
            options.host = value;
        } else if (arg == "--port") {
            if (!read_port(value, options.port)) return fail("--port takes a number 1..65535");
        } else if (arg == "--cors") {
            options.cors_origin = value;
        } else if (arg == "--server-host") {
            options.server.host = value;
        } else if (arg == "--server-port") {
            if (!read_port(value, options.server.port))
                return fail("--server-port takes a number 1..65535");
            options.server.port_given = true;
        } else if (arg == "--server") {
            options.server.server_path = value;
        } else {
            return fail("unknown option " + arg + " (see --help)");
        }
    }
    if (!options.server.port_given) {
        if (const auto port = sint::configured_port(sint::server_program(options.server)))
            options.server.port = *port;
    }
    // A client that vanishes mid-reply must end its own request, not the gateway.
    std::signal(SIGPIPE, SIG_IGN);
    std::cerr << "sint-http: listening on http://" << options.host << ":" << options.port << "/\n";
    std::string error;
    if (!sint::run_gateway(options, error)) return fail(error);
    return 0;
}
