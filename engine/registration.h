// The identity of one engine library and the registry keys that make its class
// and type library findable: written by DllRegisterServer, removed by
// DllUnregisterServer.
#pragma once

#include <string>

#include "engine/speech_api.h"

namespace sint {

struct EngineIdentity {
    const char* name;  // "MorvDll" or "MorvDllYu"
    GUID class_id;
    GUID type_library_id;
};

// "<name>.TTSEngine.1", "<name>.TTSEngine", "<name> TTSEngine Class".
std::string versioned_prog_id(const EngineIdentity& identity);
std::string prog_id(const EngineIdentity& identity);
std::string class_description(const EngineIdentity& identity);

// "<name> 1.0 Type Library".
std::string type_library_description(const EngineIdentity& identity);

// Under HKEY_CLASSES_ROOT.
inline constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT";

HRESULT register_engine(const EngineIdentity& identity, const std::string& module_path);
HRESULT unregister_engine(const EngineIdentity& identity);

}  // namespace sint
