// The designs: each prototype against the convention of its corner and the shape of its bands,
// and the sampled designs as they run against a discretisation written here from scratch: the
// analogue filter as a state space, sampled by a matrix exponential in extended precision.
#include "analogue.h"
#include "designchain.h"
#include "designmetrics.h"
#include "designresponse.h"
#include "discrete.h"
#include "filterchain.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

using namespace vorn;

Q_DECLARE_METATYPE(vorn::DesignPlan)

namespace {

using Complex = std::complex<double>;
using Real = long double;
using Matrix = std::vector<std::vector<Real>>;

Matrix zeros(std::size_t n)
{
    return Matrix(n, std::vector<Real>(n, 0.0L));
}

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix c = zeros(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t k = 0; k < a.size(); ++k) {
            for (std::size_t j = 0; j < a.size(); ++j) {
                c[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return c;
}

// e^M by scaling and squaring: M / 2^s below 1/2 in norm, a Taylor series of 30 terms, then s
// squarings.
Matrix exponential(Matrix m)
{
    Real norm = 0;
    for (const auto& row : m) {
        Real sum = 0;
        for (const Real x : row) {
            sum += std::fabs(x);
        }
        norm = std::max(norm, sum);
    }
    int squarings = 0;
    while (norm > 0.5L) {
        norm /= 2;
        ++squarings;
    }
    for (auto& row : m) {
        for (Real& x : row) {
            x = std::ldexp(x, -squarings);
        }
    }
    Matrix result = zeros(m.size());
    Matrix term = zeros(m.size());
    for (std::size_t i = 0; i < m.size(); ++i) {
        result[i][i] = term[i][i] = 1;
    }
    for (int k = 1; k <= 30; ++k) {
        term = multiply(term, m);
        for (auto& row : term) {
            for (Real& x : row) {
                x /= k;
            }
        }
        for (std::size_t i = 0; i < m.size(); ++i) {
            for (std::size_t j = 0; j < m.size(); ++j) {
                result[i][j] += term[i][j];
            }
        }
    }
    for (int i = 0; i < squarings; ++i) {
        result = multiply(result, result);
    }
    return result;
}

// A real state space x' = A x + B u, y = C x + D u.
struct StateSpace
{
    Matrix a;
    std::vector<Real> b;
    std::vector<Real> c;
    Real d = 0;
};

// The filter as a cascade of first- and second-order sections, each made from its polynomials:
// poles taken in pairs in the order given, zeros likewise (whichever pairing: the cascade's
// transfer function is the filter's), the gain shared out evenly. A section
//   (q2 s^2 + q1 s + q0) / (s^2 + a1 s + w^2) = q2 + ((q1 - q2 a1) s + (q0 - q2 w^2)) / (...)
// runs as x1' = w x2, x2' = -w x1 - a1 x2 + w v (x1 = w^2 / (...) v, x2 = x1' / w), so that every
// entry of its matrices is of the order of w: y = q2 v + (q0 - q2 w^2) / w^2 x1
// + (q1 - q2 a1) / w x2. A first-order (q1 s + q0) / (s + a0) as x' = -a0 x + a0 v.
StateSpace cascade(const AnalogueFilter& filter)
{
    std::vector<std::vector<Complex>> poleGroups;
    for (std::size_t i = 0; i < filter.poles.size();) {
        const std::size_t size = filter.poles[i].imag() != 0 ? 2 : 1;
        poleGroups.emplace_back(filter.poles.begin() + static_cast<std::ptrdiff_t>(i),
            filter.poles.begin() + static_cast<std::ptrdiff_t>(i + size));
        i += size;
    }
    std::vector<Complex> zeroList = filter.zeros;
    StateSpace whole;
    whole.d = 1;
    const Real share = std::pow(
        std::fabs(static_cast<Real>(filter.gain)), 1.0L / static_cast<Real>(poleGroups.size()));
    bool first = true;
    for (const auto& group : poleGroups) {
        const std::size_t order = group.size();
        // Numerator: as many zeros as the section has poles, while there are some.
        std::vector<Complex> sectionZeros;
        while (sectionZeros.size() < order && !zeroList.empty()) {
            // A real zero never splits a pair: take a pair whole, or a real one.
            if (zeroList.front().imag() != 0 && sectionZeros.size() + 2 > order) {
                break;
            }
            const std::size_t take = zeroList.front().imag() != 0 ? 2 : 1;
            sectionZeros.insert(sectionZeros.end(), zeroList.begin(),
                zeroList.begin() + static_cast<std::ptrdiff_t>(take));
            zeroList.erase(zeroList.begin(), zeroList.begin() + static_cast<std::ptrdiff_t>(take));
        }
        const auto polynomial = [](const std::vector<Complex>& roots) {
            std::vector<Complex> p { 1.0 };
            for (const Complex& r : roots) {
                p.push_back(0.0);
                for (std::size_t k = p.size() - 1; k > 0; --k) {
                    p[k] -= r * p[k - 1];
                }
            }
            std::vector<Real> real;
            for (auto it = p.rbegin(); it != p.rend(); ++it) {
                real.push_back(it->real()); // ascending powers
            }
            return real;
        };
        const std::vector<Real> den = polynomial(group);
        std::vector<Real> num = polynomial(sectionZeros);
        num.resize(order + 1, 0.0L);
        for (Real& q : num) {
            q *= first && filter.gain < 0 ? -share : share;
        }
        first = false;
        StateSpace section;
        section.a = zeros(order);
        if (order == 2) {
            const Real w = std::sqrt(den[0]);
            section.a[0][1] = w;
            section.a[1][0] = -w;
            section.a[1][1] = -den[1];
            section.b = { 0, w };
            section.c = { (num[0] - num[2] * den[0]) / (w * w), (num[1] - num[2] * den[1]) / w };
            section.d = num[2];
        } else {
            section.a[0][0] = -den[0];
            section.b = { den[0] };
            section.c = { (num[0] - num[1] * den[0]) / den[0] };
            section.d = num[1];
        }
        // Series: the section after the whole so far.
        const std::size_t n1 = whole.b.size();
        StateSpace joined;
        joined.a = zeros(n1 + order);
        for (std::size_t i = 0; i < n1; ++i) {
            for (std::size_t j = 0; j < n1; ++j) {
                joined.a[i][j] = whole.a[i][j];
            }
        }
        for (std::size_t i = 0; i < order; ++i) {
            for (std::size_t j = 0; j < n1; ++j) {
                joined.a[n1 + i][j] = section.b[i] * whole.c[j];
            }
            for (std::size_t j = 0; j < order; ++j) {
                joined.a[n1 + i][n1 + j] = section.a[i][j];
            }
        }
        joined.b = whole.b;
        for (std::size_t i = 0; i < order; ++i) {
            joined.b.push_back(section.b[i] * whole.d);
        }
        for (std::size_t j = 0; j < n1; ++j) {
            joined.c.push_back(section.d * whole.c[j]);
        }
        joined.c.insert(joined.c.end(), section.c.begin(), section.c.end());
        joined.d = section.d * whole.d;
        whole = joined;
    }
    return whole;
}

// The zero-order-hold sampling of a state space at `rate`: Phi = e^(A T) and Gamma =
// int_0^T e^(A t) dt B, both from one exponential of [[A T, B T], [0, 0]].
struct Sampled
{
    Matrix phi;
    std::vector<Real> gamma;
};

Sampled sample(const StateSpace& system, double rate)
{
    const std::size_t n = system.b.size();
    const Real period = 1.0L / rate;
    Matrix m = zeros(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            m[i][j] = system.a[i][j] * period;
        }
        m[i][n] = system.b[i] * period;
    }
    const Matrix e = exponential(m);
    Sampled sampled;
    sampled.phi = zeros(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            sampled.phi[i][j] = e[i][j];
        }
        sampled.gamma.push_back(e[i][n]);
    }
    return sampled;
}

// Steps x <- Phi x + Gamma u and gives the output at the start of the interval (C x + D u), or,
// with `atEnd`, at its end with u still held (C x' + D u), as a section passes its state on.
std::vector<double> run(
    const StateSpace& system, const Sampled& sampled, const std::vector<double>& input, bool atEnd)
{
    const std::size_t n = system.b.size();
    std::vector<Real> x(n, 0.0L);
    std::vector<double> output;
    for (const double u : input) {
        Real y = system.d * u;
        if (!atEnd) {
            for (std::size_t i = 0; i < n; ++i) {
                y += system.c[i] * x[i];
            }
        }
        std::vector<Real> next(n, 0.0L);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                next[i] += sampled.phi[i][j] * x[j];
            }
            next[i] += sampled.gamma[i] * u;
        }
        x = next;
        if (atEnd) {
            for (std::size_t i = 0; i < n; ++i) {
                y += system.c[i] * x[i];
            }
        }
        output.push_back(static_cast<double>(y));
    }
    return output;
}

