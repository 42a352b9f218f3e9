#include "tests/engine/fake_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <stdexcept>

#include "core/frame.h"
#include "core/protocol_client.h"

namespace sint::test {
namespace {

void send_all(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> reply(const char* code, const std::string& data = {}) {
    std::string payload(code);
    payload.push_back('\0');
    payload += data;
    return encode_frame(payload, kFrameKindPlain);
}

}  // namespace

FakeServer::FakeServer(int port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0) {
        ::close(listener_);
        throw std::runtime_error("fake server cannot listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

FakeServer::~FakeServer() {
    stop();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void FakeServer::stop() {
    if (!running_.exchange(false)) return;
    (void)!::write(wake_[1], "x", 1);
    thread_.join();
}

void FakeServer::set_mode(Mode mode) {
    const std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

void FakeServer::set_not_ready_answers(int count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    not_ready_answers_ = count;
}

void FakeServer::set_samples_per_character(int samples) {
    const std::lock_guard<std::mutex> lock(mutex_);
    samples_per_character_ = samples;
}

void FakeServer::set_audio_bytes(long bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    audio_bytes_ = bytes;
}

void FakeServer::set_sample_value(std::int16_t value) {
    const std::lock_guard<std::mutex> lock(mutex_);
    sample_value_ = value;
}

void FakeServer::set_status_before_audio(bool on) {
    const std::lock_guard<std::mutex> lock(mutex_);
    status_before_audio_ = on;
}

void FakeServer::set_oversized(std::uint32_t length, const std::string& code) {
    const std::lock_guard<std::mutex> lock(mutex_);
    oversized_length_ = length;
    oversized_code_ = code;
}

void FakeServer::queue_sentence_ends(std::vector<long> answers) {
    const std::lock_guard<std::mutex> lock(mutex_);
    sentence_ends_.assign(answers.begin(), answers.end());
}

std::vector<std::string> FakeServer::requests() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> FakeServer::requests_of(const std::string& command) const {
    std::vector<std::string> found;
    for (const std::string& request : requests())
        if (request.rfind(command + "\t", 0) == 0) found.push_back(request);
    return found;
}

void FakeServer::clear_requests() {
    const std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FakeServer::run() {
    std::map<int, FrameReader> clients;
    std::vector<std::uint8_t> chunk(65536);
    while (running_) {
        std::vector<pollfd> watched{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const auto& [fd, reader] : clients) watched.push_back({fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), 1000) <= 0) continue;
        if (watched[0].revents) break;
        if (watched[1].revents & POLLIN) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients[fd];
        }
        for (std::size_t i = 2; i < watched.size(); ++i) {
            if (!watched[i].revents) continue;
            const int fd = watched[i].fd;
            const ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
            if (n <= 0) {
                ::close(fd);
                clients.erase(fd);
                continue;
            }
            FrameReader& reader = clients[fd];
            reader.append(chunk.data(), static_cast<std::size_t>(n));
            while (auto frame = reader.take()) {
                std::string text(frame->payload.begin(), frame->payload.end());
                if (!text.empty() && text.back() == '\0') text.pop_back();
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(text);
                }
                answer(fd, text);
                if (!running_) break;
            }
        }
    }
    for (const auto& [fd, reader] : clients) ::close(fd);
    ::close(listener_);
    listener_ = -1;
}

void FakeServer::answer(int fd, const std::string& request) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t tab = request.find('\t');
    const std::string command = request.substr(0, tab);
    const std::size_t second = tab == std::string::npos ? tab : request.find('\t', tab + 1);
    const std::string text =
        second == std::string::npos ? std::string() : request.substr(second + 1);
    if (mode_ == Mode::Mute) return;
    if (command == "TEST") {
        if (not_ready_answers_ > 0) {
            --not_ready_answers_;
            send_all(fd, reply("SINT_NO"));
        } else {
            std::string payload = "SINT_OK";
            payload.push_back('\0');
            send_all(fd, encode_frame(payload, kFrameKindTest));
        }
        return;
    }
    if (command == "STOP") {
        send_all(fd, reply("SINT_E_"));
        return;
    }
    if (command != "GFP" && command != "STREAM") return;
    if (mode_ == Mode::Silent) return;
    if (mode_ == Mode::Garbage) {
        send_all(fd, std::vector<std::uint8_t>(300, 0x5A));
        return;
    }
    if (mode_ == Mode::Oversized) {
        std::vector<std::uint8_t> start = encode_frame(oversized_code_ + '\0', kFrameKindPlain);
        put_u32(start.data() + 4, oversized_length_);
        send_all(fd, start);
        return;
    }
    if (command == "GFP") {
        long end = static_cast<long>(text.size());
        if (!sentence_ends_.empty()) {
            end = sentence_ends_.front();
            sentence_ends_.pop_front();
        } else if (const std::size_t stop = text.find_first_of(".!?"); stop != std::string::npos) {
            end = static_cast<long>(stop + 1);
        }
        send_all(fd, reply("SINT_EP", std::to_string(end) + std::string(1, '\0')));
        return;
    }
    const std::size_t bytes =
        audio_bytes_ >= 0 ? static_cast<std::size_t>(audio_bytes_)
                          : 2 * text.size() * static_cast<std::size_t>(samples_per_character_);
    std::string samples(bytes, '\0');
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        samples[i] = static_cast<char>(sample_value_ & 0xFF);
        samples[i + 1] = static_cast<char>((sample_value_ >> 8) & 0xFF);
    }
    if (status_before_audio_) {
        send_all(fd, reply("SINT_NO"));
        send_all(fd, reply("SINT_OK"));
    }
    std::vector<std::uint8_t> frame = reply("SINT_S_", samples);
    if (mode_ == Mode::CloseMidFrame) {
        frame.resize(frame.size() / 2);
        send_all(fd, frame);
        ::shutdown(fd, SHUT_RDWR);
        return;
    }
    send_all(fd, frame);
}

}  // namespace sint::test
