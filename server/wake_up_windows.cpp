#include "core/socket_platform.h"
#include "server/wake_up.h"

// A datagram socket on 127.0.0.1 connected to itself: signalling sends it one
// byte, which makes it readable for WSAPoll beside the server's sockets.

namespace sint {

WakeUp::~WakeUp() {
    net::close_socket(handle_);
}

bool WakeUp::open() {
    if (handle_ >= 0) return true;
    const int socket = net::udp_socket();
    if (socket < 0) return false;
    if (!net::bind_socket(socket, "127.0.0.1", 0) ||
        !net::connect_socket(socket, "127.0.0.1", net::local_port(socket))) {
        net::close_socket(socket);
        return false;
    }
    net::set_non_blocking(socket);
    handle_ = socket;
    return true;
}

void WakeUp::signal() {
    const char byte = 1;
    if (handle_ >= 0) net::send_bytes(handle_, &byte, 1);
}

void WakeUp::drain() {
    char bytes[64];
    while (handle_ >= 0 && net::receive_bytes(handle_, bytes, sizeof bytes) > 0) {
    }
}

}  // namespace sint