std::vector<double> impulse(std::size_t samples)
{
    std::vector<double> input(samples, 0.0);
    input[0] = 1;
    return input;
}

double decibels(Complex h)
{
    return 10 * std::log10(std::norm(h));
}

Complex at(const AnalogueFilter& filter, double radiansPerSecond)
{
    return Evaluate(filter, Complex(0, radiansPerSecond));
}

double largestDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double difference = 0;
    for (std::size_t n = 0; n < a.size(); ++n) {
        difference = std::max(difference, std::fabs(a[n] - b[n]));
    }
    return difference;
}

double peak(const std::vector<double>& a)
{
    double largest = 0;
    for (const double x : a) {
        largest = std::max(largest, std::fabs(x));
    }
    return largest;
}

// Every type, low- and high-pass, the orders 1, 2, 5 and 10: the rows of the tables below.
void addDesignRows(const std::vector<double>& rates)
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("highPass");
    QTest::addColumn<double>("rate");
    for (const FilterType type : { FilterType::Butterworth, FilterType::Bessel,
             FilterType::Chebyshev1, FilterType::Chebyshev2, FilterType::Elliptic }) {
        for (const int order : { 1, 2, 5, 10 }) {
            for (const bool highPass : { false, true }) {
                for (const double rate : rates) {
                    QTest::addRow("%s %d %s %g", TypeName(type).data(), order,
                        highPass ? "high" : "low", rate)
                        << static_cast<int>(type) << order << highPass << rate;
                }
            }
        }
    }
}

