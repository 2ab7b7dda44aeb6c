#pragma once

#include "filterchain.h"

#include <complex>
#include <vector>

namespace vorn {

// A pole or zero of one stage of the chain: stage 0, 1, 2 are the sections, 3 the high-pass.
struct Root
{
    std::complex<double> value;
    int stage = 0;
    bool pole = true;
};

// The analogue prototype's poles and zeros in the s-plane, in Hz (s / 2 pi): per section the pair
// 1000 (-k/2 +- j sqrt(1 - (k/2)^2)) on the 1 kHz circle, then the high-pass's zero at 0 and pole
// at -1 Hz. The pair of each section comes upper half-plane first.
[[nodiscard]] std::vector<Root> AnalogueRoots();

// The poles and zeros in the z-plane of the chain as StepFilterChain runs it at the rate of
// `coefficients`: per section the eigenvalues of its state matrix (upper half-plane first), the
// zero -b1/b0 and the zero at 0 (the freshly updated x1 is passed on, so H(z) has a factor z);
// then the high-pass's pole rho and zero 1.
[[nodiscard]] std::vector<Root> DiscreteRoots(const FilterCoefficients& coefficients);

} // namespace vorn
