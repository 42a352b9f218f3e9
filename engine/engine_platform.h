// What the engine library needs from the operating system, behind one small
// interface: starting the server, sleeping, the message pump, pointer checks,
// text conversion, the module's own path and the registry. Each platform
// provides these in a file of its own (platform_linux.cpp, platform_windows.cpp).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/speech_api.h"

namespace sint::platform {

// Starts `path` with the argument text `arguments` (split at blanks) as a
// detached background process with `folder` as its working directory (the
// caller's folder when empty). `hidden_retry` asks for the second-attempt
// variant (a new hidden console on Windows; the same start elsewhere). S_OK when
// the program was started, else the system's error as an HRESULT (a missing
// program gives HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) on every platform);
// never waits for it.
HRESULT start_process(const std::string& path, const std::string& arguments,
                      const std::string& folder, bool hidden_retry);

void sleep_ms(int milliseconds);

// Looks at the calling thread's message queue: dispatches a waiting message
// and returns false when it is the quit message. Without a queue, true.
bool pump_messages();

// Narrow text in the system's 8-bit code page (code page 1250 here); characters
// outside it become "?".
std::string wide_to_ansi(const WCHAR* text, std::size_t length);
// A file path from wide characters, in the file system's encoding.
std::string wide_to_path(const WCHAR* text, std::size_t length);

// Full path of the loaded library that contains this code.
std::string module_path();

// Socket start-up and clean-up, once per engine object.
bool sockets_start();
void sockets_stop();

// The registry (HKEY_CLASSES_ROOT). Key paths use "\" between parts; the value
// name "" is the key's default value.
using RegistryValues = std::vector<std::pair<std::string, std::string>>;
// Creates the key (and its parents) and sets the values.
HRESULT registry_write(const std::string& key, const RegistryValues& values);
// Removes the key with all its subkeys; a missing key is not an error.
HRESULT registry_remove(const std::string& key);

// Registers the type library of the module at `module_path` (resource 1 on
// Windows; the keys of its registration elsewhere), and removes that
// registration; removing what is not registered is not an error.
HRESULT register_type_library(const GUID& library, const std::string& description,
                              const std::string& module_path);
HRESULT unregister_type_library(const GUID& library);

// While alive, the thread's locale is the system default (registration writes
// locale-dependent text on Windows); a no-op elsewhere.
class RegistrationLocale {
public:
    RegistrationLocale();
    ~RegistrationLocale();
    RegistrationLocale(const RegistrationLocale&) = delete;
    RegistrationLocale& operator=(const RegistrationLocale&) = delete;

private:
    [[maybe_unused]] unsigned long saved_ = 0;
};

}  // namespace sint::platform
