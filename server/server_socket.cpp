#include "server/server_socket.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/log.h"
#include "core/socket_platform.h"

namespace sint {
namespace {

// A send that fails outright is tried once more after this pause.
constexpr int kSendRetryMs = 10;

}  // namespace

Tserver_socket::Tserver_socket(int port, ServerSocketOptions options)
    : port_(port), options_(std::move(options)), slots_(kMaxClients) {}

Tserver_socket::~Tserver_socket() {
    for (Slot& slot : slots_)
        if (slot.socket >= 0) net::close_socket(slot.socket);
    if (listener_ >= 0) net::close_socket(listener_);
}

int Tserver_socket::open_listener() {
    const bool woken = wake_up_.open();
    listener_ = net::tcp_socket();
    if (listener_ < 0 || !woken) throw std::runtime_error("Tserver_socket: no socket");
    if (options_.receive_buffer_size > 0)
        net::set_receive_buffer(listener_, options_.receive_buffer_size);
    // Connections of a stopped server in TIME_WAIT must not keep a restarted
    // server (REINIT) from binding the port again.
    net::set_reuse_address(listener_);

    if (!net::bind_socket(listener_, options_.address, port_)) {
        log_write("TCP: bind " + options_.address + ":" + std::to_string(port_) + " ni uspel");
        if (on_error) on_error(listener_, nullptr, 0, kErrorListen);
        net::close_socket(listener_);
        listener_ = -1;
        return state_ = kBindFailed;
    }
    if (!net::listen_socket(listener_, kBacklog)) {
        log_write("TCP: listen ni uspel");
        if (on_error) on_error(listener_, nullptr, 0, kErrorListen);
        net::close_socket(listener_);
        listener_ = -1;
        return state_ = kListenFailed;
    }
    net::set_non_blocking(listener_);
    bound_port_ = net::local_port(listener_);
    loop_ = true;
    return state_ = kListening;
}

void Tserver_socket::request_stop() {
    loop_ = false;
    wake_up_.signal();
}

void Tserver_socket::run_loop() {
    std::vector<net::SocketWait> waits;
    std::vector<Slot*> waiting_slots;
    while (state_ == kListening && loop_) {
        waits.clear();
        waiting_slots.clear();
        waits.push_back({wake_up_.handle(), net::kWaitRead, 0});
        // With every slot taken the listener is not watched: further
        // connections wait in the backlog instead of waking the loop.
        if (count_ < kMaxClients) waits.push_back({listener_, net::kWaitRead, 0});
        const std::size_t first_client = waits.size();
        for (Slot& slot : slots_) {
            if (slot.socket < 0) continue;
            waits.push_back({slot.socket, net::kWaitRead, 0});
            waiting_slots.push_back(&slot);
        }
        const int ready = net::wait_sockets(waits.data(), waits.size(), options_.select_timeout_ms);
        if (ready <= 0) continue;
        if (waits[0].revents & net::kReadable) wake_up_.drain();
        if (!loop_) break;
        if (first_client == 2 && (waits[1].revents & net::kReadable)) accept_client();
        for (std::size_t i = first_client; i < waits.size(); ++i) {
            Slot& slot = *waiting_slots[i - first_client];
            if (waits[i].revents != 0 && slot.socket == waits[i].socket) serve_client(slot);
        }
        for (Slot& slot : slots_)
            if (slot.socket >= 0 && slot.drop) close_client(slot);
    }
    // Connections of a stopped server are closed, so that their clients notice
    // and reconnect to the next one instead of waiting for replies forever.
    for (Slot& slot : slots_)
        if (slot.socket >= 0) close_client(slot);
    if (listener_ >= 0) net::close_socket(listener_);
    listener_ = -1;
    stopped_ = true;
}

void Tserver_socket::accept_client() {
    while (count_ < kMaxClients) {
        const int fd = net::accept_socket(listener_);
        if (fd < 0) return;  // nothing more pending, or a connection that vanished
        for (Slot& slot : slots_) {
            if (slot.socket != kFreeSlot) continue;
            slot.socket = fd;
            slot.drop = false;
            slot.buffer.clear();
            ++count_;
            break;
        }
        if (on_connect) on_connect(fd);
    }
}

Tserver_socket::Slot* Tserver_socket::find_slot(int socket) {
    for (Slot& slot : slots_)
        if (slot.socket == socket) return &slot;
    return nullptr;
}

void Tserver_socket::serve_client(Slot& slot) {
    const int fd = slot.socket;
    const FrameSlot::Handler deliver = [this, fd, &slot](const char* payload, std::size_t length,
                                                         std::uint16_t kind) {
        if (on_message) on_message(fd, payload, length, kind);
        return !slot.drop;
    };
    bool gone = false;
    std::size_t taken = 0;
    while (!slot.drop && taken < kReadPerPass) {
        if (slot.buffer.room() == 0) {
            // Cannot happen after an extraction (a full buffer always yields a
            // frame or drops bytes), but never read into nothing.
            if (on_error) on_error(fd, nullptr, 0, kErrorOverflow);
            slot.buffer.clear();
        }
        const long n = net::receive_bytes(fd, slot.buffer.tail(), slot.buffer.room());
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            slot.buffer.commit(static_cast<std::size_t>(n));
            if (slot.buffer.extract(deliver) == FrameSlot::Status::Oversized) {
                log_write("TCP: predolg okvir, povezava zaprta");
                if (on_error) on_error(fd, nullptr, 0, kErrorOversized);
                slot.drop = true;
            }
            continue;
        }
        if (n < 0 && net::interrupted()) continue;
        if (n < 0 && net::would_block()) break;
        gone = true;  // end of stream, or the connection failed
        break;
    }
    if (gone || slot.drop) close_client(slot);
}

void Tserver_socket::close_client(Slot& slot) {
    const int fd = slot.socket;
    net::shutdown_socket(fd);
    net::close_socket(fd);
    slot.socket = kFreeSlot;
    slot.drop = false;
    slot.buffer.clear();
    --count_;
    if (on_disconnect) on_disconnect(fd);
}

long Tserver_socket::send(int socket, const void* data, long length, std::uint16_t kind) {
    if (length < 0) return -1;
    const std::vector<std::uint8_t> frame =
        send_with_header_
            ? encode_frame(data, static_cast<std::size_t>(length), kind)
            : std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(data),
                                        static_cast<const std::uint8_t*>(data) + length);
    if (on_send) on_send(socket, frame.data(), frame.size());

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options_.send_timeout_ms);
    std::size_t sent = 0;
    bool retried = false;
    while (sent < frame.size()) {
        const long n = net::send_bytes(socket, frame.data() + sent, frame.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const bool blocked = n < 0 && net::would_block();
        if (n < 0 && net::interrupted()) continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (blocked && left > 0) {
            // The client's window is full: wait until it reads.
            net::SocketWait p{socket, net::kWaitWrite, 0};
            net::wait_sockets(&p, 1, static_cast<int>(left));
            continue;
        }
        if (!retried && left > 0 && !blocked) {
            retried = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(kSendRetryMs));
            continue;
        }
        if (on_error) on_error(socket, frame.data(), frame.size(), kErrorSendTimeout);
        if (Slot* slot = find_slot(socket)) slot->drop = true;
        return -1;
    }
    return static_cast<long>(sent);
}

}  // namespace sint
