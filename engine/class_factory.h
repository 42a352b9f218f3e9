// The class factory of the engine object. One instance per library, created on
// first request and kept until the library is unloaded.
#pragma once

#include <atomic>

#include "engine/speech_api.h"

namespace sint {

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    // Counted for the callers' sake; the factory itself lives with the library.
    std::atomic<ULONG> references_{1};
};

// The library's factory, created under the module's lock on first use.
ClassFactory& class_factory();

// The body of DllGetClassObject for the class `served`.
HRESULT get_class_object(const CLSID& served, REFCLSID requested, REFIID riid, void** object);

}  // namespace sint
