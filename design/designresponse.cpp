#include "designresponse.h"

#include <cmath>
#include <numbers>

namespace vorn {

namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// arg(1 - r e^(-j w)) continued along w: for |r| < 1 the factor's real part stays positive, so
// the principal argument is continuous; for |r| > 1 the factor is -r e^(-j w) (1 - e^(j w) / r),
// whose arguments arg(-r) - w + arg(1 - e^(j w) / r) are each continuous.
double FactorPhase(Complex r, double omega)
{
    const Complex z(std::cos(omega), std::sin(omega));
    if (std::norm(r) <= 1) {
        return std::arg(1.0 - r / z);
    }
    return std::arg(-r) - omega + std::arg(1.0 - z / r);
}

// The branch of `principal` (the exact argument, within +-pi) nearest to `continued`.
double Branch(double principal, double continued)
{
    return principal + kTwoPi * std::round((continued - principal) / kTwoPi);
}

} // namespace

DesignResponder::DesignResponder(const DiscreteDesign& design)
    : m_design(design)
    , m_analogue(
          design.dcBlock ? WithDcBlock(design.analogue, *design.plan.dcBlockHz) : design.analogue)
{
    if (design.plan.hold == HoldMode::Whole) {
        m_zeros = DiscreteZeros(design);
    } else {
        for (const PoleSection& section : design.sections) {
            m_sectionZeros.push_back(SectionZeros(section));
        }
    }
}

// Whole: H = D + sum c / (e^(jw) - a) over every pole, dH/dw = -sum j c e^(jw) / (e^(jw) - a)^2;
// its factors lead prod (1 - zeta e^(-jw)) / prod (1 - a e^(-jw)) times e^(-jw) for each zero
// fewer than poles, lead = D, or sum c where D = 0.
// Sections: H = prod (d + sum c / (1 - a e^(-jw))), each with
// dH_i/dw = -sum j c a e^(-jw) / (1 - a e^(-jw))^2 and the factors b0 prod (1 - zeta e^(-jw)) /
// prod (1 - a e^(-jw)), b0 = d + sum c its first sample.
// The group delay is -d(arg H)/dw = -Im(H' / H), in samples.
ResponseValue DesignResponder::Simulated(double hz) const
{
    const double omega = kTwoPi * hz / m_design.rate;
    const Complex z(std::cos(omega), std::sin(omega));
    const Complex zInverse = std::conj(z);
    const auto eachPole = [](const PoleSection& section, auto&& use) {
        use(section.pole, section.residue);
        if (section.pair) {
            use(std::conj(section.pole), std::conj(section.residue));
        }
    };
    Complex value;
    double continued = 0.0;
    double delay = 0.0;
    if (m_design.plan.hold == HoldMode::Whole) {
        value = m_design.direct;
        Complex derivative = 0.0;
        Complex lead = m_design.direct;
        Complex sumC = 0.0;
        for (const PoleSection& section : m_design.sections) {
            eachPole(section, [&](Complex a, Complex c) {
                const Complex inverse = 1.0 / (z - a);
                value += c * inverse;
                derivative -= Complex(0, 1) * c * z * inverse * inverse;
                sumC += c;
                continued -= std::arg(1.0 - a * zInverse);
            });
        }
        if (m_design.direct == 0) {
            lead = sumC;
        }
        std::size_t poles = 0;
        for (const PoleSection& section : m_design.sections) {
            poles += section.pair ? 2 : 1;
        }
        continued += std::arg(lead) - static_cast<double>(poles - m_zeros.size()) * omega;
        for (const Complex& zero : m_zeros) {
            continued += FactorPhase(zero, omega);
        }
        delay = -(derivative / value).imag();
    } else {
        value = 1.0;
        for (std::size_t i = 0; i < m_design.sections.size(); ++i) {
            const PoleSection& section = m_design.sections[i];
            Complex h = section.direct;
            Complex derivative = 0.0;
            Complex first = section.direct;
            eachPole(section, [&](Complex a, Complex c) {
                const Complex denominator = 1.0 - a * zInverse;
                h += c / denominator;
                derivative -= Complex(0, 1) * c * a * zInverse / (denominator * denominator);
                first += c;
                continued -= std::arg(denominator);
            });
            continued += std::arg(first);
            for (const Complex& zero : m_sectionZeros[i]) {
                continued += FactorPhase(zero, omega);
            }
            value *= h;
            delay -= (derivative / h).imag();
        }
    }
    ResponseValue response;
    response.db = 10 * std::log10(std::norm(value));
    response.phaseDeg = Branch(std::arg(value), continued);
    if (m_design.dcBlock) {
        const StageResponse stage = HighPassStage(m_design.rho, m_design.oneMinusRho, omega);
        response.db += stage.db;
        response.phaseDeg += stage.phase;
        delay += stage.delay;
    }
    response.phaseDeg *= 360 / kTwoPi;
    response.delayMs = delay * 1000 / m_design.rate;
    return response;
}

// H(jw) = gain prod (jw - z) / prod (jw - p): each factor's principal argument is continuous in
// w > 0 (the poles lie left of the axis, a zero on the axis turns its factor by 180 degrees as
// w passes it), and the group delay is sum Re(1 / (jw - p)) - sum Re(1 / (jw - z)).
ResponseValue DesignResponder::Analogue(double hz) const
{
    const double w = kTwoPi * hz;
    const Complex s(0, w);
    double db = 20 * std::log10(std::fabs(m_analogue.gain));
    double phase = m_analogue.gain < 0 ? std::numbers::pi : 0.0;
    double delay = 0.0;
    for (const Complex& zero : m_analogue.zeros) {
        db += 10 * std::log10(std::norm(s - zero));
        phase += std::arg(s - zero);
        delay -= (1.0 / (s - zero)).real();
    }
    for (const Complex& pole : m_analogue.poles) {
        db -= 10 * std::log10(std::norm(s - pole));
        phase -= std::arg(s - pole);
        delay += (1.0 / (s - pole)).real();
    }
    return { db, phase * (360 / kTwoPi), delay * 1000 };
}

std::vector<ResponseRow> DesignResponse(const DiscreteDesign& design, std::span<const double> hz)
{
    const DesignResponder responder(design);
    std::vector<ResponseRow> rows;
    rows.reserve(hz.size());
    for (const double f : hz) {
        rows.push_back({ f, responder.Simulated(f), responder.Analogue(f) });
    }
    ShiftPhasesToLowestFrequency(rows);
    return rows;
}

} // namespace vorn
