// The server's diagnostic channel: an append-only text log (sint.log) and the
// error reporter that the stages use for their failure messages.
//
// Logging is off until the configuration switches it on; while it is off
// nothing is written anywhere. Every write opens, appends and closes the file,
// so entries reach the disk at once. All functions may be called from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sint {

// Longest log path and last-error text kept (longer texts are cut).
inline constexpr std::size_t kLogPathMax = 511;
inline constexpr std::size_t kLastErrorMax = 511;

// Switches logging on or off (the "log disabled" setting; initially disabled).
void set_log_disabled(bool disabled);
bool log_disabled();

// Sets the log file path (at most 511 characters are kept). Initially "sint.log".
void set_log_path(std::string_view path);
std::string log_path();

// Writes "[dd.mm.yyyy hh:mm:ss]message\n" when logging is enabled. A log file
// that cannot be opened loses the entry silently.
void log_write(std::string_view message);
void log_write_text(std::string_view text);

// Sets the error flag and the last-error text (cut to 511 characters) and writes
// the message to the log. Returns 0.
int report_error(std::string_view message);
int report_error_text(std::string_view text);

// Called with every reported error as well as the log, whether logging is on
// or not (the server's start-up echoes its errors to standard error and to the
// parent that relaunched it). An empty function removes it.
using ErrorListener = std::function<void(std::string_view message)>;
void set_error_listener(ErrorListener listener);

// Clears the error flag (the facade does this before each conversion).
void clear_error();
bool error_flag();
std::string last_error();

// The start and stop banners around a run of the synthesiser.
void log_start_banner();
void log_stop_banner();

// The timestamp of now in the log's form "dd.mm.yyyy hh:mm:ss" (local time).
std::string log_timestamp();

}  // namespace sint
