#include "server/server_socket.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "core/log.h"
#include "core/socket_platform.h"

namespace sint {

Tserver_socket::Tserver_socket(int port, ServerSocketOptions options)
    : port_(port), options_(std::move(options)), slots_(kMaxClients) {}

Tserver_socket::~Tserver_socket() {
    for (Slot& slot : slots_)
        if (slot.socket >= 0) net::close_socket(slot.socket);
    if (listener_ >= 0) net::close_socket(listener_);
    if (spare_fd_ >= 0) net::close_socket(spare_fd_);
}

int Tserver_socket::open_listener() {
    const bool woken = wake_up_.open();
    // A descriptor held in reserve for running out of them (see refuse_client).
    spare_fd_ = net::udp_socket();
    listener_ = net::tcp_socket();
    if (listener_ < 0 || !woken) throw std::runtime_error("Tserver_socket: no socket");
    if (options_.receive_buffer_size > 0)
        net::set_receive_buffer(listener_, options_.receive_buffer_size);
    // Connections of a stopped server in TIME_WAIT must not keep a restarted
    // server (REINIT) from binding the port again.
    net::set_reuse_address(listener_);

    if (!net::bind_socket(listener_, options_.address, port_)) {
        log_write("TCP: bind " + options_.address + ":" + std::to_string(port_) + " ni uspel");
        net::close_socket(listener_);
        listener_ = -1;
        return state_ = kBindFailed;
    }
    if (!net::listen_socket(listener_, kBacklog)) {
        log_write("TCP: listen ni uspel");
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
        if (count_ < kMaxClients && OutputQueue::Clock::now() >= accept_resumes_)
            waits.push_back({listener_, net::kWaitRead, 0});
        const std::size_t first_client = waits.size();
        for (Slot& slot : slots_) {
            if (slot.socket < 0) continue;
            short events = 0;
            if (!slot.input_ended && !slot.frame_waiting) events |= net::kWaitRead;
            if (!slot.output.empty()) events |= net::kWaitWrite;
            waits.push_back({slot.socket, events, 0});
            waiting_slots.push_back(&slot);
        }
        const int ready =
            net::wait_sockets(waits.data(), waits.size(), wait_ms(OutputQueue::Clock::now()));
        ++passes_;
        if (ready < 0 && !net::interrupted()) continue;
        if (ready > 0 && (waits[0].revents & net::kReadable)) wake_up_.drain();
        if (!loop_) break;
        run_posted();
        if (ready > 0) {
            if (first_client == 2 && (waits[1].revents & net::kReadable)) accept_client();
            for (std::size_t i = first_client; i < waits.size(); ++i) {
                Slot& slot = *waiting_slots[i - first_client];
                const short revents = waits[i].revents;
                if (revents == 0 || slot.socket != waits[i].socket) continue;
                if (!slot.output.empty()) flush(slot);
                if ((waits[i].events & net::kWaitRead) &&
                    (revents & (net::kReadable | net::kClosed)))
                    receive(slot);
            }
        }
        // One request per connection per pass: a client with many requests
        // waiting delays another by one synthesis at most.
        for (Slot& slot : slots_)
            if (slot.socket >= 0 && !slot.drop) serve_one(slot);
        close_finished(OutputQueue::Clock::now());
    }
    drain_held();
    // Connections of a stopped server are closed, so that their clients notice
    // and reconnect to the next one instead of waiting for replies forever.
    // What the sockets take at once of the last replies (TERMINATE's) still goes.
    for (Slot& slot : slots_) {
        if (slot.socket < 0) continue;
        if (!slot.output.empty()) slot.output.flush(slot.socket);
        close_client(slot);
    }
    if (listener_ >= 0) net::close_socket(listener_);
    listener_ = -1;
    stopped_ = true;
}

int Tserver_socket::wait_ms(OutputQueue::Clock::time_point now) const {
    int wait = options_.select_timeout_ms;
    if (accept_resumes_ > now) {
        const auto rest =
            std::chrono::duration_cast<std::chrono::milliseconds>(accept_resumes_ - now).count();
        wait = std::min<long long>(wait, rest + 1);
    }
    for (const Slot& slot : slots_) {
        if (slot.socket < 0) continue;
        if ((slot.frame_waiting && !slot.held) || slot.drop) return 0;
        if (slot.output.empty()) continue;
        // Wake up in time to drop a client that stalls.
        const auto deadline =
            slot.output.last_progress() + std::chrono::milliseconds(options_.stall_timeout_ms);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        wait = std::min<long long>(wait, std::max<long long>(left + 1, 0));
    }
    return wait;
}

void Tserver_socket::accept_client() {
    while (count_ < kMaxClients) {
        const int fd = net::accept_socket(listener_);
        if (fd < 0 && net::out_of_descriptors()) {
            refuse_client();
            return;
        }
        if (fd < 0) return;  // nothing more pending, or a connection that vanished
        for (Slot& slot : slots_) {
            if (slot.socket != kFreeSlot) continue;
            slot.socket = fd;
            slot.drop = false;
            slot.input_ended = false;
            slot.frame_waiting = false;
            slot.held = false;
            slot.serial = ++next_serial_;
            slot.buffer.clear();
            slot.output.clear();
            ++count_;
            break;
        }
        if (on_connect) on_connect(fd);
    }
}

void Tserver_socket::refuse_client() {
    log_write("TCP: ni prostih deskriptorjev, povezava zavrnjena");
    if (spare_fd_ >= 0) {
        net::close_socket(spare_fd_);
        const int fd = net::accept_socket(listener_);
        if (fd >= 0) net::close_socket(fd);
        spare_fd_ = net::udp_socket();
        if (fd >= 0) return;
    }
    // Not even the spare helped: let the listener rest instead of spinning.
    accept_resumes_ = OutputQueue::Clock::now() + std::chrono::milliseconds(kAcceptPauseMs);
}

Tserver_socket::Slot* Tserver_socket::find_slot(int socket) {
    for (Slot& slot : slots_)
        if (slot.socket == socket) return &slot;
    return nullptr;
}

const Tserver_socket::Slot* Tserver_socket::find_slot(int socket) const {
    for (const Slot& slot : slots_)
        if (slot.socket == socket) return &slot;
    return nullptr;
}

std::uint64_t Tserver_socket::hold(int socket) {
    Slot* slot = find_slot(socket);
    if (!slot) return 0;
    slot->held = true;
    return slot->serial;
}

bool Tserver_socket::holds(int socket, std::uint64_t serial) const {
    const Slot* slot = find_slot(socket);
    return slot && slot->serial == serial && slot->held;
}

void Tserver_socket::release(int socket, std::uint64_t serial) {
    Slot* slot = find_slot(socket);
    if (slot && slot->serial == serial) slot->held = false;
}

void Tserver_socket::post(std::function<void()> task) {
    {
        std::lock_guard lock(posted_mutex_);
        posted_.push_back(std::move(task));
    }
    wake_up_.signal();
}

void Tserver_socket::run_posted() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(posted_mutex_);
        tasks.swap(posted_);
    }
    for (auto& task : tasks) task();
}

