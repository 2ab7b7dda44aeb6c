#include "designmetrics.h"

#include "designchain.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vorn {

namespace {

using Complex = std::complex<double>;

// At most this many samples are simulated (about 5.5 s at 768 kHz, 95 s at 44.1 kHz): a design
// that rings for longer has no settling time in its figures.
constexpr std::size_t kMaxSamples = std::size_t { 1 } << 22;

bool IsHighPass(const DiscreteDesign& design)
{
    return design.plan.shape == FilterShape::HighPass;
}

// The final value the figures are relative to: H(0) of a low-pass, H(inf) of a high-pass.
double FinalValue(const DiscreteDesign& design)
{
    return IsHighPass(design) ? DirectTerm(design.analogue) : DcGain(design.analogue);
}

// The step response of `filter` from the closed form s(t) = H(0) + sum (R_j / p_j) e^(p_j t),
// as the measured response: s / final for a low-pass, (final - s) / final for a high-pass.
void StepModes(const AnalogueFilter& filter, double final, bool highPass, double& constant,
    std::vector<Complex>& c, std::vector<Complex>& p)
{
    const std::vector<Complex> residues = Residues(filter);
    const double sign = highPass ? -1.0 : 1.0;
    constant = highPass ? (final - DcGain(filter)) / final : DcGain(filter) / final;
    c.clear();
    p = filter.poles;
    for (std::size_t j = 0; j < p.size(); ++j) {
        c.push_back(sign * residues[j] / p[j] / final);
    }
}

// A response that only rises has no overshoot and no peak: where the largest sample is the last
// one simulated, or the closed form has no maximum.
void NoPeakWithoutOvershoot(StepMetrics& metrics, double lastTime)
{
    if (std::isnan(metrics.peakTime) || metrics.peakTime >= lastTime) {
        metrics.peakTime = std::numeric_limits<double>::quiet_NaN();
        metrics.overshootPercent = 0;
    }
    if (std::isnan(metrics.chainPeakTime) || metrics.chainPeakTime >= lastTime) {
        metrics.chainPeakTime = std::numeric_limits<double>::quiet_NaN();
        metrics.chainOvershootPercent = 0;
    }
}

} // namespace

double MetricsSpan(const DiscreteDesign& design)
{
    double slowest = HUGE_VAL;
    for (const Complex& p : design.analogue.poles) {
        slowest = std::min(slowest, -p.real());
    }
    return std::max(std::log(1e6) / slowest, 10 / design.plan.cornerHz);
}

StepMetrics DesignSimulatedMetrics(const DiscreteDesign& design)
{
    const std::size_t samples = std::min(
        static_cast<std::size_t>(std::ceil(MetricsSpan(design) * design.rate)) + 1, kMaxSamples);
    const double final = FinalValue(design);
    const bool highPass = IsHighPass(design);
    std::vector<double> input(samples, 1.0);
    std::vector<double> step = DesignChain::Run(design, input, false);
    std::vector<double> chain = DesignChain::Run(design, input, true);
    std::fill(input.begin() + 1, input.end(), 0.0);
    std::vector<double> impulse = DesignChain::Run(design, input, false);
    for (std::size_t n = 0; n < samples; ++n) {
        if (highPass) {
            step[n] = (final - step[n]) / final;
            chain[n] = (final - chain[n]) / final;
            impulse[n] = ((n == 0 ? final : 0.0) - impulse[n]) / final * design.rate;
        } else {
            step[n] /= final;
            chain[n] /= final;
            impulse[n] *= design.rate / final;
        }
    }
    StepMetrics metrics = MetricsOfSamples(step, impulse, chain, design.rate);
    NoPeakWithoutOvershoot(metrics, static_cast<double>(samples - 1) / design.rate);
    return metrics;
}

StepMetrics DesignAnalogueMetrics(const DiscreteDesign& design)
{
    const double final = FinalValue(design);
    const bool highPass = IsHighPass(design);
    double constant = 0.0;
    std::vector<Complex> c;
    std::vector<Complex> p;
    StepModes(design.analogue, final, highPass, constant, c, p);
    double chainConstant = 0.0;
    std::vector<Complex> chainC;
    std::vector<Complex> chainP;
    StepModes(
        design.dcBlock ? WithDcBlock(design.analogue, *design.plan.dcBlockHz) : design.analogue,
        final, highPass, chainConstant, chainC, chainP);

    // A grid of at least twenty points to a period of the fastest oscillation.
    const double span = MetricsSpan(design);
    double fastest = 0;
    for (const Complex& pole : p) {
        fastest = std::max(fastest, std::abs(pole));
    }
    const double steps = std::clamp(span * fastest / (2 * std::numbers::pi) * 20, 1e4, 2e6);
    StepMetrics metrics = MetricsOfModes(
        constant, c, p, chainConstant, chainC, chainP, span, static_cast<int>(steps));
    NoPeakWithoutOvershoot(metrics, span);
    return metrics;
}

} // namespace vorn