DesignPlan planOf(int type, int order, bool highPass)
{
    DesignPlan plan;
    plan.type = static_cast<FilterType>(type);
    plan.order = order;
    plan.shape = highPass ? FilterShape::HighPass : FilterShape::LowPass;
    plan.cornerHz = 2000;
    plan.rippleDb = 0.5;
    plan.stopbandDb = 40;
    plan.dcBlockHz.reset();
    return plan;
}

} // namespace

class TestDesigns : public QObject
{
    Q_OBJECT

private slots:
    void cornerConvention_data();
    void cornerConvention();
    void besselRootsOfTheReverseBesselPolynomial();
    void wholeHoldAgainstMatrixExponential_data();
    void wholeHoldAgainstMatrixExponential();
    void sectionsHoldAgainstMatrixExponential_data();
    void sectionsHoldAgainstMatrixExponential();
    void sectionsPairNotchesWithTheirResonances();
    void sectionsHoldIsTheWindowsChain();
    void responseAgainstDft_data();
    void responseAgainstDft();
    void phaseDoesNotDependOnTheGrid_data();
    void phaseDoesNotDependOnTheGrid();
    void stepFiguresAgainstClosedForms_data();
    void stepFiguresAgainstClosedForms();
    void names_data();
    void names();
    void refusals_data();
    void refusals();
};

void TestDesigns::cornerConvention_data()
{
    addDesignRows({ 0.0 });
}

// The level at the corner as scipy's and MATLAB's prototypes define it, and the bands around it:
// the pass band of the equiripple types between -ripple and 0 dB, the stop band of Chebyshev II
// and elliptic filters at or below -stopband; a high-pass mirrors the low-pass about the corner.
void TestDesigns::cornerConvention()
{
    QFETCH(int, type);
    QFETCH(int, order);
    QFETCH(bool, highPass);
    const DesignPlan plan = planOf(type, order, highPass);
    const AnalogueFilter filter = AnaloguePrototype(plan);
    const double wc = 2 * std::numbers::pi * plan.cornerHz;

    const double expected = plan.type == FilterType::Chebyshev2 ? -plan.stopbandDb
        : HasRipple(plan.type)                                  ? -plan.rippleDb
                                                                : -10 * std::log10(2.0);
    QVERIFY2(std::fabs(decibels(at(filter, wc)) - expected) < 1e-9,
        qPrintable(QString::number(decibels(at(filter, wc)), 'g', 17)));

    // Pass band of the low-pass: below the corner (above it for the high-pass, by w -> wc^2 / w).
    const auto mirrored = [&](double w) { return highPass ? wc * wc / w : w; };
    for (int i = 1; i < 400; ++i) {
        const double w = wc * i / 400.0;
        const double db = decibels(at(filter, mirrored(w)));
        QVERIFY2(db <= 1e-9, qPrintable(QString::number(db)));
        if (HasRipple(plan.type)) {
            QVERIFY(db >= -plan.rippleDb - 1e-9);
        }
    }
    if (HasStopband(plan.type)) {
        // The stop band starts at the corner for Chebyshev II; for the elliptic filter where the
        // level first reaches -stopband above the corner.
        double edge = wc;
        if (plan.type == FilterType::Elliptic) {
            while (decibels(at(filter, mirrored(edge))) > -plan.stopbandDb + 1e-9) {
                edge *= 1.0001;
            }
        }
        for (int i = 0; i < 400; ++i) {
            const double w = edge * std::pow(100.0, i / 400.0);
            QVERIFY(decibels(at(filter, mirrored(w))) <= -plan.stopbandDb + 1e-9);
        }
    }
}

