#include "server/protocol.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/frame.h"
#include "core/log.h"
#include "core/speaking_rate.h"
#include "server/client_list.h"
#include "server/letter_names.h"
#include "server/server_settings.h"
#include "server/shell.h"
#include "synth/synthesis_service.h"

namespace sint {
namespace {

// Reply codes, each followed by a NUL in the payload.
constexpr std::string_view kReplyOk = "SINT_OK";
constexpr std::string_view kReplyNotReady = "SINT_NO";
constexpr std::string_view kReplyAudio = "SINT_S_";
constexpr std::string_view kReplySentenceEnd = "SINT_EP";
constexpr std::string_view kReplyEnd = "SINT_E_";

constexpr std::int32_t kVolumeMin = 1;
constexpr std::int32_t kVolumeMax = 100;

std::vector<std::uint8_t> reply_payload(std::string_view code) {
    std::vector<std::uint8_t> payload(code.begin(), code.end());
    payload.push_back(0);
    return payload;
}

std::string_view trim(std::string_view text, bool (*is_blank)(unsigned char)) {
    while (!text.empty() && is_blank(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool is_control_or_blank(unsigned char c) {
    return c >= 1 && c <= 32;
}
bool is_white(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The decimal number at the start of `text` (blanks and a sign allowed).
std::int64_t leading_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1)
            value = static_cast<std::int64_t>(INT_MAX) + 1;
    }
    return negative ? -value : value;
}

std::int32_t saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

std::string decode_control_bytes(std::string_view payload) {
    std::string decoded(payload);
    for (char& c : decoded) {
        switch (c) {
            case 0x05:
                c = '\n';
                break;
            case 0x06:
                c = '\r';
                break;
            case 0x08:
                c = '\t';
                break;
            case 0x04:
                c = 0x08;
                break;
            default:
                break;
        }
    }
    return decoded;
}

std::optional<Request> parse_request(std::string_view decoded) {
    const std::size_t first = decoded.find('\t');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t second = decoded.find('\t', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    Request request;
    request.command = trim(decoded.substr(0, first), is_control_or_blank);
    request.file_name = trim(decoded.substr(first + 1, second - first - 1), is_control_or_blank);
    if (request.file_name.empty()) request.file_name = kDefaultWaveFile;
    request.text = decoded.substr(second + 1);
    return request;
}

std::int32_t read_number(std::string_view text) {
    if (!text.empty() && (text.front() == 'N' || text.front() == 'n'))
        return saturate(-leading_number(text.substr(1)));
    return saturate(leading_number(text));
}

std::string numbered_file_name(std::string_view name, std::int32_t counter) {
    const std::size_t last_separator = name.find_last_of("/\\");
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && last_separator != std::string_view::npos &&
        dot < last_separator)
        dot = std::string_view::npos;  // a dot in a folder name is no extension
    if (dot == std::string_view::npos) dot = name.size();
    char number[16];
    std::snprintf(number, sizeof number, "_%04lX",
                  static_cast<unsigned long>(counter % kWaveFileCycle));
    std::string result(name.substr(0, dot));
    result += number;
    result.append(name.substr(dot));
    return result;
}

std::optional<std::string> wave_file_path(const std::string& folder, std::string_view name,
                                          bool absolute_allowed) {
    namespace fs = std::filesystem;
    std::string relative(name);
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (relative.empty() || relative.find('\0') != std::string::npos) return std::nullopt;
    const fs::path path(relative);
    for (const fs::path& part : path)
        if (part == "..") return std::nullopt;
    if (relative.front() == '/') return absolute_allowed ? std::optional(relative) : std::nullopt;
    if (relative.size() >= 2 && relative[1] == ':') return std::nullopt;  // a drive letter
    // A link inside the folder may still point out of it.
    std::error_code error;
    std::string folder_name = folder;
    while (folder_name.size() > 1 && folder_name.back() == '/') folder_name.pop_back();
    const fs::path base = fs::weakly_canonical(fs::path(folder_name), error);
    if (error) return std::nullopt;
    const fs::path target = fs::weakly_canonical(base / path, error);
    if (error) return std::nullopt;
    const auto [base_end, target_at] =
        std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    if (base_end != base.end() || target_at == target.end()) return std::nullopt;
    return (fs::path(folder) / path).string();
}

void write_reply_samples(std::span<const std::int16_t> samples, std::int32_t volume,
                         std::uint8_t* out) {
    const auto store = [out](std::size_t i, std::int32_t value) {
        const auto bits = static_cast<std::uint16_t>(value);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out + 2 * i, &bits, 2);
        } else {
            out[2 * i] = static_cast<std::uint8_t>(bits);
            out[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
        }
    };
    // One plain loop over the whole reply (the compiler vectorises it), or a
    // copy when nothing changes.
    if (volume >= 1 && volume <= 99) {
        for (std::size_t i = 0; i < samples.size(); ++i) store(i, samples[i] * volume / 100);
    } else if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, samples.data(), 2 * samples.size());
    } else {
        for (std::size_t i = 0; i < samples.size(); ++i) store(i, samples[i]);
    }
}

