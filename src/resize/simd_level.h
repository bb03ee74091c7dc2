#pragma once

// Which vector code builds V3 and V4 run: AVX2 where the processor has it, SSE2 otherwise. Both
// give the same results; tests lower the level to compare them on one machine.

namespace resize {

enum class SimdLevel { kSse2, kAvx2 };

SimdLevel ActiveSimdLevel();

// Never raises the level above what the processor has.
void LimitSimdLevel(SimdLevel level);

}  // namespace resize
