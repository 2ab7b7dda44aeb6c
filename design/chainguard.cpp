#include "chainguard.h"

#include <cmath>

namespace vorn {

std::int64_t ZeroUnusableSamples(std::span<double> samples, double limit)
{
    std::int64_t replaced = 0;
    for (double& x : samples) {
        // Also true for NaN, which compares false with everything.
        if (!(std::fabs(x) <= limit)) {
            x = 0.0;
            ++replaced;
        }
    }
    return replaced;
}

} // namespace vorn
