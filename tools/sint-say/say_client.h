// sint-say's conversation with sintsrv: reaching the server (starting it when
// nothing answers), sending the voice settings, and speaking a text sentence
// by sentence.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/protocol_client.h"

namespace sint {

class AudioSink;

inline constexpr std::uint16_t kSayDefaultPort = 10150;
// The server's lifespan when sint-say starts it, in ticks of 100 ms (60 s).
inline constexpr int kSayServerLifespan = 600;
// How long a started server may take to answer TEST with "SINT_OK".
inline constexpr int kServerStartWaitMs = 30000;
// How long one reply may take (a long sentence on a slow machine).
inline constexpr int kReplyTimeoutMs = 60000;

struct SayOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = kSayDefaultPort;
    bool port_given = false;
    // The sintsrv to start; empty: the one beside sint-say.
    std::string server_path;
    std::optional<long> rate, pitch, volume;
    // The speed boost on top of the rate, a factor of 0.3 to 6.
    std::optional<double> speed;
};

class SayClient {
public:
    explicit SayClient(SayOptions options) : options_(std::move(options)) {}

    // Connects and waits for a ready server, starting sintsrv when nobody
    // answers on a local port. False with `error` set on failure.
    bool open(std::string& error);

    // Sends the voice settings (the speed as SPEED in percent), then each sentence of `text` (as
    // the server's sentence ends cut it) as one STREAM request, writing the audio to `sink`.
    // `progress` gets the bytes of text done after every sentence.
    bool speak(std::string_view text, AudioSink& sink,
               const std::function<void(std::size_t done, std::size_t total)>& progress,
               std::string& error);

    // The connection that open() made ready, for a caller that speaks through it itself.
    ProtocolConnection& connection() { return connection_; }

private:
    bool wait_ready(int limit_ms);
    // The server's answer for the first sentence of `text`, asked about a small
    // window of it that grows only while no sentence end is found; -1 with
    // `error` set when the server cannot be asked.
    long sentence_length(std::string_view text, std::string& error);

    SayOptions options_;
    ProtocolConnection connection_;
};

// The sintsrv to start: --server, else $SINT_SERVER, else the one beside sint-say.
std::string server_program(const SayOptions& options);

// The port of the server's own configuration (the `port` key of the sint.ini
// beside `server_path`), or nothing.
std::optional<std::uint16_t> configured_port(const std::string& server_path);

}  // namespace sint
