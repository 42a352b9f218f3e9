// Source positions of a stage's output: for each output character, the position
// of the input character it came from (inserted text takes the position of what
// it replaces). Sentence mode uses it to report sentence spans in the caller's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sint {

using SourceTrail = std::vector<std::uint32_t>;

// Extends `trail` (when given) to `out_size` entries: consecutive source
// positions from `source` for copied text, all `source` for inserted text.
inline void trace(SourceTrail* trail, std::size_t out_size, std::size_t source, bool copied) {
    if (!trail) return;
    for (std::size_t k = 0; trail->size() < out_size; ++k) {
        trail->push_back(static_cast<std::uint32_t>(copied ? source + k : source));
    }
}

}  // namespace sint
