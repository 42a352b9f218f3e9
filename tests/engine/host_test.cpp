// sint-sapi-host speaking through a built library to the fake server.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/registry_file.h"
#include "tests/engine/fake_server.h"
#include "tests/support/temp_dir.h"

namespace sint::test {
namespace {

struct HostRun {
    int status = -1;
    std::string output;
};

HostRun run(const std::string& command) {
    HostRun result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    result.status = ::pclose(pipe);
    return result;
}

TEST(SapiHost, SpeaksFragmentsAndWritesTheWave) {
    TempDir dir;
    FakeServer server;
    ::setenv(kRegistryFileVariable, dir.file("registry.reg").c_str(), 1);
    const std::string program = std::string(SINT_PROGRAM_DIR) + "/sint-sapi-host";
    const std::string library = std::string(SINT_PROGRAM_DIR) + "/libMorvDllYu.so";
    const std::string wave = dir.file("out.wav");
    const HostRun spoken = run(program + " --register --engine-path /nonexistent/sintsrv --port " +
                               std::to_string(server.port()) + " --out " + wave + " " + library +
                               " 'Dober dan.' bookmark:7 silence:10 'Kako si?'");
    ::unsetenv(kRegistryFileVariable);
    ASSERT_EQ(spoken.status, 0) << spoken.output;
    EXPECT_NE(spoken.output.find("registered MorvDllYu"), std::string::npos);
    EXPECT_NE(spoken.output.find("sentence  \"Dober dan.\""), std::string::npos) << spoken.output;
    EXPECT_NE(spoken.output.find("word      \"dan.\""), std::string::npos);
    EXPECT_NE(spoken.output.find("bookmark  \"7\" (7)"), std::string::npos);
    // "Dober dan. " and "Kako si? " at 10 samples a character, and 10 ms of silence.
    const std::size_t audio = 2 * 10 * (11 + 9) + 320;
    EXPECT_EQ(TempDir::read(wave).size(), 44 + audio);
    EXPECT_EQ(server.requests_of("STREAM").size(), 2u);
}

TEST(SapiHost, RefusesBadArguments) {
    const std::string program = std::string(SINT_PROGRAM_DIR) + "/sint-sapi-host";
    EXPECT_EQ(run(program + " --help").status, 0);
    EXPECT_NE(run(program).status, 0);
    EXPECT_NE(run(program + " /nonexistent/libMorvDll.so text").status, 0);
    EXPECT_NE(run(program + " --port x lib.so").status, 0);
}

}  // namespace
}  // namespace sint::test
