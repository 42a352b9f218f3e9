#include "server/tcp_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include "core/frame.h"
#include "core/log.h"
#include "core/profile_file.h"
#include "core/status.h"

namespace sint {

std::string listen_address(const ProfileFile* sint_ini) {
    std::string value;
    if (sint_ini && sint_ini->is_loaded() && sint_ini->get_string(kListenAddressKey, value) > 0) {
        const auto first = value.find_first_not_of(" \t\r\n");
        const auto last = value.find_last_not_of(" \t\r\n");
        if (first != std::string::npos) return value.substr(first, last - first + 1);
    }
    return kDefaultListenAddress;
}

bool is_loopback_address(const std::string& address) {
    // Four decimal numbers of 0 to 255 separated by dots, the first 127.
    int parts = 0;
    std::size_t at = 0;
    bool loopback = false;
    while (parts < 4) {
        std::size_t digits = 0;
        int value = 0;
        while (at < address.size() && digits < 3 && address[at] >= '0' && address[at] <= '9') {
            value = value * 10 + (address[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return false;
        if (parts++ == 0) loopback = value == 127;
        if (parts < 4 && (at >= address.size() || address[at++] != '.')) return false;
    }
    return at == address.size() && loopback;
}

int configured_workers(const ProfileFile* sint_ini) {
    std::string value;
    if (!sint_ini || !sint_ini->is_loaded() || sint_ini->get_string(kWorkersKey, value) < 0)
        return kDefaultWorkers;
    const auto first = value.find_first_not_of(" \t\r\n");
    const auto last = value.find_last_not_of(" \t\r\n");
    value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    char* end = nullptr;
    const long number = value.empty() ? -1 : std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || number < 0 || number > kMaxWorkers) {
        report_error(std::string(kWorkersKey) + " = " + value + ": ni stevilo od 0 do " +
                     std::to_string(kMaxWorkers) + ", privzeto " + std::to_string(kDefaultWorkers));
        return kDefaultWorkers;
    }
    if (number > 0) return static_cast<int>(number);
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxWorkers));
}

bool remote_control_allowed(const ProfileFile* sint_ini) {
    std::string value;
    if (!sint_ini || !sint_ini->is_loaded() || sint_ini->get_string(kRemoteControlKey, value) < 0)
        return false;
    const auto first = value.find_first_not_of(" \t\r\n");
    return first != std::string::npos && value.compare(first, 4, "true") == 0;
}

TcpServer::TcpServer(SynthesisService& synthesis, ShellState& shell, ServerSettings& settings,
                     TcpServerOptions options)
    : options_(std::move(options)),
      protocol_(synthesis, clients_, shell, settings, options_.program_folder),
      workers_{&synthesis} {}

TcpServer::~TcpServer() {
    server_stop();
}

int TcpServer::server_start(std::int32_t port) {
    if (socket_) return 0;
    try {
        socket_ = std::make_unique<Tserver_socket>(port, options_.socket);
        Tserver_socket& server = *socket_;
        const Protocol::Sender send =
            [&server](int socket, const std::vector<std::uint8_t>& payload, std::uint16_t kind) {
                return server.send(socket, payload.data(), static_cast<long>(payload.size()),
                                   kind) >= 0;
            };
        server.on_message = [this, send, &server](int socket, const char* payload,
                                                  std::size_t length, std::uint16_t) {
            std::optional<SynthesisJob> job =
                protocol_.accept(socket, std::string_view(payload, length), send);
            if (!job) return;
            if (workers_.size() == 1) {
                // One worker: the loop synthesises itself, with no hand-over.
                // The samples go out from the synthesiser's memory, which
                // stays as it is until the next request.
                std::span<const std::uint8_t> samples;
                if (protocol_.run_job(*job, *workers_.front(), reply_, &samples))
                    server.send(socket, reply_, samples, kFrameKindPlain);
                return;
            }
            const std::uint64_t serial = server.hold(socket);
            pool_->submit(
                [this, &server, socket, serial, job = std::move(*job)](std::size_t worker) {
                    std::vector<std::uint8_t> reply = take_spare_reply();
                    const bool answered = protocol_.run_job(job, *workers_[worker], reply);
                    server.post([this, &server, socket, serial, answered,
                                 reply = std::move(reply)]() mutable {
                        // A client that has gone meanwhile does not get the reply.
                        if (server.holds(socket, serial)) {
                            if (answered)
                                server.send(socket, reply.data(), static_cast<long>(reply.size()),
                                            kFrameKindPlain);
                            server.release(socket, serial);
                        }
                        give_spare_reply(std::move(reply));
                    });
                });
        };
        server.on_connect = [this](int socket) { clients_.add(socket); };
        server.on_disconnect = [this](int socket) { clients_.remove(socket); };
        protocol_.restrict_control(!remote_control_ &&
                                   !is_loopback_address(options_.socket.address));
        if (workers_.empty()) throw std::runtime_error("TcpServer: no synthesiser");
        if (workers_.size() > 1) pool_ = std::make_unique<WorkerPool>(workers_.size());
        server.open_listener();
        thread_ = std::thread([&server] { server.run_loop(); });
    } catch (const std::exception&) {
        pool_.reset();
        socket_.reset();
        return kNotPossible;
    }
    return 0;
}

void TcpServer::server_stop() {
    if (!socket_) return;
    socket_->request_stop();
    while (!socket_->stopped()) std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
    if (thread_.joinable()) thread_.join();
    // Jobs still running finish (their replies are dropped with the socket).
    if (pool_) pool_->stop();
    pool_.reset();
    socket_.reset();
}

std::vector<std::uint8_t> TcpServer::take_spare_reply() {
    std::lock_guard lock(spare_mutex_);
    if (spare_replies_.empty()) return {};
    std::vector<std::uint8_t> reply = std::move(spare_replies_.back());
    spare_replies_.pop_back();
    return reply;
}

void TcpServer::give_spare_reply(std::vector<std::uint8_t> reply) {
    std::lock_guard lock(spare_mutex_);
    // As many as the workers can fill at once, and one more each on its way.
    if (spare_replies_.size() < 2 * workers_.size()) spare_replies_.push_back(std::move(reply));
}

int TcpServer::port() const {
    return socket_ && listening() ? socket_->port() : 0;
}

bool TcpServer::listening() const {
    return socket_ && socket_->state() == Tserver_socket::kListening && !socket_->stopped();
}

}  // namespace sint
