// The module lock: live engine objects and LockServer(TRUE) calls keep the
// library loaded.
#pragma once

namespace sint {

void module_lock();
void module_unlock();
long module_lock_count();

}  // namespace sint