Protocol::Protocol(SynthesisService& synthesis, Tclient_buffer& clients, ShellState& shell,
                   ServerSettings& settings, std::string program_folder)
    : synthesis_(synthesis),
      clients_(clients),
      shell_(shell),
      settings_(settings),
      program_folder_() {
    set_program_folder(std::move(program_folder));
}

void Protocol::set_program_folder(std::string folder) {
    program_folder_ = folder.empty() ? std::string("./") : std::move(folder);
    if (program_folder_.back() != '/') program_folder_.push_back('/');
}

bool Protocol::refused(const Request& request, bool writes_file) const {
    if (!restricted_) return false;
    log_write("Zavrnjen ukaz z oddaljenega naslova: " +
              (writes_file ? "zapis datoteke " + request.file_name : request.command));
    return true;
}

bool Protocol::run_command(int socket, const Request& request, SynthesisJob& job,
                           const Sender& send) {
    const std::string& command = request.command;
    if (command == "STREAM") {
        job.stream = true;
        return false;
    }
    if (command == "GFP") {
        job.sentence_end = true;
        return false;
    }
    if (command == "TERMINATE") {
        if (refused(request, false)) {
            send(socket, reply_payload(kReplyNotReady), kFrameKindPlain);
            return true;
        }
        shell_.request_stop();
        send(socket, reply_payload(kReplyEnd), kFrameKindPlain);
    } else if (command == "STOP") {
        send(socket, reply_payload(kReplyEnd), kFrameKindPlain);
    } else if (command == "NORMAL") {
        settings_.seven_bit_input = false;
    } else if (command == "YU") {
        settings_.seven_bit_input = true;
    } else if (command == "VOLUME") {
        clients_.set_volume(socket, std::clamp(read_number(request.text), kVolumeMin, kVolumeMax));
    } else if (command == "TEMPO") {
        clients_.set_tempo(socket, std::clamp(read_number(request.text), kTempoMin, kTempoMax));
    } else if (command == "SPEED") {
        clients_.set_speed(
            socket, std::clamp(read_number(request.text), kSpeedPercentMin, kSpeedPercentMax));
    } else if (command == "PITCH") {
        clients_.set_pitch(socket, read_number(request.text));
    } else if (command == "ARTICULATION") {
        clients_.set_articulation(socket, read_number(request.text));
    } else if (command == "WWIDTH") {
        clients_.set_window_width(socket, read_number(request.text));
    } else if (command == "TEST") {
        send(socket, reply_payload(synthesis_.ready() ? kReplyOk : kReplyNotReady), kFrameKindTest);
    } else if (command == "REINIT") {
        if (refused(request, false)) return true;
        // The list file follows the rule of wave file names.
        const std::string_view list = trim(request.text, is_white);
        if (const auto path =
                wave_file_path(program_folder_, list, settings_.absolute_paths_allowed))
            shell_.request_reload(*path);
        else
            log_write("REINIT: zavrnjena pot seznama posnetkov: " + std::string(list));
    } else if (command != "NOP" && command != "PAUSE" && command != "RESUME") {
        return refused(request, true);  // any other command writes a wave file
    }
    return true;
}

void Protocol::handle(int socket, std::string_view payload, const Sender& send) {
    const std::optional<SynthesisJob> job = accept(socket, payload, send);
    if (!job) return;
    if (run_job(*job, synthesis_, reply_)) send(socket, reply_, kFrameKindPlain);
}