void Tserver_socket::drain_held() {
    const auto deadline = OutputQueue::Clock::now() + std::chrono::milliseconds(kStopDrainMs);
    std::vector<net::SocketWait> waits;
    for (;;) {
        run_posted();
        waits.clear();
        waits.push_back({wake_up_.handle(), net::kWaitRead, 0});
        bool held = false;
        for (Slot& slot : slots_) {
            if (slot.socket < 0 || slot.drop) continue;
            held = held || slot.held;
            if (!slot.output.empty()) waits.push_back({slot.socket, net::kWaitWrite, 0});
        }
        const auto now = OutputQueue::Clock::now();
        if (!held || now >= deadline) return;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const int ready = net::wait_sockets(waits.data(), waits.size(),
                                            static_cast<int>(std::min<long long>(left, 100)));
        if (ready <= 0) continue;
        if (waits[0].revents & net::kReadable) wake_up_.drain();
        for (Slot& slot : slots_)
            if (slot.socket >= 0 && !slot.drop && !slot.output.empty()) flush(slot);
    }
}

void Tserver_socket::receive(Slot& slot) {
    std::size_t taken = 0;
    // A buffer without a waiting frame holds at most part of one, so it has room.
    while (taken < kReadPerPass && slot.buffer.room() > 0) {
        const std::size_t room = slot.buffer.room();
        const long n = net::receive_bytes(slot.socket, slot.buffer.tail(), room);
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            slot.buffer.commit(static_cast<std::size_t>(n));
            slot.frame_waiting = true;
            // A short read took all there was: the next wait tells of more
            // (or of the end), without a read that only says "nothing yet".
            if (static_cast<std::size_t>(n) < room) return;
            continue;
        }
        if (n < 0 && net::interrupted()) continue;
        if (n < 0 && net::would_block()) return;
        // End of stream: the client has shut its side, or the connection failed.
        slot.input_ended = true;
        if (n < 0) slot.drop = true;
        return;
    }
}

