// The inner loop of PSOLA: one windowed stretch of recorded samples added into
// the output. Each output sample gets source × weight in Q14, truncated toward
// zero, and the sum is saturated to ±32760. The loop runs over plain arrays so
// that the compiler can use the vector units; on CPUs with wider vector units
// than the build's baseline a second copy of the same loop is chosen at run
// time (overlap_add_<cpu>.cpp), and every copy gives the same samples.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace sint {

// Output samples are saturated to this magnitude.
inline constexpr std::int32_t kSampleCeiling = 32760;
// The unit of the window weights (1.0 in Q14).
inline constexpr std::int32_t kWeightUnit = 16384;

// out[k] = clamp(out[k] + source[k] × weights[k] / 16384, ±32760) for k < count.
// The three arrays must not overlap.
void overlap_add_window(std::int16_t* out, const std::int16_t* source, const std::int16_t* weights,
                        std::size_t count);

// The loop itself, for the files that compile it for one CPU or another.
[[gnu::always_inline]] inline void overlap_add_loop(std::int16_t* __restrict out,
                                                    const std::int16_t* __restrict source,
                                                    const std::int16_t* __restrict weights,
                                                    std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t product = static_cast<std::int32_t>(source[k]) * weights[k];
        const std::int32_t sum = out[k] + product / kWeightUnit;
        out[k] = static_cast<std::int16_t>(std::clamp(sum, -kSampleCeiling, kSampleCeiling));
    }
}

}  // namespace sint
