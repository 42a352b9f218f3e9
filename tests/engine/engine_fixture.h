// What the engine tests share: a fresh process-wide connection with short
// waits for every test, and a fake server to talk to.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/server_connection.h"
#include "tests/engine/fake_server.h"

namespace sint::test {

// The library's waits, shortened (the counts stay, so the fall-backs come at the
// same pass as in the library).
inline ConnectionTimings short_timings() {
    ConnectionTimings t;
    t.test_reply_ms = 10;
    t.start_pause_ms = 50;
    t.start_retry_ms = 50;
    t.reply_wait_ms = 10;
    t.reply_pause_ms = 1;
    return t;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_server_connection();
        set_connection_timings(short_timings());
        server = std::make_unique<FakeServer>();
    }
    void TearDown() override {
        reset_server_connection();
        set_connection_timings(ConnectionTimings{});
    }
    // Connects to the fake server the way a voice token would.
    bool connect() { return CHECK_TTS_engine("/nonexistent/sintsrv", 30, server->port()); }

    std::unique_ptr<FakeServer> server;
};

}  // namespace sint::test
