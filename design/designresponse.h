#pragma once

#include "discrete.h"
#include "response.h"

#include <complex>
#include <span>
#include <vector>

namespace vorn {

// The exact frequency response of a sampled design, as it runs, and of its analogue filter, DC
// block included where the design has one. The discrete zeros (found once) give each phase its
// branch: the phase is the sum of the continuous arguments of the factors (1 - r e^(-j w)) of the
// zeros and poles, so it is continuous in frequency however coarse the grid; its value is the
// exact argument of the response computed from the sections' partial fractions, moved by whole
// turns to the branch the factors give.
class DesignResponder
{
public:
    explicit DesignResponder(const DiscreteDesign& design);

    [[nodiscard]] ResponseValue Simulated(double hz) const;
    [[nodiscard]] ResponseValue Analogue(double hz) const;

private:
    DiscreteDesign m_design;
    AnalogueFilter m_analogue; // with the DC block
    std::vector<std::complex<double>> m_zeros; // Whole: the discrete zeros; Sections: per section
    std::vector<std::vector<std::complex<double>>> m_sectionZeros;
};

// Both responses at every frequency of `hz`, in the given order. Each phase column is moved by
// whole turns so that its entry at the lowest frequency lies in (-180, 180].
[[nodiscard]] std::vector<ResponseRow> DesignResponse(
    const DiscreteDesign& design, std::span<const double> hz);

} // namespace vorn
