#include "server/client_list.h"

#include <algorithm>

#include "core/status.h"

namespace sint {

Tclient_buffer::Tclient_buffer() {
    records_.reserve(kGrowthStep);
}

ClientSettings* Tclient_buffer::find(int socket) {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [socket](const ClientSettings& r) { return r.socket == socket; });
    return it == records_.end() ? nullptr : &*it;
}

const ClientSettings* Tclient_buffer::find(int socket) const {
    return const_cast<Tclient_buffer*>(this)->find(socket);
}

void Tclient_buffer::add(int socket) {
    std::lock_guard lock(mutex_);
    if (find(socket)) return;
    if (records_.size() == records_.capacity()) records_.reserve(records_.size() + kGrowthStep);
    ClientSettings record;
    record.socket = socket;
    records_.push_back(record);
    count_ = static_cast<int>(records_.size());
}

int Tclient_buffer::remove(int socket) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [socket](const ClientSettings& r) { return r.socket == socket; });
    if (it == records_.end()) return kNotPossible;
    records_.erase(it);
    count_ = static_cast<int>(records_.size());
    return 0;
}

int Tclient_buffer::set_field(int socket, std::int32_t ClientSettings::*field, std::int32_t value) {
    std::lock_guard lock(mutex_);
    ClientSettings* record = find(socket);
    if (!record) return kNotPossible;
    record->*field = value;
    return 0;
}

int Tclient_buffer::get_field(int socket, std::int32_t ClientSettings::*field,
                              std::int32_t& value) const {
    std::lock_guard lock(mutex_);
    const ClientSettings* record = find(socket);
    if (!record) return kNotPossible;
    value = record->*field;
    return 0;
}

int Tclient_buffer::set_articulation(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::articulation, value);
}
int Tclient_buffer::set_pitch(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::pitch, value);
}
int Tclient_buffer::set_volume(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::volume, value);
}
int Tclient_buffer::set_window_width(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::window_width, value);
}
int Tclient_buffer::set_tempo(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::tempo, value);
}
int Tclient_buffer::set_speed(int socket, std::int32_t value) {
    return set_field(socket, &ClientSettings::speed, value);
}
int Tclient_buffer::get_articulation(int socket, std::int32_t& value) const {
    return get_field(socket, &ClientSettings::articulation, value);
}
int Tclient_buffer::get_pitch(int socket, std::int32_t& value) const {
    return get_field(socket, &ClientSettings::pitch, value);
}
int Tclient_buffer::get_volume(int socket, std::int32_t& value) const {
    return get_field(socket, &ClientSettings::volume, value);
}
int Tclient_buffer::get_window_width(int socket, std::int32_t& value) const {
    return get_field(socket, &ClientSettings::window_width, value);
}
int Tclient_buffer::get_tempo(int socket, std::int32_t& value) const {
    return get_field(socket, &ClientSettings::tempo, value);
}

std::optional<ClientSettings> Tclient_buffer::settings(int socket) const {
    std::lock_guard lock(mutex_);
    const ClientSettings* record = find(socket);
    if (!record) return std::nullopt;
    return *record;
}

}  // namespace sint
