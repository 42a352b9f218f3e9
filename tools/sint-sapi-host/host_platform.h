// How sint-sapi-host reaches an engine library on each platform: loading it
// by path, where registration writes, and (on Windows) creating the engine
// through COM from a voice token of the system's speech registry.
// host_linux.cpp and host_windows.cpp implement this.
#pragma once

#include <optional>
#include <string>

#include "engine/speech_api.h"

namespace sint::host {

using GetClassObject = HRESULT(STDMETHODCALLTYPE*)(REFCLSID, REFIID, void**);
using RegisterServer = HRESULT(STDMETHODCALLTYPE*)();

struct EngineExports {
    GetClassObject get_class = nullptr;
    RegisterServer register_server = nullptr;
    RegisterServer unregister_server = nullptr;
};

// Loads the library at `path` and finds its exports; false with `error` set.
bool load_library(const std::string& path, EngineExports& exports, std::string& error);

// Where registration writes, for messages.
std::string registry_place();

// The class identifier registered for "<name>.TTSEngine", if any.
std::optional<std::string> registered_class(const std::string& name);

// Creates the engine of the voice token `token_name` (a key under the
// speech registry's voice tokens) with CoCreateInstance from the token's
// CLSID, and gives back the token, which reads its values from the registry.
// On failure an HRESULT and a reason.
HRESULT create_from_token(const std::string& token_name, ISpTTSEngine** engine,
                          ISpObjectToken** token, std::string& error);

}  // namespace sint::host
