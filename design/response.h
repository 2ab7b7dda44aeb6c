#pragma once

#include "filterchain.h"

#include <cstddef>
#include <span>
#include <vector>

namespace vorn {

// Magnitude, phase and group delay of a transfer function at one frequency.
struct ResponseValue
{
    double db = 0.0; // 20 log10 |H|
    double phaseDeg = 0.0; // arg H in degrees, continuous in frequency
    double delayMs = 0.0; // group delay -d(arg H)/d(omega), in milliseconds
};

// The log-magnitude (dB), phase (radians) and group delay (samples) of one stage of a discrete
// filter at one frequency.
struct StageResponse
{
    double db = 0.0;
    double phase = 0.0;
    double delay = 0.0;
};

// The window's first-order high-pass stage, rho^2 (1 - z^-1) / (1 - rho z^-1) with g = 1 - rho,
// at omega (radians per sample): its phase is the branch that tends to +90 degrees at DC.
[[nodiscard]] StageResponse HighPassStage(double rho, double g, double omega);

// One frequency and the chain's response there: simulated and analogue.
struct ResponseRow
{
    double hz = 0.0;
    ResponseValue simulated;
    ResponseValue analogue;
};

// The exact frequency response of the chain as StepFilterChain runs it with `coefficients`
// (computed for `sampleRate`), from its discrete-time transfer function on the unit circle, at
// hz in (0, sampleRate / 2). The phase is the branch that tends to +90 degrees (the high-pass's
// zero at DC) as hz tends to 0, so it is continuous over the whole band.
[[nodiscard]] ResponseValue SimulatedResponse(
    const FilterCoefficients& coefficients, double sampleRate, double hz);

// The analogue prototype: the 6th-order Butterworth low-pass at 1 kHz with the sections' damping
// coefficients, in cascade with the first-order 1 Hz high-pass, at hz > 0. The phase is the
// branch that tends to +90 degrees as hz tends to 0.
[[nodiscard]] ResponseValue AnalogueResponse(double hz);

// Both responses at every frequency of `hz` in the given order, the simulated one at sampleRate.
// Each phase is continuous in frequency (the unwrapped phase, exact even for a coarse grid) and
// each column is moved by whole turns so that its entry at the lowest frequency lies in
// (-180, 180]: a frequency gets the same phase whatever the order of the list.
[[nodiscard]] std::vector<ResponseRow> ChainResponse(double sampleRate, std::span<const double> hz);

// Moves each phase column of `rows` by whole turns so that the entry at the lowest frequency lies
// in (-180, 180].
void ShiftPhasesToLowestFrequency(std::vector<ResponseRow>& rows);

// `points` frequencies from fromHz to toHz, both included (fromHz alone for one point), evenly
// spaced on a logarithmic or a linear scale.
[[nodiscard]] std::vector<double> FrequencyGrid(
    double fromHz, double toHz, std::size_t points, bool logarithmic);

} // namespace vorn
