#include "engine/server_connection.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include "core/protocol_client.h"
#include "core/speaking_rate.h"
#include "engine/engine_platform.h"
#include "engine/trace.h"

namespace sint {
namespace {

constexpr const char* kServerHost = "127.0.0.1";
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
constexpr int kReceivedClosed = -3;  // the connection ended (the server closed it or sent garbage)

// A connection of the table. The socket is shared so that a reply can be
// waited for outside the table's lock while the entry stays replaceable.
struct ConnectionEntry {
    std::shared_ptr<ProtocolConnection> socket;
    std::string host;
    std::uint16_t port = 0;
};

struct Module {
    // Held for a whole exchange (a request and the wait for its reply, or a
    // sentence's settings with its synthesis), so that two voices of one
    // process never take each other's replies. Everything below but the
    // table is written only with it held.
    std::recursive_mutex exchange_mutex;
    // Guards the table itself: its size and its entries.
    std::mutex table_mutex;
    std::vector<ConnectionEntry> table;
    // Read by connection_state() and check_failure() without the exchange lock.
    std::atomic<int> state{kConnectionUntested};
    std::atomic<long> index{-1};
    std::string server_path;
    int lifespan = kTokenDefaultLifespan;
    int port = kTokenDefaultPort;
    ConnectionTimings timings;
    // Why the most recent check failed; S_OK after one that succeeded.
    std::atomic<HRESULT> failure{S_OK};
};

Module& module() {
    static Module instance;
    return instance;
}

// Whether `index` names an entry with a socket; the table lock must be held.
bool valid_entry(long index) {
    const Module& m = module();
    return index >= 0 && static_cast<std::size_t>(index) < m.table.size() && m.table[index].socket;
}

// The socket of an entry, or none; takes the table lock.
std::shared_ptr<ProtocolConnection> entry_socket(long index) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    return valid_entry(index) ? m.table[index].socket : nullptr;
}

// Takes the first free slot, else appends one. Returns its index.
long create_connection(const std::string& host, int port) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    std::size_t slot = 0;
    while (slot < m.table.size() && m.table[slot].socket) ++slot;
    if (slot == m.table.size()) m.table.emplace_back();
    ConnectionEntry& entry = m.table[slot];
    entry.socket = std::make_shared<ProtocolConnection>();
    entry.host = host;
    entry.port = static_cast<std::uint16_t>(port);
    return static_cast<long>(slot);
}

enum class Probe {
    Unreachable,  // no connection could be made
    Kept,         // the connection was there and is still open
    Reconnected,  // the connection is new: a server (perhaps another one) answers
};

// Connects the entry's socket when it is not connected. A connection that the
// server has closed in the meantime (it ended, or was killed) is noticed here,
// before a request would go out on it, and made again.
Probe connect_entry(ConnectionEntry& entry) {
    if (entry.socket->refresh()) return Probe::Kept;
    return entry.socket->connect(entry.host, entry.port) ? Probe::Reconnected : Probe::Unreachable;
}

bool ensure_connected(ConnectionEntry& entry) {
    return connect_entry(entry) != Probe::Unreachable;
}

