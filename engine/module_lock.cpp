#include "engine/module_lock.h"

#include <atomic>

namespace sint {
namespace {

std::atomic<long> lock_count{0};

}  // namespace

void module_lock() {
    ++lock_count;
}

void module_unlock() {
    --lock_count;
}

long module_lock_count() {
    return lock_count.load();
}

}  // namespace sint
