#include <dlfcn.h>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "engine/engine_platform.h"
#include "engine/registry_file.h"
#include "server/relaunch.h"

// The Linux side of the engine library: processes through the server's detached
// spawn, a registry kept in a text file, code page 1250 by table, and pointer
// checks through the kernel (which reports an unreadable buffer instead of
// faulting).

void* CoTaskMemAlloc(std::size_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void CoTaskMemFree(void* block) {
    std::free(block);
}

namespace sint::platform {
namespace {

struct CodePoint {
    char16_t unicode;
    unsigned char byte;
};

// The upper half of code page 1250, sorted by code point.
constexpr CodePoint kCp1250[] = {
    {0x00A0, 0xA0}, {0x00A4, 0xA4}, {0x00A6, 0xA6}, {0x00A7, 0xA7}, {0x00A8, 0xA8}, {0x00A9, 0xA9},
    {0x00AB, 0xAB}, {0x00AC, 0xAC}, {0x00AD, 0xAD}, {0x00AE, 0xAE}, {0x00B0, 0xB0}, {0x00B1, 0xB1},
    {0x00B4, 0xB4}, {0x00B5, 0xB5}, {0x00B6, 0xB6}, {0x00B7, 0xB7}, {0x00B8, 0xB8}, {0x00BB, 0xBB},
    {0x00C1, 0xC1}, {0x00C2, 0xC2}, {0x00C4, 0xC4}, {0x00C7, 0xC7}, {0x00C9, 0xC9}, {0x00CB, 0xCB},
    {0x00CD, 0xCD}, {0x00CE, 0xCE}, {0x00D3, 0xD3}, {0x00D4, 0xD4}, {0x00D6, 0xD6}, {0x00D7, 0xD7},
    {0x00DA, 0xDA}, {0x00DC, 0xDC}, {0x00DD, 0xDD}, {0x00DF, 0xDF}, {0x00E1, 0xE1}, {0x00E2, 0xE2},
    {0x00E4, 0xE4}, {0x00E7, 0xE7}, {0x00E9, 0xE9}, {0x00EB, 0xEB}, {0x00ED, 0xED}, {0x00EE, 0xEE},
    {0x00F3, 0xF3}, {0x00F4, 0xF4}, {0x00F6, 0xF6}, {0x00F7, 0xF7}, {0x00FA, 0xFA}, {0x00FC, 0xFC},
    {0x00FD, 0xFD}, {0x0102, 0xC3}, {0x0103, 0xE3}, {0x0104, 0xA5}, {0x0105, 0xB9}, {0x0106, 0xC6},
    {0x0107, 0xE6}, {0x010C, 0xC8}, {0x010D, 0xE8}, {0x010E, 0xCF}, {0x010F, 0xEF}, {0x0110, 0xD0},
    {0x0111, 0xF0}, {0x0118, 0xCA}, {0x0119, 0xEA}, {0x011A, 0xCC}, {0x011B, 0xEC}, {0x0139, 0xC5},
    {0x013A, 0xE5}, {0x013D, 0xBC}, {0x013E, 0xBE}, {0x0141, 0xA3}, {0x0142, 0xB3}, {0x0143, 0xD1},
    {0x0144, 0xF1}, {0x0147, 0xD2}, {0x0148, 0xF2}, {0x0150, 0xD5}, {0x0151, 0xF5}, {0x0154, 0xC0},
    {0x0155, 0xE0}, {0x0158, 0xD8}, {0x0159, 0xF8}, {0x015A, 0x8C}, {0x015B, 0x9C}, {0x015E, 0xAA},
    {0x015F, 0xBA}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0162, 0xDE}, {0x0163, 0xFE}, {0x0164, 0x8D},
    {0x0165, 0x9D}, {0x016E, 0xD9}, {0x016F, 0xF9}, {0x0170, 0xDB}, {0x0171, 0xFB}, {0x0179, 0x8F},
    {0x017A, 0x9F}, {0x017B, 0xAF}, {0x017C, 0xBF}, {0x017D, 0x8E}, {0x017E, 0x9E}, {0x02C7, 0xA1},
    {0x02D8, 0xA2}, {0x02D9, 0xFF}, {0x02DB, 0xB2}, {0x02DD, 0xBD}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82}, {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B},
    {0x203A, 0x9B}, {0x20AC, 0x80}, {0x2122, 0x99},
};

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void append_utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A pipe for the pointer checks, opened once per check.
class CheckPipe {
public:
    CheckPipe() { ok_ = ::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) == 0; }
    ~CheckPipe() {
        if (ok_) {
            ::close(fds_[0]);
            ::close(fds_[1]);
        }
    }
    CheckPipe(const CheckPipe&) = delete;
    CheckPipe& operator=(const CheckPipe&) = delete;
    bool ok() const { return ok_; }
    int reader() const { return fds_[0]; }
    int writer() const { return fds_[1]; }

private:
    int fds_[2] = {-1, -1};
    bool ok_ = false;
};

