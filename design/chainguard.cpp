#include "chainguard.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vorn {

std::int64_t ToChainUnits(std::span<double> samples, double gain, double& peak)
{
    const double toUnits = kUnitsPerFullScale * gain;
    const double limit = kChainInputLimit / toUnits;
    // One pass, without a branch, and four running peaks, so that no sample waits for the one
    // before it (the largest of magnitudes is the same in any order).
    std::array<double, 4> peaks { peak, peak, peak, peak };
    std::int64_t replaced = 0;
    const std::size_t count = samples.size();
    double* const x = samples.data();
    std::size_t i = 0;
    const auto step = [&](std::size_t at, double& lanePeak) {
        const double magnitude = std::fabs(x[at]);
        // Also false for NaN, which compares false with everything.
        const bool usable = magnitude <= limit;
        replaced += usable ? 0 : 1;
        const double kept = usable ? magnitude : 0.0;
        lanePeak = kept > lanePeak ? kept : lanePeak;
        x[at] = (usable ? x[at] : 0.0) * toUnits;
    };
    for (; i + 4 <= count; i += 4) {
        step(i, peaks[0]);
        step(i + 1, peaks[1]);
        step(i + 2, peaks[2]);
        step(i + 3, peaks[3]);
    }
    for (; i < count; ++i) {
        step(i, peaks[0]);
    }
    peak = std::max(std::max(peaks[0], peaks[1]), std::max(peaks[2], peaks[3]));
    return replaced;
}

} // namespace vorn