Probe probe_connection(long index) {
    Module& m = module();
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    if (!valid_entry(index)) return Probe::Unreachable;
    return connect_entry(m.table[index]);
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
    if (!valid_entry(index)) return -1;
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

// Waits for one frame on the connection `index`. The wait holds a reference
// to the socket, not the table's lock; a connection that was replaced or
// forgotten meanwhile counts as closed, whatever arrived on it.
int RECEIVE_reply(long index, std::vector<std::uint8_t>* buffer, long* value, int timeout_ms) {
    const std::shared_ptr<ProtocolConnection> socket = entry_socket(index);
    if (!socket) return kReceivedNotReady;
    std::optional<ReceivedFrame> frame = socket->receive(timeout_ms);
    if (entry_socket(index) != socket) return kReceivedClosed;
    if (!frame) return socket->connected() ? kReceivedTimeout : kReceivedClosed;
    trace("prejel: %ld B i:%ld", static_cast<long>(frame->payload.size()), index);
    return recognise(frame->payload, buffer, value);
}

bool run_test() {
    Module& m = module();
    m.state = kConnectionTesting;
    int pass = 0;
    // Whether the server said anything (a "not ready") during the test.
    bool heard = false;
    while (m.state == kConnectionTesting || m.state == kConnectionFailed ||
           m.state == kConnectionUntested) {
        if (pass % kTestEvery == 0) {
            SEND_request(m.index, command_request("TEST"));
            trace("posiljam test");
        }
        const auto start = std::chrono::steady_clock::now();
        const int result = RECEIVE_reply(m.index, nullptr, nullptr, m.timings.test_reply_ms);
        if (result < 0) trace("Test timeout");
        if (result == kReceivedNotReady) heard = true;
        if (result == kReceivedClosed) {
            // No connection yet (a started server still loads): the pass
            // lasts its time all the same, so the test waits as long as it should.
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
            if (spent < m.timings.test_reply_ms)
                platform::sleep_ms(static_cast<int>(m.timings.test_reply_ms - spent));
        }
        if (m.state == kConnectionReady) break;
        if (!platform::pump_messages()) break;
        ++pass;
        if (pass >= m.timings.test_passes) {
            m.state = kConnectionFailed;
            m.failure = heard ? E_FAIL : kServerSilent;
            trace("brez odgovora - ni inicializiran");
            return false;
        }
    }
    if (m.state == kConnectionReady) {
        trace("inicializiran");
        return true;
    }
    m.failure = E_FAIL;
    if (m.state == kConnectionFailed) {
        trace("napaka - ni inicializiran");
        return false;
    }
    trace("Speak - ni inicializiran");
    return false;
}

// Starts the server: the normal start, then the hidden-console one after a
// pause. A missing path starts nothing and is not tried twice.
HRESULT start_server(const std::string& server_path, int lifespan) {
    Module& m = module();
    m.server_path = server_path;
    m.lifespan = lifespan;
    if (server_path.empty()) {
        trace("ni poti do streznika (EnginePath)");
        return kServerPathMissing;
    }
    const std::string folder = server_folder(server_path);
    const std::string command = server_command_line(server_path, lifespan);
    const std::string arguments = command.substr(server_path.size());
    if (SUCCEEDED(platform::start_process(server_path, arguments, folder, false))) return S_OK;
    platform::sleep_ms(m.timings.start_retry_ms);
    const HRESULT hr = platform::start_process(server_path, arguments, folder, true);
    if (SUCCEEDED(hr)) return S_OK;
    trace("nezmozen pognati sintezo");
    trace("%s: napaka 0x%08lX", server_path.c_str(), static_cast<unsigned long>(hr));
    return hr;
}

// A request text as the server receives it: a C string ends at its first NUL.
std::string up_to_nul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

constexpr const char* kSynthesizeEnd = "SYNTHESIZE_text: K---------------------------";
constexpr const char* kSentenceEndEnd = "GET_sentence_end: K---------------------------";

void send_setting(const char* name, const std::string& request) {
    Module& m = module();
    trace("%s: Z---------------------------", name);
    SEND_request(m.index, request);
    trace("%s: K---------------------------", name);
}

enum class Exchange {
    Answered,
    NoAnswer,     // the waits ran out, or the connection ended twice
    Unreachable,  // the connection ended and the server could not be reached again
};

// Sends `request` and waits for the reply `wanted`, passing over other frames;
// `name` opens the traces. A connection that ends during the wait (the server
// died) is noticed at once: the check runs again, which restarts the server,
// and the request goes out once more.
Exchange request_and_wait(const std::string& request, int wanted, std::vector<std::uint8_t>* buffer,
                          long* value, const char* name) {
    Module& m = module();
    // Some steps are traced twice in a row.
    for (int i = 0; i < 2; ++i) trace("%s: pred posiljanjem besedila", name);
    SEND_request(m.index, request);
    trace("%s: po posiljanju besedila, pred cakanjem", name);
    bool resent = false;
    int waited = 0;
    while (true) {
        // In the ready state a result of 1 is audio; otherwise it is a late
        // answer to a test, and the audio is still to come.
        const bool was_ready = m.state == kConnectionReady;
        const int result = RECEIVE_reply(m.index, buffer, value, m.timings.reply_wait_ms);
        if (result == wanted && (wanted != kReceivedReady || was_ready)) return Exchange::Answered;
        if (result == kReceivedClosed) {
            if (resent) return Exchange::NoAnswer;
            if (!CHECK_TTS_engine(m.server_path, m.lifespan, m.port)) return Exchange::Unreachable;
            resent = true;
            waited = 0;
            SEND_request(m.index, request);
        } else if (result == kReceivedTimeout) {
            trace("%s: timeout", name);
            waited += kWaitCount;
            if (waited > m.timings.reply_budget) {
                for (int i = 0; i < 2; ++i) trace("%s: predolgo brez odgovora - reset", name);
                return Exchange::NoAnswer;
            }
            platform::sleep_ms(m.timings.reply_pause_ms);
        }
    }
}

}  // namespace

void set_connection_timings(const ConnectionTimings& timings) {
    const std::lock_guard<std::recursive_mutex> exchange(module().exchange_mutex);
    module().timings = timings;
}

