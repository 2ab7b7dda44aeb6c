#include "discrete.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorn {

namespace {

using Complex = std::complex<double>;

// (e^x - 1) / x for complex x, exact for small x too: e^x - 1 is
//   (expm1(re) cos(im) - 2 sin^2(im / 2)) + j e^re sin(im).
Complex ExpMinusOneOver(Complex x)
{
    const double half = std::sin(x.imag() / 2);
    const Complex expm1(std::expm1(x.real()) * std::cos(x.imag()) - 2 * half * half,
        std::exp(x.real()) * std::sin(x.imag()));
    return expm1 / x;
}

// The quality factor |p| / (2 |Re p|) of a pole pair.
double Quality(Complex pole)
{
    return std::abs(pole) / (-2 * pole.real());
}

double ProductOfNegated(const std::vector<Complex>& roots)
{
    Complex product = 1.0;
    for (const Complex& root : roots) {
        product *= -root;
    }
    return product.real();
}

// A section sampled with its input held: its pole (the upper one of a pair) and the residue
// there, from the analogue section's own zeros, poles and gain.
PoleSection SampleSection(const AnalogueFilter& analogue, double period)
{
    const std::vector<Complex> residues = Residues(analogue);
    PoleSection section;
    section.pair = analogue.poles.size() == 2;
    const Complex p = analogue.poles.front();
    section.pole = std::exp(p * period);
    section.residue = residues.front() * period * ExpMinusOneOver(p * period);
    if (!section.pair) {
        section.pole = section.pole.real();
        section.residue = section.residue.real();
    }
    section.direct = DirectTerm(analogue);
    section.analogue = analogue;
    return section;
}

} // namespace

std::vector<AnalogueFilter> AnalogueSections(const AnalogueFilter& filter, FilterShape shape)
{
    // Pole pairs (upper pole) by falling Q, then the real poles.
    std::vector<Complex> pairs;
    std::vector<Complex> reals;
    for (const Complex& p : filter.poles) {
        if (p.imag() > 0) {
            pairs.push_back(p);
        } else if (p.imag() == 0) {
            reals.push_back(p);
        }
    }
    std::stable_sort(
        pairs.begin(), pairs.end(), [](Complex a, Complex b) { return Quality(a) > Quality(b); });
    std::vector<Complex> zeroPairs;
    int zerosAtOrigin = 0;
    for (const Complex& z : filter.zeros) {
        if (z.imag() > 0) {
            zeroPairs.push_back(z);
        } else if (z.imag() == 0) {
            ++zerosAtOrigin;
        }
    }

    std::vector<AnalogueFilter> sections;
    for (const Complex& p : pairs) {
        AnalogueFilter section;
        section.poles = { p, std::conj(p) };
        if (!zeroPairs.empty()) {
            const auto nearest = std::min_element(zeroPairs.begin(), zeroPairs.end(),
                [&](Complex a, Complex b) { return std::abs(a - p) < std::abs(b - p); });
            section.zeros = { *nearest, std::conj(*nearest) };
            zeroPairs.erase(nearest);
        } else {
            for (int i = 0; i < 2 && zerosAtOrigin > 0; ++i, --zerosAtOrigin) {
                section.zeros.emplace_back(0.0, 0.0);
            }
        }
        sections.push_back(section);
    }
    for (const Complex& p : reals) {
        AnalogueFilter section;
        section.poles = { p };
        if (zerosAtOrigin > 0) {
            section.zeros.emplace_back(0.0, 0.0);
            --zerosAtOrigin;
        }
        sections.push_back(section);
    }
    // Unity where the prototype passes; the whole filter's level there on the first section.
    for (AnalogueFilter& section : sections) {
        section.gain = shape == FilterShape::LowPass
            ? ProductOfNegated(section.poles) / ProductOfNegated(section.zeros)
            : 1.0;
    }
    if (!sections.empty()) {
        sections.front().gain
            *= shape == FilterShape::LowPass ? DcGain(filter) : DirectTerm(filter);
    }
    return sections;
}

DiscreteDesign Discretise(const DesignPlan& plan, double rate)
{
    DiscreteDesign design;
    design.plan = plan;
    design.rate = rate;
    design.analogue = AnaloguePrototype(plan);
    const double period = 1 / rate;
    if (plan.hold == HoldMode::Whole) {
        const std::vector<Complex> residues = Residues(design.analogue);
        for (std::size_t j = 0; j < design.analogue.poles.size(); ++j) {
            const Complex p = design.analogue.poles[j];
            if (p.imag() < 0) {
                continue; // the conjugate of the pole before it
            }
            AnalogueFilter single;
            single.poles = { p };
            if (p.imag() > 0) {
                single.poles.push_back(std::conj(p));
            }
            PoleSection section = SampleSection(single, period);
            // The residue of the whole filter, not of the single pole's own.
            section.residue = residues[j] * period * ExpMinusOneOver(p * period);
            if (!section.pair) {
                section.residue = section.residue.real();
            }
            section.direct = 0.0;
            section.analogue = single;
            design.sections.push_back(section);
        }
        design.direct = DirectTerm(design.analogue);
    } else {
        for (const AnalogueFilter& analogue : AnalogueSections(design.analogue, plan.shape)) {
            design.sections.push_back(SampleSection(analogue, period));
        }
    }
    if (plan.dcBlockHz) {
        design.dcBlock = true;
        design.rho = std::exp(-(2 * std::numbers::pi * *plan.dcBlockHz) / rate);
        design.oneMinusRho = 1 - design.rho;
    }
    return design;
}

