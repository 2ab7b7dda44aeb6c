#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// The largest magnitude, in sample units, that the chain takes: 2^1000, some 300 decades above
// full scale, far below where any state of the chain could overflow.
inline constexpr double kChainInputLimit = 0x1p1000;

// Full scale in the chain's sample units, which are those of 16-bit samples: a signal of full
// scale 1 (as libsndfile and the sound server give it) is multiplied by this before the chain.
inline constexpr double kUnitsPerFullScale = 32768.0;

// The input of the chain from a signal of full scale 1, in place: every sample that is not a
// finite number (NaN, an infinity), or that the gain would take past kChainInputLimit, taken as
// 0, then every sample multiplied by kUnitsPerFullScale * gain. `peak` becomes the larger of
// itself and the largest magnitude before the gain. Returns the samples taken as 0.
// The chain must never take such a sample: its sections feed their state back, so a single NaN
// or infinity would stay in the state and make every later output NaN (silence once rounded to
// integers). A stream that has begun cannot be refused, and one bad sample should not cost the
// rest of it. vorn-render filter and vorn-listen prepare their input with this, so that the two
// give the same samples.
std::int64_t ToChainUnits(std::span<double> samples, double gain, double& peak);

} // namespace vorn
