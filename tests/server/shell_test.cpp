#include "server/shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/log.h"
#include "server/relaunch.h"
#include "server/startup_status.h"
#include "tests/support/temp_dir.h"

namespace sint {
namespace {

using sint::test::TempDir;

// Records the order of the shell's calls.
class FakeServices : public ShellServices {
public:
    int facade_init() override { return note("facade_init", facade_result); }
    void facade_free() override { note("facade_free"); }
    bool wave_init_slow(const std::string& list) override {
        note("wave_init_slow " + list);
        return wave_result;
    }
    bool wave_init_fast() override {
        note("wave_init_fast");
        return wave_result;
    }
    void wave_save_tables() override { note("wave_save_tables"); }
    bool wave_reload(const std::string& list) override {
        note("wave_reload " + list);
        return reload_result;
    }
    void wave_free() override { note("wave_free"); }
    int server_start(std::int32_t port) override {
        return note("server_start " + std::to_string(port), server_result);
    }
    void server_stop() override { note("server_stop"); }
    bool clients_empty() override { return clients == 0; }

    int note(const std::string& call, int result = 0) {
        calls.push_back(call);
        return result;
    }
    std::string joined() const {
        std::string all;
        for (const auto& c : calls) all += c + ";";
        return all;
    }

    std::vector<std::string> calls;
    int facade_result = 0;
    bool wave_result = true;
    bool reload_result = true;
    int server_result = 0;
    int clients = 0;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_cwd_ = std::filesystem::current_path();
        dir_.write("sint.ini",
                   "ini_mikro=m\nini_makro=k\nini_gfp=g\ndct_dir=d\nstat_dir=s\nlog_dir=./\n"
                   "port=12345\n");
    }
    void TearDown() override {
        std::filesystem::current_path(saved_cwd_);
        set_log_disabled(true);
        set_log_path("sint.log");
    }
    int run(std::vector<std::string> options) {
        options.insert(options.begin(), dir_.file("sintsrv"));
        return run_shell(options, services_, settings_, state_);
    }

    TempDir dir_;
    std::filesystem::path saved_cwd_;
    FakeServices services_;
    ServerSettings settings_;
    ShellState state_;
};

TEST_F(ShellTest, StartsInOrderAndEndsByTheIdleRule) {
    EXPECT_EQ(run({"-konzola", "-lifespan", "2"}), 0);
    EXPECT_EQ(services_.joined(),
              "facade_init;wave_init_fast;server_start 12345;server_stop;facade_free;wave_free;");
    EXPECT_EQ(std::filesystem::current_path(), dir_.path());
    EXPECT_EQ(settings_.port, 12345);
}

TEST_F(ShellTest, SlowStartReadsTheListFile) {
    run({"-konzola", "-lifespan", "1", "-pocasi"});
    EXPECT_EQ(services_.calls.at(1), "wave_init_slow filenames.ini");
}

TEST_F(ShellTest, FailuresShutDownWithoutServingAndSaySoOnStandardError) {
    struct Case {
        int facade_result;
        bool wave_result;
        int server_result;
        const char* calls;
        const char* message;
    };
    const Case cases[] = {
        {-1, true, 0, "facade_init;", kFacadeFailed},
        {0, false, 0, "facade_init;wave_init_fast;facade_free;", kWaveFailed},
        {0, true, -1, "facade_init;wave_init_fast;server_start 12345;facade_free;wave_free;",
         kServerFailed},
    };
    for (const Case& c : cases) {
        FakeServices services;
        services.facade_result = c.facade_result;
        services.wave_result = c.wave_result;
        services.server_result = c.server_result;
        ServerSettings settings;
        ShellState state;
        testing::internal::CaptureStderr();
        const int code = run_shell({dir_.file("sintsrv"), "-konzola"}, services, settings, state);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, kExitStartupFailed) << c.message;
        EXPECT_EQ(services.joined(), c.calls);
        EXPECT_NE(printed.find(c.message), std::string::npos) << printed;
    }
    // A create-data run that cannot build the database fails too.
    services_.wave_result = false;
    EXPECT_EQ(run({"-konzola", "-ustvaripodatke"}), kExitStartupFailed);
}

