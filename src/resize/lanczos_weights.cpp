#include "resize/lanczos_weights.h"

#include <cmath>
#include <numbers>

namespace resize {

const std::array<float, kLanczos3TableSize>& Lanczos3Table() {
    static const std::array<float, kLanczos3TableSize> table = [] {
        std::array<float, kLanczos3TableSize> t{};
        t[0] = 1.0f;
        for (int i = 1; i <= 300; ++i) {
            const double x = std::numbers::pi * i / 100.0;
            t[i] = static_cast<float>(std::sin(x) / x * (std::sin(x / 3.0) / (x / 3.0)));
        }
        // The kernel's zeros are exact, so that an integral position gives the weights
        // (0, 0, 1, 0, 0, 0) and reproduces its sample; the one at x = 1 is a negative zero as
        // the kernel approaches it from below.
        t[100] = -0.0f;
        t[200] = 0.0f;
        t[300] = 0.0f;
        t[301] = 0.0f;
        return t;
    }();
    return table;
}

template <class Real>
void BuildLanczos3Weights(const float* fractions, int32_t count, float* weights) {
    const std::array<float, kLanczos3TableSize>& table = Lanczos3Table();
    for (int32_t p = 0; p < count; ++p) {
        const Real first = Real(-2) - Real(fractions[p]);
        for (int k = 0; k < 6; ++k) {
            const Real x = first + Real(k);
            float weight = 0.0f;
            // Written so that a distance that is not a number has no weight.
            if (x > Real(-3) && x < Real(3)) {
                const Real s = std::fabs(x) * Real(100);
                const int i = static_cast<int>(s);
                const Real low = table[i];
                weight = static_cast<float>(low + (s - Real(i)) * (Real(table[i + 1]) - low));
            }
            weights[6 * p + k] = weight;
        }
    }
}

template void BuildLanczos3Weights<double>(const float*, int32_t, float*);
template void BuildLanczos3Weights<float>(const float*, int32_t, float*);

}  // namespace resize
