#include <windows.h>

#include "engine/engine_platform.h"

// The library's entry point: it refuses to load when the module cannot
// start, which here means that it cannot find its own file (registration and
// the type library need it).

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    DisableThreadLibraryCalls(instance);
    return sint::platform::module_path().empty() ? FALSE : TRUE;
}