// Largest block checked through the pipe at once (well inside its capacity).
constexpr std::size_t kCheckChunk = 4096;

std::vector<std::string> split_blanks(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (in >> part) parts.push_back(part);
    return parts;
}

}  // namespace

bool start_process(const std::string& path, const std::string& arguments, const std::string& folder,
                   bool /*hidden_retry*/) {
    if (path.empty()) return false;
    std::vector<std::string> args{path};
    for (std::string& part : split_blanks(arguments)) args.push_back(std::move(part));
    return spawn_detached(args, folder);
}

void sleep_ms(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool pump_messages() {
    return true;
}

bool readable(const void* address, std::size_t size) {
    if (address == nullptr) return false;
    const auto* bytes = static_cast<const unsigned char*>(address);
    unsigned char copy[kCheckChunk];
    for (std::size_t done = 0; done < size;) {
        const std::size_t chunk = std::min(kCheckChunk, size - done);
        // Reading our own memory through the kernel reports a bad address
        // instead of faulting; the pipe is the fall-back where that call is barred.
        iovec local{copy, chunk};
        iovec remote{const_cast<unsigned char*>(bytes + done), chunk};
        const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        if (got < 0 && errno != ENOSYS && errno != EPERM) return false;
        if (got < 0) {
            CheckPipe pipe;
            if (!pipe.ok()) return false;
            if (::write(pipe.writer(), bytes + done, chunk) != static_cast<ssize_t>(chunk))
                return false;
        } else if (static_cast<std::size_t>(got) != chunk) {
            return false;
        }
        done += chunk;
    }
    return true;
}

bool writable(void* address, std::size_t size) {
    if (!readable(address, size)) return false;
    auto* bytes = static_cast<unsigned char*>(address);
    for (std::size_t done = 0; done < size;) {
        // The bytes go out through the pipe and come back into the same place:
        // the kernel refuses the read when the place cannot be written.
        CheckPipe pipe;
        if (!pipe.ok()) return false;
        const std::size_t chunk = std::min(kCheckChunk, size - done);
        if (::write(pipe.writer(), bytes + done, chunk) != static_cast<ssize_t>(chunk))
            return false;
        if (::read(pipe.reader(), bytes + done, chunk) != static_cast<ssize_t>(chunk)) return false;
        done += chunk;
    }
    return true;
}

std::string wide_to_ansi(const WCHAR* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        if (is_high_surrogate(c) && i + 1 < length && is_low_surrogate(text[i + 1])) ++i;
        const auto found = std::lower_bound(
            std::begin(kCp1250), std::end(kCp1250), c,
            [](const CodePoint& entry, char16_t key) { return entry.unicode < key; });
        out += (found != std::end(kCp1250) && found->unicode == c) ? static_cast<char>(found->byte)
                                                                   : '?';
    }
    return out;
}

std::string wide_to_path(const WCHAR* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t c = text[i];
        if (is_high_surrogate(text[i]) && i + 1 < length && is_low_surrogate(text[i + 1])) {
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
    if (!registry.has_key(key)) return S_OK;
    registry.remove_tree(key);
    return registry.save(path) ? S_OK : E_FAIL;
}

}  // namespace sint::platform