ConnectionTimings connection_timings() {
    const std::lock_guard<std::recursive_mutex> exchange(module().exchange_mutex);
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
    m.failure = S_OK;
    m.server_path = server_path;
    m.lifespan = lifespan;
    m.port = port;
    bool created = false;
    if (!entry_socket(m.index)) {
        trace("ustvari socket: port:%d", port);
        // Port 0 names no server, and a port that does not fit in 16 bits is
        // refused rather than cut.
        if (port <= 0 || port > 0xFFFF) {
            m.failure = E_INVALIDARG;
            return false;
        }
        m.index = create_connection(kServerHost, port);
        created = true;
    }
    const Probe probe = probe_connection(m.index);
    if (probe == Probe::Unreachable) {
        trace("engine se ne deluje: zaganjam: lifespan:%d", lifespan);
        // A server that could not be started will not answer: the test's
        // wait of many seconds would only hold up the caller.
        const HRESULT started = start_server(server_path, lifespan);
        if (FAILED(started)) {
            m.state = kConnectionFailed;
            m.failure = started;
            return false;
        }
        platform::sleep_ms(m.timings.start_pause_ms);
    } else if (!created && probe == Probe::Kept && m.state == kConnectionReady) {
        // A ready server on an open connection is trusted without a new test.
        // A new connection, or a server that has not passed the test (one that
        // took longer to load than the test waited), is tested again: otherwise
        // every later reply would be taken for a stray one and dropped.
        return true;
    }
    return run_test();
}

bool START_TTS_engine(const std::string& server_path, int lifespan) {
    return SUCCEEDED(start_server(server_path, lifespan));
}

bool SYNTHESIZE_text(const std::string& text, std::vector<std::uint8_t>& audio) {
    Module& m = module();
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    trace("SYNTHESIZE_text: Z---------------------------");
    if (!CHECK_TTS_engine(m.server_path, m.lifespan, m.port)) return false;
    if (!entry_socket(m.index)) {
        trace("%s", kSynthesizeEnd);
        return false;
    }
    std::vector<std::uint8_t> received;
    long length = 0;
    const Exchange outcome = request_and_wait(stream_request(up_to_nul(text)), kReceivedReady,
                                              &received, &length, "SYNTHESIZE_text");
    if (outcome == Exchange::Unreachable) {
        trace("%s", kSynthesizeEnd);
        return false;
    }
    const bool have_audio = outcome == Exchange::Answered;
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
    if (!entry_socket(m.index)) {
        trace("%s", kSentenceEndEnd);
        return -1;
    }
    const std::string sent = up_to_nul(text);
    bool unreachable = false;
    const std::optional<long> answer =
        find_sentence_end(sent, [&](std::string_view window) -> std::optional<long> {
            long value = 0;
            const Exchange outcome = request_and_wait(gfp_request(window), kReceivedEnd, nullptr,
                                                      &value, "GET_sentence_end");
            unreachable = outcome == Exchange::Unreachable;
            if (outcome != Exchange::Answered) return std::nullopt;
            return value;
        });
    if (answer) {
        trace("GET_sentence_end: po cakanju");
        trace("%s", kSentenceEndEnd);
        return *answer;
    }
    // No server: nothing can be asked. A silent one: the whole text is one sentence.
    return unreachable ? 0 : static_cast<long>(sent.size());
}

bool STOP_synthesis() {
    Module& m = module();
    // The connection is not shared with a wait in another voice: STOP goes
    // out between two exchanges. The caller's own exchange has ended by now.
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    trace("STOP_synthesis: Z---------------------------");
    const bool sent = SEND_request(m.index, command_request("STOP")) == 0;
    trace("STOP_synthesis: K---------------------------");
    return sent;
}

void SET_rate(long rate) {
    // The speech API's rate with its markup (-20..20) is the speed factor
    // 3^(r/10): the TEMPO step, and SPEED for what lies beyond +-10. SPEED
    // goes out only while it differs from the normal 100 or just did.
    static std::int32_t sent_speed = kSpeedPercentNormal;
    const RateRequest request = rate_request(std::pow(kTempoTopFactor, rate / 10.0));
    send_setting("SET_rate", command_request("TEMPO", request.tempo));
    if (request.speed_percent != kSpeedPercentNormal || sent_speed != kSpeedPercentNormal)
        send_setting("SET_rate", command_request("SPEED", request.speed_percent));
    sent_speed = request.speed_percent;
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

HRESULT check_failure() {
    return module().failure;
}

void reset_server_connection() {
    Module& m = module();
    const std::lock_guard<std::recursive_mutex> exchange(m.exchange_mutex);
    const std::lock_guard<std::mutex> lock(m.table_mutex);
    m.table.clear();
    m.state = kConnectionUntested;
    m.index = -1;
    m.server_path.clear();
    m.lifespan = kTokenDefaultLifespan;
    m.port = kTokenDefaultPort;
    m.failure = S_OK;
}

}  // namespace sint