// theta_n(s) = (2n - 1) theta_(n-1)(s) + s^2 theta_(n-2)(s), theta_0 = 1, theta_1 = s + 1: the
// poles of each order, scaled back by one factor, are its roots.
void TestDesigns::besselRootsOfTheReverseBesselPolynomial()
{
    std::vector<std::vector<Real>> theta { { 1 }, { 1, 1 } };
    for (int n = 2; n <= kMaxDesignOrder; ++n) {
        std::vector<Real> next(static_cast<std::size_t>(n) + 1, 0.0L);
        for (std::size_t k = 0; k < theta[n - 1].size(); ++k) {
            next[k] += (2 * n - 1) * theta[n - 1][k];
        }
        for (std::size_t k = 0; k < theta[n - 2].size(); ++k) {
            next[k + 2] += theta[n - 2][k];
        }
        theta.push_back(next);
    }
    for (int order = 1; order <= kMaxDesignOrder; ++order) {
        DesignPlan plan;
        plan.type = FilterType::Bessel;
        plan.order = order;
        const AnalogueFilter filter = NormalisedPrototype(plan);
        // The poles are theta_N's roots divided by one factor g (the -3 dB frequency of
        // theta_N(0) / theta_N(s)); theta_N is monic, so prod(-root) = theta_N(0) gives g.
        Complex product = 1.0;
        for (const Complex& p : filter.poles) {
            product *= -p;
        }
        const Real scale = std::pow(theta[order][0] / product.real(), 1.0L / order);
        for (const Complex& p : filter.poles) {
            std::complex<Real> s(p.real() * scale, p.imag() * scale);
            std::complex<Real> value = 0;
            std::complex<Real> derivative = 0;
            for (std::size_t k = theta[order].size(); k-- > 0;) {
                derivative = derivative * s + value;
                value = value * s + theta[order][k];
            }
            // A Newton step shorter than 1e-14 of the root: a root to the last digits.
            QVERIFY2(std::abs(value / derivative) < 1e-14L * std::abs(s),
                qPrintable(QString("order %1").arg(order)));
        }
    }
}

void TestDesigns::wholeHoldAgainstMatrixExponential_data()
{
    addDesignRows({ 44100.0, 96000.0 });
}

// The sampled design's impulse response, through its running sections, against the state space
// of the analogue cascade sampled by the matrix exponential; and each discrete pole e^(p T) of an
// analogue pole.
void TestDesigns::wholeHoldAgainstMatrixExponential()
{
    QFETCH(int, type);
    QFETCH(int, order);
    QFETCH(bool, highPass);
    QFETCH(double, rate);
    const DesignPlan plan = planOf(type, order, highPass);
    const DiscreteDesign design = Discretise(plan, rate);
    const std::vector<double> input = impulse(400);
    const std::vector<double> simulated = DesignChain::Run(design, input);

    const StateSpace system = cascade(design.analogue);
    const std::vector<double> expected = run(system, sample(system, rate), input, false);
    QVERIFY2(largestDifference(simulated, expected) <= 1e-9 * peak(expected),
        qPrintable(QString::number(largestDifference(simulated, expected) / peak(expected))));

    const std::vector<Complex> poles = DiscretePoles(design);
    QCOMPARE(poles.size(), design.analogue.poles.size());
    for (const Complex& p : design.analogue.poles) {
        const Complex expectedPole = std::exp(p / rate);
        const double distance
            = std::abs(*std::min_element(poles.begin(), poles.end(), [&](Complex a, Complex b) {
                  return std::abs(a - expectedPole) < std::abs(b - expectedPole);
              }) - expectedPole);
        QVERIFY(distance <= 1e-13);
    }
}

void TestDesigns::sectionsHoldAgainstMatrixExponential_data()
{
    addDesignRows({ 48000.0 });
}

// Sections held apart: each analogue section sampled on its own by the matrix exponential, its
// output the state at the end of the interval, the sections in cascade.
void TestDesigns::sectionsHoldAgainstMatrixExponential()
{
    QFETCH(int, type);
    QFETCH(int, order);
    QFETCH(bool, highPass);
    QFETCH(double, rate);
    DesignPlan plan = planOf(type, order, highPass);
    plan.hold = HoldMode::Sections;
    const DiscreteDesign design = Discretise(plan, rate);
    std::vector<double> expected = impulse(400);
    const std::vector<double> simulated = DesignChain::Run(design, expected);
    for (const AnalogueFilter& section : AnalogueSections(design.analogue, plan.shape)) {
        const StateSpace system = cascade(section);
        expected = run(system, sample(system, rate), expected, true);
    }
    // Within 1e-9 of the input's scale: a high-pass section far above its corner answers the
    // impulse with a first sample of 1 - (1 - e^(p T)), which takes the cancellation's rounding.
    const double scale = std::max(peak(expected), 1.0);
    QVERIFY2(largestDifference(simulated, expected) <= 1e-9 * scale,
        qPrintable(QString::number(largestDifference(simulated, expected) / scale)));
}

