#pragma once

#include "channelfilter.h"
#include "discrete.h"

#include <span>
#include <vector>

namespace vorn {

// A sampled design run on a signal of several channels, each with its state: per section a
// complex state s (two doubles; the imaginary part stays 0 for a real pole), then the DC block's
// lp. In Whole mode, per sample with input u:
//   y = D u + sum over sections of (2 Re(c s), or c s), then every s <- a s + u;
// in Sections mode, with v = u going through the sections in turn:
//   s <- a s + v, then v <- d v + (2 Re(c s), or c s);
// and then the DC block: lp' = lp rho + (1 - rho) y, output rho y - lp' rho. The complex update is
// a rotation and a scaling (the coupled form), which keeps its digits for poles near z = 1,
// where a direct-form second-order recursion would lose them. Plain state, one thread at a time.
class DesignChain final : public ChannelFilter
{
public:
    DesignChain(const DiscreteDesign& design, int channels);

    void Process(std::span<double> interleaved) override;
    [[nodiscard]] int Channels() const override { return m_channels; }

    // The design's response to `input` on one channel from rest, sample by sample: for tests and
    // the step figures. Without the DC block when `withDcBlock` is false.
    [[nodiscard]] static std::vector<double> Run(
        const DiscreteDesign& design, std::span<const double> input, bool withDcBlock = true);

    // What one sample of a section needs, read off PoleSection: ar, ai = a; cr, ci = 2c for a
    // pair, c for a real pole; d.
    struct Coefficients
    {
        double ar = 0.0;
        double ai = 0.0;
        double cr = 0.0;
        double ci = 0.0;
        double d = 0.0;
        bool pair = true;
    };

private:
    bool m_whole;
    double m_direct;
    bool m_dcBlock;
    double m_rho;
    double m_oneMinusRho;
    std::vector<Coefficients> m_sections;
    int m_channels;
    std::vector<double> m_state; // per channel: 2 per section, then lp
};

} // namespace vorn
