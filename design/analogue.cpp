#include "analogue.h"

#include "elliptic.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace vorn {

namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// The product of -root over all roots: a real number, since the roots come in conjugate pairs.
double ProductOfNegated(const std::vector<Complex>& roots)
{
    Complex product = 1.0;
    for (const Complex& root : roots) {
        product *= -root;
    }
    return product.real();
}

// Adds a root of the upper half-plane and its conjugate after it, or a real root alone.
void AddPair(std::vector<Complex>& roots, Complex upper)
{
    roots.push_back(upper);
    if (upper.imag() != 0) {
        roots.push_back(std::conj(upper));
    }
}

// The angles of the left half-plane's poles of an N-th order Butterworth or Chebyshev filter,
// theta_m = pi (2m + 1) / 2N for the upper half (m = 0 .. ceil(N/2) - 1): cos(theta) is the
// imaginary part, 0 exactly for the middle one of an odd order.
std::vector<double> HalfPlaneAngles(int order)
{
    std::vector<double> angles;
    for (int m = 0; 2 * m + 1 <= order; ++m) {
        angles.push_back(kPi * (2 * m + 1) / (2 * order));
    }
    return angles;
}

// cos(theta) with the middle angle of an odd order exactly 0.
double Cosine(double theta, int m, int order)
{
    return 2 * m + 1 == order ? 0.0 : std::cos(theta);
}

// 10^(db / 10) - 1, exact for small levels too.
double PowerRatioMinusOne(double db)
{
    return std::expm1(db * (std::numbers::ln10 / 10));
}

AnalogueFilter Butterworth(int order)
{
    AnalogueFilter filter;
    const auto angles = HalfPlaneAngles(order);
    for (std::size_t m = 0; m < angles.size(); ++m) {
        const int mi = static_cast<int>(m);
        AddPair(filter.poles, { -std::sin(angles[m]), Cosine(angles[m], mi, order) });
    }
    filter.gain = ProductOfNegated(filter.poles);
    return filter;
}

// The reverse Bessel polynomial theta_N(s) = sum a_k s^k, a_k = (2N - k)! / (2^(N-k) k! (N-k)!),
// from a_N = 1 down by the ratio of neighbours a_(k-1) / a_k = k (2N - k + 1) / (2 (N - k + 1)).
// Every a_k is a whole number below 2^53 up to N = 10, and so is each product before its
// division: the coefficients are exact.
std::vector<double> ReverseBessel(int order)
{
    std::vector<double> c(static_cast<std::size_t>(order) + 1);
    c[static_cast<std::size_t>(order)] = 1;
    for (int k = order; k >= 1; --k) {
        c[static_cast<std::size_t>(k - 1)]
            = c[static_cast<std::size_t>(k)] * (2.0 * order - k + 1) * k / (2.0 * (order - k + 1));
    }
    return c;
}

// |H(j w)|^2 = prod |p|^2 / |j w - p|^2 of an all-pole filter with unity at DC, in dB below 0:
// sum of 10 log10(|j w - p|^2 / |p|^2), which rises monotonically with w for a Bessel filter.
double AttenuationDb(const std::vector<Complex>& poles, double w)
{
    double db = 0;
    for (const Complex& p : poles) {
        db += 10 * std::log10(std::norm(Complex(0, w) - p) / std::norm(p));
    }
    return db;
}

