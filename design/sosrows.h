#pragma once

#include "filterchain.h"

#include <array>

namespace vorn {

// One stage of the chain in the second-order-section layout of scipy and MATLAB:
//   H(z) = (b[0] + b[1] z^-1 + b[2] z^-2) / (a[0] + a[1] z^-1 + a[2] z^-2),  a[0] = 1,
// so that y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
struct SosRow
{
    std::array<double, 3> b {};
    std::array<double, 3> a { 1.0, 0.0, 0.0 };
};

// One section's state update as StepSection runs it, x <- Phi x + [P, N]^T v with the new x1 as
// output, and the transfer function that follows from it:
//   H(z) = (b0 + b1 z^-1) / (1 + a1 z^-1 + a2 z^-2).
struct SectionTransfer
{
    double phi11 = 0.0;
    double phi12 = 0.0;
    double phi21 = 0.0;
    double phi22 = 0.0;
    double b0 = 0.0;
    double b1 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

[[nodiscard]] SectionTransfer TransferOf(const SectionCoefficients& section);

// The chain as StepFilterChain runs it: the three sections in order, then the high-pass as a
// first-order row (b2 = a2 = 0).
[[nodiscard]] std::array<SosRow, 4> ChainSosRows(const FilterCoefficients& coefficients);

} // namespace vorn
