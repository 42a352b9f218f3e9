// The client list: the voice settings of every connected socket, kept from
// connect to disconnect, and the emptiness test of the shell's idle rule.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace sint {

// The voice settings of one connection.
struct ClientSettings {
    std::int32_t articulation = 94;
    std::int32_t pitch = 0;
    std::int32_t volume = 100;  // percent
    std::int32_t window_width = 90;
    std::int32_t tempo = 0;
    std::int32_t speed = 100;  // percent of the tempo's rate
    int socket = -1;
};

class Tclient_buffer {
public:
    // Records are allocated 100 at a time.
    static constexpr std::size_t kGrowthStep = 100;

    Tclient_buffer();

    // Appends a record with the defaults unless the socket has one already.
    void add(int socket);
    // Deletes the socket's record, keeping the order of the others: 0 or −1.
    int remove(int socket);

    // Setters and getters: −1 when the socket has no record, else 0.
    int set_articulation(int socket, std::int32_t value);
    int set_pitch(int socket, std::int32_t value);
    int set_volume(int socket, std::int32_t value);
    int set_window_width(int socket, std::int32_t value);
    int set_tempo(int socket, std::int32_t value);
    int set_speed(int socket, std::int32_t value);
    int get_articulation(int socket, std::int32_t& value) const;
    int get_pitch(int socket, std::int32_t& value) const;
    int get_volume(int socket, std::int32_t& value) const;
    int get_window_width(int socket, std::int32_t& value) const;
    int get_tempo(int socket, std::int32_t& value) const;

    // A copy of the socket's whole record.
    std::optional<ClientSettings> settings(int socket) const;

    // True when no socket has a record; read without the lock.
    bool is_empty() const { return count_.load() <= 0; }
    std::size_t count() const { return static_cast<std::size_t>(count_.load()); }

private:
    int set_field(int socket, std::int32_t ClientSettings::*field, std::int32_t value);
    int get_field(int socket, std::int32_t ClientSettings::*field, std::int32_t& value) const;
    ClientSettings* find(int socket);
    const ClientSettings* find(int socket) const;

    mutable std::mutex mutex_;
    std::vector<ClientSettings> records_;
    std::atomic<int> count_{0};
};

}  // namespace sint
