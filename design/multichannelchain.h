#pragma once

#include "channelfilter.h"
#include "filterchain.h"

#include <span>
#include <vector>

namespace vorn {

// The filter chain for a signal of several channels at one sample rate, each channel with a
// chain state of its own, stepped by StepFilterChain exactly as the block generator steps it.
// Samples are in sample units, interleaved (sample c of every frame belongs to channel c).
// Plain state, for one thread at a time.
class MultichannelChain final : public ChannelFilter
{
public:
    // sampleRate in Hz, channels at least 1; every state starts at rest.
    MultichannelChain(double sampleRate, int channels);

    // Replaces each sample of whole frames by the chain's output, continuing every channel from
    // where the previous call left it. The span holds a whole number of frames.
    void Process(std::span<double> interleaved) override;

    [[nodiscard]] int Channels() const override { return static_cast<int>(m_states.size()); }
    [[nodiscard]] const FilterCoefficients& Coefficients() const { return m_coefficients; }

private:
    FilterCoefficients m_coefficients;
    std::vector<FilterState> m_states;
};

} // namespace vorn
