// sint-http's server: the HTTP routes, their limits, and the way each speech
// request reaches sintsrv (its own connection, the server started when none
// answers, as sint-say starts it) and streams the audio back sentence by
// sentence in chunked transfer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/sint-say/say_client.h"

namespace sint {

inline constexpr std::uint16_t kHttpDefaultPort = 10151;
// Request bodies beyond this get 413.
inline constexpr std::size_t kHttpBodyMax = 1024 * 1024;
// Requests served at once, each on its own connection to the server, which
// takes 60 clients; further connections wait in the queue.
inline constexpr int kHttpWorkers = 48;
// Connections the system holds for the gateway before it accepts them.
inline constexpr int kHttpListenBacklog = 128;
// How long one read or write on a connection may wait, in seconds.
inline constexpr int kHttpIoTimeoutS = 5;
// The longest time one speech request may take; the audio ends there.
inline constexpr std::chrono::seconds kHttpSpeechTimeMax{600};
// How long GET /health waits for the server's answer to TEST.
inline constexpr int kHealthWaitMs = 2000;

struct GatewayOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = kHttpDefaultPort;
    // An origin allowed by CORS ("*" for any); empty: no CORS headers.
    std::string cors_origin;
    // Where sintsrv is and how it is started.
    SayOptions server;
};

// Serves until the process is ended; false with `error` when it cannot listen.
bool run_gateway(const GatewayOptions& options, std::string& error);

}  // namespace sint
