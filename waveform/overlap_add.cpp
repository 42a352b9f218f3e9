// Overlap-add for CPUs without a wider variant: the build's baseline vector
// instructions (the compiler vectorises the loop).
#include "waveform/overlap_add.h"

namespace sint {

void overlap_add_window(std::int16_t* out, const std::int16_t* source, const std::int16_t* weights,
                        std::size_t count) {
    overlap_add_loop(out, source, weights, count);
}

}  // namespace sint
