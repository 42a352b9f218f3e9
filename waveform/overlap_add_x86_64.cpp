// Overlap-add on x86-64: the loop compiled twice, for AVX2 (16 samples per
// step) and for the SSE2 baseline; the loader picks the copy the CPU runs.
#include "waveform/overlap_add.h"

namespace sint {

[[gnu::target_clones("avx2", "default")]] void overlap_add_window(std::int16_t* out,
                                                                  const std::int16_t* source,
                                                                  const std::int16_t* weights,
                                                                  std::size_t count) {
    overlap_add_loop(out, source, weights, count);
}

}  // namespace sint