// Each elliptic section's zeros are the pair nearest to its poles of those not taken by a
// section of higher Q; every root of the filter is in exactly one section.
void TestDesigns::sectionsPairNotchesWithTheirResonances()
{
    DesignPlan plan;
    plan.type = FilterType::Elliptic;
    plan.order = 9;
    const AnalogueFilter filter = AnaloguePrototype(plan);
    const std::vector<AnalogueFilter> sections = AnalogueSections(filter, plan.shape);
    QCOMPARE(sections.size(), std::size_t { 5 });
    std::vector<Complex> remaining;
    for (const Complex& z : filter.zeros) {
        if (z.imag() > 0) {
            remaining.push_back(z);
        }
    }
    double previousQ = HUGE_VAL;
    std::size_t poles = 0;
    for (const AnalogueFilter& section : sections) {
        poles += section.poles.size();
        if (section.poles.size() == 1) {
            QVERIFY(section.zeros.empty());
            continue;
        }
        const Complex p = section.poles[0];
        const double q = std::abs(p) / (-2 * p.real());
        QVERIFY(q <= previousQ);
        previousQ = q;
        QCOMPARE(section.zeros.size(), std::size_t { 2 });
        for (const Complex& z : remaining) {
            QVERIFY(std::abs(section.zeros[0] - p) <= std::abs(z - p));
        }
        std::erase(remaining, section.zeros[0]);
    }
    QVERIFY(remaining.empty());
    QCOMPARE(poles, filter.poles.size());
}

// The 6th-order 1 kHz Butterworth with its sections held apart and the 1 Hz DC block is the
// window's chain but for the damping values, which the window rounds to five decimals: a
// difference of the order of 1e-5 of the signal.
void TestDesigns::sectionsHoldIsTheWindowsChain()
{
    DesignPlan plan;
    plan.hold = HoldMode::Sections;
    const DiscreteDesign design = Discretise(plan, 44100);
    const std::vector<double> input = impulse(2000);
    const std::vector<double> simulated = DesignChain::Run(design, input);
    const FilterCoefficients coefficients = ComputeCoefficients(44100);
    FilterState state {};
    std::vector<double> window;
    for (const double u : input) {
        window.push_back(StepFilterChain(coefficients, state, u));
    }
    QVERIFY(largestDifference(simulated, window) <= 5e-5 * peak(window));
    // Far from each other, the same filter without the sections' hold: every section of the
    // window's chain passes its state on at the end of the interval, a lead of three samples.
    plan.hold = HoldMode::Whole;
    const std::vector<double> whole = DesignChain::Run(Discretise(plan, 44100), input);
    QVERIFY(largestDifference(whole, window) > 0.1 * peak(window));
}

void TestDesigns::responseAgainstDft_data()
{
    QTest::addColumn<DesignPlan>("plan");
    for (const FilterType type : { FilterType::Butterworth, FilterType::Bessel,
             FilterType::Chebyshev1, FilterType::Chebyshev2, FilterType::Elliptic }) {
        for (const bool highPass : { false, true }) {
            for (const HoldMode hold : { HoldMode::Whole, HoldMode::Sections }) {
                DesignPlan plan = planOf(static_cast<int>(type), 7, highPass);
                plan.hold = hold;
                // The DC block with a corner of 50 Hz, so that the impulse response dies out in
                // the samples summed.
                plan.dcBlockHz = 50;
                QTest::addRow("%s %s %s", TypeName(type).data(), highPass ? "high" : "low",
                    HoldName(hold).data())
                    << plan;
            }
        }
    }
}

