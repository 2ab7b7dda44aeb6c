#include "multichannelchain.h"

#include "doublepair.h"

namespace vorn {

MultichannelChain::MultichannelChain(double sampleRate, int channels)
    : m_coefficients(ComputeCoefficients(sampleRate))
    , m_states(static_cast<std::size_t>(channels), FilterState {})
{ }

void MultichannelChain::Process(std::span<double> interleaved)
{
    const std::size_t channels = m_states.size();
    const std::size_t frames = interleaved.size() / channels;
    double* const samples = interleaved.data();
    // Channels go in pairs, each pair in the two lanes of a vector; a last odd channel alone.
    // The states are copied into locals, which stay in registers through the loops.
    std::size_t c = 0;
    for (; c + 1 < channels; c += 2) {
        std::array<DoublePair, 8> state {};
        for (std::size_t i = 0; i < state.size(); ++i) {
            state[i] = DoublePair { m_states[c][i], m_states[c + 1][i] };
        }
        for (std::size_t f = 0; f < frames; ++f) {
            double* pair = samples + f * channels + c;
            StorePair(pair, StepFilterChainLanes(m_coefficients, state, LoadPair(pair)));
        }
        for (std::size_t i = 0; i < state.size(); ++i) {
            m_states[c][i] = state[i][0];
            m_states[c + 1][i] = state[i][1];
        }
    }
    if (c < channels) {
        FilterState last = m_states[c];
        for (std::size_t f = 0; f < frames; ++f) {
            double& sample = samples[f * channels + c];
            sample = StepFilterChain(m_coefficients, last, sample);
        }
        m_states[c] = last;
    }
}

} // namespace vorn
