#include "server/idle_counter.h"

namespace sint {

void IdleCounter::reset() {
    std::lock_guard lock(activity_lock_);
    count_ = 0;
}

void IdleCounter::add() {
    std::lock_guard lock(activity_lock_);
    if (count_ < INT32_MAX) ++count_;
}

bool IdleCounter::exceeds(std::int32_t lifespan) const {
    std::lock_guard lock(activity_lock_);
    return count_ > lifespan;
}

std::int32_t IdleCounter::value() const {
    std::lock_guard lock(activity_lock_);
    return count_;
}

}  // namespace sint
