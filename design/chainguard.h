#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// The largest magnitude, in sample units, that the chain takes: 2^1000, some 300 decades above
// full scale, far below where any state of the chain could overflow.
inline constexpr double kChainInputLimit = 0x1p1000;

// Replaces every sample that is not a finite number (NaN, an infinity), or lies beyond +-limit,
// by 0, and returns how many it replaced. The chain must never take one: its sections feed their
// state back, so a single NaN or infinity would stay in the state and make every later output
// NaN (silence once rounded to integers). A stream that has begun cannot be refused, and one bad
// sample should not cost the rest of it, so the renderer and the live player call this on their
// input before the chain (with the limit divided by the gain they apply after it).
std::int64_t ZeroUnusableSamples(std::span<double> samples, double limit = kChainInputLimit);

} // namespace vorn
