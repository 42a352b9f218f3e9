// The TCP server under the shell's main loop: the idle rule, REINIT and
// TERMINATE arriving over a connection, and the listen address from sint.ini.
#include "server/tcp_services.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/profile_file.h"
#include "core/protocol_client.h"
#include "server/server_settings.h"
#include "tests/support/fake_synthesis.h"
#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using namespace std::chrono_literals;

// The shell's services with a wave database that only records its reloads.
class Services : public TcpShellServices {
public:
    Services(SynthesisService& synthesis, TcpServerOptions options, ShellState& state,
             ServerSettings& settings)
        : TcpShellServices(synthesis, std::move(options), state, settings) {}
    int facade_init() override { return 0; }
    void facade_free() override {}
    bool wave_init_slow(const std::string& list) override {
        reloaded_from = list;
        return true;
    }
    bool wave_init_fast() override { return true; }
    void wave_save_tables() override {}
    bool wave_reload(const std::string& list) override {
        reloaded_from = list;
        return true;
    }
    void wave_free() override { ++freed; }

    std::string reloaded_from;
    int freed = 0;
};

class TcpServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        TcpServerOptions options;
        options.socket.select_timeout_ms = 100;
        options.program_folder = "/tmp/";
        services = std::make_unique<Services>(synthesis, options, state, settings);
        ASSERT_EQ(services->server_start(0), 0);
        settings.port = services->tcp().port();
        settings.lifespan = 3;
    }

    std::optional<Reply> ask(ProtocolConnection& connection, std::string_view request) {
        if (!connection.send_request(request)) return std::nullopt;
        const auto frame = connection.receive(5000);
        if (!frame) return std::nullopt;
        return recognise_reply(frame->payload);
    }
    bool connect(ProtocolConnection& connection) {
        return connection.connect("127.0.0.1", static_cast<std::uint16_t>(settings.port));
    }

    test::FakeSynthesis synthesis;
    ShellState state;
    ServerSettings settings;
    std::unique_ptr<Services> services;
    bool wave_ready = true;
};

TEST_F(TcpServicesTest, AConnectedClientKeepsTheServerAlive) {
    ProtocolConnection client;
    ASSERT_TRUE(connect(client));
    ASSERT_TRUE(ask(client, "TEST\t\t"));
    for (int tick = 0; tick < 10; ++tick) main_loop_tick(*services, settings, state, wave_ready);
    EXPECT_FALSE(state.stop_requested());
    EXPECT_EQ(state.idle().value(), 0);
    client.close();
    ASSERT_TRUE([&] {
        for (int i = 0; i < 500 && !services->clients_empty(); ++i)
            std::this_thread::sleep_for(10ms);
        return services->clients_empty();
    }());
    // lifespan + 1 idle ticks, then the stop request.
    for (int tick = 0; tick < 4; ++tick) main_loop_tick(*services, settings, state, wave_ready);
    EXPECT_FALSE(state.stop_requested());
    main_loop_tick(*services, settings, state, wave_ready);
    EXPECT_TRUE(state.stop_requested());
}

TEST_F(TcpServicesTest, ReinitReloadsAndRestartsOnTheSamePort) {
    ProtocolConnection client;
    ASSERT_TRUE(connect(client));
    ASSERT_TRUE(client.send_request("REINIT\t\tnew_list.ini"));
    ASSERT_TRUE(ask(client, "TEST\t\t"));  // the REINIT was read before this answer
    main_loop_tick(*services, settings, state, wave_ready);
    EXPECT_EQ(services->reloaded_from, "/tmp/new_list.ini");
    EXPECT_EQ(services->freed, 0);  // replaced, not freed first
    EXPECT_TRUE(services->tcp().listening());
    EXPECT_EQ(services->tcp().port(), settings.port);
    // The old connection was closed by the stop; a new one is served.
    EXPECT_FALSE(client.receive(500));
    ProtocolConnection again;
    ASSERT_TRUE(connect(again));
    const auto reply = ask(again, "TEST\t\t");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, ReplyType::Ok);
}

