#include "server/server_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "core/log.h"

namespace sint {
namespace {

void set_non_blocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

Tserver_socket::Tserver_socket(int port, ServerSocketOptions options)
    : port_(port), options_(std::move(options)), slots_(kMaxClients) {}

Tserver_socket::~Tserver_socket() {
    for (Slot& slot : slots_)
        if (slot.socket >= 0) ::close(slot.socket);
    if (listener_ >= 0) ::close(listener_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

int Tserver_socket::open_listener() {
    wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0 || wake_fd_ < 0) throw std::runtime_error("Tserver_socket: no socket");
    if (options_.receive_buffer_size > 0)
        setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &options_.receive_buffer_size,
                   sizeof options_.receive_buffer_size);
    // Connections of a stopped server in TIME_WAIT must not keep a restarted
    // server (REINIT) from binding the port again.
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    const bool address_ok = inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr) == 1;
    if (!address_ok ||
        bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        log_write("TCP: bind " + options_.address + ":" + std::to_string(port_) + " ni uspel");
        if (on_error) on_error(listener_, nullptr, 0, kErrorListen);
        ::close(listener_);
        listener_ = -1;
        return state_ = kBindFailed;
    }
    if (listen(listener_, kBacklog) != 0) {
        log_write("TCP: listen ni uspel");
        if (on_error) on_error(listener_, nullptr, 0, kErrorListen);
        ::close(listener_);
        listener_ = -1;
        return state_ = kListenFailed;
    }
    set_non_blocking(listener_);
    socklen_t size = sizeof address;
    if (getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        bound_port_ = ntohs(address.sin_port);
    loop_ = true;
    return state_ = kListening;
}

void Tserver_socket::request_stop() {
    loop_ = false;
    if (wake_fd_ >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(wake_fd_, &one, sizeof one);
    }
}

void Tserver_socket::run_loop() {
    std::vector<pollfd> waits;
    std::vector<Slot*> waiting_slots;
    while (state_ == kListening && loop_) {
        waits.clear();
        waiting_slots.clear();
        waits.push_back({wake_fd_, POLLIN, 0});
        // With every slot taken the listener is not watched: further
        // connections wait in the backlog instead of waking the loop.
        if (count_ < kMaxClients) waits.push_back({listener_, POLLIN, 0});
        const std::size_t first_client = waits.size();
        for (Slot& slot : slots_) {
            if (slot.socket < 0) continue;
            short events = 0;
            if (!slot.input_ended && !slot.frame_waiting) events |= POLLIN;
            if (!slot.output.empty()) events |= POLLOUT;
            waits.push_back({slot.socket, events, 0});
            waiting_slots.push_back(&slot);
        }
        const int ready = ::poll(waits.data(), waits.size(), wait_ms(OutputQueue::Clock::now()));
        if (ready < 0 && errno != EINTR) continue;
        if (ready > 0 && (waits[0].revents & POLLIN)) {
            std::uint64_t count;
            (void)!::read(wake_fd_, &count, sizeof count);
        }
        if (!loop_) break;
        run_posted();
        if (ready > 0) {
            if (first_client == 2 && (waits[1].revents & POLLIN)) accept_client();
            for (std::size_t i = first_client; i < waits.size(); ++i) {
                Slot& slot = *waiting_slots[i - first_client];
                const short revents = waits[i].revents;
                if (revents == 0 || slot.socket != waits[i].fd) continue;
                if (!slot.output.empty()) flush(slot);
                if ((waits[i].events & POLLIN) && (revents & (POLLIN | POLLHUP | POLLERR)))
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
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
    stopped_ = true;
}

int Tserver_socket::wait_ms(OutputQueue::Clock::time_point now) const {
    int wait = options_.select_timeout_ms;
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
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
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
    if (wake_fd_ >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(wake_fd_, &one, sizeof one);
    }
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
    std::vector<pollfd> waits;
    for (;;) {
        run_posted();
        waits.clear();
        waits.push_back({wake_fd_, POLLIN, 0});
        bool held = false;
        for (Slot& slot : slots_) {
            if (slot.socket < 0 || slot.drop) continue;
            held = held || slot.held;
            if (!slot.output.empty()) waits.push_back({slot.socket, POLLOUT, 0});
        }
        const auto now = OutputQueue::Clock::now();
        if (!held || now >= deadline) return;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        if (::poll(waits.data(), waits.size(), static_cast<int>(std::min<long long>(left, 100))) >
            0) {
            if (waits[0].revents & POLLIN) {
                std::uint64_t count;
                (void)!::read(wake_fd_, &count, sizeof count);
            }
            for (Slot& slot : slots_)
                if (slot.socket >= 0 && !slot.drop && !slot.output.empty()) flush(slot);
        }
    }
}

void Tserver_socket::receive(Slot& slot) {
    std::size_t taken = 0;
    // A buffer without a waiting frame holds at most part of one, so it has room.
    while (taken < kReadPerPass && slot.buffer.room() > 0) {
        const ssize_t n = ::recv(slot.socket, slot.buffer.tail(), slot.buffer.room(), 0);
        if (n > 0) {
            taken += static_cast<std::size_t>(n);
            slot.buffer.commit(static_cast<std::size_t>(n));
            slot.frame_waiting = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
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
            break;  // more may be buffered
        case FrameSlot::Status::Oversized:
            log_write("TCP: predolg okvir, povezava zaprta");
            if (on_error) on_error(fd, nullptr, 0, kErrorOversized);
            slot.frame_waiting = false;
            slot.drop = true;
            break;
    }
}

void Tserver_socket::flush(Slot& slot) {
    if (slot.output.flush(slot.socket) == OutputQueue::Flush::Failed) {
        if (on_error) on_error(slot.socket, nullptr, 0, kErrorSendFailed);
        slot.drop = true;
    }
}

void Tserver_socket::close_finished(OutputQueue::Clock::time_point now) {
    const auto stall = std::chrono::milliseconds(options_.stall_timeout_ms);
    for (Slot& slot : slots_) {
        if (slot.socket < 0) continue;
        if (!slot.drop && !slot.output.empty() && now - slot.output.last_progress() >= stall) {
            log_write("TCP: odjemalec ne bere odgovorov, povezava zaprta");
            if (on_error) on_error(slot.socket, nullptr, 0, kErrorStalled);
            slot.drop = true;
        }
        const bool finished =
            slot.input_ended && !slot.frame_waiting && !slot.held && slot.output.empty();
        if (slot.drop || finished) close_client(slot);
    }
}

void Tserver_socket::close_client(Slot& slot) {
    const int fd = slot.socket;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
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
    Slot* slot = find_slot(socket);
    if (!slot || slot->drop) return -1;
    std::vector<std::uint8_t> frame =
        send_with_header_
            ? encode_frame(data, static_cast<std::size_t>(length), kind)
            : std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(data),
                                        static_cast<const std::uint8_t*>(data) + length);
    if (on_send) on_send(socket, frame.data(), frame.size());
    if (slot->output.pending() > options_.output_limit) {
        log_write("TCP: prevec neprebranih odgovorov, povezava zaprta");
        if (on_error) on_error(socket, frame.data(), frame.size(), kErrorQueueFull);
        slot->drop = true;
        return -1;
    }
    const long size = static_cast<long>(frame.size());
    slot->output.push(std::move(frame));
    flush(*slot);
    return slot->drop ? -1 : size;
}

}  // namespace sint
