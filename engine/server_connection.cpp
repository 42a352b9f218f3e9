#include "engine/server_connection.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "core/protocol_client.h"
#include "engine/engine_platform.h"
#include "engine/trace.h"

namespace sint {
namespace {

constexpr const char* kServerHost = "127.0.0.1";
// A connection to port 0 goes to this port.
constexpr std::uint16_t kPortZeroMeans = 80;
// Reply data start after the seven-character code and its NUL.
constexpr std::size_t kReplyCodeSize = 7;
constexpr std::size_t kReplyDataOffset = 8;
// Audio shorter than this is replaced by silence.
constexpr std::size_t kShortestAudio = 130;
// Half a second of silence at 16 kHz, 16 bits.
constexpr std::size_t kSilenceBytes = 16000;
// Each time-out of a reply wait counts this much towards the budget.
constexpr int kWaitCount = 250;
// TEST goes out on every third pass of the test loop.
constexpr int kTestEvery = 3;

// RECEIVE_reply results.
constexpr int kReceivedReady = 1;  // "SINT_OK" during a test, or audio
constexpr int kReceivedEnd = 2;    // "SINT_EP"
constexpr int kReceivedOther = 0;
constexpr int kReceivedNotReady = -1;  // "SINT_NO" during a test, or a bad index
constexpr int kReceivedTimeout = -2;

struct ConnectionEntry {
    std::unique_ptr<ProtocolConnection> socket;
    std::string host;
    std::uint16_t port = 0;
    // The payload of the most recent frame received on this connection.
    std::vector<std::uint8_t> payload;
    // Wait limit when a caller gives none; 0 is no limit.
    int default_timeout_ms = 0;
};

struct Module {
    // Held for a whole exchange (a request and the wait for its reply, or a
    // sentence's settings with its synthesis), so that two voices of one
    // process never take each other's replies.
    std::recursive_mutex exchange_mutex;
    std::mutex table_mutex;
    std::vector<ConnectionEntry> table;
    int state = kConnectionUntested;
    long index = -1;
    std::string server_path;
    int lifespan = kTokenDefaultLifespan;
    int port = kTokenDefaultPort;
    ConnectionTimings timings;
};

Module& module() {
    static Module instance;
    return instance;
}

bool valid_index(long index) {
    return index >= 0 && static_cast<std::size_t>(index) < module().table.size();
}

// Takes the first free slot, else appends one. Returns its index.
long create_connection(const std::string& host, int port) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    std::size_t slot = 0;
    while (slot < m.table.size() && m.table[slot].socket) ++slot;
    if (slot == m.table.size()) m.table.emplace_back();
    ConnectionEntry& entry = m.table[slot];
    entry.socket = std::make_unique<ProtocolConnection>();
    entry.host = host;
    entry.port = static_cast<std::uint16_t>(port);
    entry.payload.clear();
    return static_cast<long>(slot);
}

// Connects the entry's socket when it is not connected. True when connected.
bool ensure_connected(ConnectionEntry& entry) {
    if (entry.socket->connected()) return true;
    return entry.socket->connect(entry.host, entry.port == 0 ? kPortZeroMeans : entry.port);
}

bool probe_connection(long index) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    if (!valid_index(index) || !m.table[index].socket) return false;
    return ensure_connected(m.table[index]);
}

bool code_is(const std::vector<std::uint8_t>& payload, const char* code) {
    return payload.size() >= kReplyCodeSize &&
           std::memcmp(payload.data(), code, kReplyCodeSize) == 0;
}

// The decimal number at the start of the reply data.
long reply_number(const std::vector<std::uint8_t>& payload) {
    if (payload.size() <= kReplyDataOffset) return 0;
    const std::string digits(payload.begin() + kReplyDataOffset, payload.end());
    return std::strtol(digits.c_str(), nullptr, 10);
}

int SEND_request(long index, const std::string& text) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    if (!valid_index(index) || !m.table[index].socket) return -1;
    ConnectionEntry& entry = m.table[index];
    // A send on a closed connection first tries to connect again.
    const bool sent = ensure_connected(entry) && entry.socket->send_request(text);
    if (sent) {
        trace("poslal i:%ld,s:%ld", index, index);
        return 0;
    }
    trace("napaka pri posiljanju i:%ld,s:%ld", index, index);
    return -1;
}

