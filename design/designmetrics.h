#pragma once

#include "discrete.h"
#include "stepmetrics.h"

namespace vorn {

// The step and impulse figures of a design, simulated as its sections run at its rate (sample n
// at n / rate) and analogue, as StepMetrics defines them for the window's chain, with the
// design's final value in place of 1:
// - a low-pass's are those of its step response s, relative to H(0) (below 1 for even orders of
//   Chebyshev I and elliptic filters);
// - a high-pass's are those of the complement H(inf) - s relative to H(inf): its rise is the
//   fall of the high-pass's output from its first jump, its overshoot the undershoot below 0,
//   its impulse response the complement's (the high-pass's without its first impulse, negated).
// The chain rows take the DC block as well, when the design has one.
[[nodiscard]] StepMetrics DesignSimulatedMetrics(const DiscreteDesign& design);
[[nodiscard]] StepMetrics DesignAnalogueMetrics(const DiscreteDesign& design);

// How long the figures are looked for, in seconds: until the design's slowest pole has decayed by
// 120 dB, at least ten periods of its corner.
[[nodiscard]] double MetricsSpan(const DiscreteDesign& design);

} // namespace vorn
