#include "filterchain.h"

#include "constants.h"

#include <cmath>

namespace vorn {

namespace {

// Damping of the three sections: 2 sin 15deg, 2 sin 45deg, 2 sin 75deg rounded to five decimals,
// so that their cascade is the 6th-order Butterworth low-pass with its -3 dB point at 1 kHz.
constexpr std::array<double, 3> kDamping { 0.51764, 1.41421, 1.93185 };

} // namespace

// The exact zero-order-hold discretisation of the state equations given with StepFilterChain:
// E = exp(-k wT / 2), c = cos(wd wT), s = sin(wd wT), and the input gains
//   P = 1 - ((s k) / (wd 2) + c) E,   N = (1 - E c) k + ((E q) s) / wd,   q = 1 - k^2 / 2.
// The high-pass pole is rho = exp(-wc Ts) = exp(-0.001 wT), since wc = w0 / 1000.
FilterCoefficients ComputeCoefficients(double sampleRate)
{
    FilterCoefficients coefficients;
    const double twoPi = std::atan(1.0) * 8;
    const double wT = (twoPi * 1000) / sampleRate;
    coefficients.wT = wT;

    for (std::size_t i = 0; i < kDamping.size(); ++i) {
        SectionCoefficients& section = coefficients.sections[i];
        const double k = kDamping[i];
        // (k/2)^2 and k^2/2 as written: section 2's q is the cancellation 5.037950000064129e-06.
        const double halfK = k / 2;
        const double wd = std::sqrt(1 - halfK * halfK);
        const double q = 1 - (k * k) / 2;
        const double E = std::exp((wT * k) * (-0.5));
        const double c = std::cos(wd * wT);
        const double s = std::sin(wd * wT);
        section.k = k;
        section.wd = wd;
        section.E = E;
        section.c = c;
        section.s = s;
        section.N = (1 - E * c) * k + ((E * q) * s) / wd;
        section.P = 1 - ((s * k) / (wd * 2) + c) * E;
    }

    coefficients.rho = std::exp(wT * (-0.001));
    coefficients.oneMinusRho = 1 - coefficients.rho;
    return coefficients;
}

const FilterCoefficients& PlaybackCoefficients()
{
    static const FilterCoefficients coefficients = ComputeCoefficients(kPlaybackRate);
    return coefficients;
}

const FilterCoefficients& AnalysisCoefficients()
{
    static const FilterCoefficients coefficients = ComputeCoefficients(kAnalysisRate);
    return coefficients;
}

} // namespace vorn
