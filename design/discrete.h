#pragma once

#include "analogue.h"
#include "designplan.h"
#include "sosrows.h"

#include <complex>
#include <vector>

namespace vorn {

// One first- or second-order section of a sampled design as it runs: a real pole a with residue
// c, or a pole pair (a, conj a) with residues (c, conj c), and a feed-through d. Its state s
// (complex for a pair) is updated as s <- a s + v with the held input v; a pair's output is
// 2 Re(c s) + d v, a real pole's c s + d v. A plain value.
struct PoleSection
{
    std::complex<double> pole; // a = e^(p T); the upper one of a pair, or real
    std::complex<double> residue; // c
    double direct = 0.0; // d
    bool pair = true;
    // The analogue section it samples (s in rad/s), for the lists of roots.
    AnalogueFilter analogue;
};

// A design sampled at a rate, exactly:
// - Whole (the default): the zero-order-hold discretisation of the whole analogue filter, the
//   output at each sample instant with the input held over each sample interval,
//     H(z) = (1 - z^-1) Z{H(s) / s} = D + sum_j c_j z^-1 / (1 - a_j z^-1),
//   a_j = e^(p_j T), c_j = R_j T (e^(p_j T) - 1) / (p_j T), D = H(infinity), R_j the residues of
//   H(s): the sections run side by side on the input, their outputs added (before each update:
//   the z^-1), with D u.
// - Sections: each analogue section discretised on its own with its own input held, its output
//   the state at the end of the interval, as the window's chain passes on x1:
//     H_i(z) = D_i + sum_j c_j / (1 - a_j z^-1),
//   the sections in cascade, each fed with the output of the one before.
// Then, if the design has one, the window's first-order DC block: lp <- lp rho + (1 - rho) y,
// output rho y - lp rho, with rho = e^(-2 pi f / rate).
struct DiscreteDesign
{
    DesignPlan plan;
    double rate = 0.0;
    AnalogueFilter analogue; // the whole filter, without the DC block
    std::vector<PoleSection> sections;
    double direct = 0.0; // D of the whole filter (Whole only; 0 for Sections)
    bool dcBlock = false;
    double rho = 0.0; // the DC block's pole
    double oneMinusRho = 0.0;
};

// The design at `rate` (Hz). The plan must have passed CheckDesign at that rate. Every pole comes
// from e^(p T) of an analogue pole, every residue in closed form from the analogue zeros, poles
// and gain: no polynomial is formed.
[[nodiscard]] DiscreteDesign Discretise(const DesignPlan& plan, double rate);

// The analogue sections of Sections mode: the pole pairs by falling Q, then the real pole; each
// pole pair with the pair of zeros nearest to it on the imaginary axis (a notch beside the
// resonance it tames), zeros at 0 shared out two to a pair and one to the real pole; each section
// at unity where its prototype passes (DC for a low-pass, infinity for a high-pass), the whole
// filter's level there (-ripple for even Chebyshev I and elliptic orders) on the first.
[[nodiscard]] std::vector<AnalogueFilter> AnalogueSections(
    const AnalogueFilter& filter, FilterShape shape);

// The sections in the scipy and MATLAB layout (b0 b1 b2 over 1 a1 a2): in Whole mode each one's
// own transfer function, to be run side by side on the input and added, with D u; in Sections
// mode in cascade. The DC block, if any, as a last first-order row in cascade after them.
[[nodiscard]] std::vector<SosRow> SectionRows(const DiscreteDesign& design);
[[nodiscard]] SosRow DcBlockRow(const DiscreteDesign& design);

// The discrete poles and zeros, each pole pair and its conjugate; the DC block not included.
// Whole: the zeros of D + sum c_j / (z - a_j), found numerically (the simultaneous
// Aberth-Ehrlich iteration on the partial fractions, polished by Newton's method); N of them
// where D != 0, else N - 1. Sections: each section's, in closed form.
[[nodiscard]] std::vector<std::complex<double>> DiscretePoles(const DiscreteDesign& design);
[[nodiscard]] std::vector<std::complex<double>> DiscreteZeros(const DiscreteDesign& design);
// A section's zeros (Sections mode): a pair's two roots of b0 z^2 + b1 z + b2, a first-order
// section's one root of b0 z + b1 (0 where d = 0).
[[nodiscard]] std::vector<std::complex<double>> SectionZeros(const PoleSection& section);

} // namespace vorn
