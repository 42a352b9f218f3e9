// Size limits of the text-analysis stages. The stage buffers of the engine hold
// kStageLimit characters plus a margin; every stage stops writing at its limit.
#pragma once

#include <cstddef>

namespace sint {

// Characters one whole-text stage writes at most; longer input is cut here.
inline constexpr std::size_t kStageLimit = 16384;
// Size of the engine's work and output buffers (the stage limit plus a margin).
inline constexpr std::size_t kStageBufferSize = 16448;
// Characters of input that sentence mode keeps; longer input is cut here.
inline constexpr std::size_t kSentenceInputLimit = 102400;
// Length of the transcription past which no more tokens are added.
inline constexpr std::size_t kOutputSoftLimit = 16310;

}  // namespace sint