// Recognises the payload of one received frame and updates the state.
int recognise(const std::vector<std::uint8_t>& payload, std::vector<std::uint8_t>* buffer,
              long* value) {
    Module& m = module();
    const bool testing = m.state != kConnectionReady;
    if (code_is(payload, "SINT_OK")) {
        trace("prepoznan sint_ok");
        m.state = kConnectionReady;
        return testing ? kReceivedReady : kReceivedOther;
    }
    if (code_is(payload, "SINT_NO")) {
        trace("prepoznan sint_no");
        m.state = kConnectionFailed;
        return testing ? kReceivedNotReady : kReceivedOther;
    }
    if (testing) return kReceivedOther;
    if (code_is(payload, "SINT_S_")) {
        trace("SINT_S_");
        const std::size_t data =
            payload.size() > kReplyDataOffset ? kReplyDataOffset : payload.size();
        if (value) *value = static_cast<long>(payload.size() - data);
        if (buffer)
            buffer->assign(payload.begin() + static_cast<std::ptrdiff_t>(data), payload.end());
        return kReceivedReady;
    }
    if (code_is(payload, "SINT_ST") || code_is(payload, "SINT_MS") || code_is(payload, "SINT_SK"))
        return kReceivedOther;
    if (code_is(payload, "SINT_E_") || code_is(payload, "SINT_F_")) {
        trace("%.7s", reinterpret_cast<const char*>(payload.data()));
        return kReceivedOther;
    }
    if (code_is(payload, "SINT_EP")) {
        if (value) *value = reply_number(payload);
        if (buffer) buffer->clear();
        return kReceivedEnd;
    }
    trace("on receive - neznan");
    return kReceivedOther;
}

int RECEIVE_reply(long index, std::vector<std::uint8_t>* buffer, long* value, int timeout_ms) {
    Module& m = module();
    ProtocolConnection* socket = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m.table_mutex);
        if (!valid_index(index) || !m.table[index].socket) return kReceivedNotReady;
        socket = m.table[index].socket.get();
        if (timeout_ms <= 0) timeout_ms = m.table[index].default_timeout_ms;
    }
    const auto start = std::chrono::steady_clock::now();
    std::optional<ReceivedFrame> frame = socket->receive(timeout_ms);
    if (!frame) {
        // A closed connection answers at once; wait out the time-out all the
        // same, so that the callers' time budgets keep their length.
        if (timeout_ms > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
            if (spent < timeout_ms) platform::sleep_ms(static_cast<int>(timeout_ms - spent));
        }
        return kReceivedTimeout;
    }
    {
        const std::lock_guard<std::mutex> lock(m.table_mutex);
        m.table[index].payload = frame->payload;
    }
    trace("prejel: %ld B i:%ld", static_cast<long>(frame->payload.size()), index);
    return recognise(frame->payload, buffer, value);
}

bool run_test() {
    Module& m = module();
    m.state = kConnectionTesting;
    int pass = 0;
    while (m.state == kConnectionTesting || m.state == kConnectionFailed ||
           m.state == kConnectionUntested) {
        if (pass % kTestEvery == 0) {
            SEND_request(m.index, command_request("TEST"));
            trace("posiljam test");
        }
        if (RECEIVE_reply(m.index, nullptr, nullptr, m.timings.test_reply_ms) < 0)
            trace("Test timeout");
        if (m.state == kConnectionReady) break;
        if (!platform::pump_messages()) break;
        ++pass;
        if (pass >= m.timings.test_passes) {
            m.state = kConnectionFailed;
            trace("brez odgovora - ni inicializiran");
            return false;
        }
    }
    if (m.state == kConnectionReady) {
        trace("inicializiran");
        return true;
    }
    if (m.state == kConnectionFailed) {
        trace("napaka - ni inicializiran");
        return false;
    }
    trace("Speak - ni inicializiran");
    return false;
}

// A request text as the server receives it: a C string ends at its first NUL.
std::string up_to_nul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

// Some steps are traced twice in a row.
void trace_twice(const char* message) {
    for (int i = 0; i < 2; ++i) trace("%s", message);
}

constexpr const char* kSynthesizeEnd = "SYNTHESIZE_text: K---------------------------";
constexpr const char* kSentenceEndEnd = "GET_sentence_end: K---------------------------";

void send_setting(const char* name, const std::string& request) {
    Module& m = module();
    trace("%s: Z---------------------------", name);
    if (valid_index(m.index)) SEND_request(m.index, request);
    trace("%s: K---------------------------", name);
}

}  // namespace

void set_connection_timings(const ConnectionTimings& timings) {
    module().timings = timings;
}

ConnectionTimings connection_timings() {
    return module().timings;
}

std::string server_folder(const std::string& server_path) {
    const std::size_t last = server_path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : server_path.substr(0, last + 1);
}

std::string server_command_line(const std::string& server_path, int lifespan) {
    char switches[64];
    std::snprintf(switches, sizeof switches, " -lifespan %d -disk -hitro -konzola", lifespan * 10);
    return server_path + switches;
}

bool CHECK_TTS_engine(const std::string& server_path, int lifespan, int port) {
    Module& m = module();
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    trace("------CHECK_TTS_engine-------");
    m.server_path = server_path;
    m.lifespan = lifespan;
    m.port = port;
    bool created = false;
    if (!valid_index(m.index)) {
        trace("ustvari socket: port:%d", port);
        // A port that does not fit in 16 bits is refused rather than cut.
        if (port < 0 || port > 0xFFFF) return false;
        m.index = create_connection(kServerHost, port);
        if (!valid_index(m.index)) return false;
        created = true;
    }
    if (!probe_connection(m.index)) {
        trace("engine se ne deluje: zaganjam: lifespan:%d", lifespan);
        START_TTS_engine(server_path, lifespan);
        platform::sleep_ms(m.timings.start_pause_ms);
    } else if (!created) {
        return true;
    }
    return run_test();
}

