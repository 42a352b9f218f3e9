// The request protocol of sintsrv: decoding and splitting a request, the
// command table with its replies, and the synthesis of a request into a wave
// file or an audio reply, with the connection's voice settings.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/client_list.h"

namespace sint {

class SynthesisService;
class Tclient_buffer;
class ShellState;
struct ServerSettings;

// The wave file of a request that names none.
inline constexpr const char* kDefaultWaveFile = "sint.wav";
// Wave file names cycle through this many numbers.
inline constexpr std::int32_t kWaveFileCycle = 6;
// What synthesise_to_file is given: 16-bit PCM, mono, 16 kHz.
inline constexpr int kWaveBytesPerSample = 2;
inline constexpr int kWaveSampleRate = 16000;
inline constexpr int kWaveFormatPcm = 1;
inline constexpr int kWaveCoding = 3;

// The three fields of a request.
struct Request {
    std::string command;    // trimmed of bytes 1..32
    std::string file_name;  // trimmed; "sint.wav" when empty
    std::string text;       // as received, up to the end
};

// 0x05 → LF, 0x06 → CR, 0x08 → TAB, 0x04 → BS; each byte replaced at most once.
std::string decode_control_bytes(std::string_view payload);
// Splits a decoded request at its first two TABs; nothing without two TABs.
std::optional<Request> parse_request(std::string_view decoded);
// A numeric argument: "N5" or "n5" is −5, else the decimal number at the start
// (blanks and a sign allowed, no digits: 0), saturated to 32 bits.
std::int32_t read_number(std::string_view text);
// `name` with "_%04X" of counter modulo 6 put before its extension.
std::string numbered_file_name(std::string_view name, std::int32_t counter);
// Where a file a client names (a wave file, a REINIT list) is: inside
// `folder` (which ends in "/"), or nothing when the name climbs out with "..",
// leads out of the folder through a link, or is absolute. An absolute name
// without ".." is taken as it is when `absolute_allowed`.
std::optional<std::string> wave_file_path(const std::string& folder, std::string_view name,
                                          bool absolute_allowed = false);

// Writes `samples` as the 16-bit little-endian audio of a reply into `out`
// (room for 2 × size bytes); a volume of 1 to 99 scales each sample by
// volume / 100, truncated toward zero, any other volume leaves them as they are.
void write_reply_samples(std::span<const std::int16_t> samples, std::int32_t volume,
                         std::uint8_t* out);

// A request that needs the synthesiser, as a worker takes it: the request,
// what it asks for, and the voice settings its connection had when it arrived.
struct SynthesisJob {
    Request request;
    bool stream = false;        // an audio reply
    bool sentence_end = false;  // a sentence-end query
    // The letter name to speak, for a request of a single character.
    std::optional<std::string> transcription;
    ClientSettings voice;
};

class Protocol {
public:
    // Sends one reply frame (payload and kind) to a socket; false when it
    // could not be sent whole.
    using Sender = std::function<bool(int socket, const std::vector<std::uint8_t>& payload,
                                      std::uint16_t kind)>;

    // `program_folder` (ending in "/") is where relative wave file names go.
    Protocol(SynthesisService& synthesis, Tclient_buffer& clients, ShellState& shell,
             ServerSettings& settings, std::string program_folder);

    // Processes one request payload from `socket` to its end.
    void handle(int socket, std::string_view payload, const Sender& send);
    // Runs the command table for one request payload; a request that needs
    // the synthesiser is returned instead, for run_job.
    std::optional<SynthesisJob> accept(int socket, std::string_view payload, const Sender& send);
    // Synthesises a job with `synthesis` (one worker's facade); true when
    // `reply` then holds a reply to send. `reply` is best kept from one job to
    // the next, so that its memory is reused. Safe on several threads at
    // once, each with its own facade and reply buffer.
    //
    // With `samples`, an audio reply whose samples go out as they are (full
    // volume, and the wire's byte order is the host's) holds only its code
    // in `reply`; `samples` then points to the samples, in the synthesiser's
    // memory, to be sent after it before `synthesis` is used again.
    bool run_job(const SynthesisJob& job, SynthesisService& synthesis,
                 std::vector<std::uint8_t>& reply,
                 std::span<const std::uint8_t>* samples = nullptr);

    // Listening beyond loopback: wave-file requests, REINIT and TERMINATE are
    // refused (and logged) unless `allowed`.
    void restrict_control(bool restricted) { restricted_ = restricted; }

    void set_program_folder(std::string folder);

    // Syntheses so far (never reset).
    std::int32_t file_counter() const { return file_counter_; }

private:
    // Runs the command table: true when the command was handled.
    bool run_command(int socket, const Request& request, SynthesisJob& job, const Sender& send);
    // True (after logging it) when the request is one a restricted server refuses.
    bool refused(const Request& request, bool writes_file) const;
    bool synthesise(const SynthesisJob& job, SynthesisService& synthesis,
                    std::vector<std::uint8_t>& reply, std::span<const std::uint8_t>* samples);

    SynthesisService& synthesis_;
    Tclient_buffer& clients_;
    ShellState& shell_;
    ServerSettings& settings_;
    std::string program_folder_;
    bool restricted_ = false;
    std::atomic<std::int32_t> file_counter_{0};
    // The reply of handle(), kept between requests.
    std::vector<std::uint8_t> reply_;
};

}  // namespace sint
