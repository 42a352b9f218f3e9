#include "tools/sint-http/front_door.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>
#include <vector>

namespace sint {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes held in each direction of a relayed connection.
constexpr std::size_t kRelayBuffer = 64 * 1024;
// After a refusal, how long the client's unread bytes are taken and dropped,
// so that closing does not reset the connection before the reply is read.
constexpr int kDrainMs = 200;
constexpr std::size_t kDrainMax = 256 * 1024;

int ms_until(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

// A whole reply of `status` with the API's JSON error, then the connection's
// end; with `drain`, the client's unread bytes are taken first.
void refuse(int client, int status, const char* reason, const std::string& message,
            bool drain = true) {
    const nlohmann::json body = {
        {"error",
         {{"message", message},
          {"type", status == 503 ? "server_error" : "invalid_request_error"}}}};
    const std::string text = body.dump();
    const std::string reply =
        "HTTP/1.1 " + std::to_string(status) + " " + reason +
        "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(text.size()) +
        "\r\nConnection: close\r\n\r\n" + text;
    (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(client, SHUT_WR);
    if (!drain) return;
    char sink[4096];
    std::size_t drained = 0;
    pollfd wait{client, POLLIN, 0};
    while (drained<kDrainMax&& ::poll(&wait, 1, kDrainMs)> 0) {
        const ssize_t n = ::recv(client, sink, sizeof sink, MSG_DONTWAIT);
        if (n <= 0) break;
        drained += static_cast<std::size_t>(n);
    }
}

enum class Head { Whole, TooLarge, Late, Gone };

// Waits, without taking them, for the bytes of the request line and headers up
// to their empty line. The socket's low-water mark makes each wait end only
// when more has come than was seen.
Head await_head(int client, Clock::time_point deadline) {
    std::vector<char> seen(kHttpHeadMax + 1);
    for (;;) {
        pollfd wait{client, POLLIN, 0};
        const int ready = ::poll(&wait, 1, ms_until(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Head::Late;
        const ssize_t n = ::recv(client, seen.data(), seen.size(), MSG_PEEK);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Head::Gone;
        const std::string_view bytes(seen.data(), static_cast<std::size_t>(n));
        if (bytes.find("\r\n\r\n") != std::string_view::npos ||
            bytes.find("\n\n") != std::string_view::npos) {
            const int one = 1;
            ::setsockopt(client, SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
            return Head::Whole;
        }
        if (bytes.size() > kHttpHeadMax) return Head::TooLarge;
        const int more = static_cast<int>(n) + 1;
        ::setsockopt(client, SOL_SOCKET, SO_RCVLOWAT, &more, sizeof more);
    }
}

int connect_backend(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int backend = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (backend < 0) return -1;
    if (::connect(backend, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(backend);
        return -1;
    }
    return backend;
}

// Bytes on their way from one socket to the other.
struct Pipe {
    std::vector<char> bytes = std::vector<char>(kRelayBuffer);
    std::size_t begin = 0, end = 0;
    bool closed = false;  // the sender has ended its side

    bool empty() const { return begin == end; }
    // Reads what `from` has; false when it failed.
    bool fill(int from) {
        const ssize_t n = ::read(from, bytes.data(), bytes.size());
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        if (n == 0) closed = true;
        begin = 0;
        end = static_cast<std::size_t>(n);
        return true;
    }
    // Writes what it holds to `to`; false when it failed.
    bool drain(int to) {
        const ssize_t n = ::send(to, bytes.data() + begin, end - begin, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        begin += static_cast<std::size_t>(n);
        return true;
    }
};

// Relays client and backend until the reply is delivered or either side fails;
// the request must be sent whole before `deadline` (the reply begins only then),
// and a reply the client leaves unread ends the connection.
void relay(int client, int backend, Clock::time_point deadline) {
    ::fcntl(client, F_SETFL, ::fcntl(client, F_GETFL) | O_NONBLOCK);
    ::fcntl(backend, F_SETFL, ::fcntl(backend, F_GETFL) | O_NONBLOCK);
    Pipe up, down;
    bool replying = false;
    auto delivered = Clock::now();
    while (!(down.closed && down.empty())) {
        const bool read_client = up.empty() && !up.closed;
        const bool read_backend = down.empty() && !down.closed;
        const short client_events = (read_client ? POLLIN : 0) | (down.empty() ? 0 : POLLOUT);
        const short backend_events = (read_backend ? POLLIN : 0) | (up.empty() ? 0 : POLLOUT);
        // The backend is left out while nothing is asked of it, so that its
        // hang-up cannot wake the loop again and again.
        pollfd fds[2] = {{client, client_events, 0},
                         {backend_events ? backend : -1, backend_events, 0}};
        int wait = -1;
        if (!replying)
            wait = ms_until(deadline);
        else if (!down.empty())
            wait = ms_until(delivered + kHttpStalledReader);
        const int ready = ::poll(fds, 2, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return;
        if (ready == 0) {
            if (!replying)
                refuse(client, 408, "Request Timeout",
                       "the request was not sent whole within " +
                           std::to_string(kHttpRequestTime.count()) + " s");
            return;
        }
        const short from_client = fds[0].revents, from_backend = fds[1].revents;
        // A client that can neither send nor receive any more has gone.
        if ((from_client & (POLLERR | POLLNVAL)) || ((from_client & POLLHUP) && !read_client))
            return;
        if (from_client & POLLOUT) {
            if (!down.drain(client)) return;
            delivered = Clock::now();
        }
        if (read_client && (from_client & (POLLIN | POLLHUP))) {
            if (!up.fill(client)) return;
            if (up.closed) ::shutdown(backend, SHUT_WR);
        }
        if (from_backend & (POLLERR | POLLNVAL)) return;
        if ((from_backend & POLLOUT) && !up.drain(backend)) return;
        if (read_backend && (from_backend & (POLLIN | POLLHUP))) {
            if (!down.fill(backend)) return;
            if (!down.empty()) replying = true;
        }
    }
    ::shutdown(client, SHUT_WR);
}

}  // namespace

FrontDoor::~FrontDoor() {
    if (listening_ >= 0) ::close(listening_);
}

bool FrontDoor::open(const std::string& host, std::uint16_t port, int backlog, std::string& error) {
    error = "cannot listen on " + host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    for (addrinfo* at = found; at && listening_ < 0; at = at->ai_next) {
        const int socket = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (socket < 0) continue;
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(socket, at->ai_addr, at->ai_addrlen) == 0 && ::listen(socket, backlog) == 0)
            listening_ = socket;
        else
            ::close(socket);
    }
    ::freeaddrinfo(found);
    if (listening_ >= 0) error.clear();
    return listening_ >= 0;
}

void FrontDoor::run(const std::string& backend) {
    for (;;) {
        const int client = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors or memory: a moment's rest rather than a spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        const int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (connections_.fetch_add(1) >= kHttpConnectionsMax) {
            --connections_;
            refuse(client, 503, "Service Unavailable", "too many connections; try again", false);
            ::close(client);
            continue;
        }
        std::thread([this, client, backend] {
            serve(client, backend);
            ::close(client);
            --connections_;
        }).detach();
    }
}

void FrontDoor::serve(int client, const std::string& backend) {
    const auto deadline = Clock::now() + kHttpRequestTime;
    switch (await_head(client, deadline)) {
        case Head::Gone:
            return;
        case Head::Late:
            return refuse(client, 408, "Request Timeout",
                          "the request's head did not arrive within " +
                              std::to_string(kHttpRequestTime.count()) + " s");
        case Head::TooLarge:
            return refuse(
                client, 431, "Request Header Fields Too Large",
                "the request's head is larger than " + std::to_string(kHttpHeadMax) + " bytes");
        case Head::Whole:
            break;
    }
    const int server = connect_backend(backend);
    if (server < 0) return refuse(client, 503, "Service Unavailable", "the gateway is not ready");
    relay(client, server, deadline);
    ::close(server);
}

}  // namespace sint
