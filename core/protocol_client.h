// The client side of the sintsrv protocol: request texts, reassembly of the
// incoming byte stream into frames, recognition of the replies, and a blocking
// TCP connection that puts them together. Used by sint-say and the engine
// library; it depends on nothing of the server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame.h"

namespace sint {

// The request limit of the engine library: 20479 characters plus the NUL.
inline constexpr std::size_t kRequestTextMax = 20479;
// Longest text after "STREAM\t\t" (20471) and after "GFP\t\t" (20474).
inline constexpr std::size_t kStreamTextMax = 20471;
inline constexpr std::size_t kGfpTextMax = 20474;

// "%s\t\t" and "%s\t\t%ld".
std::string command_request(std::string_view command);
std::string command_request(std::string_view command, long value);
// "STREAM\t\t" and "GFP\t\t" with the text, cut to the request limit.
std::string stream_request(std::string_view text);
std::string gfp_request(std::string_view text);
// A request that writes a wave file: "SINT\t<file>\t<text>" (any command
// outside the command table does this).
std::string wave_file_request(std::string_view file, std::string_view text);

struct ReceivedFrame {
    std::uint16_t kind = 0;
    std::vector<std::uint8_t> payload;
};

// Sentence queries send a window of the text, not all of it: the server
// analyses whatever it is sent, so a query costs what its window costs. The
// window starts at this size and doubles while no sentence end is found in it.
inline constexpr std::size_t kSentenceWindow = 512;
// An answer this close to the window's end may be where the window was cut
// rather than where the sentence ends (the splitter looks at the words after a
// full stop); the window then grows as well.
inline constexpr std::size_t kSentenceWindowMargin = 128;

// A sentence longer than this, or text without a sentence end, is spoken in
// pieces cut at the last blank before this length (at it, when the piece has
// no blank in its second half), so that no request and no reply grows with
// the text. A window this long plus the margin is the largest ever sent.
inline constexpr std::size_t kSentencePieceMax = 500;

// Asks about one window of the text: the server's answer, or nothing when it
// gave none (the search then ends with nothing).
using SentenceEndAsk = std::function<std::optional<long>(std::string_view window)>;
// The length of the first sentence of `text`, found through windows that grow
// until the server's answer lies well inside one, or a piece of at most
// kSentencePieceMax bytes cut at a blank when the sentence is longer or the
// server finds no end. Text up to kSentencePieceMax gets the server's answer
// as it is, whatever it is.
std::optional<long> find_sentence_end(std::string_view text, const SentenceEndAsk& ask);
// Where a piece of `text` longer than kSentencePieceMax ends (see above); the
// whole length for shorter text.
std::size_t sentence_piece_end(std::string_view text);

// Reassembles frames from the bytes of a connection, one frame per take.
// Bytes before a magic are dropped; a buffer without a magic keeps only its
// last three bytes, which may be the start of a magic split by the network.
// A header announcing more than a reply can hold (kFramePayloadLimit, or
// kAudioPayloadLimit for audio) puts the reader in the failed state: its bytes
// are dropped and it delivers nothing more, since the stream cannot be trusted.
// Frames are cut in place: a reply is read straight into the reader's buffer,
// which is kept and reused, and handed out without a copy by take_view().
class FrameReader {
public:
    // A frame inside the reader's buffer.
    struct View {
        std::uint16_t kind = 0;
        std::span<const std::uint8_t> payload;
    };

    void append(const void* data, std::size_t size);
    // Free room at the end of the buffer, at least `size` bytes, to receive
    // into; commit() then counts the bytes that arrived there.
    std::span<std::uint8_t> space(std::size_t size);
    void commit(std::size_t size);
    // Bytes still missing from a frame whose header has arrived; 0 otherwise.
    std::size_t missing() const;
    // The next complete frame, or nothing while it is incomplete or failed.
    std::optional<ReceivedFrame> take();
    // The same without copying: valid until the next call of append, space or take.
    std::optional<View> take_view();
    std::size_t buffered() const { return tail_ - head_; }
    bool failed() const { return failed_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t head_ = 0;  // the first byte not yet taken
    std::size_t tail_ = 0;  // the end of the bytes received
    bool failed_ = false;
};

enum class ReplyType {
    Ok,           // "SINT_OK": the server is ready
    NotReady,     // "SINT_NO"
    Audio,        // "SINT_S_" and 16-bit samples
    SentenceEnd,  // "SINT_EP" and a decimal number
    End,          // "SINT_E_": reply to TERMINATE and STOP
    Other,        // markers and codes this client does not act on
};

struct Reply {
    ReplyType type = ReplyType::Other;
    long value = 0;                     // SentenceEnd: the number
    std::vector<std::int16_t> samples;  // Audio: the samples, in host order
};

// Recognises a reply by its first seven bytes; data start at byte 8.
Reply recognise_reply(std::span<const std::uint8_t> payload);

// A TCP port of 127.0.0.1 that nobody listens on now (the system's choice for
// port 0), for a server about to be started; 0 when none could be had.
std::uint16_t free_loopback_port();

// One blocking TCP connection to a server.
class ProtocolConnection {
public:
    ProtocolConnection() = default;
    ~ProtocolConnection();
    ProtocolConnection(const ProtocolConnection&) = delete;
    ProtocolConnection& operator=(const ProtocolConnection&) = delete;

    // Connects to an IPv4 address; false (with errno kept) when nobody answers.
    bool connect(const std::string& host, std::uint16_t port);
    bool connected() const { return fd_ >= 0; }
    void close();

    // Sends the request text with its NUL as one frame of kind 1.
    bool send_request(std::string_view text);
    // Waits up to `timeout_ms` (≤ 0: no limit) for the next frame. Nothing on
    // time-out, or when the server closes the connection or announces a frame
    // beyond the limits (then the connection is closed and connected() is false).
    std::optional<ReceivedFrame> receive(int timeout_ms);
    // Takes in what has already arrived, without waiting, so that a connection
    // the server has closed is noticed before the next request goes out.
    // Returns connected().
    bool refresh();
    // Waits for the next reply of `type`, skipping others; nothing on time-out.
    std::optional<Reply> wait_for(ReplyType type, int timeout_ms);
    // Sends a request and waits for its reply of `type`. When the connection
    // breaks on the way (a server behind a load balancer went down), connects
    // once more to the same address (a new connection that breaks at once,
    // before it answers TEST, is tried again, up to three times), sends the
    // voice settings sent so far again, then the request, once; nothing when
    // that fails too or on time-out.
    std::optional<Reply> ask(std::string_view text, ReplyType type, int timeout_ms);

private:
    // Reads once into the frame reader; false when the connection ended (the
    // peer closed it, a read failed, or the reader failed), which closes it.
    bool read_some();
    // The next frame in the reader (see FrameReader::take_view), waiting up
    // to `timeout_ms` (≤ 0: no limit) for it.
    std::optional<FrameReader::View> next_frame(int timeout_ms);
    // Connects again to the last address and sends the voice settings again,
    // after a broken connection; see ask().
    bool reconnect();

    int fd_ = -1;
    FrameReader reader_;
    std::string host_;
    std::uint16_t port_ = 0;
    // The last request of each voice setting, replayed after a reconnection.
    std::vector<std::string> settings_;
};

}  // namespace sint
