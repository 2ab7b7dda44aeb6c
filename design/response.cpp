#include "response.h"

#include "sosrows.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace vorn {

namespace {

using Complex = std::complex<double>;

using StageSum = StageResponse;

// Re(x / y), without forming the quotient.
double RealOfQuotient(Complex x, Complex y)
{
    return (x.real() * y.real() + x.imag() * y.imag()) / std::norm(y);
}

double Decibels(Complex value)
{
    return 10 * std::log10(std::norm(value));
}

// One second-order section at omega (radians per sample), as StepSection advances it, from its
// transfer function (TransferOf). On the unit circle z = e^(j omega). Its poles lie inside the
// circle and so does its zero -b1/b0 (|b1/b0| < 1 from 1 kHz to 10 MHz: about 0.2 at the one end,
// 0.9999 at the other). So the numerator and each factor (1 - p z^-1) of the denominator keep a
// positive real part and an argument within +-90 degrees, the denominator's stays within +-180:
// the principal arguments are continuous in omega and 0 at DC, and the phase needs no unwrapping.
//
// Group delay in samples: with H = B/A, tau = -Re(z H'/H) = -Re(z B'/B) + Re(z A'/A), and for a
// polynomial in z^-1, z d/dz sum(c_m z^-m) = -sum(m c_m z^-m):
//   tau = Re(b1 z^-1 / B) - Re((a1 z^-1 + 2 a2 z^-2) / A).
StageSum Section(const SectionCoefficients& sc, double omega)
{
    const SectionTransfer t = TransferOf(sc);
    const double b0 = t.b0;
    const double b1 = t.b1;
    const double a1 = t.a1;
    const double a2 = t.a2;

    const Complex z1 = std::polar(1.0, -omega);
    const Complex z2 = std::polar(1.0, -2 * omega);
    const Complex b = b0 + b1 * z1;
    // Near DC, 1 + a1 cos(omega) + a2 cos(2 omega) cancels; the same real part as
    // det(I - Phi) - a1 (1 - cos omega) - a2 (1 - cos 2 omega), with 1 - cos x = 2 sin^2(x / 2),
    // keeps its digits.
    const double sinHalf = std::sin(omega / 2);
    const double sinWhole = std::sin(omega);
    const double atDc = (1 - t.phi11) * (1 - t.phi22) - t.phi12 * t.phi21;
    const Complex a(atDc - a1 * (2 * sinHalf * sinHalf) - a2 * (2 * sinWhole * sinWhole),
        z1.imag() * a1 + z2.imag() * a2);

    StageSum stage;
    stage.db = Decibels(b) - Decibels(a);
    stage.phase = std::arg(b) - std::arg(a);
    stage.delay = RealOfQuotient(b1 * z1, b) - RealOfQuotient(a1 * z1 + 2 * a2 * z2, a);
    return stage;
}

} // namespace

// The high-pass at omega (radians per sample). It outputs rho y - rho lp' with
// lp' = rho lp + (1 - rho) y; 1 - rho is exact in double for rho in [0.5, 1], so
//   H(z) = rho (1 - (1 - rho) / (1 - rho z^-1)) = rho^2 (1 - z^-1) / (1 - rho z^-1).
// The numerator is 2 rho^2 sin(omega/2) e^(j (pi/2 - omega/2)): half a sample of delay and the
// +90 degrees of the zero at DC. The denominator's real part, 1 - rho cos omega, is written as
// (1 - rho) + 2 rho sin^2(omega/2) so that it keeps its digits at low frequencies, and stays
// positive, so its argument is continuous. Its group delay is Re(rho / (z - rho)):
//   tau = 1/2 + rho (cos omega - rho) / |1 - rho z^-1|^2,  cos omega - rho = (1 - rho) - 2 sin^2.
StageResponse HighPassStage(double rho, double g, double omega)
{
    const double pi = std::atan(1.0) * 4;
    const double sinHalf = std::sin(omega / 2);
    const double twoSin2 = 2 * sinHalf * sinHalf;
    const Complex a(g + rho * twoSin2, rho * std::sin(omega));

    StageResponse stage;
    stage.db = 20 * std::log10(2 * (rho * rho) * sinHalf) - Decibels(a);
    stage.phase = (pi / 2 - omega / 2) - std::arg(a);
    stage.delay = 0.5 + rho * (g - twoSin2) / std::norm(a);
    return stage;
}

