#include <dlfcn.h>

#include "engine/registry_file.h"
#include "tools/sint-sapi-host/host_platform.h"

// Linux: the library through dlopen, registration in the registry file, and
// no speech registry with voice tokens.

namespace sint::host {

bool load_library(const std::string& path, EngineExports& exports, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = std::string("cannot load the library: ") + dlerror();
        return false;
    }
    exports.get_class = reinterpret_cast<GetClassObject>(dlsym(library, "DllGetClassObject"));
    exports.register_server = reinterpret_cast<RegisterServer>(dlsym(library, "DllRegisterServer"));
    exports.unregister_server =
        reinterpret_cast<RegisterServer>(dlsym(library, "DllUnregisterServer"));
    if (exports.get_class && exports.register_server && exports.unregister_server) return true;
    error = "not an engine library";
    return false;
}

std::string registry_place() {
    return registry_file_path();
}

std::optional<std::string> registered_class(const std::string& name) {
    RegistryFile registry;
    registry.load(registry_file_path());
    return registry.get("HKEY_CLASSES_ROOT\\" + name + ".TTSEngine\\CLSID", "");
}

HRESULT create_from_token(const std::string&, ISpTTSEngine**, ISpObjectToken**,
                          std::string& error) {
    error = "voice tokens need the Windows registry; give the library instead";
    return E_NOTIMPL;
}

}  // namespace sint::host
