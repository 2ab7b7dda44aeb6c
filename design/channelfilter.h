#pragma once

#include "designplan.h"

#include <memory>
#include <optional>
#include <span>

namespace vorn {

// A filter for a signal of several channels at one rate, each channel with a state of its own.
// Samples are in sample units, interleaved (sample c of every frame belongs to channel c). Plain
// state, for one thread at a time.
class ChannelFilter
{
public:
    virtual ~ChannelFilter() = default;

    // Replaces each sample of whole frames by the filter's output, continuing every channel from
    // where the previous call left it. The span holds a whole number of frames.
    virtual void Process(std::span<double> interleaved) = 0;
    [[nodiscard]] virtual int Channels() const = 0;
};

// The window's chain (no design) or the sampled design, at `rate` Hz for `channels` channels,
// every state at rest. A design must have passed CheckDesign at the rate.
[[nodiscard]] std::unique_ptr<ChannelFilter> MakeChannelFilter(
    const std::optional<DesignPlan>& design, double rate, int channels);

} // namespace vorn
