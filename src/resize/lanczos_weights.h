#pragma once

// Six-tap Lanczos weights. Every destination sample at integer position n plus fraction t takes
// source samples n - 2 .. n + 3; their weights come from a table of the three-lobe kernel at steps
// of 0.01, interpolated linearly, so that no sine is evaluated per resize. The weights are used as
// they come: they are not normalised, and sum to slightly less than one between samples.

#include <array>
#include <cstdint>

namespace resize {

// L(x) = sinc(x) * sinc(x / 3) at x = i / 100 for i = 0 .. 300, and a trailing zero that a
// position just below the kernel's end can reach after single-precision rounding.
inline constexpr int kLanczos3TableSize = 302;
const std::array<float, kLanczos3TableSize>& Lanczos3Table();

// For each of count fractions, six weights at weights[6p .. 6p + 5]; count < 1 writes nothing.
// Real is the precision of the arithmetic: double (build V1) or float (the others).
template <class Real>
void BuildLanczos3Weights(const float* fractions, int32_t count, float* weights);

}  // namespace resize
