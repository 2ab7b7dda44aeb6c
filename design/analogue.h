#pragma once

#include "designplan.h"

#include <complex>
#include <vector>

namespace vorn {

// An analogue filter in zero-pole-gain form, s in rad/s:
//   H(s) = gain prod (s - zeros) / prod (s - poles).
// A conjugate pair of roots is two adjacent entries, the one in the upper half-plane first; a
// real root has an imaginary part of exactly 0. The poles are simple and lie in the left
// half-plane; there are never more zeros than poles. A plain value.
struct AnalogueFilter
{
    std::vector<std::complex<double>> zeros;
    std::vector<std::complex<double>> poles;
    double gain = 1.0;
};

// The analogue filter a design names, without the DC block: its low-pass prototype normalised
// to the corner 1 rad/s, scaled to the corner (s -> s / wc) or, for a high-pass, transformed
// s -> wc / s. Poles and zeros come in the order of the prototype's formulas, pairs upper first.
// The plan must have passed CheckDesign.
[[nodiscard]] AnalogueFilter AnaloguePrototype(const DesignPlan& plan);

// The normalised low-pass prototype (corner 1 rad/s):
//   Butterworth: poles e^(j pi (2m + N + 1) / 2N), -3 dB at 1;
//   Bessel: the roots of the reverse Bessel polynomial, scaled so that the level is -3 dB at 1
//     (normalised for magnitude, not for delay);
//   Chebyshev I: equiripple in the pass band, -ripple at 1 (at DC too for even orders);
//   Chebyshev II: zeros on the imaginary axis, -stopband at 1, unity at DC;
//   elliptic: equiripple in both bands, -ripple at 1, the stop band reached at 1 / k.
[[nodiscard]] AnalogueFilter NormalisedPrototype(const DesignPlan& plan);

// H(s) at any complex s.
[[nodiscard]] std::complex<double> Evaluate(const AnalogueFilter& filter, std::complex<double> s);
// H(0), and H at infinity (0 unless there are as many zeros as poles).
[[nodiscard]] double DcGain(const AnalogueFilter& filter);
[[nodiscard]] double DirectTerm(const AnalogueFilter& filter);
// The residue of H at each pole, in the order of the poles:
//   R_j = gain prod_i (p_j - z_i) / prod_(l != j) (p_j - p_l).
[[nodiscard]] std::vector<std::complex<double>> Residues(const AnalogueFilter& filter);

// The filter followed by the first-order high-pass s / (s + wd), wd = 2 pi dcBlockHz: one zero at
// 0 and one pole at -wd more.
[[nodiscard]] AnalogueFilter WithDcBlock(AnalogueFilter filter, double dcBlockHz);

// The roots of c[0] + c[1] x + ... + c[n] x^n (c[n] != 0), by the simultaneous Aberth-Ehrlich
// iteration, each root polished by Newton's method. For the low orders of the prototypes.
[[nodiscard]] std::vector<std::complex<double>> PolynomialRoots(const std::vector<double>& c);

} // namespace vorn
