#include "engine/class_factory.h"

#include "engine/module_lock.h"
#include "engine/tts_engine.h"

namespace sint {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
    return ++references_;
}

ULONG ClassFactory::Release() {
    const ULONG left = --references_;
    return left == 0 ? 1 : left;  // never freed while the library is loaded
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    return TTSEngine::create(outer, riid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        module_lock();
    else
        module_unlock();
    return S_OK;
}

ClassFactory& class_factory() {
    static ClassFactory factory;  // thread-safe first use
    return factory;
}

HRESULT get_class_object(const CLSID& served, REFCLSID requested, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(requested, served)) return CLASS_E_CLASSNOTAVAILABLE;
    return class_factory().QueryInterface(riid, object);
}

}  // namespace sint
