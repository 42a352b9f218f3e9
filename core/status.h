// The status codes that the stages return: 0 for success, and the two failures
// every stage shares. Codes of one stage alone are named beside that stage
// (the facade's kFacadeFailure, the wave writer's kSaveWaveFailed); their
// values are part of the system's interfaces. docs/failures.md says how each
// layer reports failure.
#pragma once

namespace sint {

inline constexpr int kOk = 0;
// Not possible now (not loaded, not initialised), or no input.
inline constexpr int kNotPossible = -1;
// A stage failed, or did only part of its work (PSOLA skipped some phones).
inline constexpr int kStageFailed = -2;

}  // namespace sint
