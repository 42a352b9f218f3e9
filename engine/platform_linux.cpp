#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "core/cp1250.h"
#include "core/process.h"
#include "engine/engine_platform.h"
#include "engine/guid_text.h"
#include "engine/registry_file.h"

// The Linux side of the engine library: processes through the shared detached
// spawn, a registry kept in a text file and code page 1250 by table.

void* CoTaskMemAlloc(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void CoTaskMemFree(void* block) {
    std::free(block);
}

namespace sint::platform {
namespace {

// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND and
// ERROR_ACCESS_DENIED.
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);

std::vector<std::string> split_blanks(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (in >> part) parts.push_back(part);
    return parts;
}

}  // namespace

HRESULT start_process(const std::string& path, const std::string& arguments,
                      const std::string& folder, bool /*hidden_retry*/) {
    if (path.empty()) return kFileNotFound;
    std::vector<std::string> args{path};
    for (std::string& part : split_blanks(arguments)) args.push_back(std::move(part));
    if (spawn_detached(args, folder)) return S_OK;
    // Why: the program as the system sees it, with the error numbers that
    // Windows gives for the same cases.
    if (::access(path.c_str(), X_OK) != 0) {
        if (errno == ENOENT) return kFileNotFound;
        if (errno == ENOTDIR) return kPathNotFound;
        if (errno == EACCES) return kAccessDenied;
    }
    return E_FAIL;
}

void sleep_ms(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool pump_messages() {
    return true;
}

std::string wide_to_ansi(const WCHAR* text, std::size_t length) {
    return utf16_to_cp1250(text, length);
}

std::string wide_to_path(const WCHAR* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        append_utf8(out, c);
    }
    return out;
}

std::string module_path() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&module_path), &info) == 0 || info.dli_fname == nullptr)
        return {};
    char resolved[4096];
    if (::realpath(info.dli_fname, resolved) != nullptr) return resolved;
    return info.dli_fname;
}

bool sockets_start() {
    return true;
}

void sockets_stop() {}

HRESULT registry_write(const std::string& key, const RegistryValues& values) {
    const std::string path = registry_file_path();
    RegistryFile registry;
    if (!registry.load(path)) return E_FAIL;
    registry.create_key(key);
    for (const auto& [name, value] : values) registry.set(key, name, value);
    return registry.save(path) ? S_OK : E_FAIL;
}

HRESULT registry_remove(const std::string& key) {
    const std::string path = registry_file_path();
    RegistryFile registry;
    if (!registry.load(path)) return E_FAIL;
    // A key that holds nothing itself (only keys below it, as the type
    // library's) goes with its subtree all the same.
    if (!registry.remove_tree(key)) return S_OK;
    return registry.save(path) ? S_OK : E_FAIL;
}

HRESULT register_type_library(const GUID& library, const std::string& description,
                              const std::string& module_path) {
    // The keys a type library registration leaves: the description, the file
    // per platform, the flags and the help folder.
    const std::string key = "HKEY_CLASSES_ROOT\\TypeLib\\" + format_guid(library) + "\\1.0";
    const std::size_t last = module_path.find_last_of("\\/");
    const std::string folder =
        last == std::string::npos ? std::string() : module_path.substr(0, last + 1);
    HRESULT hr = registry_write(key, {{"", description}});
    if (SUCCEEDED(hr)) hr = registry_write(key + "\\0\\win32", {{"", module_path}});
    if (SUCCEEDED(hr)) hr = registry_write(key + "\\FLAGS", {{"", "0"}});
    if (SUCCEEDED(hr)) hr = registry_write(key + "\\HELPDIR", {{"", folder}});
    return hr;
}

HRESULT unregister_type_library(const GUID& library) {
    return registry_remove("HKEY_CLASSES_ROOT\\TypeLib\\" + format_guid(library));
}

RegistrationLocale::RegistrationLocale() = default;

RegistrationLocale::~RegistrationLocale() = default;

}  // namespace sint::platform
