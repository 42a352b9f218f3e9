// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <string>

#include "engine/engine_platform.h"
#include "engine/guid_text.h"
#include "engine/wide_text_windows.h"

// The Windows side of the engine library: CreateProcess for the server start,
// the thread's message queue, code page 1250
// through WideCharToMultiByte, the library's own path from its module handle,
// and the system registry under HKEY_CLASSES_ROOT. Paths and registry text
// are held in UTF-8 and turned into UTF-16 for the system calls.

namespace sint::platform {
namespace {

constexpr const char* kClassesRootPrefix = "HKEY_CLASSES_ROOT\\";
// The code page the server reads.
constexpr UINT kServerCodePage = 1250;

std::string from_wide(const WCHAR* text, std::size_t length, UINT code_page, DWORD flags) {
    if (length == 0) return {};
    const int size = WideCharToMultiByte(code_page, flags, text, static_cast<int>(length), nullptr,
                                         0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, flags, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
    return out;
}

// The key below HKEY_CLASSES_ROOT named by a full key path.
std::wstring classes_subkey(const std::string& key) {
    const std::string prefix = kClassesRootPrefix;
    if (key.compare(0, prefix.size(), prefix) == 0) return to_wide(key.substr(prefix.size()));
    return to_wide(key);
}

HRESULT create_process(const std::string& path, const std::string& arguments,
                       const std::string& folder, DWORD flags, STARTUPINFOW& startup) {
    // The program path is quoted, so that a folder with blanks (Program
    // Files) does not split it into several arguments.
    std::wstring command = L"\"" + to_wide(path) + L"\"" + to_wide(arguments);
    const std::wstring program = to_wide(path);
    const std::wstring directory = to_wide(folder);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return S_OK;
}

HRESULT from_error(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

}  // namespace

HRESULT start_process(const std::string& path, const std::string& arguments,
                      const std::string& folder, bool hidden_retry) {
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // A missing program is reported as such, not as the invalid working
    // folder that CreateProcess would name when its folder is missing too.
    if (GetFileAttributesW(to_wide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return HRESULT_FROM_WIN32(GetLastError());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!hidden_retry)
        return create_process(path, arguments, folder,
                              DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | CREATE_DEFAULT_ERROR_MODE,
                              startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USEPOSITION | STARTF_USESIZE;
    startup.wShowWindow = SW_HIDE;
    return create_process(path, arguments, folder, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                          startup);
}

void sleep_ms(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds));
}

bool pump_messages() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return true;
    if (message.message == WM_QUIT) {
        // Left in the queue for the caller's own message loop, which ends on it.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

std::string wide_to_ansi(const WCHAR* text, std::size_t length) {
    // Characters outside the code page become "?", as the default character;
    // no look-alike letters are put in their place.
    return from_wide(text, length, kServerCodePage, WC_NO_BEST_FIT_CHARS);
}

std::string wide_to_path(const WCHAR* text, std::size_t length) {
    return from_wide(text, length, CP_UTF8, 0);
}

std::string module_path() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&module_path), &module))
        return {};
    WCHAR path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return {};
    return wide_to_path(path, length);
}

bool sockets_start() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void sockets_stop() {
    WSACleanup();
}

HRESULT registry_write(const std::string& key, const RegistryValues& values) {
    HKEY handle = nullptr;
    LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, classes_subkey(key).c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &handle, nullptr);
    if (error != ERROR_SUCCESS) return from_error(error);
    for (const auto& [name, value] : values) {
        const std::wstring wide_name = to_wide(name);
        const std::wstring wide_value = to_wide(value);
        error = RegSetValueExW(handle, wide_name.empty() ? nullptr : wide_name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(wide_value.c_str()),
                               static_cast<DWORD>((wide_value.size() + 1) * sizeof(WCHAR)));
        if (error != ERROR_SUCCESS) break;
    }
    RegCloseKey(handle);
    return from_error(error);
}

HRESULT registry_remove(const std::string& key) {
    const LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, classes_subkey(key).c_str());
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return S_OK;
    if (error != ERROR_SUCCESS) return from_error(error);
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    const LONG removed = RegDeleteKeyW(HKEY_CLASSES_ROOT, classes_subkey(key).c_str());
    return removed == ERROR_FILE_NOT_FOUND ? S_OK : from_error(removed);
}

HRESULT register_type_library(const GUID&, const std::string&, const std::string& module_path) {
    ITypeLib* library = nullptr;
    const std::wstring path = to_wide(module_path);
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    // The help folder is the module's own.
    std::wstring folder = path;
    const std::size_t last = folder.find_last_of(L"\\/");
    folder = last == std::wstring::npos ? std::wstring() : folder.substr(0, last + 1);
    hr = RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()),
                         folder.empty() ? nullptr : folder.data());
    library->Release();
    return hr;
}

HRESULT unregister_type_library(const GUID& library) {
    // Nothing registered: nothing to remove.
    HKEY handle = nullptr;
    const std::wstring key = L"TypeLib\\" + to_wide(format_guid(library));
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return S_OK;
    RegCloseKey(handle);
#ifdef _WIN64
    const SYSKIND kind = SYS_WIN64;
#else
    const SYSKIND kind = SYS_WIN32;
#endif
    const HRESULT hr = UnRegisterTypeLib(library, 1, 0, LOCALE_NEUTRAL, kind);
    if (SUCCEEDED(hr)) return hr;
    // A registration left by another bitness or language: removed whole.
    return registry_remove(std::string(kClassesRootPrefix) + "TypeLib\\" + format_guid(library));
}

RegistrationLocale::RegistrationLocale() : saved_(GetThreadLocale()) {
    SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
}

RegistrationLocale::~RegistrationLocale() {
    SetThreadLocale(static_cast<LCID>(saved_));
}

}  // namespace sint::platform
