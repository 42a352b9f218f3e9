// The engine library's one connection to the synthesis server: finding out
// whether sintsrv answers, starting it when it does not, and the requests of a
// Speak call with their time-outs and silence fall-backs. Everything here is
// process-wide and shared by all engine objects.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/speech_api.h"

namespace sint {

// Connection states.
inline constexpr int kConnectionTesting = 0;
inline constexpr int kConnectionReady = 1;   // the server answered "SINT_OK"
inline constexpr int kConnectionFailed = 2;  // "SINT_NO", or no answer in time
inline constexpr int kConnectionUntested = 3;

inline constexpr int kTokenDefaultPort = 10150;
inline constexpr int kTokenDefaultLifespan = 30;

// Waits and counts of the connection. The defaults are the library's; tests
// shorten them.
struct ConnectionTimings {
    int test_reply_ms = 200;    // one wait for the answer to TEST
    int test_passes = 91;       // waits before the test gives up (TEST every third)
    int start_pause_ms = 500;   // after starting the server, before the test
    int start_retry_ms = 2000;  // before the second start attempt
    int reply_wait_ms = 200;    // one wait for a STREAM or GFP answer
    int reply_budget = 8000;    // each wait counts 250; beyond this, give up
    int reply_pause_ms = 10;    // between two waits
};
void set_connection_timings(const ConnectionTimings& timings);
ConnectionTimings connection_timings();

// Makes sure that the connection exists, that the server runs and that it has
// passed the test; remembers the arguments for later checks.
bool CHECK_TTS_engine(const std::string& server_path, int lifespan, int port);
// Starts the server as a detached process: "<path> -lifespan <10 × lifespan>
// -disk -hitro -konzola" in the folder of the path.
bool START_TTS_engine(const std::string& server_path, int lifespan);
// Sends the sentence and waits for its audio. True with the audio in `audio`
// (half a second of silence when the server is slow or the audio too short);
// false, with `audio` untouched, when the server cannot be reached.
bool SYNTHESIZE_text(const std::string& text, std::vector<std::uint8_t>& audio);
// The length in bytes of the first sentence of `text` as the server sees it;
// 0 or -1 when it cannot be asked, the whole length when it does not answer.
long GET_sentence_end(const std::string& text);
bool STOP_synthesis();
// The speech API's rate with its markup, -20..20: the speed factor 3^(rate/10).
void SET_rate(long rate);
void SET_pitch(long pitch);
void SET_normal();
void SET_yu();

// Keeps other threads' requests off the connection while held: a sentence's
// settings requests and its synthesis go out under one lock.
std::unique_lock<std::recursive_mutex> exchange_lock();

int connection_state();

// Why the most recent CHECK_TTS_engine failed, as an HRESULT; S_OK after one
// that succeeded. A failed server start gives the system's error for it
// (file or path not found, ...), a check without a server path and without a
// running server kServerPathMissing, a test that heard nothing kServerSilent,
// and a server that only ever answered "not ready" (or a quit message that
// ended the wait) E_FAIL.
HRESULT check_failure();
inline constexpr HRESULT kServerPathMissing = SPERR_NOT_FOUND;
inline constexpr HRESULT kServerSilent = static_cast<HRESULT>(0x800705B4);  // ERROR_TIMEOUT
// Closes the connection and forgets it and the remembered settings, as when
// the library was just loaded.
void reset_server_connection();

// The request line of the server start (exposed for tests).
std::string server_command_line(const std::string& server_path, int lifespan);
// The folder of a server path: up to and including its last "\" or "/"; empty
// when it has none.
std::string server_folder(const std::string& server_path);

}  // namespace sint
