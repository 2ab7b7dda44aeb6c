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
struct SectionCoefficients {
    double k = 0.0; // damping
    double wd = 0.0; // damped natural frequency, sqrt(1 - (k/2)^2), in units of w0
    double E = 0.0; // decay over one sample
    double c = 0.0; // cos(wd * wT)
    double s = 0.0; // sin(wd * wT)
    double P = 0.0; // gain of the held input into x1
    double N = 0.0; // gain of the held input into x2
};

// The coefficient set of the whole chain for one sample rate: a plain value record.
struct FilterCoefficients {
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

// Advances state[0..6] by one sample with the held input `input` (sample units) and returns the
// high-pass output. state[7], the phase, is left to the caller.
double StepFilterChain(const FilterCoefficients& coefficients, FilterState& state, double input);

} // namespace vorn