// The response from the sections' partial fractions against the transform of the impulse
// response the running sections give, summed directly in extended precision: level and phase.
void TestDesigns::responseAgainstDft()
{
    QFETCH(DesignPlan, plan);
    constexpr double rate = 44100;
    const DiscreteDesign design = Discretise(plan, rate);
    const std::vector<double> h = DesignChain::Run(design, impulse(1 << 15));
    const DesignResponder responder(design);
    for (const double hz : { 20.0, 300.0, 1999.0, 2000.0, 2500.0, 7000.0, 21000.0 }) {
        std::complex<Real> sum = 0;
        for (std::size_t n = 0; n < h.size(); ++n) {
            const Real turns = std::fmod(static_cast<Real>(n) * hz, rate) / rate;
            sum += std::polar(static_cast<Real>(h[n]), -2 * std::numbers::pi_v<Real> * turns);
        }
        // Compared as complex values: within 1e-12 of the input's scale (the rounding of the
        // samples summed), or 1e-9 of the response.
        const ResponseValue value = responder.Simulated(hz);
        const Complex computed
            = std::polar(std::pow(10.0, value.db / 20), value.phaseDeg * std::numbers::pi / 180);
        const Complex expected(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
        QVERIFY2(std::abs(computed - expected) < 1e-12 + 1e-9 * std::abs(expected),
            qPrintable(QString("%1 Hz: %2 dB %3 degrees against %4 dB %5 degrees")
                           .arg(hz)
                           .arg(value.db)
                           .arg(value.phaseDeg)
                           .arg(20 * std::log10(std::abs(expected)))
                           .arg(std::arg(expected) * 180 / std::numbers::pi)));
    }
}

void TestDesigns::phaseDoesNotDependOnTheGrid_data()
{
    responseAgainstDft_data();
}

// The phase at a frequency is the same on a coarse grid as on a fine one (whole turns and all),
// its steps on the fine grid are small (no jump of a branch cut; only a zero on the unit circle
// could turn it by half a turn, and a sampled filter's zeros lie off it), and the group delay is
// its slope; the analogue phase likewise, against the unwrapped argument of H(jw).
void TestDesigns::phaseDoesNotDependOnTheGrid()
{
    QFETCH(DesignPlan, plan);
    constexpr double rate = 44100;
    const DiscreteDesign design = Discretise(plan, rate);
    const DesignResponder responder(design);
    const std::vector<double> fine = FrequencyGrid(10, 21000, 20000, true);
    const double coarse[] = { 10.0, 4000.0, 21000.0 };
    const std::vector<ResponseRow> rows = DesignResponse(design, coarse);
    const std::vector<ResponseRow> fineRows = DesignResponse(design, fine);
    QCOMPARE(rows.front().simulated.phaseDeg, fineRows.front().simulated.phaseDeg);
    QCOMPARE(rows.back().simulated.phaseDeg, fineRows.back().simulated.phaseDeg);
    QCOMPARE(rows.back().analogue.phaseDeg, fineRows.back().analogue.phaseDeg);

    const AnalogueFilter analogue = WithDcBlock(design.analogue, *plan.dcBlockHz);
    double unwrapped = std::arg(Evaluate(analogue, Complex(0, 2 * std::numbers::pi * fine[0])));
    double previousArg = unwrapped;
    const double offset = fineRows.front().analogue.phaseDeg - unwrapped * 180 / std::numbers::pi;
    for (std::size_t i = 1; i < fine.size(); ++i) {
        const double step = fineRows[i].simulated.phaseDeg - fineRows[i - 1].simulated.phaseDeg;
        // No branch cut: the phase moves by less than a sixth of a turn between neighbours, but
        // where a zero (next to the unit circle) turns it by half a turn within a step, deep in
        // the stop band.
        const bool nearZero
            = std::min(fineRows[i].simulated.db, fineRows[i - 1].simulated.db) < -40;
        QVERIFY2(std::fabs(step) < (nearZero ? 200 : 60),
            qPrintable(QString("%1 Hz: %2 degrees").arg(fine[i]).arg(step)));
        if (i % 97 == 0) {
            // The group delay against the phase's slope: symmetric differences over 1e-4 and
            // 5e-5 of the frequency, extrapolated (Richardson) to a step of 0.
            const auto slopeOf = [&](auto phase) {
                const auto difference = [&](double h) {
                    return -(phase(fine[i] + h) - phase(fine[i] - h)) / 360 / (2 * h) * 1000;
                };
                const double h = 1e-4 * fine[i];
                return (4 * difference(h / 2) - difference(h)) / 3;
            };
            const double slope = slopeOf([&](double f) { return responder.Simulated(f).phaseDeg; });
            const double delay = responder.Simulated(fine[i]).delayMs;
            QVERIFY2(std::fabs(slope - delay) < 1e-5 * std::max(1.0, std::fabs(delay)),
                qPrintable(QString("%1 Hz: %2 against %3 ms").arg(fine[i]).arg(slope).arg(delay)));
            const double analogueSlope
                = slopeOf([&](double f) { return responder.Analogue(f).phaseDeg; });
            const double analogueDelay = responder.Analogue(fine[i]).delayMs;
            // A zero on the imaginary axis within the step turns the phase by half a turn at
            // once, where the delay has an impulse: not compared there.
            const double h = 1e-4 * fine[i];
            const bool acrossZero = std::fabs(responder.Analogue(fine[i] + h).phaseDeg
                                        - responder.Analogue(fine[i] - h).phaseDeg)
                > 90;
            QVERIFY2(acrossZero
                    || std::fabs(analogueSlope - analogueDelay)
                        < 1e-5 * std::max(1.0, std::fabs(analogueDelay)),
                qPrintable(QString("%1 Hz: %2 against %3 ms")
                               .arg(fine[i])
                               .arg(analogueSlope)
                               .arg(analogueDelay)));
        }
        const double argument
            = std::arg(Evaluate(analogue, Complex(0, 2 * std::numbers::pi * fine[i])));
        unwrapped += std::remainder(argument - previousArg, 2 * std::numbers::pi);
        previousArg = argument;
        const double expected = unwrapped * 180 / std::numbers::pi + offset;
        // A zero on the imaginary axis turns the phase by half a turn: either way is right.
        const double miss = std::remainder(fineRows[i].analogue.phaseDeg - expected, 360.0);
        QVERIFY2(std::fabs(miss) < 1e-6 || std::fabs(std::fabs(miss) - 180) < 1e-6,
            qPrintable(QString("%1 Hz").arg(fine[i])));
    }
}

void TestDesigns::stepFiguresAgainstClosedForms_data()
{
    QTest::addColumn<DesignPlan>("plan");
    QTest::addColumn<double>("overshoot");
    QTest::addColumn<double>("riseTimesCorner");
    // A second-order section with damping ratio z overshoots by exp(-pi z / sqrt(1 - z^2)):
    // Butterworth z = 1/sqrt(2), 4.32 %; Bessel z = sqrt(3)/2, 0.433 %. A first-order filter
    // does not overshoot and rises from 10 % to 90 % in ln 9 / wc; so does the complement of its
    // high-pass.
    const auto plan = [](FilterType type, int order, FilterShape shape) {
        DesignPlan s;
        s.type = type;
        s.order = order;
        s.shape = shape;
        s.dcBlockHz.reset();
        return s;
    };
    QTest::newRow("butterworth 2") << plan(FilterType::Butterworth, 2, FilterShape::LowPass)
                                   << 100 * std::exp(-std::numbers::pi) << 0.0;
    QTest::newRow("bessel 2") << plan(FilterType::Bessel, 2, FilterShape::LowPass)
                              << 100 * std::exp(-std::numbers::pi * std::sqrt(3.0)) << 0.0;
    QTest::newRow("butterworth 6")
        << plan(FilterType::Butterworth, 6, FilterShape::LowPass) << 14.2514 << 0.0;
    QTest::newRow("first order") << plan(FilterType::Butterworth, 1, FilterShape::LowPass) << 0.0
                                 << std::log(9.0);
    QTest::newRow("first-order high-pass")
        << plan(FilterType::Bessel, 1, FilterShape::HighPass) << 0.0 << std::log(9.0);
}

// The analogue figures against closed forms; the simulated ones, sample by sample, within a
// sample or two of them (the samples lag the analogue filter by half a sample).
void TestDesigns::stepFiguresAgainstClosedForms()
{
    QFETCH(DesignPlan, plan);
    QFETCH(double, overshoot);
    QFETCH(double, riseTimesCorner);
    const DiscreteDesign design = Discretise(plan, 96000);
    const StepMetrics analogue = DesignAnalogueMetrics(design);
    const StepMetrics simulated = DesignSimulatedMetrics(design);
    const double wc = 2 * std::numbers::pi * plan.cornerHz;
    QVERIFY2(std::fabs(analogue.overshootPercent - overshoot) < 1e-4,
        qPrintable(QString::number(analogue.overshootPercent, 'g', 10)));
    if (riseTimesCorner > 0) {
        QVERIFY(std::fabs(analogue.riseTime * wc - riseTimesCorner) < 1e-9);
        QVERIFY(std::isnan(analogue.peakTime));
        QCOMPARE(simulated.overshootPercent, 0.0);
    }
    QVERIFY(std::fabs(simulated.riseTime - analogue.riseTime) < 2 / design.rate);
    QVERIFY(std::fabs(simulated.settlingTime - analogue.settlingTime) < 2 / design.rate);
    QVERIFY(std::fabs(simulated.overshootPercent - analogue.overshootPercent) < 0.1);
}

void TestDesigns::names_data()
{
    QTest::addColumn<DesignPlan>("plan");
    QTest::addColumn<QString>("name");
    DesignPlan plan;
    QTest::newRow("default") << plan << "6th-order 1 kHz Butterworth low-pass + 1 Hz DC block";
    plan.type = FilterType::Chebyshev1;
    plan.order = 4;
    plan.cornerHz = 2000;
    plan.rippleDb = 0.5;
    QTest::newRow("chebyshev I") << plan
                                 << "4th-order 2 kHz Chebyshev I (0.5 dB) low-pass + 1 Hz DC block";
    plan.type = FilterType::Elliptic;
    plan.order = 1;
    plan.cornerHz = 250;
    plan.shape = FilterShape::HighPass;
    plan.dcBlockHz.reset();
    plan.hold = HoldMode::Sections;
    QTest::newRow("elliptic") << plan
                              << "1st-order 250 Hz elliptic (0.5 dB, 60 dB) high-pass, sections "
                                 "held apart";
    plan.type = FilterType::Chebyshev2;
    plan.order = 3;
    plan.cornerHz = 1500;
    plan.stopbandDb = 40;
    plan.dcBlockHz = 0.5;
    QTest::newRow("chebyshev II") << plan
                                  << "3rd-order 1.5 kHz Chebyshev II (40 dB) high-pass, sections "
                                     "held apart + 0.5 Hz DC block";
    plan.type = FilterType::Bessel;
    plan.order = 2;
    QTest::newRow("bessel") << plan
                            << "2nd-order 1.5 kHz Bessel high-pass, sections held apart + 0.5 Hz "
                               "DC block";
}

void TestDesigns::names()
{
    QFETCH(DesignPlan, plan);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(DesignName(plan)), name);
}

