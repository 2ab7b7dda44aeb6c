#include "filterchain.h"

#include "constants.h"

#include <cmath>

namespace vorn {

namespace {

// Damping of the three sections: 2 sin 15deg, 2 sin 45deg, 2 sin 75deg rounded to five decimals,
// so that their cascade is the 6th-order Butterworth low-pass with its -3 dB point at 1 kHz.
constexpr std::array<double, 3> kDamping { 0.51764, 1.41421, 1.93185 };

} // namespace

// Each section, in time units of 1/w0, with input v:
//   dx1/dt = -k x1 + x2
//   dx2/dt = -x1 + v
// Over one sample with v held, x <- Phi x + [P, N]^T v, where
//   Phi = E [[c - (k/2) s/wd, s/wd], [-s/wd, c + (k/2) s/wd]]
// and [P, N]^T = A^-1 (Phi - I) B. The high-pass keeps lp, a first-order low-pass of the
// cascade output at 1 Hz, whose one-sample pole is rho = exp(-wc Ts) = exp(-0.001 wT).
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

double StepFilterChain(const FilterCoefficients& coefficients, FilterState& state, double input)
{
    double v = input;
    for (std::size_t i = 0; i < 3; ++i) {
        const SectionCoefficients& sc = coefficients.sections[i];
        double& x2 = state[1 + i];
        double& x1 = state[4 + i];
        // Both new values come from the old x1 and x2. Every product and quotient is evaluated
        // left to right as written ((x1 k) 0.5, then (... s) / wd); the last bit of each one
        // shows in the truncated samples and plot coordinates, so do not regroup them.
        const double x1New = (x1 * sc.c - ((x1 * sc.k * 0.5 - x2) * sc.s) / sc.wd) * sc.E + v * sc.P;
        const double x2New = (((x2 * sc.k * 0.5 - x1) * sc.s) / sc.wd + x2 * sc.c) * sc.E + v * sc.N;
        x1 = x1New;
        x2 = x2New;
        // The next section is fed with this section's output of the current sample.
        v = x1New;
    }

    const double y = v;
    const double lpNew = state[0] * coefficients.rho + coefficients.oneMinusRho * y;
    state[0] = lpNew;
    // The high-pass output uses the freshly updated lp: rho y - lp' rho, two products first.
    return coefficients.rho * y - lpNew * coefficients.rho;
}

} // namespace vorn
