#include "tools/sd_sint/server_link.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/process.h"
#include "tools/sint-say/say_client.h"

namespace sint {
namespace {

constexpr const char* kHost = "127.0.0.1";
// The packed wave database of a fast start, and the list of a slow one.
constexpr const char* kPackedDatabase = "data/MorvenaIdra.dat";
constexpr const char* kWaveListFile = "filenames.ini";
// Pause between attempts while a started server loads its data.
constexpr int kRetryMs = 50;
// One slice of waiting for the TEST reply.
constexpr int kSliceMs = 5;

bool stopped(const std::function<bool()>& stop) {
    return stop && stop();
}

}  // namespace

ServerLink::ServerLink(std::string server_path, std::uint16_t port, int lifespan)
    : server_path_(server_path.empty() ? program_folder() + "sintsrv" : std::move(server_path)),
      port_(port),
      lifespan_(lifespan) {
    if (port_ == 0) port_ = configured_port(server_path_).value_or(kLinkDefaultPort);
}

bool ServerLink::test(const std::function<bool()>& stop, int limit_ms) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
    if (!connection_.send_request(command_request("TEST"))) return false;
    while (Clock::now() < end && !stopped(stop)) {
        if (const auto frame = connection_.receive(kSliceMs)) {
            const ReplyType type = recognise_reply(frame->payload).type;
            if (type == ReplyType::Ok) return true;
            if (type == ReplyType::NotReady) return false;
        } else if (!connection_.connected()) {
            return false;
        }
    }
    return false;
}

bool ServerLink::start(std::string& error) {
    if (access(server_path_.c_str(), X_OK) != 0) {
        error = "cannot start " + server_path_ + " (" + std::strerror(errno) + ")";
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(server_path_).parent_path();
    std::error_code missing;
    const bool packed = std::filesystem::exists(folder / kPackedDatabase, missing);
    if (!packed && !std::filesystem::exists(folder / kWaveListFile, missing)) {
        error = server_path_ + " has no voice beside it (neither " + kPackedDatabase + " nor " +
                kWaveListFile + ")";
        return false;
    }
    const std::vector<std::string> args{server_path_,
                                        "-lifespan",
                                        std::to_string(lifespan_),
                                        "-disk",
                                        packed ? "-hitro" : "-pocasi",
                                        "-konzola"};
    if (!spawn_detached(args, folder.empty() ? "." : folder.string())) {
        error = "cannot start " + server_path_;
        return false;
    }
    return true;
}

ProtocolConnection* ServerLink::ready(const std::function<bool()>& stop, std::string& error) {
    // A connection kept from the last message may be stale (the server was
    // restarted meanwhile); what has arrived on it tells.
    if (connection_.connected()) {
        if (connection_.refresh()) return &connection_;
        connection_.close();
    }
    if (connection_.connect(kHost, port_)) {
        if (test(stop, kLinkTestWaitMs)) return &connection_;
        connection_.close();
    } else if (!start(error)) {
        return nullptr;
    }
    // A server that is starting (ours, or one started by another client) loads its data.
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(kLinkStartWaitMs);
    while (Clock::now() < end && !stopped(stop)) {
        if (connection_.connect(kHost, port_)) {
            if (test(stop, kLinkTestWaitMs)) return &connection_;
            connection_.close();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
    error = stopped(stop) ? "stopped while waiting for the server"
                          : "the server on port " + std::to_string(port_) + " did not become ready";
    return nullptr;
}

}  // namespace sint
