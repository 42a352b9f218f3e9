#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <vector>

#include "core/socket_platform.h"

// The Windows side of the socket calls: Windows Sockets 2 with WSAPoll. The
// library is started once per process on the first socket. Socket handles are
// kept in ints: Windows hands out small handle values, and a handle that would
// not fit is refused rather than cut.

namespace sint::net {
namespace {

bool sockets_ready() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET native(int socket) {
    return static_cast<SOCKET>(static_cast<unsigned int>(socket));
}

int from_native(SOCKET socket) {
    if (socket == INVALID_SOCKET || socket > 0x7FFFFFFF) {
        if (socket != INVALID_SOCKET) closesocket(socket);
        return kNoSocket;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(socket);
}

bool make_address(const std::string& address, int port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1) return true;
    WSASetLastError(WSAEINVAL);
    return false;
}

}  // namespace

int tcp_socket() {
    if (!sockets_ready()) return kNoSocket;
    return from_native(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

int udp_socket() {
    if (!sockets_ready()) return kNoSocket;
    return from_native(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
}

void close_socket(int socket) {
    if (socket >= 0) closesocket(native(socket));
}

void shutdown_socket(int socket) {
    ::shutdown(native(socket), SD_BOTH);
}

void set_non_blocking(int socket) {
    u_long on = 1;
    ioctlsocket(native(socket), FIONBIO, &on);
}

void set_reuse_address(int) {
    // SO_REUSEADDR on Windows lets a second server take a port that another
    // one is listening on; a port in TIME_WAIT can be bound again without it.
}

void set_no_delay(int socket) {
    const BOOL on = TRUE;
    setsockopt(native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

void set_receive_buffer(int socket, int size) {
    setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
}

void set_send_buffer(int socket, int size) {
    setsockopt(native(socket), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size),
               sizeof size);
}

bool bind_socket(int socket, const std::string& address, int port) {
    sockaddr_in in{};
    return make_address(address, port, in) &&
           ::bind(native(socket), reinterpret_cast<const sockaddr*>(&in), sizeof in) == 0;
}

bool listen_socket(int socket, int backlog) {
    return ::listen(native(socket), backlog) == 0;
}

bool connect_socket(int socket, const std::string& address, int port) {
    sockaddr_in in{};
    return make_address(address, port, in) &&
           ::connect(native(socket), reinterpret_cast<const sockaddr*>(&in), sizeof in) == 0;
}

int local_port(int socket) {
    sockaddr_in in{};
    int size = sizeof in;
    if (getsockname(native(socket), reinterpret_cast<sockaddr*>(&in), &size) != 0) return 0;
    return ntohs(in.sin_port);
}

int accept_socket(int listener) {
    const int socket = from_native(::accept(native(listener), nullptr, nullptr));
    if (socket != kNoSocket) set_non_blocking(socket);
    return socket;
}

long send_bytes(int socket, const void* data, std::size_t size) {
    const int piece = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    return ::send(native(socket), static_cast<const char*>(data), piece, 0);
}

long send_pieces(int socket, const Piece* pieces, std::size_t count) {
    // WSASend takes 32-bit lengths; what lies beyond them goes in a later send.
    WSABUF buffers[kMaxPieces];
    ULONG room = 0x7FFFFFFF;
    DWORD used = 0;
    for (std::size_t i = 0; i < count && i < kMaxPieces && room > 0; ++i, ++used) {
        const ULONG size = static_cast<ULONG>(std::min<std::size_t>(pieces[i].size, room));
        buffers[i].len = size;
        buffers[i].buf = static_cast<char*>(const_cast<void*>(pieces[i].data));
        room -= size;
    }
    DWORD sent = 0;
    if (WSASend(native(socket), buffers, used, &sent, 0, nullptr, nullptr) != 0) return -1;
    return static_cast<long>(sent);
}

long receive_bytes(int socket, void* data, std::size_t size) {
    const int piece = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    return ::recv(native(socket), static_cast<char*>(data), piece, 0);
}

int wait_sockets(SocketWait* waits, std::size_t count, int timeout_ms) {
    std::vector<WSAPOLLFD> polls(count);
    for (std::size_t i = 0; i < count; ++i) {
        polls[i].fd = native(waits[i].socket);
        polls[i].events = static_cast<short>(((waits[i].events & kWaitRead) ? POLLRDNORM : 0) |
                                             ((waits[i].events & kWaitWrite) ? POLLWRNORM : 0));
    }
    const int ready = WSAPoll(polls.data(), static_cast<ULONG>(polls.size()), timeout_ms);
    for (std::size_t i = 0; i < count; ++i) {
        const short r = polls[i].revents;
        waits[i].revents = static_cast<short>(((r & POLLRDNORM) ? kReadable : 0) |
                                              ((r & POLLWRNORM) ? kWritable : 0) |
                                              ((r & (POLLHUP | POLLERR | POLLNVAL)) ? kClosed : 0));
    }
    return ready == SOCKET_ERROR ? -1 : ready;
}

bool would_block() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

bool interrupted() {
    return WSAGetLastError() == WSAEINTR;
}

bool out_of_descriptors() {
    return WSAGetLastError() == WSAEMFILE || WSAGetLastError() == WSAENOBUFS;
}

}  // namespace sint::net
