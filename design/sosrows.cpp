#include "sosrows.h"

namespace vorn {

// Read off StepSection as written:
//   Phi = [[E (c - (k 0.5) s/wd), E s/wd], [-E s/wd, E (c + (k 0.5) s/wd)]].
// In z, z X = Phi X + G V and W = z [1 0] X (the freshly updated x1 is passed on), so
//   H(z) = z [1 0] (zI - Phi)^-1 G = z ((z - Phi22) P + Phi12 N) / det(zI - Phi)
//        = (b0 + b1 z^-1) / (1 + a1 z^-1 + a2 z^-2),
//   b0 = P, b1 = Phi12 N - Phi22 P, a1 = -(Phi11 + Phi22), a2 = Phi11 Phi22 - Phi12 Phi21.
SectionTransfer TransferOf(const SectionCoefficients& section)
{
    SectionTransfer t;
    const double sOverWd = section.s / section.wd;
    t.phi11 = section.E * (section.c - (section.k * 0.5) * sOverWd);
    t.phi12 = section.E * sOverWd;
    t.phi21 = -(section.E * sOverWd);
    t.phi22 = section.E * (section.c + (section.k * 0.5) * sOverWd);
    t.b0 = section.P;
    t.b1 = t.phi12 * section.N - t.phi22 * section.P;
    t.a1 = -(t.phi11 + t.phi22);
    t.a2 = t.phi11 * t.phi22 - t.phi12 * t.phi21;
    return t;
}

// The high-pass outputs rho y - rho lp' with lp' = rho lp + (1 - rho) y, so
//   H(z) = rho^2 (1 - z^-1) / (1 - rho z^-1).
std::array<SosRow, 4> ChainSosRows(const FilterCoefficients& coefficients)
{
    std::array<SosRow, 4> rows {};
    for (std::size_t i = 0; i < coefficients.sections.size(); ++i) {
        const SectionTransfer t = TransferOf(coefficients.sections[i]);
        rows[i].b = { t.b0, t.b1, 0.0 };
        rows[i].a = { 1.0, t.a1, t.a2 };
    }
    const double rho2 = coefficients.rho * coefficients.rho;
    rows[3].b = { rho2, -rho2, 0.0 };
    rows[3].a = { 1.0, -coefficients.rho, 0.0 };
    return rows;
}

} // namespace vorn
