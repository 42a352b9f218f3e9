#include "engine/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace sint {

void trace(const char* format, ...) {
    const char* path = std::getenv(kTraceFileVariable);
    if (path == nullptr || *path == '\0') return;
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

}  // namespace sint