// A copy relaunched by its parent serves, whatever its options say (a later
// "-vozadju" would otherwise relaunch it again, and so on without end).
TEST_F(ShellTest, ARelaunchedCopyNeverRelaunches) {
    setenv(kStatusFdVariable, "-1", 1);
    EXPECT_EQ(run({"-konzola", "-vozadju", "-lifespan", "1"}), 0);
    EXPECT_EQ(services_.calls.at(0), "facade_init");
    EXPECT_EQ(std::getenv(kStatusFdVariable), nullptr);  // nothing started later inherits it
}

TEST_F(ShellTest, CreateDataBuildsSavesAndEnds) {
    run({"-konzola", "-ustvaripodatke"});
    EXPECT_EQ(services_.joined(),
              "facade_init;wave_init_slow filenames.ini;wave_save_tables;wave_free;");
    EXPECT_TRUE(settings_.samples_in_memory);
}

TEST(MainLoop, IdleCounterAndConnectedClients) {
    FakeServices services;
    ServerSettings settings;
    settings.lifespan = 3;
    ShellState state;
    bool wave_ready = true;
    int ticks = 0;
    while (!state.stop_requested() && ticks < 100) {
        main_loop_tick(services, settings, state, wave_ready);
        ++ticks;
    }
    // The counter passes the lifespan after lifespan + 1 idle ticks; the check
    // sees it on the tick after.
    EXPECT_EQ(ticks, 5);

    ShellState busy;
    services.clients = 1;
    for (int i = 0; i < 50; ++i) main_loop_tick(services, settings, busy, wave_ready);
    EXPECT_FALSE(busy.stop_requested());
    EXPECT_EQ(busy.idle().value(), 0);
}

TEST(MainLoop, ReloadRebuildsTheDatabaseWithTheServerStopped) {
    FakeServices services;
    ServerSettings settings;
    settings.port = 7;
    ShellState state;
    bool wave_ready = true;
    state.request_reload("nova.ini");
    main_loop_tick(services, settings, state, wave_ready);
    EXPECT_EQ(services.joined(), "server_stop;wave_reload nova.ini;server_start 7;");
    services.calls.clear();
    main_loop_tick(services, settings, state, wave_ready);
    EXPECT_TRUE(services.calls.empty());  // the request is handled once

    // A list that gives no database leaves the old one serving.
    services.reload_result = false;
    state.request_reload("manjka.ini");
    main_loop_tick(services, settings, state, wave_ready);
    EXPECT_EQ(services.joined(), "server_stop;wave_reload manjka.ini;server_start 7;");
    EXPECT_TRUE(wave_ready);
}

// The real program: without "-konzola" it starts a detached copy of itself in
// its own folder and ends; the copy serves, logs there and ends by itself by
// the idle rule.
TEST(Program, RelaunchesIntoTheBackground) {
    TempDir folder;
    std::filesystem::copy(SINT_PROGRAM_DIR, folder.path(),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    std::string ini = TempDir::read(folder.file("sint.ini"));
    ini += "\nport = 0\npisi_dnevnik = true\nlog_dir = ./\n";
    // The first occurrence of a key wins: put the overrides in front.
    folder.write("sint.ini", "pisi_dnevnik = true\nport = 0\nlog_dir = ./\n" + ini);
    TempDir elsewhere;
    const std::string command =
        "cd " + elsewhere.path().string() + " && " + folder.file("sintsrv") + " -lifespan 3";
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto parent_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - started)
                               .count();
    EXPECT_GE(parent_ms, 900);  // the one-second wait before the child starts

    // Anchored, so that the shell running pgrep does not match itself.
    const std::string pattern = "pgrep -f '^" + folder.file("sintsrv") + " -konzola' >/dev/null";
    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ended = std::system(pattern.c_str()) != 0;
    }
    EXPECT_TRUE(ended) << "the background server did not end by itself";
    const std::string log = TempDir::read(folder.file("sint.log"));
    EXPECT_EQ(log.rfind("[", 0), 0u) << "the child logs in its program folder";
    // The build packs the voice into the program folder, so the copy serves.
    EXPECT_NE(log.find("Sint launched"), std::string::npos) << log;
    EXPECT_NE(log.find("Sint stopped"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(elsewhere.file("sint.log")));
}

}  // namespace
}  // namespace sint
