#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "server/wake_up.h"

namespace sint {

WakeUp::~WakeUp() {
    if (handle_ >= 0) ::close(handle_);
}

bool WakeUp::open() {
    if (handle_ < 0) handle_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return handle_ >= 0;
}

void WakeUp::signal() {
    if (handle_ < 0) return;
    const std::uint64_t one = 1;
    (void)!::write(handle_, &one, sizeof one);
}

void WakeUp::drain() {
    std::uint64_t count;
    if (handle_ >= 0) (void)!::read(handle_, &count, sizeof count);
}

}  // namespace sint
