// sint-http's front door: it accepts every connection itself and hands it on
// to the HTTP server behind it only once the request's head has arrived whole,
// so that a header flood or a client that sends a byte a second holds nothing
// but its own socket. It then relays the connection both ways, dropping a
// request that is not sent whole in time and a client that stops reading.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sint {

// The request line and headers of one request, at most.
inline constexpr std::size_t kHttpHeadMax = 16 * 1024;
// The time a client has to send its whole request (head and body), from its
// connection until the reply begins.
inline constexpr std::chrono::seconds kHttpRequestTime{10};
// How long a client may leave the reply unread before it is dropped.
inline constexpr std::chrono::seconds kHttpStalledReader{5};
// Connections held at once; the ones beyond get 503 at once.
inline constexpr int kHttpConnectionsMax = 256;

class FrontDoor {
public:
    FrontDoor() = default;
    FrontDoor(const FrontDoor&) = delete;
    FrontDoor& operator=(const FrontDoor&) = delete;
    ~FrontDoor();

    // Listens on host:port (with SO_REUSEADDR and a backlog of `backlog`);
    // false with `error` when it cannot.
    bool open(const std::string& host, std::uint16_t port, int backlog, std::string& error);
    // Accepts connections until the process ends and relays each one, once its
    // head is whole, to the server listening on the UNIX socket `backend`.
    void run(const std::string& backend);

private:
    void serve(int client, const std::string& backend);

    int listening_ = -1;
    std::atomic<int> connections_{0};
};

}  // namespace sint
