// The engine library's trace: short messages about every step of the server
// connection. They are discarded unless the environment variable
// SINT_ENGINE_TRACE names a file, to which each message is appended as a line.
#pragma once

namespace sint {

inline constexpr const char* kTraceFileVariable = "SINT_ENGINE_TRACE";

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace sint
