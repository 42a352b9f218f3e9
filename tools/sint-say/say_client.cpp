#include "tools/sint-say/say_client.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/process.h"
#include "core/profile_file.h"
#include "tools/sint-say/wave_output.h"

namespace sint {
namespace {

// The environment variable that names the sintsrv to start.
constexpr const char* kServerEnvironment = "SINT_SERVER";
// The packed wave database that a fast start loads, in the server's folder;
// until it has been made (sintsrv -ustvaripodatke) the server starts slowly.
constexpr const char* kPackedDatabase = "data/MorvenaIdra.dat";
constexpr const char* kWaveListFile = "filenames.ini";
// Pause between connection attempts while a started server loads its data.
constexpr int kRetryMs = 200;

bool is_local(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost";
}

bool blank(std::string_view text) {
    for (char c : text)
        if (!(c == ' ' || c == '\t' || c == '\r' || c == '\n')) return false;
    return true;
}

}  // namespace

std::optional<std::uint16_t> configured_port(const std::string& server_path) {
    const auto ini = std::filesystem::path(server_path).parent_path() / "sint.ini";
    std::error_code error;
    if (!std::filesystem::exists(ini, error)) return std::nullopt;
    const ProfileFile profile(ini.string(), false);
    std::int32_t port = 0;
    if (!profile.is_loaded() || profile.get_int("port", port) != 0) return std::nullopt;
    if (port <= 0 || port > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

std::string server_program(const SayOptions& options) {
    if (!options.server_path.empty()) return options.server_path;
    if (const char* named = std::getenv(kServerEnvironment); named && *named) return named;
    return program_folder() + executable_name("sintsrv");
}

bool SayClient::wait_ready(int limit_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (std::chrono::steady_clock::now() < end) {
        const std::string host = options_.host == "localhost" ? "127.0.0.1" : options_.host;
        if (connection_.connected() || connection_.connect(host, options_.port)) {
            if (connection_.send_request(command_request("TEST"))) {
                const auto frame = connection_.receive(kRetryMs * 5);
                if (frame && recognise_reply(frame->payload).type == ReplyType::Ok) return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
    return false;
}

bool SayClient::open(std::string& error) {
    const std::string host = options_.host == "localhost" ? "127.0.0.1" : options_.host;
    if (connection_.connect(host, options_.port)) {
        if (wait_ready(kServerStartWaitMs)) return true;
        error = "the server on " + options_.host + ":" + std::to_string(options_.port) +
                " does not answer that it is ready";
        return false;
    }
    const std::string reason = std::strerror(errno);
    if (!is_local(options_.host)) {
        error = "cannot reach the server on " + options_.host + ":" +
                std::to_string(options_.port) + " (" + reason + ")";
        return false;
    }
    const std::string program = server_program(options_);
    if (access(program.c_str(), X_OK) != 0) {
        error = "no server answers on port " + std::to_string(options_.port) + " and " + program +
                " cannot be started (" + std::strerror(errno) +
                "); name it with --server or SINT_SERVER";
        return false;
    }
    if (options_.port_given) {
        const auto port = configured_port(program);
        if (port && *port != options_.port) {
            error = "no server answers on port " + std::to_string(options_.port) + ", and " +
                    program + " would listen on port " + std::to_string(*port) + " (its sint.ini)";
            return false;
        }
    }
    const std::string folder = std::filesystem::path(program).parent_path().string();
    const std::filesystem::path voice(folder.empty() ? "." : folder);
    std::error_code missing;
    const bool packed = std::filesystem::exists(voice / kPackedDatabase, missing);
    // A server without a wave database ends at once; say so instead of waiting for it.
    if (!packed && !std::filesystem::exists(voice / kWaveListFile, missing)) {
        error = "no server answers on port " + std::to_string(options_.port) + ", and " + program +
                " has no voice to start with: neither " + kPackedDatabase + " nor " +
                kWaveListFile + " in " + voice.string() + " (make voice builds the default one)";
        return false;
    }
    const std::vector<std::string> args{program,
                                        "-lifespan",
                                        std::to_string(kSayServerLifespan),
                                        "-disk",
                                        packed ? "-hitro" : "-pocasi",
                                        "-konzola"};
    if (!spawn_detached(args, folder.empty() ? "." : folder)) {
        error = "cannot start " + program;
        return false;
    }
    if (wait_ready(kServerStartWaitMs)) return true;
    error = "started " + program + ", but it did not become ready on port " +
            std::to_string(options_.port) + " (see sint.log in its folder)";
    return false;
}

long SayClient::sentence_length(std::string_view text, std::string& error) {
    // A broken connection is tried once more (ask), so that a server going
    // down behind a load balancer costs no sentence.
    const std::optional<long> answer =
        find_sentence_end(text, [&](std::string_view window) -> std::optional<long> {
            const auto reply =
                connection_.ask(gfp_request(window), ReplyType::SentenceEnd, kReplyTimeoutMs);
            if (!reply) {
                error = "the server did not answer the sentence query";
                return std::nullopt;
            }
            return reply->value;
        });
    return answer ? *answer : -1;
}

bool SayClient::speak(std::string_view text, AudioSink& sink,
                      const std::function<void(std::size_t, std::size_t)>& progress,
                      std::string& error) {
    const std::pair<const char*, const std::optional<long>*> settings[] = {
        {"TEMPO", &options_.rate}, {"PITCH", &options_.pitch}, {"VOLUME", &options_.volume}};
    for (const auto& [command, value] : settings) {
        if (value->has_value() && !connection_.send_request(command_request(command, **value))) {
            error = "the connection to the server broke";
            return false;
        }
    }
    if (options_.speed &&
        !connection_.send_request(command_request("SPEED", std::lround(*options_.speed * 100)))) {
        error = "the connection to the server broke";
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const std::string_view rest = text.substr(done);
        long length = sentence_length(rest, error);
        if (!error.empty()) return false;
        // No sentence found, or an answer that makes no sense: the rest, in pieces.
        const std::size_t limit = std::min(rest.size(), kStreamTextMax);
        const std::size_t take = length > 0 && static_cast<std::size_t>(length) <= limit
                                     ? static_cast<std::size_t>(length)
                                     : sentence_piece_end(rest.substr(0, limit));
        const std::string_view sentence = rest.substr(0, take);
        done += take;
        if (blank(sentence)) continue;
        const auto audio =
            connection_.ask(stream_request(sentence), ReplyType::Audio, kReplyTimeoutMs);
        if (!audio) {
            error = "the server sent no audio for: " + std::string(sentence.substr(0, 60));
            return false;
        }
        if (!sink.write(audio->samples)) {
            error = "cannot write the audio";
            return false;
        }
        if (progress) progress(done, text.size());
    }
    return true;
}

}  // namespace sint
