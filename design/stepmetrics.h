#pragma once

#include <complex>
#include <vector>

namespace vorn {

// How the low-pass answers a unit step and a unit impulse, and how high the whole chain's step
// response peaks. The step's final value is 1 for the low-pass; the 1 Hz high-pass takes the
// chain's to 0 (it droops by 1 % in about 1.6 ms), so the settling of the chain is not defined
// and the low-pass's figures are those of the cascade output, before the high-pass.
struct StepMetrics
{
    double riseTime = 0.0; // s, from 10 % to 90 % of the final value, first crossings
    double riseStart = 0.0; // s, the first crossing of 10 %
    double overshootPercent = 0.0; // peak above the final value, in percent of it
    double peakTime = 0.0; // s
    double settlingTime = 0.0; // s, from then on within 2 % of the final value
    double impulsePeak = 0.0; // 1/s, the impulse response's maximum
    double impulsePeakTime = 0.0; // s
    double chainOvershootPercent = 0.0; // the whole chain's step response, high-pass included
    double chainPeakTime = 0.0; // s
};

// The chain as StepFilterChain runs it at sampleRate from rest: the cascade output (state[6]) and
// the chain's output, sample n at n / sampleRate. The step is 1.0 on every sample, the impulse
// 1.0 on sample 0 only, its response scaled by the rate to compare with the analogue one. Level
// crossings are interpolated linearly between samples (the sample before the first is 0); peaks
// are the largest samples.
[[nodiscard]] StepMetrics SimulatedMetrics(double sampleRate);

// The analogue prototype, from the closed forms of its step and impulse responses (partial
// fractions over its simple poles), crossings and extrema found to the last digits.
[[nodiscard]] StepMetrics AnalogueMetrics();

// The figures of any response whose final value is 1, as the two above take them: from its
// samples at sampleRate (the step response, the impulse response scaled by the rate, and the
// whole chain's step response), or from the closed forms of its step response
//   constant + sum c_j e^(p_j t)
// and of the chain's (chainConstant + sum chainC_j e^(chainP_j t)), searched over (0, span] on a
// grid of `steps`.
[[nodiscard]] StepMetrics MetricsOfSamples(const std::vector<double>& step,
    const std::vector<double>& impulse, const std::vector<double>& chain, double sampleRate);
[[nodiscard]] StepMetrics MetricsOfModes(double constant,
    const std::vector<std::complex<double>>& c, const std::vector<std::complex<double>>& p,
    double chainConstant, const std::vector<std::complex<double>>& chainC,
    const std::vector<std::complex<double>>& chainP, double span, int steps);

} // namespace vorn