bool START_TTS_engine(const std::string& server_path, int lifespan) {
    Module& m = module();
    m.server_path = server_path;
    m.lifespan = lifespan;
    const std::string folder = server_folder(server_path);
    const std::string command = server_command_line(server_path, lifespan);
    const std::string arguments = command.substr(server_path.size());
    if (platform::start_process(server_path, arguments, folder, false)) return true;
    platform::sleep_ms(m.timings.start_retry_ms);
    if (platform::start_process(server_path, arguments, folder, true)) return true;
    trace("nezmozen pognati sintezo");
    return false;
}

bool SYNTHESIZE_text(const std::string& text, std::vector<std::uint8_t>& audio) {
    Module& m = module();
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    trace("SYNTHESIZE_text: Z---------------------------");
    if (!CHECK_TTS_engine(m.server_path, m.lifespan, m.port)) return false;
    if (!valid_index(m.index)) {
        trace("%s", kSynthesizeEnd);
        return false;
    }
    trace_twice("SYNTHESIZE_text: pred posiljanjem besedila");
    SEND_request(m.index, stream_request(up_to_nul(text)));
    trace("SYNTHESIZE_text: po posiljanju besedila, pred cakanjem");
    std::vector<std::uint8_t> received;
    bool have_audio = false;
    int waited = 0;
    while (true) {
        long length = 0;
        // In the ready state a result of 1 is audio; otherwise it is a late
        // answer to a test, and the audio is still to come.
        const bool was_ready = m.state == kConnectionReady;
        const int result = RECEIVE_reply(m.index, &received, &length, m.timings.reply_wait_ms);
        if (result == kReceivedTimeout) {
            trace("SYNTHESIZE_text: timeout");
            waited += kWaitCount;
            if (waited > m.timings.reply_budget) {
                trace_twice("SYNTHESIZE_text: predolgo brez odgovora - reset");
                break;
            }
            platform::sleep_ms(m.timings.reply_pause_ms);
        } else if (result == kReceivedReady && was_ready) {
            have_audio = true;
            break;
        }
    }
    if (have_audio && received.size() >= kShortestAudio)
        audio = std::move(received);
    else
        audio.assign(kSilenceBytes, 0);
    trace("SYNTHESIZE_text: po cakanju");
    trace("%s", kSynthesizeEnd);
    return true;
}

long GET_sentence_end(const std::string& text) {
    Module& m = module();
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    trace("GET_sentence_end: Z---------------------------");
    if (!CHECK_TTS_engine(m.server_path, m.lifespan, m.port)) return 0;
    if (!valid_index(m.index)) {
        trace("%s", kSentenceEndEnd);
        return -1;
    }
    const std::string sent = up_to_nul(text);
    trace_twice("GET_sentence_end: pred posiljanjem besedila");
    SEND_request(m.index, gfp_request(sent));
    trace("GET_sentence_end: po posiljanju besedila, pred cakanjem");
    int waited = 0;
    while (true) {
        long value = 0;
        const int result = RECEIVE_reply(m.index, nullptr, &value, m.timings.reply_wait_ms);
        if (result == kReceivedEnd) {
            trace("GET_sentence_end: po cakanju");
            trace("%s", kSentenceEndEnd);
            return value;
        }
        if (result == kReceivedTimeout) {
            trace("GET_sentence_end: timeout");
            waited += kWaitCount;
            if (waited > m.timings.reply_budget) {
                trace_twice("GET_sentence_end: predolgo brez odgovora - reset");
                return static_cast<long>(sent.size());
            }
            platform::sleep_ms(m.timings.reply_pause_ms);
        }
    }
}

bool STOP_synthesis() {
    Module& m = module();
    trace("STOP_synthesis: Z---------------------------");
    bool sent = false;
    if (valid_index(m.index)) sent = SEND_request(m.index, command_request("STOP")) == 0;
    trace("STOP_synthesis: K---------------------------");
    return sent;
}

void SET_rate(long rate) {
    send_setting("SET_rate", command_request("TEMPO", rate));
}

void SET_pitch(long pitch) {
    send_setting("SET_pitch", command_request("PITCH", pitch));
}

void SET_normal() {
    send_setting("SET_normal", command_request("NORMAL"));
}

void SET_yu() {
    send_setting("SET_yu", command_request("YU"));
}

std::unique_lock<std::recursive_mutex> exchange_lock() {
    return std::unique_lock<std::recursive_mutex>(module().exchange_mutex);
}

int connection_state() {
    return module().state;
}

void reset_server_connection() {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    m.table.clear();
    m.state = kConnectionUntested;
    m.index = -1;
    m.server_path.clear();
    m.lifespan = kTokenDefaultLifespan;
    m.port = kTokenDefaultPort;
}

}  // namespace sint
