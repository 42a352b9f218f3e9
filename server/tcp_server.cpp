#include "server/tcp_server.h"

#include <chrono>
#include <exception>

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

TcpServer::TcpServer(SynthesisService& synthesis, ShellState& shell, ServerSettings& settings,
                     TcpServerOptions options)
    : options_(std::move(options)),
      protocol_(synthesis, clients_, shell, settings, options_.program_folder) {}

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
        server.on_message = [this, send](int socket, const char* payload, std::size_t length,
                                         std::uint16_t) {
            protocol_.handle(socket, std::string_view(payload, length), send);
        };
        server.on_connect = [this](int socket) { clients_.add(socket); };
        server.on_disconnect = [this](int socket) { clients_.remove(socket); };
        server.open_listener();
        thread_ = std::thread([&server] { server.run_loop(); });
    } catch (const std::exception&) {
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
    socket_.reset();
}

int TcpServer::port() const {
    return socket_ && listening() ? socket_->port() : 0;
}

bool TcpServer::listening() const {
    return socket_ && socket_->state() == Tserver_socket::kListening && !socket_->stopped();
}

}  // namespace sint
