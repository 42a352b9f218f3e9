// Tests that need something the machine may lack (a program, a profile that
// loads) skip with the reason on a developer's machine. With
// SINT_TEST_STRICT=1 in the environment, as CI sets it, they fail with that
// reason instead, so that a green run never hides a test that did not run.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace sint::test {

inline bool strict_mode() {
    const char* value = std::getenv("SINT_TEST_STRICT");
    return value != nullptr && std::string_view(value) == "1";
}

}  // namespace sint::test

// Ends the test for want of `what`: a skip, or a failure in the strict mode.
#define SINT_LACKING(what)                                                        \
    do {                                                                          \
        if (::sint::test::strict_mode()) {                                        \
            GTEST_FAIL() << "SINT_TEST_STRICT=1 and this test lacks: " << (what); \
        }                                                                         \
        GTEST_SKIP() << (what);                                                   \
    } while (false)
