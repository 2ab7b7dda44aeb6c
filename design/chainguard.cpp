#include "chainguard.h"

#include <cmath>

namespace vorn {

namespace {

// Multiplies every sample by `factor`; returns the larger of `peak` and the largest magnitude
// before that.
[[gnu::noinline]] double ScaleKeepingPeak(std::span<double> samples, double factor, double peak)
{
    for (double& x : samples) {
        const double magnitude = std::fabs(x);
        peak = magnitude > peak ? magnitude : peak;
        x *= factor;
    }
    return peak;
}

} // namespace

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

std::int64_t ToChainUnits(std::span<double> samples, double gain, double& peak)
{
    const double toUnits = kUnitsPerFullScale * gain;
    const std::int64_t replaced = ZeroUnusableSamples(samples, kChainInputLimit / toUnits);
    peak = ScaleKeepingPeak(samples, toUnits, peak);
    return replaced;
}

} // namespace vorn
