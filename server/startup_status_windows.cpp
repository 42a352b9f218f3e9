#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "server/startup_status.h"

// The Windows side of the start-up report. A relaunched server is a detached
// process without inherited descriptors, so the parent names no pipe: the
// variable only tells the child that it is the relaunched copy (which must
// never relaunch again). The parent waits out its time and reports nothing
// of the child; the child's start-up errors go to its log.

namespace sint {
namespace {

constexpr const char* kRelaunched = "relaunched";

}  // namespace

StartupWatch::~StartupWatch() = default;

bool StartupWatch::open() {
    return SetEnvironmentVariableA(kStatusFdVariable, kRelaunched) != 0;
}

void StartupWatch::child_started() {
    SetEnvironmentVariableA(kStatusFdVariable, nullptr);
}

StartupWatch::Outcome StartupWatch::wait(int wait_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    return {};
}

std::optional<int> take_status_fd() {
    char value[32];
    if (GetEnvironmentVariableA(kStatusFdVariable, value, sizeof value) == 0) return std::nullopt;
    SetEnvironmentVariableA(kStatusFdVariable, nullptr);
    return -1;
}

void write_status_error(int, std::string_view) {}

void write_status_serving(int) {}

void close_status_fd(int) {}

}  // namespace sint