AnalogueFilter Bessel(int order)
{
    std::vector<Complex> roots = PolynomialRoots(ReverseBessel(order));
    // Pairs upper first, the real root (odd orders) with an imaginary part of exactly 0; sorted
    // by decreasing imaginary part, as the other prototypes list theirs.
    std::sort(roots.begin(), roots.end(), [](Complex a, Complex b) { return a.imag() > b.imag(); });
    std::vector<Complex> upper;
    for (const Complex& root : roots) {
        if (root.imag() > 1e-9 * std::abs(root)) {
            upper.push_back(root);
        }
    }
    AnalogueFilter filter;
    for (const Complex& root : upper) {
        AddPair(filter.poles, root);
    }
    if (order % 2 == 1) {
        // The real root: the one nearest the real axis.
        const auto real = std::min_element(roots.begin(), roots.end(),
            [](Complex a, Complex b) { return std::fabs(a.imag()) < std::fabs(b.imag()); });
        filter.poles.emplace_back(real->real(), 0.0);
    }
    // Normalised for magnitude: the frequency where the level is -3 dB (10 log10 2) becomes 1.
    // Bisection on the monotonic attenuation, to the last bit.
    const double halfPower = 10 * std::log10(2.0);
    double low = 0;
    double high = 1;
    while (AttenuationDb(filter.poles, high) < halfPower) {
        high *= 2;
    }
    for (int i = 0; i < 200; ++i) {
        const double middle = low + (high - low) / 2;
        if (middle <= low || middle >= high) {
            break;
        }
        (AttenuationDb(filter.poles, middle) < halfPower ? low : high) = middle;
    }
    for (Complex& p : filter.poles) {
        p /= low;
    }
    filter.gain = ProductOfNegated(filter.poles);
    return filter;
}

AnalogueFilter ChebyshevI(int order, double rippleDb)
{
    const double epsilon2 = PowerRatioMinusOne(rippleDb);
    const double mu = std::asinh(1 / std::sqrt(epsilon2)) / order;
    AnalogueFilter filter;
    const auto angles = HalfPlaneAngles(order);
    for (std::size_t m = 0; m < angles.size(); ++m) {
        const int mi = static_cast<int>(m);
        AddPair(filter.poles,
            { -std::sinh(mu) * std::sin(angles[m]), std::cosh(mu) * Cosine(angles[m], mi, order) });
    }
    filter.gain = ProductOfNegated(filter.poles);
    if (order % 2 == 0) {
        // Even orders start the ripple at its bottom: DC lies at -ripple.
        filter.gain /= std::sqrt(1 + epsilon2);
    }
    return filter;
}

AnalogueFilter ChebyshevII(int order, double stopbandDb)
{
    // The inverse of a Chebyshev I with ripple 1 / epsilon: poles 1 / p, zeros j / cos(theta).
    const double epsilon = 1 / std::sqrt(PowerRatioMinusOne(stopbandDb));
    const double mu = std::asinh(1 / epsilon) / order;
    AnalogueFilter filter;
    const auto angles = HalfPlaneAngles(order);
    for (std::size_t m = 0; m < angles.size(); ++m) {
        const int mi = static_cast<int>(m);
        const Complex chebyshev(
            -std::sinh(mu) * std::sin(angles[m]), -std::cosh(mu) * Cosine(angles[m], mi, order));
        // 1 / p of the lower pole is the upper pole of the inverse.
        AddPair(filter.poles, 1.0 / chebyshev);
        if (2 * mi + 1 != order) {
            AddPair(filter.zeros, { 0.0, 1 / std::cos(angles[m]) });
        }
    }
    filter.gain = ProductOfNegated(filter.poles) / ProductOfNegated(filter.zeros);
    return filter;
}

