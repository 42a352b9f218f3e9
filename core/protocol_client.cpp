#include "core/protocol_client.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/socket_platform.h"

namespace sint {
namespace {

constexpr std::size_t kReplyCodeSize = 7;
// Reply data start after the code and its NUL.
constexpr std::size_t kReplyDataOffset = 8;
// One read from the socket, at least; and at most, however long the frame
// that is coming in.
constexpr std::size_t kReadChunk = 99999;
constexpr std::size_t kReadAhead = std::size_t{8} << 20;
// Connections tried after one broke, the pause before each further try (times
// its number), and how long the TEST on a new connection may take.
constexpr int kReconnectAttempts = 3;
constexpr int kReconnectPauseMs = 50;
constexpr int kReconnectTestMs = 5000;

std::string limited(std::string prefix, std::string_view text, std::size_t text_max) {
    prefix.append(text.substr(0, text_max));
    return prefix;
}

bool code_is(std::span<const std::uint8_t> payload, const char* code) {
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

std::size_t sentence_piece_end(std::string_view text) {
    if (text.size() <= kSentencePieceMax) return text.size();
    for (std::size_t at = kSentencePieceMax; at > kSentencePieceMax / 2; --at)
        if (static_cast<unsigned char>(text[at - 1]) <= ' ') return at;
    return kSentencePieceMax;
}

std::optional<long> find_sentence_end(std::string_view text, const SentenceEndAsk& ask) {
    const std::size_t whole = std::min(text.size(), kGfpTextMax);
    // No window longer than this is needed: an answer beyond the piece limit is cut anyway.
    const std::size_t widest = std::min(whole, kSentencePieceMax + kSentenceWindowMargin);
    std::size_t window = std::min(kSentenceWindow, whole);
    while (true) {
        const std::optional<long> answer = ask(text.substr(0, window));
        if (!answer) return answer;
        const bool inside =
            *answer > 0 && static_cast<std::size_t>(*answer) + kSentenceWindowMargin < window;
        if (inside || window >= widest) {
            if (text.size() <= kSentencePieceMax) return answer;
            if (*answer > 0 && static_cast<std::size_t>(*answer) <= kSentencePieceMax)
                return answer;
            return static_cast<long>(sentence_piece_end(text));
        }
        window = std::min(window * 2, whole);
    }
}

void FrameReader::append(const void* data, std::size_t size) {
    if (failed_ || size == 0) return;
    std::memcpy(space(size).data(), data, size);
    commit(size);
}

std::span<std::uint8_t> FrameReader::space(std::size_t size) {
    if (head_ == tail_) head_ = tail_ = 0;
    if (buffer_.size() - tail_ < size && head_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + head_, tail_ - head_);
        tail_ -= head_;
        head_ = 0;
    }
    // The buffer only grows, so a byte is cleared once in its life, not per read.
    if (buffer_.size() - tail_ < size) buffer_.resize(tail_ + size);
    return {buffer_.data() + tail_, buffer_.size() - tail_};
}

void FrameReader::commit(std::size_t size) {
    tail_ = std::min(tail_ + size, buffer_.size());
}

std::size_t FrameReader::missing() const {
    if (failed_ || buffered() < kFrameHeaderSize || !starts_with_magic(buffer_.data() + head_, 4))
        return 0;
    const std::size_t whole = kFrameHeaderSize + decode_header(buffer_.data() + head_).length;
    return whole > buffered() ? whole - buffered() : 0;
}

std::optional<ReceivedFrame> FrameReader::take() {
    const std::optional<View> view = take_view();
    if (!view) return std::nullopt;
    ReceivedFrame frame;
    frame.kind = view->kind;
    frame.payload.assign(view->payload.begin(), view->payload.end());
    return frame;
}

std::optional<FrameReader::View> FrameReader::take_view() {
    if (failed_ || buffered() < kFrameHeaderSize) return std::nullopt;
    const std::uint8_t* begin = buffer_.data() + head_;
    const std::uint8_t* end = buffer_.data() + tail_;
    const std::uint8_t* magic =
        std::search(begin, end, std::begin(kFrameMagic), std::end(kFrameMagic));
    if (magic == end) {
        // Keep what may be the first bytes of a magic that is still on its way.
        head_ = tail_ - (sizeof kFrameMagic - 1);
        return std::nullopt;
    }
    head_ = static_cast<std::size_t>(magic - buffer_.data());
    if (buffered() < kFrameHeaderSize) return std::nullopt;
    const std::uint8_t* frame = buffer_.data() + head_;
    const FrameHeader header = decode_header(frame);
    if (header.length > kFramePayloadLimit) {
        // Only audio may be longer; its code shows once the payload has begun.
        if (buffered() < kFrameHeaderSize + kReplyCodeSize) return std::nullopt;
        const bool audio = std::memcmp(frame + kFrameHeaderSize, "SINT_S_", kReplyCodeSize) == 0;
        if (!audio || header.length > kAudioPayloadLimit) {
            failed_ = true;
            head_ = tail_ = 0;
            buffer_.clear();
            buffer_.shrink_to_fit();
            return std::nullopt;
        }
    }
    if (buffered() - kFrameHeaderSize < header.length) return std::nullopt;
    head_ += kFrameHeaderSize + header.length;
    return View{header.kind, {frame + kFrameHeaderSize, header.length}};
}

Reply recognise_reply(std::span<const std::uint8_t> payload) {
    Reply reply;
    if (code_is(payload, "SINT_OK")) {
        reply.type = ReplyType::Ok;
    } else if (code_is(payload, "SINT_NO")) {
        reply.type = ReplyType::NotReady;
    } else if (code_is(payload, "SINT_S_")) {
        reply.type = ReplyType::Audio;
        // A lone byte after the code is no sample: nothing to copy.
        if (payload.size() >= kReplyDataOffset + 2) {
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
    for (std::string_view setting : {"VOLUME", "TEMPO", "SPEED", "PITCH", "ARTICULATION", "WWIDTH"})
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
    // Room for the rest of a frame that has begun (so that a long reply comes
    // in few reads), within bounds: a header may announce more than arrives.
    const std::size_t want = std::clamp(reader_.missing(), kReadChunk, kReadAhead);
    const std::span<std::uint8_t> room = reader_.space(want);
    // Called only when the socket is readable, so the read does not block.
    const long n = net::receive_bytes(fd_, room.data(), room.size());
    if (n < 0 && (net::interrupted() || net::would_block())) return true;
    if (n <= 0) {
        close();
        return false;
    }
    reader_.commit(static_cast<std::size_t>(n));
    return true;
}

std::optional<FrameReader::View> ProtocolConnection::next_frame(int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        if (auto frame = reader_.take_view()) return frame;
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

std::optional<ReceivedFrame> ProtocolConnection::receive(int timeout_ms) {
    const std::optional<FrameReader::View> view = next_frame(timeout_ms);
    if (!view) return std::nullopt;
    ReceivedFrame frame;
    frame.kind = view->kind;
    frame.payload.assign(view->payload.begin(), view->payload.end());
    return frame;
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
        const auto frame = next_frame(left);
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
    if (!reconnect()) return std::nullopt;
    if (!send_request(text)) return std::nullopt;
    return wait_for(type, timeout_ms);
}

bool ProtocolConnection::reconnect() {
    if (host_.empty()) return false;
    const std::vector<std::string> settings = settings_;
    // A server that is dying may still take a connection for a moment and
    // then drop it; a balancer may still send one there. The new connection
    // is tried with TEST first, which is harmless to repeat, so that the
    // request itself goes out only once more.
    for (int attempt = 0; attempt < kReconnectAttempts; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(kReconnectPauseMs * attempt));
        if (!connect(host_, port_)) continue;
        if (!send_request(command_request("TEST"))) continue;
        const std::optional<FrameReader::View> answer = next_frame(kReconnectTestMs);
        if (!answer) {
            if (connected()) return false;  // alive but silent: not a broken connection
            continue;
        }
        for (const std::string& setting : settings)
            if (!send_request(setting)) return false;
        return true;
    }
    return false;
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
