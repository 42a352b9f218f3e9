#include <dlfcn.h>

#include <string>

#include "capi/installed_voice.h"

namespace sint {

std::string installed_voice_folder() {
    // This function's own address names the file it lives in: libsint.so.0 in
    // the installation's library folder. The program folder lies where it lies
    // from there; the prefix is given at install time, so it is found from the
    // library's place rather than fixed when the library is built.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&installed_voice_folder), &info) == 0 ||
        info.dli_fname == nullptr)
        return SINT_INSTALLED_VOICE;
    const std::string library(info.dli_fname);
    const auto slash = library.find_last_of('/');
    if (slash == std::string::npos) return SINT_INSTALLED_VOICE;
    return library.substr(0, slash + 1) + SINT_VOICE_FROM_LIBRARY;
}

}  // namespace sint