AnalogueFilter Elliptic(int order, double rippleDb, double stopbandDb)
{
    // The pass band's and the stop band's epsilon, and the discrimination k1 = ep / es with its
    // complement k1' = sqrt(es^2 - ep^2) / es, where es^2 - ep^2 = e^(ap) expm1(as - ap) keeps its
    // digits when the two levels are close.
    const double ap = rippleDb * (std::numbers::ln10 / 10);
    const double as = stopbandDb * (std::numbers::ln10 / 10);
    const double ep2 = std::expm1(ap);
    const double es2 = std::expm1(as);
    const double k1 = std::sqrt(ep2 / es2);
    const double k1Prime = std::sqrt(std::exp(ap) * std::expm1(as - ap) / es2);
    // The selectivity k from the degree equation, kept as its complement.
    const double kPrime = DegreeEquationComplement(order, k1, k1Prime);
    if (!(kPrime > 0)) {
        throw std::invalid_argument("--stopband lies too close above --ripple for an elliptic "
                                    "filter of this order");
    }
    const double k = std::sqrt((1 - kPrime) * (1 + kPrime));
    const std::vector<double> landen = LandenSequence(kPrime);
    // v0 from sn(j v0 N K1, k1) = j / ep (Orfanidis eq. 53), on the modulus k1.
    const double v0 = ImaginaryAsne(1 / std::sqrt(ep2), k1, LandenSequence(k1Prime)) / order;

    AnalogueFilter filter;
    for (int i = 1; 2 * i <= order; ++i) {
        const double u = (2.0 * i - 1) / order;
        // Zeros at j / (k cd(u K, k)), poles at j cd((u - j v0) K, k), on the imaginary axis and
        // in the left half-plane.
        const double zeta = Cde(u, landen).real();
        AddPair(filter.zeros, { 0.0, 1 / (k * zeta) });
        const Complex pole = Complex(0, 1) * Cde(Complex(u, -v0), landen);
        AddPair(filter.poles, { pole.real(), std::fabs(pole.imag()) });
    }
    if (order % 2 == 1) {
        // The real pole j sn(j v0 K, k).
        const Complex sn = Sne(Complex(0, v0), landen);
        filter.poles.emplace_back(-sn.imag(), 0.0);
    }
    const double dc = order % 2 == 0 ? 1 / std::sqrt(1 + ep2) : 1.0;
    filter.gain = dc * ProductOfNegated(filter.poles) / ProductOfNegated(filter.zeros);
    return filter;
}

} // namespace

AnalogueFilter NormalisedPrototype(const DesignPlan& plan)
{
    switch (plan.type) {
    case FilterType::Butterworth:
        return Butterworth(plan.order);
    case FilterType::Bessel:
        return Bessel(plan.order);
    case FilterType::Chebyshev1:
        return ChebyshevI(plan.order, plan.rippleDb);
    case FilterType::Chebyshev2:
        return ChebyshevII(plan.order, plan.stopbandDb);
    case FilterType::Elliptic:
        return Elliptic(plan.order, plan.rippleDb, plan.stopbandDb);
    }
    return {};
}

AnalogueFilter AnaloguePrototype(const DesignPlan& plan)
{
    const AnalogueFilter normalised = NormalisedPrototype(plan);
    const double wc = 2 * kPi * plan.cornerHz;
    AnalogueFilter filter;
    if (plan.shape == FilterShape::LowPass) {
        // s -> s / wc: every root times wc, the gain times wc^(N - M).
        for (const Complex& z : normalised.zeros) {
            filter.zeros.push_back(z * wc);
        }
        for (const Complex& p : normalised.poles) {
            filter.poles.push_back(p * wc);
        }
        filter.gain = normalised.gain
            * std::pow(wc, static_cast<double>(normalised.poles.size() - normalised.zeros.size()));
        return filter;
    }
    // s -> wc / s: every root r becomes wc / r (a pair stays upper first when conjugated), the
    // zeros at infinity come to 0, and the gain becomes gain prod(-z) / prod(-p).
    for (const Complex& z : normalised.zeros) {
        const Complex moved = wc / z;
        filter.zeros.emplace_back(moved.real() == 0 ? 0.0 : moved.real(), std::fabs(moved.imag()));
        if (z.imag() < 0) {
            filter.zeros.back() = std::conj(filter.zeros.back());
        }
    }
    for (const Complex& p : normalised.poles) {
        const Complex moved = wc / p;
        filter.poles.emplace_back(moved.real(), p.imag() == 0 ? 0.0 : -moved.imag());
    }
    for (std::size_t i = normalised.zeros.size(); i < normalised.poles.size(); ++i) {
        filter.zeros.emplace_back(0.0, 0.0);
    }
    filter.gain
        = normalised.gain * ProductOfNegated(normalised.zeros) / ProductOfNegated(normalised.poles);
    return filter;
}

