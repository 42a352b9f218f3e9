#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "core/socket_platform.h"

// The POSIX side of the socket calls: Berkeley sockets with poll().

namespace sint::net {
namespace {

bool make_address(const std::string& address, int port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1) return true;
    errno = EINVAL;
    return false;
}

}  // namespace

int tcp_socket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

int udp_socket() {
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

void close_socket(int socket) {
    if (socket >= 0) ::close(socket);
}

void shutdown_socket(int socket) {
    ::shutdown(socket, SHUT_RDWR);
}

void set_non_blocking(int socket) {
    const int flags = fcntl(socket, F_GETFL, 0);
    if (flags >= 0) fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

void set_reuse_address(int socket) {
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

void set_no_delay(int socket) {
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void set_receive_buffer(int socket, int size) {
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

void set_send_buffer(int socket, int size) {
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
}

bool bind_socket(int socket, const std::string& address, int port) {
    sockaddr_in in{};
    return make_address(address, port, in) &&
           ::bind(socket, reinterpret_cast<const sockaddr*>(&in), sizeof in) == 0;
}

bool listen_socket(int socket, int backlog) {
    return ::listen(socket, backlog) == 0;
}

bool connect_socket(int socket, const std::string& address, int port) {
    sockaddr_in in{};
    return make_address(address, port, in) &&
           ::connect(socket, reinterpret_cast<const sockaddr*>(&in), sizeof in) == 0;
}

int local_port(int socket) {
    sockaddr_in in{};
    socklen_t size = sizeof in;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&in), &size) != 0) return 0;
    return ntohs(in.sin_port);
}

int accept_socket(int listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

long send_bytes(int socket, const void* data, std::size_t size) {
    return static_cast<long>(::send(socket, data, size, MSG_NOSIGNAL));
}

long send_pieces(int socket, const Piece* pieces, std::size_t count) {
    iovec vectors[kMaxPieces];
    count = std::min(count, kMaxPieces);
    for (std::size_t i = 0; i < count; ++i)
        vectors[i] = {const_cast<void*>(pieces[i].data), pieces[i].size};
    msghdr message{};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    return static_cast<long>(::sendmsg(socket, &message, MSG_NOSIGNAL));
}

long receive_bytes(int socket, void* data, std::size_t size) {
    return static_cast<long>(::recv(socket, data, size, 0));
}

int wait_sockets(SocketWait* waits, std::size_t count, int timeout_ms) {
    std::vector<pollfd> polls(count);
    for (std::size_t i = 0; i < count; ++i) {
        polls[i].fd = waits[i].socket;
        polls[i].events = static_cast<short>(((waits[i].events & kWaitRead) ? POLLIN : 0) |
                                             ((waits[i].events & kWaitWrite) ? POLLOUT : 0));
    }
    const int ready = ::poll(polls.data(), polls.size(), timeout_ms);
    for (std::size_t i = 0; i < count; ++i) {
        const short r = polls[i].revents;
        waits[i].revents =
            static_cast<short>(((r & POLLIN) ? kReadable : 0) | ((r & POLLOUT) ? kWritable : 0) |
                               ((r & (POLLHUP | POLLERR | POLLNVAL)) ? kClosed : 0));
    }
    return ready;
}

bool would_block() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool interrupted() {
    return errno == EINTR;
}

bool out_of_descriptors() {
    return errno == EMFILE || errno == ENFILE;
}

}  // namespace sint::net