void TestDesigns::refusals_data()
{
    QTest::addColumn<DesignPlan>("plan");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("option");
    DesignPlan plan;
    QTest::newRow("acceptable") << plan << 44100.0 << QString();
    plan.order = 11;
    QTest::newRow("order 11") << plan << 44100.0 << "--order";
    plan.order = 0;
    QTest::newRow("order 0") << plan << 44100.0 << "--order";
    plan = {};
    plan.cornerHz = 22050;
    QTest::newRow("corner at half the rate") << plan << 44100.0 << "--corner";
    QTest::newRow("corner below it") << plan << 44101.0 << QString();
    plan.cornerHz = 0;
    QTest::newRow("corner 0") << plan << 44100.0 << "--corner";
    plan = {};
    plan.dcBlockHz = 30000;
    QTest::newRow("dc block above half the rate") << plan << 44100.0 << "--dc-block";
    plan = {};
    plan.rippleDb = 0;
    QTest::newRow("ripple 0, butterworth: unused") << plan << 44100.0 << QString();
    plan.type = FilterType::Chebyshev1;
    QTest::newRow("ripple 0") << plan << 44100.0 << "--ripple";
    plan.rippleDb = -1;
    QTest::newRow("ripple negative") << plan << 44100.0 << "--ripple";
    plan = {};
    plan.type = FilterType::Chebyshev2;
    plan.stopbandDb = 0;
    QTest::newRow("stop band 0") << plan << 44100.0 << "--stopband";
    plan.type = FilterType::Elliptic;
    plan.stopbandDb = 1;
    plan.rippleDb = 1;
    QTest::newRow("elliptic stop band at its ripple") << plan << 44100.0 << "--stopband";
    plan.stopbandDb = 40;
    QTest::newRow("elliptic stop band above it") << plan << 44100.0 << QString();
    // Too close above it for the order: poles next to the imaginary axis, a Q past 10000.
    plan.stopbandDb = 1.5;
    QTest::newRow("elliptic stop band next to its ripple") << plan << 44100.0 << "--stopband";
    plan.order = 2;
    QTest::newRow("the same, of the second order") << plan << 44100.0 << QString();
    plan = {};
    plan.type = FilterType::Chebyshev2;
    plan.stopbandDb = 1e-6;
    QTest::newRow("next to no stop band") << plan << 44100.0 << "--stopband";
}

void TestDesigns::refusals()
{
    QFETCH(DesignPlan, plan);
    QFETCH(double, rate);
    QFETCH(QString, option);
    QString message;
    try {
        CheckDesign(plan, rate);
    } catch (const std::invalid_argument& error) {
        message = error.what();
    }
    QVERIFY2(
        option.isEmpty() ? message.isEmpty() : message.startsWith(option), qPrintable(message));
    QVERIFY(!message.contains('\n'));
}

QTEST_GUILESS_MAIN(TestDesigns)
#include "tst_designs.moc"