void Tserver_socket::serve_one(Slot& slot) {
    if (!slot.frame_waiting || slot.held) return;
    const int fd = slot.socket;
    const FrameSlot::Handler deliver = [this, fd](const char* payload, std::size_t length,
                                                  std::uint16_t kind) {
        if (on_message) on_message(fd, payload, length, kind);
        return false;  // one request now; the next on the next pass
    };
    switch (slot.buffer.extract(deliver)) {
        case FrameSlot::Status::Waiting:
            slot.frame_waiting = false;
            break;
        case FrameSlot::Status::Stopped:
            // More may be buffered; with nothing left the loop can wait again.
            slot.frame_waiting = slot.buffer.fill() > 0;
            break;
        case FrameSlot::Status::Oversized:
            log_write("TCP: predolg okvir, povezava zaprta");
            slot.frame_waiting = false;
            slot.drop = true;
            break;
    }
}

void Tserver_socket::flush(Slot& slot) {
    if (slot.output.flush(slot.socket) == OutputQueue::Flush::Failed) {
        slot.drop = true;
    }
}

void Tserver_socket::close_finished(OutputQueue::Clock::time_point now) {
    const auto stall = std::chrono::milliseconds(options_.stall_timeout_ms);
    for (Slot& slot : slots_) {
        if (slot.socket < 0) continue;
        if (!slot.drop && !slot.output.empty() && now - slot.output.last_progress() >= stall) {
            log_write("TCP: odjemalec ne bere odgovorov, povezava zaprta");
            slot.drop = true;
        }
        const bool finished =
            slot.input_ended && !slot.frame_waiting && !slot.held && slot.output.empty();
        if (slot.drop || finished) close_client(slot);
    }
}

void Tserver_socket::close_client(Slot& slot) {
    const int fd = slot.socket;
    net::shutdown_socket(fd);
    net::close_socket(fd);
    slot.socket = kFreeSlot;
    slot.drop = false;
    slot.input_ended = false;
    slot.frame_waiting = false;
    slot.held = false;
    slot.buffer.clear();
    slot.output.clear();
    --count_;
    if (on_disconnect) on_disconnect(fd);
}

long Tserver_socket::send(int socket, const void* data, long length, std::uint16_t kind) {
    if (length < 0) return -1;
    return send(socket, {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length)},
                {}, kind);
}

long Tserver_socket::send(int socket, std::span<const std::uint8_t> payload,
                          std::span<const std::uint8_t> more, std::uint16_t kind) {
    Slot* slot = find_slot(socket);
    if (!slot || slot->drop) return -1;
    const std::size_t length = payload.size() + more.size();
    std::uint8_t header[kFrameHeaderSize];
    encode_header(header, length, kind);
    if (slot->output.pending() > options_.output_limit) {
        log_write("TCP: prevec neprebranih odgovorov, povezava zaprta");
        slot->drop = true;
        return -1;
    }
    const OutputQueue::Bytes pieces[] = {{header, kFrameHeaderSize}, payload, more};
    if (slot->output.send_frame(socket, pieces) == OutputQueue::Flush::Failed) {
        slot->drop = true;
    }
    return slot->drop ? -1 : static_cast<long>(kFrameHeaderSize + length);
}

}  // namespace sint
