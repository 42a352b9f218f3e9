#include "waveform/overlap_add.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace sint {
namespace {

// Every case at every position of a stretch longer than the widest vector
// step, so the vector body and the leftover samples are both checked.
TEST(OverlapAdd, Q14ProductTruncatesTowardZeroAndSumsSaturateAt32760) {
    struct Case {
        std::int16_t out, source, weight, expected;
    };
    const Case cases[] = {
        {0, 1, 16383, 0},                 // 16383 / 16384 truncates to 0
        {0, -1, 16383, 0},                // toward zero, not down to -1
        {0, -3, 16384, -3},               // the weight 1.0
        {10, -32768, 8192, -16374},       // half of the most negative sample
        {7, 12345, 0, 7},                 // weight 0 leaves the output
        {32000, 32767, 16384, 32760},     // above the range: 32760, never 32767
        {-32000, -32768, 16384, -32760},  // below the range
        {32760, 1, 16384, 32760},         // 32761 saturates
        {-32760, -1, 16384, -32760},      // -32761 saturates
        {-32768, 0, 16384, -32760},       // an output already below the range
    };
    constexpr std::size_t kLength = 71;
    for (const Case& c : cases)
        for (std::size_t at = 0; at < kLength; ++at) {
            std::vector<std::int16_t> out(kLength, 100), source(kLength, 0), weights(kLength, 0);
            out[at] = c.out;
            source[at] = c.source;
            weights[at] = c.weight;
            overlap_add_window(out.data(), source.data(), weights.data(), kLength);
            ASSERT_EQ(out[at], c.expected)
                << c.out << " + " << c.source << " x " << c.weight << " at " << at;
            out[at] = 100;
            ASSERT_EQ(out, std::vector<std::int16_t>(kLength, 100)) << "other samples changed";
        }
}

}  // namespace
}  // namespace sint
