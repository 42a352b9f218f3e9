// The socket calls the server and the protocol client make, behind one small
// interface, because POSIX sockets and Windows Sockets differ in their types,
// error reporting and polling call. Sockets are plain ints (−1 for none) on
// every platform; socket_posix.cpp and socket_windows.cpp implement this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sint::net {

inline constexpr int kNoSocket = -1;

// Wait flags of SocketWait::events and results in SocketWait::revents.
inline constexpr short kWaitRead = 1;
inline constexpr short kWaitWrite = 2;
inline constexpr short kReadable = 1;
inline constexpr short kWritable = 2;
inline constexpr short kClosed = 4;  // hang-up or error: reading reports how

struct SocketWait {
    int socket = kNoSocket;
    short events = 0;
    short revents = 0;
};

// A TCP (stream) or UDP (datagram) socket over IPv4, not inherited by child
// processes; kNoSocket when none can be made.
int tcp_socket();
int udp_socket();
void close_socket(int socket);
// Shuts the connection down both ways (the peer sees the end at once).
void shutdown_socket(int socket);
void set_non_blocking(int socket);
void set_reuse_address(int socket);
void set_no_delay(int socket);
void set_receive_buffer(int socket, int size);
void set_send_buffer(int socket, int size);

// `address` is a dotted IPv4 address; false when it is not one or the call fails.
bool bind_socket(int socket, const std::string& address, int port);
bool listen_socket(int socket, int backlog);
bool connect_socket(int socket, const std::string& address, int port);
// The local port of a bound socket, 0 when unknown.
int local_port(int socket);
// A pending connection as a non-blocking socket, or kNoSocket.
int accept_socket(int listener);

// Bytes sent or received, 0 at the end of the stream (receive), −1 on
// failure; see would_block() and interrupted() for why. Sending never raises a
// signal on a closed connection.
long send_bytes(int socket, const void* data, std::size_t size);
// One send of several pieces in a row (a frame's header, the reply code, the
// samples), so that none of them needs a copy behind the others. At most
// kMaxPieces pieces.
struct Piece {
    const void* data = nullptr;
    std::size_t size = 0;
};
inline constexpr std::size_t kMaxPieces = 4;
long send_pieces(int socket, const Piece* pieces, std::size_t count);
long receive_bytes(int socket, void* data, std::size_t size);

// Waits until one of the sockets is ready or `timeout_ms` passes (< 0: no
// limit). The number of ready sockets, 0 on time-out, −1 on failure.
int wait_sockets(SocketWait* waits, std::size_t count, int timeout_ms);

// The last call failed because it would have blocked, or was interrupted.
bool would_block();
bool interrupted();
// The last call failed because the process or system has no descriptor left.
bool out_of_descriptors();

}  // namespace sint::net