std::optional<SynthesisJob> Protocol::accept(int socket, std::string_view payload,
                                             const Sender& send) {
    // The request text ends at the first NUL (normally the last byte).
    payload = payload.substr(0, payload.find('\0'));
    std::optional<Request> request = parse_request(decode_control_bytes(payload));
    if (!request) return std::nullopt;
    SynthesisJob job;
    if (run_command(socket, *request, job, send)) return std::nullopt;
    if (!synthesis_.ready()) return std::nullopt;
    if (!job.sentence_end) {
        const std::string_view trimmed = trim(request->text, is_white);
        if (trimmed.size() == 1)
            job.transcription = letter_transcription(synthesis_.symbol_names(),
                                                     static_cast<unsigned char>(trimmed[0]));
    }
    job.voice = clients_.settings(socket).value_or(ClientSettings{});
    job.request = std::move(*request);
    return job;
}

namespace {

// `reply` := the reply code and its NUL, then `extra` bytes left to fill. The
// buffer is kept between requests: only bytes beyond its last size are
// cleared, so a reply costs no pass over its memory before it is written.
std::uint8_t* start_reply(std::vector<std::uint8_t>& reply, std::string_view code,
                          std::size_t extra) {
    reply.resize(code.size() + 1 + extra);
    std::copy(code.begin(), code.end(), reply.begin());
    reply[code.size()] = 0;
    return reply.data() + code.size() + 1;
}

}  // namespace

bool Protocol::run_job(const SynthesisJob& job, SynthesisService& synthesis,
                       std::vector<std::uint8_t>& reply, std::span<const std::uint8_t>* samples) {
    if (samples) *samples = {};
    if (!synthesis.ready()) return false;
    if (job.sentence_end) {
        const std::string number =
            std::to_string(synthesis.first_sentence_length(job.request.text));
        std::uint8_t* digits = start_reply(reply, kReplySentenceEnd, number.size() + 1);
        std::copy(number.begin(), number.end(), digits);
        digits[number.size()] = 0;
        return true;
    }
    if (!job.transcription && synthesis.convert(job.request.text) != 0) {
        // Nothing new to say: the last request's transcription must not be repeated.
        start_reply(reply, kReplyAudio, 0);
        return job.stream;
    }
    return synthesise(job, synthesis, reply, samples);
}

bool Protocol::synthesise(const SynthesisJob& job, SynthesisService& synthesis,
                          std::vector<std::uint8_t>& reply,
                          std::span<const std::uint8_t>* borrowed) {
    const ClientSettings& voice = job.voice;
    synthesis.set_pitch_offset(voice.pitch);
    synthesis.set_articulation(voice.articulation);
    synthesis.set_tempo(voice.tempo);
    synthesis.set_speed(voice.speed);
    synthesis.set_window_width(voice.window_width);

    std::int32_t counter = file_counter_.load();
    while (!file_counter_.compare_exchange_weak(counter, counter == INT32_MAX ? 0 : counter + 1)) {
    }
    counter = counter == INT32_MAX ? 0 : counter + 1;
    std::optional<std::string> path;
    if (!job.stream) {
        path = wave_file_path(program_folder_, numbered_file_name(job.request.file_name, counter),
                              settings_.absolute_paths_allowed);
        if (!path) {
            log_write("Zavrnjeno ime datoteke: " + job.request.file_name);
            return false;
        }
    }
    const std::optional<std::string_view> transcription =
        job.transcription ? std::optional<std::string_view>(*job.transcription) : std::nullopt;
    if (synthesis.prosody(transcription) != 0) {
        // The phone conversion still holds the previous request: say nothing
        // rather than that.
        start_reply(reply, kReplyAudio, 0);
        return job.stream;
    }
    if (!job.stream) {
        synthesis.synthesise_to_file(kWaveBytesPerSample, kWaveSampleRate, kWaveFormatPcm,
                                     kWaveCoding, *path, voice.volume);
        return false;
    }
    const std::span<const std::int16_t> samples = synthesis.synthesise_to_memory(voice.volume);
    const bool unchanged = voice.volume < 1 || voice.volume > 99;
    if (borrowed && unchanged && std::endian::native == std::endian::little) {
        start_reply(reply, kReplyAudio, 0);
        *borrowed = {reinterpret_cast<const std::uint8_t*>(samples.data()), samples.size_bytes()};
        return true;
    }
    // The samples are written once, in place after the reply code.
    write_reply_samples(samples, voice.volume, start_reply(reply, kReplyAudio, 2 * samples.size()));
    return true;
}

}  // namespace sint
