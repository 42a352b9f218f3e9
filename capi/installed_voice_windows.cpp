#include <windows.h>

#include "capi/installed_voice.h"

namespace sint {

std::string installed_voice_folder() {
    HMODULE module = nullptr;
    // This function's own address names the module it lives in: sint.dll.
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&installed_voice_folder), &module))
        return ".";
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ".";
    std::string folder(path, length);
    const auto slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

}  // namespace sint
