#include "polezero.h"

#include "sosrows.h"

#include <cmath>

namespace vorn {

std::vector<Root> AnalogueRoots()
{
    std::vector<Root> roots;
    const FilterCoefficients& coefficients = PlaybackCoefficients();
    for (std::size_t i = 0; i < coefficients.sections.size(); ++i) {
        const SectionCoefficients& section = coefficients.sections[i];
        const int stage = static_cast<int>(i);
        // s^2 + k w0 s + w0^2 = 0, with wd = sqrt(1 - (k/2)^2) as the section keeps it.
        const double re = -(section.k / 2) * 1000;
        const double im = section.wd * 1000;
        roots.push_back({ { re, im }, stage, true });
        roots.push_back({ { re, -im }, stage, true });
    }
    roots.push_back({ { 0.0, 0.0 }, 3, false });
    roots.push_back({ { -1.0, 0.0 }, 3, true });
    return roots;
}

// The poles are those of det(zI - Phi): (Phi11 + Phi22)/2 +- j sqrt(-Phi12 Phi21 - d^2) with
// d = (Phi11 - Phi22)/2. Both terms under the root are of the order of s^2, so the imaginary part
// keeps its digits at high rates, where z^2 + a1 z + a2 would cancel.
std::vector<Root> DiscreteRoots(const FilterCoefficients& coefficients)
{
    std::vector<Root> roots;
    for (std::size_t i = 0; i < coefficients.sections.size(); ++i) {
        const SectionTransfer t = TransferOf(coefficients.sections[i]);
        const int stage = static_cast<int>(i);
        const double re = (t.phi11 + t.phi22) / 2;
        const double d = (t.phi11 - t.phi22) / 2;
        const double im = std::sqrt(-(t.phi12 * t.phi21) - d * d);
        roots.push_back({ { re, im }, stage, true });
        roots.push_back({ { re, -im }, stage, true });
        roots.push_back({ { -t.b1 / t.b0, 0.0 }, stage, false });
        roots.push_back({ { 0.0, 0.0 }, stage, false });
    }
    roots.push_back({ { coefficients.rho, 0.0 }, 3, true });
    roots.push_back({ { 1.0, 0.0 }, 3, false });
    return roots;
}

} // namespace vorn
