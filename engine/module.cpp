// The four exports of an engine library. The same source is built twice; the
// macro SINT_ENGINE_YU selects the identity of MorvDllYu instead of MorvDll.
#include "engine/class_factory.h"
#include "engine/engine_platform.h"
#include "engine/module_lock.h"
#include "engine/registration.h"

#ifdef _WIN32
// The exports are named in the module definition file (engine.def), without
// the decoration of __stdcall names.
#define SINT_EXPORT extern "C"
#else
#define SINT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

#if SINT_ENGINE_YU
// {C3EF0B9A-B383-4D31-9CBC-CD28E81B0611} and {9BC1ED90-29CD-47E6-BB75-072CEA044CDC}
constexpr sint::EngineIdentity kIdentity = {
    "MorvDllYu",
    {0xC3EF0B9A, 0xB383, 0x4D31, {0x9C, 0xBC, 0xCD, 0x28, 0xE8, 0x1B, 0x06, 0x11}},
    {0x9BC1ED90, 0x29CD, 0x47E6, {0xBB, 0x75, 0x07, 0x2C, 0xEA, 0x04, 0x4C, 0xDC}}};
#else
// {724AB2C6-4717-4385-9FFB-C576165BD81D} and {67915CB2-8453-4F29-9C5B-1A76F48B9220}
constexpr sint::EngineIdentity kIdentity = {
    "MorvDll",
    {0x724AB2C6, 0x4717, 0x4385, {0x9F, 0xFB, 0xC5, 0x76, 0x16, 0x5B, 0xD8, 0x1D}},
    {0x67915CB2, 0x8453, 0x4F29, {0x9C, 0x5B, 0x1A, 0x76, 0xF4, 0x8B, 0x92, 0x20}}};
#endif

}  // namespace

SINT_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return sint::module_lock_count() == 0 ? S_OK : S_FALSE;
}

SINT_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID class_id, REFIID riid,
                                                        void** object) {
    return sint::get_class_object(kIdentity.class_id, class_id, riid, object);
}

SINT_EXPORT HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    return sint::register_engine(kIdentity, sint::platform::module_path());
}

SINT_EXPORT HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
    return sint::unregister_engine(kIdentity);
}
