#include <windows.h>

#include <string>

#include "engine/guid_text.h"
#include "engine/read_only_token.h"
#include "engine/wide_text_windows.h"
#include "tools/sint-sapi-host/host_platform.h"

// Windows: the library through LoadLibrary, registration in the system
// registry, and voice tokens read from the speech registry with the engine
// created by COM.

namespace sint::host {
namespace {

constexpr const wchar_t* kVoiceTokens = L"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\";

// A voice token whose values are those of its registry key.
class RegistryToken final : public ReadOnlyToken {
public:
    explicit RegistryToken(HKEY key) : key_(key) {}
    ~RegistryToken() { RegCloseKey(key_); }

    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR name, LPWSTR* value) override {
        if (value == nullptr) return E_POINTER;
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return SPERR_NOT_FOUND;
        std::wstring text(size / sizeof(WCHAR) + 1, L'\0');
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &size) != ERROR_SUCCESS)
            return SPERR_NOT_FOUND;
        text.resize(wcsnlen(text.c_str(), size / sizeof(WCHAR)));
        auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
        if (copy == nullptr) return E_OUTOFMEMORY;
        wcscpy(copy, text.c_str());
        *value = copy;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR name, DWORD* value) override {
        if (value == nullptr) return E_POINTER;
        DWORD type = 0, size = sizeof(DWORD);
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            return SPERR_NOT_FOUND;
        return S_OK;
    }

private:
    HKEY key_;
    LONG references_ = 1;
};

// An export as the function type it has (GetProcAddress knows no types).
template <typename Function>
Function export_of(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

bool load_library(const std::string& path, EngineExports& exports, std::string& error) {
    HMODULE library = LoadLibraryW(to_wide(path).c_str());
    if (library == nullptr) {
        error = "cannot load the library (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    exports.get_class = export_of<GetClassObject>(library, "DllGetClassObject");
    exports.register_server = export_of<RegisterServer>(library, "DllRegisterServer");
    exports.unregister_server = export_of<RegisterServer>(library, "DllUnregisterServer");
    if (exports.get_class && exports.register_server && exports.unregister_server) return true;
    error = "not an engine library";
    return false;
}

std::string registry_place() {
    return "the system registry";
}

std::optional<std::string> registered_class(const std::string& name) {
    const std::wstring key = to_wide(name + ".TTSEngine\\CLSID");
    WCHAR value[64] = {};
    DWORD size = sizeof value - sizeof(WCHAR);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return to_utf8(value);
}

HRESULT create_from_token(const std::string& token_name, ISpTTSEngine** engine,
                          ISpObjectToken** token, std::string& error) {
    // The engine is created and used on this thread, which stays in COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com)) {
        error = "COM cannot be started";
        return com;
    }
    HKEY key = nullptr;
    const std::wstring path = kVoiceTokens + to_wide(token_name);
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        error = "no voice token " + token_name;
        return HRESULT_FROM_WIN32(static_cast<DWORD>(opened));
    }
    auto* registry_token = new RegistryToken(key);
    LPWSTR clsid_text = nullptr;
    HRESULT hr = registry_token->GetStringValue(L"CLSID", &clsid_text);
    if (FAILED(hr)) {
        registry_token->Release();
        error = "the voice token has no CLSID";
        return hr;
    }
    const auto clsid = parse_guid(to_utf8(clsid_text));
    CoTaskMemFree(clsid_text);
    if (!clsid) {
        registry_token->Release();
        error = "the voice token's CLSID is not a class identifier";
        return E_INVALIDARG;
    }
    hr = CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ISpTTSEngine,
                          reinterpret_cast<void**>(engine));
    if (FAILED(hr)) {
        registry_token->Release();
        error = "CoCreateInstance of the token's class failed";
        return hr;
    }
    *token = registry_token;
    return S_OK;
}

}  // namespace sint::host