std::vector<SosRow> SectionRows(const DiscreteDesign& design)
{
    std::vector<SosRow> rows;
    for (const PoleSection& section : design.sections) {
        const Complex a = section.pole;
        const Complex c = section.residue;
        const double d = section.direct;
        SosRow row;
        if (section.pair) {
            row.a = { 1.0, -2 * a.real(), std::norm(a) };
            const double cConjA = (c * std::conj(a)).real();
            row.b = design.plan.hold == HoldMode::Whole
                ? std::array<double, 3> { 0.0, 2 * c.real(), -2 * cConjA }
                : std::array<double, 3> { d + 2 * c.real(), -2 * (d * a.real() + cConjA),
                      d * std::norm(a) };
        } else {
            row.a = { 1.0, -a.real(), 0.0 };
            row.b = design.plan.hold == HoldMode::Whole
                ? std::array<double, 3> { 0.0, c.real(), 0.0 }
                : std::array<double, 3> { d + c.real(), -d * a.real(), 0.0 };
        }
        rows.push_back(row);
    }
    return rows;
}

SosRow DcBlockRow(const DiscreteDesign& design)
{
    // rho y - rho lp' with lp' = rho lp + (1 - rho) y: rho^2 (1 - z^-1) / (1 - rho z^-1).
    SosRow row;
    const double rho2 = design.rho * design.rho;
    row.b = { rho2, -rho2, 0.0 };
    row.a = { 1.0, -design.rho, 0.0 };
    return row;
}

std::vector<Complex> DiscretePoles(const DiscreteDesign& design)
{
    std::vector<Complex> poles;
    for (const PoleSection& section : design.sections) {
        poles.push_back(section.pole);
        if (section.pair) {
            poles.push_back(std::conj(section.pole));
        }
    }
    return poles;
}

std::vector<Complex> SectionZeros(const PoleSection& section)
{
    const Complex a = section.pole;
    const Complex c = section.residue;
    const double d = section.direct;
    if (!section.pair) {
        // ((d + c) - d a z^-1) / (1 - a z^-1).
        const double b0 = d + c.real();
        return { b0 == 0 ? 0.0 : d * a.real() / b0 };
    }
    const double b0 = d + 2 * c.real();
    const double b1 = -2 * (d * a.real() + (c * std::conj(a)).real());
    const double b2 = d * std::norm(a);
    if (b2 == 0) {
        return { 0.0, -b1 / b0 };
    }
    // The larger root from the formula without cancellation, the other from the product b2 / b0.
    const Complex root = std::sqrt(Complex(b1 * b1 - 4 * b0 * b2));
    const Complex q = -0.5 * (b1 + (b1 >= 0 ? root : -root));
    return { q / b0, b2 / q };
}

std::vector<Complex> DiscreteZeros(const DiscreteDesign& design)
{
    if (design.plan.hold == HoldMode::Sections) {
        std::vector<Complex> zeros;
        for (const PoleSection& section : design.sections) {
            for (const Complex& zero : SectionZeros(section)) {
                zeros.push_back(zero);
            }
        }
        return zeros;
    }
    // f(z) = D + sum c_j / (z - a_j) over every pole; its zeros are those of the polynomial
    // F(z) = f(z) prod (z - a_j), of degree N (D != 0) or N - 1, whose logarithmic derivative is
    // F'/F = f'/f + sum 1 / (z - a_j), f' = -sum c_j / (z - a_j)^2.
    std::vector<Complex> a;
    std::vector<Complex> c;
    for (const PoleSection& section : design.sections) {
        a.push_back(section.pole);
        c.push_back(section.residue);
        if (section.pair) {
            a.push_back(std::conj(section.pole));
            c.push_back(std::conj(section.residue));
        }
    }
    const std::size_t count = design.direct != 0 ? a.size() : a.size() - 1;
    if (count == 0) {
        return {};
    }
    // Newton's step for F: F / F'.
    const auto step = [&](Complex z) {
        Complex f = design.direct;
        Complex derivative = 0.0;
        Complex poles = 0.0;
        for (std::size_t j = 0; j < a.size(); ++j) {
            const Complex inverse = 1.0 / (z - a[j]);
            f += c[j] * inverse;
            derivative -= c[j] * inverse * inverse;
            poles += inverse;
        }
        return 1.0 / (derivative / f + poles);
    };
    // Start on a circle around the unit circle's middle, of the radius where the zeros of a
    // sampled filter lie (the sampling zeros reach out to a few units on the negative axis).
    std::vector<Complex> zeros(count);
    for (std::size_t k = 0; k < count; ++k) {
        zeros[k] = std::polar(1.5,
            2 * std::numbers::pi * (static_cast<double>(k) + 0.25) / static_cast<double>(count)
                + 0.4);
    }
    for (int iteration = 0; iteration < 500; ++iteration) {
        double largest = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const Complex ratio = step(zeros[k]);
            if (!std::isfinite(ratio.real()) || !std::isfinite(ratio.imag())) {
                continue;
            }
            Complex repulsion = 0.0;
            for (std::size_t l = 0; l < count; ++l) {
                if (l != k) {
                    repulsion += 1.0 / (zeros[k] - zeros[l]);
                }
            }
            const Complex move = ratio / (1.0 - ratio * repulsion);
            zeros[k] -= move;
            largest = std::max(largest, std::abs(move) / std::max(1.0, std::abs(zeros[k])));
        }
        if (largest < 1e-15) {
            break;
        }
    }
    // Real zeros on the axis: the partial fractions of a real filter give a real F.
    for (Complex& zero : zeros) {
        if (std::fabs(zero.imag()) <= 1e-12 * std::max(1.0, std::abs(zero))) {
            zero.imag(0.0);
        }
    }
    return zeros;
}

} // namespace vorn
