// The idle counter of the main loop: ticks of 100 ms during which no client was
// connected, under the client-activity lock shared with the client list.
#pragma once

#include <cstdint>
#include <mutex>

namespace sint {

class IdleCounter {
public:
    void reset();
    void add();
    // True when the counter has passed the lifespan.
    bool exceeds(std::int32_t lifespan) const;
    std::int32_t value() const;

private:
    mutable std::mutex activity_lock_;
    std::int32_t count_ = 0;
};

}  // namespace sint