TEST_F(TcpServicesTest, TerminateEndsTheMainLoop) {
    ProtocolConnection client;
    ASSERT_TRUE(connect(client));
    const auto reply = ask(client, "TERMINATE\t\t");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, ReplyType::End);
    EXPECT_TRUE(state.stop_requested());
    services->server_stop();
    EXPECT_FALSE(services->tcp().listening());
}

TEST(TcpServicesAddress, TheListenAddressComesFromSintIni) {
    namespace fs = std::filesystem;
    const fs::path ini =
        fs::temp_directory_path() / ("sint_addr_" + std::to_string(getpid()) + ".ini");
    test::FakeSynthesis synthesis;
    ShellState state;
    ServerSettings settings;
    TcpServerOptions options;
    options.socket.select_timeout_ms = 100;

    std::ofstream(ini) << "naslov_streznika = 127.0.0.2\n";
    {
        Services services(synthesis, options, state, settings);
        services.configure(ProfileFile(ini.string(), false), "/tmp/");
        ASSERT_EQ(services.server_start(0), 0);
        ProtocolConnection on_loopback, on_second;
        const auto port = static_cast<std::uint16_t>(services.tcp().port());
        EXPECT_FALSE(on_loopback.connect("127.0.0.1", port));
        EXPECT_TRUE(on_second.connect("127.0.0.2", port));
    }
    std::ofstream(ini) << "port = 10150\n";
    {
        Services services(synthesis, options, state, settings);
        services.configure(ProfileFile(ini.string(), false), "/tmp/");
        ASSERT_EQ(services.server_start(0), 0);
        ProtocolConnection on_loopback;
        EXPECT_TRUE(
            on_loopback.connect("127.0.0.1", static_cast<std::uint16_t>(services.tcp().port())));
    }
    fs::remove(ini);
}

TEST(TcpServicesStateFolder, WaveFilesGoToTheStateFolderWhenItIsSet) {
    test::TempDir state_dir;
    test::FakeSynthesis synthesis;
    ShellState state;
    ServerSettings settings;
    TcpServerOptions options;
    options.socket.select_timeout_ms = 100;
    setenv(kStateFolderEnvironment, state_dir.path().c_str(), 1);
    {
        Services services(synthesis, options, state, settings);
        services.configure(ProfileFile("", false), "/tmp/");
        ASSERT_EQ(services.server_start(0), 0);
        ProtocolConnection client;
        ASSERT_TRUE(client.connect("127.0.0.1", static_cast<std::uint16_t>(services.tcp().port())));
        ASSERT_TRUE(client.send_request("SINT\tout.wav\tDober dan."));
        ASSERT_TRUE(client.send_request("TEST\t\t"));
        ASSERT_TRUE(client.receive(5000));  // the first request was served before this answer
    }
    unsetenv(kStateFolderEnvironment);
    const std::vector<std::string> files = synthesis.calls("file");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("file:" + state_dir.path().string() + "/out_0001.wav:", 0), 0u)
        << files[0];
}

TEST(TcpServicesWorkers, TheWorkerCountComesFromSintIni) {
    namespace fs = std::filesystem;
    const fs::path ini =
        fs::temp_directory_path() / ("sint_workers_" + std::to_string(getpid()) + ".ini");
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::pair<const char*, int> cases[] = {
        {"", kDefaultWorkers},  // absent
        {"delavci = 3\n", 3},
        {"delavci = 0\n", std::min(cores, kMaxWorkers)},  // one per core
        {"delavci = 60\n", 60},
        {"delavci = -2\n", kDefaultWorkers},
        {"delavci = 61\n", kDefaultWorkers},
        {"delavci = 99999999999999999999\n", kDefaultWorkers},
        {"delavci = dva\n", kDefaultWorkers},
        {"delavci = 2x\n", kDefaultWorkers},
        {"delavci =\n", kDefaultWorkers},
    };
    for (const auto& [text, workers] : cases) {
        std::ofstream(ini) << "port = 10150\n" << text;
        const ProfileFile profile(ini.string(), false);
        EXPECT_EQ(configured_workers(&profile), workers) << text;
    }
    fs::remove(ini);
}

}  // namespace
}  // namespace sint
