#include "core/protocol_client.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "core/socket_platform.h"

namespace sint {
namespace {

constexpr std::size_t kReplyCodeSize = 7;
// Reply data start after the code and its NUL.
constexpr std::size_t kReplyDataOffset = 8;
// One read from the socket.
constexpr std::size_t kReadChunk = 99999;

std::string limited(std::string prefix, std::string_view text, std::size_t text_max) {
    prefix.append(text.substr(0, text_max));
    return prefix;
}

bool code_is(const std::vector<std::uint8_t>& payload, const char* code) {
    return payload.size() >= kReplyCodeSize &&
           std::memcmp(payload.data(), code, kReplyCodeSize) == 0;
}

}  // namespace

std::string command_request(std::string_view command) {
    std::string request(command);
    request += "\t\t";
    return request;
}

std::string command_request(std::string_view command, long value) {
    return command_request(command) + std::to_string(value);
}

std::string stream_request(std::string_view text) {
    return limited("STREAM\t\t", text, kStreamTextMax);
}

std::string gfp_request(std::string_view text) {
    return limited("GFP\t\t", text, kGfpTextMax);
}

std::string wave_file_request(std::string_view file, std::string_view text) {
    std::string prefix = "SINT\t";
    prefix.append(file);
    prefix += '\t';
    const std::size_t room = kRequestTextMax > prefix.size() ? kRequestTextMax - prefix.size() : 0;
    return limited(prefix, text, room);
}

std::optional<long> find_sentence_end(std::string_view text, const SentenceEndAsk& ask) {
    const std::size_t whole = std::min(text.size(), kGfpTextMax);
    std::size_t window = std::min(kSentenceWindow, whole);
    while (true) {
        const std::optional<long> answer = ask(text.substr(0, window));
        if (!answer || window >= whole) return answer;
        if (*answer > 0 && static_cast<std::size_t>(*answer) + kSentenceWindowMargin < window)
            return answer;
        window = std::min(window * 2, whole);
    }
}

void FrameReader::append(const void* data, std::size_t size) {
    if (failed_) return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
}

std::optional<ReceivedFrame> FrameReader::take() {
    if (failed_ || buffer_.size() < kFrameHeaderSize) return std::nullopt;
    const auto magic =
        std::search(buffer_.begin(), buffer_.end(), std::begin(kFrameMagic), std::end(kFrameMagic));
    if (magic == buffer_.end()) {
        // Keep what may be the first bytes of a magic that is still on its way.
        buffer_.erase(buffer_.begin(), buffer_.end() - (sizeof kFrameMagic - 1));
        return std::nullopt;
    }
    buffer_.erase(buffer_.begin(), magic);
    if (buffer_.size() < kFrameHeaderSize) return std::nullopt;
    const FrameHeader header = decode_header(buffer_.data());
    if (header.length > kFramePayloadLimit) {
        // Only audio may be longer; its code shows once the payload has begun.
        if (buffer_.size() < kFrameHeaderSize + kReplyCodeSize) return std::nullopt;
        const bool audio =
            std::memcmp(buffer_.data() + kFrameHeaderSize, "SINT_S_", kReplyCodeSize) == 0;
        if (!audio || header.length > kAudioPayloadLimit) {
            failed_ = true;
            buffer_.clear();
            buffer_.shrink_to_fit();
            return std::nullopt;
        }
    }
    if (buffer_.size() - kFrameHeaderSize < header.length) return std::nullopt;
    ReceivedFrame frame;
    frame.kind = header.kind;
    const auto first = buffer_.begin() + kFrameHeaderSize;
    frame.payload.assign(first, first + header.length);
    buffer_.erase(buffer_.begin(), first + header.length);
    return frame;
}

Reply recognise_reply(const std::vector<std::uint8_t>& payload) {
    Reply reply;
    if (code_is(payload, "SINT_OK")) {
        reply.type = ReplyType::Ok;
    } else if (code_is(payload, "SINT_NO")) {
        reply.type = ReplyType::NotReady;
    } else if (code_is(payload, "SINT_S_")) {
        reply.type = ReplyType::Audio;
        if (payload.size() > kReplyDataOffset) {
            const std::size_t count = (payload.size() - kReplyDataOffset) / 2;
            const std::uint8_t* data = payload.data() + kReplyDataOffset;
            reply.samples.resize(count);
            if constexpr (std::endian::native == std::endian::little) {
                // The wire's byte order is the host's: one copy.
                std::memcpy(reply.samples.data(), data, count * 2);
            } else {
                for (std::size_t i = 0; i < count; ++i)
                    reply.samples[i] = static_cast<std::int16_t>(get_u16(data + 2 * i));
            }
        }
    } else if (code_is(payload, "SINT_EP")) {
        reply.type = ReplyType::SentenceEnd;
        if (payload.size() > kReplyDataOffset) {
            const std::string digits(payload.begin() + kReplyDataOffset, payload.end());
            reply.value = std::strtol(digits.c_str(), nullptr, 10);
        }
    } else if (code_is(payload, "SINT_E_")) {
        reply.type = ReplyType::End;
    }
    return reply;
}

ProtocolConnection::~ProtocolConnection() {
    close();
}

bool ProtocolConnection::connect(const std::string& host, std::uint16_t port) {
    close();
    const int fd = net::tcp_socket();
    if (fd < 0) return false;
    if (!net::connect_socket(fd, host, port)) {
        const int error = errno;
        net::close_socket(fd);
        errno = error;
        return false;
    }
    // Requests are small and several go out before a reply is awaited (the
    // settings, then STREAM): without this, Nagle's algorithm holds the last
    // one back until the server's delayed acknowledgement, some 40 ms.
    net::set_no_delay(fd);
    fd_ = fd;
    reader_ = FrameReader();
    if (host != host_ || port != port_) settings_.clear();  // another server: start afresh
    host_ = host;
    port_ = port;
    return true;
}

void ProtocolConnection::close() {
    if (fd_ >= 0) net::close_socket(fd_);
    fd_ = -1;
}

namespace {

// The command of a request that sets a voice setting of the connection (NORMAL
// and YU set one together), or "" for any other request.
std::string_view setting_command(std::string_view text) {
    const std::string_view command = text.substr(0, text.find('\t'));
    for (std::string_view setting : {"VOLUME", "TEMPO", "PITCH", "ARTICULATION", "WWIDTH"})
        if (command == setting) return command;
    if (command == "NORMAL" || command == "YU") return "NORMAL";
    return {};
}

}  // namespace

bool ProtocolConnection::send_request(std::string_view text) {
    if (fd_ < 0) return false;
    if (const std::string_view setting = setting_command(text); !setting.empty()) {
        std::erase_if(settings_, [setting](const std::string& kept) {
            return setting_command(kept) == setting;
        });
        settings_.emplace_back(text);
    }
    std::string payload(text);
    payload.push_back('\0');
    const std::vector<std::uint8_t> frame = encode_frame(payload, kFrameKindTest);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const long n = net::send_bytes(fd_, frame.data() + sent, frame.size() - sent);
        if (n < 0 && net::interrupted()) continue;
        if (n <= 0) {
            close();
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool ProtocolConnection::read_some() {
    // One read area for the connection's life: a fresh one per read would cost
    // more than the read itself.
    if (chunk_.empty()) chunk_.resize(kReadChunk);
    // Called only when the socket is readable, so the read does not block.
    const long n = net::receive_bytes(fd_, chunk_.data(), chunk_.size());
    if (n < 0 && (net::interrupted() || net::would_block())) return true;
    if (n <= 0) {
        close();
        return false;
    }
    reader_.append(chunk_.data(), static_cast<std::size_t>(n));
    return true;
}

std::optional<ReceivedFrame> ProtocolConnection::receive(int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        if (auto frame = reader_.take()) return frame;
        if (reader_.failed()) close();
        if (fd_ < 0) return std::nullopt;
        int wait = -1;
        if (timeout_ms > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return std::nullopt;
            wait = static_cast<int>(left.count());
        }
        net::SocketWait p{fd_, net::kWaitRead, 0};
        const int ready = net::wait_sockets(&p, 1, wait);
        if (ready < 0 && net::interrupted()) continue;
        if (ready <= 0) return std::nullopt;
        // A connection that ended still delivers a frame already buffered.
        read_some();
    }
}

bool ProtocolConnection::refresh() {
    while (fd_ >= 0) {
        net::SocketWait p{fd_, net::kWaitRead, 0};
        const int ready = net::wait_sockets(&p, 1, 0);
        if (ready < 0 && net::interrupted()) continue;
        if (ready <= 0 || !read_some()) break;
    }
    if (reader_.failed()) close();
    return connected();
}

std::optional<Reply> ProtocolConnection::wait_for(ReplyType type, int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        int left = timeout_ms;
        if (timeout_ms > 0) {
            left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (left <= 0) return std::nullopt;
        }
        const auto frame = receive(left);
        if (!frame) return std::nullopt;
        Reply reply = recognise_reply(frame->payload);
        if (reply.type == type) return reply;
    }
}

std::optional<Reply> ProtocolConnection::ask(std::string_view text, ReplyType type,
                                             int timeout_ms) {
    if (send_request(text)) {
        auto reply = wait_for(type, timeout_ms);
        if (reply || connected()) return reply;  // answered, or a time-out
    }
    if (host_.empty()) return std::nullopt;
    const std::vector<std::string> settings = settings_;
    if (!connect(host_, port_)) return std::nullopt;
    for (const std::string& setting : settings)
        if (!send_request(setting)) return std::nullopt;
    if (!send_request(text)) return std::nullopt;
    return wait_for(type, timeout_ms);
}

std::uint16_t free_loopback_port() {
    const int fd = net::tcp_socket();
    if (fd < 0) return 0;
    std::uint16_t port = 0;
    if (net::bind_socket(fd, "127.0.0.1", 0))
        port = static_cast<std::uint16_t>(net::local_port(fd));
    net::close_socket(fd);
    return port;
}

}  // namespace sint