Complex Evaluate(const AnalogueFilter& filter, Complex s)
{
    Complex value = filter.gain;
    for (const Complex& z : filter.zeros) {
        value *= s - z;
    }
    for (const Complex& p : filter.poles) {
        value /= s - p;
    }
    return value;
}

double DcGain(const AnalogueFilter& filter)
{
    return Evaluate(filter, 0.0).real();
}

double DirectTerm(const AnalogueFilter& filter)
{
    return filter.zeros.size() == filter.poles.size() ? filter.gain : 0.0;
}

std::vector<Complex> Residues(const AnalogueFilter& filter)
{
    std::vector<Complex> residues;
    for (std::size_t j = 0; j < filter.poles.size(); ++j) {
        const Complex p = filter.poles[j];
        Complex value = filter.gain;
        for (const Complex& z : filter.zeros) {
            value *= p - z;
        }
        for (std::size_t l = 0; l < filter.poles.size(); ++l) {
            if (l != j) {
                value /= p - filter.poles[l];
            }
        }
        residues.push_back(value);
    }
    return residues;
}

AnalogueFilter WithDcBlock(AnalogueFilter filter, double dcBlockHz)
{
    filter.zeros.emplace_back(0.0, 0.0);
    filter.poles.emplace_back(-2 * kPi * dcBlockHz, 0.0);
    return filter;
}

std::vector<Complex> PolynomialRoots(const std::vector<double>& c)
{
    const std::size_t n = c.size() - 1;
    const auto value = [&](Complex x, Complex& derivative) {
        Complex p = c[n];
        derivative = 0.0;
        for (std::size_t i = n; i-- > 0;) {
            derivative = derivative * x + p;
            p = p * x + c[i];
        }
        return p;
    };
    // Start on a circle of the roots' geometric mean radius, turned off the real axis.
    const double radius = std::pow(std::fabs(c[0] / c[n]), 1.0 / static_cast<double>(n));
    std::vector<Complex> roots(n);
    for (std::size_t k = 0; k < n; ++k) {
        roots[k] = std::polar(radius, 2 * kPi * (static_cast<double>(k) + 0.25) / n + 0.4);
    }
    for (int iteration = 0; iteration < 500; ++iteration) {
        double largest = 0;
        for (std::size_t k = 0; k < n; ++k) {
            Complex derivative;
            const Complex p = value(roots[k], derivative);
            if (p == 0.0) {
                continue;
            }
            const Complex ratio = p / derivative;
            Complex repulsion = 0.0;
            for (std::size_t l = 0; l < n; ++l) {
                if (l != k) {
                    repulsion += 1.0 / (roots[k] - roots[l]);
                }
            }
            const Complex step = ratio / (1.0 - ratio * repulsion);
            roots[k] -= step;
            largest = std::max(largest, std::abs(step) / std::max(1.0, std::abs(roots[k])));
        }
        if (largest < 1e-15) {
            break;
        }
    }
    // Each root polished in extended precision: the polynomial's value next to a root cancels
    // to a few units of its largest term, which in doubles leaves the root some 1e-13 off for a
    // 10th-order Bessel polynomial.
    using Extended = std::complex<long double>;
    for (Complex& root : roots) {
        Extended x(root.real(), root.imag());
        for (int i = 0; i < 4; ++i) {
            Extended p = static_cast<long double>(c[n]);
            Extended derivative = 0.0L;
            for (std::size_t k = n; k-- > 0;) {
                derivative = derivative * x + p;
                p = p * x + static_cast<long double>(c[k]);
            }
            if (derivative != 0.0L) {
                x -= p / derivative;
            }
        }
        root = { static_cast<double>(x.real()), static_cast<double>(x.imag()) };
    }
    return roots;
}

} // namespace vorn