ResponseValue SimulatedResponse(
    const FilterCoefficients& coefficients, double sampleRate, double hz)
{
    const double twoPi = std::atan(1.0) * 8;
    const double omega = (twoPi * hz) / sampleRate;
    StageSum sum = HighPassStage(coefficients.rho, coefficients.oneMinusRho, omega);
    for (const SectionCoefficients& section : coefficients.sections) {
        const StageSum stage = Section(section, omega);
        sum.db += stage.db;
        sum.phase += stage.phase;
        sum.delay += stage.delay;
    }
    const double degrees = 360 / twoPi;
    return { sum.db, sum.phase * degrees, sum.delay * 1000 / sampleRate };
}

// Each section is w0^2 / (s^2 + k w0 s + w0^2), the high-pass s / (s + wc), with w0 = 2 pi 1000
// and wc = 2 pi rad/s. With u = omega / w0 a section gives
//   |H|^2 = 1 / D,  D = (1 - u^2)^2 + (k u)^2,  arg H = -atan2(k u, 1 - u^2)  (in (-pi, 0)),
//   tau = -d(arg H)/d(omega) = k (1 + u^2) / (w0 D),
// and with v = omega / wc the high-pass
//   |H|^2 = v^2 / (1 + v^2),  arg H = atan2(1, v)  (pi/2 at DC),  tau = 1 / (wc (1 + v^2)).
ResponseValue AnalogueResponse(double hz)
{
    const double twoPi = std::atan(1.0) * 8;
    const double w0 = twoPi * 1000;
    const double wc = twoPi;
    const double u = hz / 1000;
    const double v = hz;

    // The high-pass's level as -10 log10(1 + 1/v^2), which is exact to the last digits far above
    // and far below its corner.
    double db = -10 * std::log10(1 + 1 / (v * v));
    double phase = std::atan2(1.0, v);
    double delay = 1 / (wc * (1 + v * v));
    for (const SectionCoefficients& section : PlaybackCoefficients().sections) {
        const double k = section.k;
        // 1 - u^2 as (1 - u)(1 + u), exact near the corner.
        const double oneMinusU2 = (1 - u) * (1 + u);
        const double d = oneMinusU2 * oneMinusU2 + (k * u) * (k * u);
        db -= 10 * std::log10(d);
        phase -= std::atan2(k * u, oneMinusU2);
        delay += k * (1 + u * u) / (w0 * d);
    }
    return { db, phase * (360 / twoPi), delay * 1000 };
}

void ShiftPhasesToLowestFrequency(std::vector<ResponseRow>& rows)
{
    if (rows.empty()) {
        return;
    }
    // Whole turns that bring the entry at the lowest frequency into (-180, 180]; the same for the
    // whole column keeps it continuous, and gives a frequency the same phase in any order.
    const ResponseRow& lowest = *std::min_element(rows.begin(), rows.end(),
        [](const ResponseRow& a, const ResponseRow& b) { return a.hz < b.hz; });
    const double simulatedShift = 360 * std::ceil((lowest.simulated.phaseDeg - 180) / 360);
    const double analogueShift = 360 * std::ceil((lowest.analogue.phaseDeg - 180) / 360);
    for (ResponseRow& row : rows) {
        row.simulated.phaseDeg -= simulatedShift;
        row.analogue.phaseDeg -= analogueShift;
    }
}

std::vector<ResponseRow> ChainResponse(double sampleRate, std::span<const double> hz)
{
    const FilterCoefficients coefficients = ComputeCoefficients(sampleRate);
    std::vector<ResponseRow> rows;
    rows.reserve(hz.size());
    for (const double f : hz) {
        rows.push_back({ f, SimulatedResponse(coefficients, sampleRate, f), AnalogueResponse(f) });
    }
    if (rows.empty()) {
        return rows;
    }
    ShiftPhasesToLowestFrequency(rows);
    return rows;
}

std::vector<double> FrequencyGrid(double fromHz, double toHz, std::size_t points, bool logarithmic)
{
    std::vector<double> hz(points);
    if (points == 0) {
        return hz;
    }
    const double last = static_cast<double>(points - 1);
    const double logRatio = std::log(toHz / fromHz);
    for (std::size_t i = 0; i < points; ++i) {
        const double t = points == 1 ? 0.0 : static_cast<double>(i) / last;
        // Log: from (to/from)^t; linear: from + (to - from) t.
        hz[i] = logarithmic ? fromHz * std::exp(logRatio * t) : fromHz + (toHz - fromHz) * t;
    }
    // The ends exactly as given, whatever the rounding of the steps.
    hz.front() = fromHz;
    if (points > 1) {
        hz.back() = toHz;
    }
    return hz;
}

} // namespace vorn
