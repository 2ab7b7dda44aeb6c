#include "designchain.h"

#include "doublepair.h"
#include "multichannelchain.h"

namespace vorn {

namespace {

struct Scalars
{
    bool whole;
    double direct;
    bool dcBlock;
    double rho;
    double oneMinusRho;
};

// One sample of one channel (or of two, lane by lane), as the class comment writes it.
template <typename T>
inline T Step(
    const Scalars& k, const std::vector<DesignChain::Coefficients>& sections, T* state, T u)
{
    T y;
    if (k.whole) {
        y = u * k.direct;
        for (const DesignChain::Coefficients& c : sections) {
            T& sr = state[0];
            T& si = state[1];
            if (c.pair) {
                y += sr * c.cr - si * c.ci;
                const T nr = sr * c.ar - si * c.ai + u;
                const T ni = si * c.ar + sr * c.ai;
                sr = nr;
                si = ni;
            } else {
                y += sr * c.cr;
                sr = sr * c.ar + u;
            }
            state += 2;
        }
    } else {
        y = u;
        for (const DesignChain::Coefficients& c : sections) {
            T& sr = state[0];
            T& si = state[1];
            if (c.pair) {
                const T nr = sr * c.ar - si * c.ai + y;
                const T ni = si * c.ar + sr * c.ai;
                sr = nr;
                si = ni;
                y = y * c.d + (nr * c.cr - ni * c.ci);
            } else {
                sr = sr * c.ar + y;
                y = y * c.d + sr * c.cr;
            }
            state += 2;
        }
    }
    if (k.dcBlock) {
        const T lpNew = state[0] * k.rho + y * k.oneMinusRho;
        state[0] = lpNew;
        return y * k.rho - lpNew * k.rho;
    }
    return y;
}

} // namespace

DesignChain::DesignChain(const DiscreteDesign& design, int channels)
    : m_whole(design.plan.hold == HoldMode::Whole)
    , m_direct(design.direct)
    , m_dcBlock(design.dcBlock)
    , m_rho(design.rho)
    , m_oneMinusRho(design.oneMinusRho)
    , m_channels(channels)
{
    for (const PoleSection& section : design.sections) {
        const double scale = section.pair ? 2.0 : 1.0;
        m_sections.push_back(
            { section.pole.real(), section.pole.imag(), scale * section.residue.real(),
                scale * section.residue.imag(), section.direct, section.pair });
    }
    m_state.assign((2 * m_sections.size() + 1) * static_cast<std::size_t>(channels), 0.0);
}

void DesignChain::Process(std::span<double> interleaved)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    const std::size_t frames = interleaved.size() / channels;
    const std::size_t width = 2 * m_sections.size() + 1;
    const Scalars k { m_whole, m_direct, m_dcBlock, m_rho, m_oneMinusRho };
    double* const samples = interleaved.data();
    // Channels in pairs, each pair in the two lanes of a vector, a last odd channel alone; the
    // states in locals through the loop.
    std::size_t c = 0;
    std::vector<DoublePair> pairState(width);
    for (; c + 1 < channels; c += 2) {
        for (std::size_t i = 0; i < width; ++i) {
            pairState[i] = DoublePair { m_state[c * width + i], m_state[(c + 1) * width + i] };
        }
        for (std::size_t f = 0; f < frames; ++f) {
            double* pair = samples + f * channels + c;
            StorePair(pair, Step(k, m_sections, pairState.data(), LoadPair(pair)));
        }
        for (std::size_t i = 0; i < width; ++i) {
            m_state[c * width + i] = pairState[i][0];
            m_state[(c + 1) * width + i] = pairState[i][1];
        }
    }
    if (c < channels) {
        double* state = m_state.data() + c * width;
        for (std::size_t f = 0; f < frames; ++f) {
            double& sample = samples[f * channels + c];
            sample = Step(k, m_sections, state, sample);
        }
    }
}

std::vector<double> DesignChain::Run(
    const DiscreteDesign& design, std::span<const double> input, bool withDcBlock)
{
    DiscreteDesign copy = design;
    copy.dcBlock = copy.dcBlock && withDcBlock;
    DesignChain chain(copy, 1);
    std::vector<double> output(input.begin(), input.end());
    chain.Process(output);
    return output;
}

std::unique_ptr<ChannelFilter> MakeChannelFilter(
    const std::optional<DesignPlan>& design, double rate, int channels)
{
    if (!design) {
        return std::make_unique<MultichannelChain>(rate, channels);
    }
    return std::make_unique<DesignChain>(Discretise(*design, rate), channels);
}

} // namespace vorn
