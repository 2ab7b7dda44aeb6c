#pragma once

#include <array>

namespace vorn {

// State of the filter chain and of the input oscillator, eight doubles zeroed as one unit:
//   [0]     lp, the state of the 1 Hz high-pass (its internal low-pass value)
//   [1..3]  x2 of sections 1, 2, 3
//   [4..6]  x1 of sections 1, 2, 3 (x1 is a section's output; [6] is the low-pass output y)
//   [7]     input phase in radians, advanced once per sample and never wrapped
using FilterState = std::array<double, 8>;

// Coefficients of one second-order section at one sample rate.
struct SectionCoefficients
{
    double k = 0.0; // damping
    double wd = 0.0; // damped natural frequency, sqrt(1 - (k/2)^2), in units of w0
    double E = 0.0; // decay over one sample
    double c = 0.0; // cos(wd * wT)
    double s = 0.0; // sin(wd * wT)
    double P = 0.0; // gain of the held input into x1
    double N = 0.0; // gain of the held input into x2
};

// The coefficient set of the whole chain for one sample rate: a plain value record.
struct FilterCoefficients
{
    double wT = 0.0; // sample interval in units of 1/w0, w0 = 2*pi*1000 rad/s
    std::array<SectionCoefficients, 3> sections {};
    double rho = 0.0; // high-pass pole
    double oneMinusRho = 0.0; // high-pass input gain
};

// Exact zero-order-hold discretisation of the chain at sampleRate (Hz). No side effects.
[[nodiscard]] FilterCoefficients ComputeCoefficients(double sampleRate);

// The coefficient sets at the two rates the program uses, computed once and kept.
[[nodiscard]] const FilterCoefficients& PlaybackCoefficients();
[[nodiscard]] const FilterCoefficients& AnalysisCoefficients();

// One sample of one section with its input v held: both new values come from the old x1 and x2.
// Every product and quotient is evaluated left to right as written ((x1 k) 0.5, then
// (... s) / wd); the last bit of each one shows in the truncated samples and plot coordinates,
// so do not regroup them. T is double, or a vector of doubles that steps independent sections
// lane by lane with the same bits.
template <typename T> inline void StepSection(const SectionCoefficients& sc, T& x1, T& x2, T v)
{
    const T x1New = (x1 * sc.c - ((x1 * sc.k * 0.5 - x2) * sc.s) / sc.wd) * sc.E + v * sc.P;
    const T x2New = (((x2 * sc.k * 0.5 - x1) * sc.s) / sc.wd + x2 * sc.c) * sc.E + v * sc.N;
    x1 = x1New;
    x2 = x2New;
}

// Advances state[0..6] by one sample with the held input `input` (sample units) and returns the
// high-pass output. state[7], the phase, is left to the caller.
//
// Each section, in time units of 1/w0, with input v:
//   dx1/dt = -k x1 + x2
//   dx2/dt = -x1 + v
// Over one sample with v held, x <- Phi x + [P, N]^T v, where
//   Phi = E [[c - (k/2) s/wd, s/wd], [-s/wd, c + (k/2) s/wd]]
// and [P, N]^T = A^-1 (Phi - I) B with A = [[-k, 1], [-1, 0]], B = [0, 1]^T. The high-pass keeps
// lp, a first-order low-pass of the cascade output at 1 Hz, and outputs rho (y - lp').
// Defined here, with the sections written out, so that block loops keep the state in registers.
// StepFilterChainLanes is the same step for a vector of doubles: each lane one independent
// chain, with the bits StepFilterChain gives it.
template <typename T>
inline T StepFilterChainLanes(
    const FilterCoefficients& coefficients, std::array<T, 8>& state, T input)
{
    // Each section is fed with the output x1 of the one before, of the current sample.
    StepSection(coefficients.sections[0], state[4], state[1], input);
    StepSection(coefficients.sections[1], state[5], state[2], state[4]);
    StepSection(coefficients.sections[2], state[6], state[3], state[5]);

    const T y = state[6];
    // lp' = lp rho + (1 - rho) y, then the output from the freshly updated lp: rho y - lp' rho,
    // two products first.
    const T lpNew = state[0] * coefficients.rho + coefficients.oneMinusRho * y;
    state[0] = lpNew;
    return coefficients.rho * y - lpNew * coefficients.rho;
}

inline double StepFilterChain(
    const FilterCoefficients& coefficients, FilterState& state, double input)
{
    return StepFilterChainLanes(coefficients, state, input);
}

} // namespace vorn
