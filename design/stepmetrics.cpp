#include "stepmetrics.h"

#include "filterchain.h"
#include "polezero.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <vector>

namespace vorn {

namespace {

using Complex = std::complex<double>;

// Everything is over within this long: the low-pass settles in about 2.3 ms.
constexpr double kSpan = 0.01;
constexpr double kBand = 0.02;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Time of the first upward crossing of `level` by y[n], interpolated linearly; y[-1] = 0.
double FirstCrossing(const std::vector<double>& y, double level, double rate)
{
    double before = 0.0;
    for (std::size_t n = 0; n < y.size(); ++n) {
        if (y[n] >= level) {
            const double fraction = (level - before) / (y[n] - before);
            return (static_cast<double>(n) - 1 + fraction) / rate;
        }
        before = y[n];
    }
    return kNaN;
}

// Time from which y stays within the band around 1: the crossing of the band's edge after the
// last sample outside it.
double SettlingTime(const std::vector<double>& y, double rate)
{
    std::size_t last = y.size();
    for (std::size_t n = y.size(); n-- > 0;) {
        if (std::fabs(y[n] - 1) > kBand) {
            last = n;
            break;
        }
    }
    if (last + 1 >= y.size()) {
        return kNaN;
    }
    const double edge = y[last] > 1 ? 1 + kBand : 1 - kBand;
    const double fraction = (edge - y[last]) / (y[last + 1] - y[last]);
    return (static_cast<double>(last) + fraction) / rate;
}

// The largest sample and its time.
void Peak(const std::vector<double>& y, double rate, double& value, double& time)
{
    const auto it = std::max_element(y.begin(), y.end());
    value = *it;
    time = static_cast<double>(it - y.begin()) / rate;
}

// A response as a constant plus a sum of modes c e^(p t) over simple poles p; its derivatives
// are the sums of c p^m e^(p t).
struct ModeSum
{
    double constant = 0.0;
    std::vector<Complex> c;
    std::vector<Complex> p;

    [[nodiscard]] double At(double t, int derivative = 0) const
    {
        Complex sum = derivative == 0 ? constant : 0.0;
        for (std::size_t j = 0; j < p.size(); ++j) {
            sum += c[j] * std::pow(p[j], derivative) * std::exp(p[j] * t);
        }
        return sum.real();
    }
};

// The step response of w0^6 / prod(s - p_j) (with `atZero`, one pole at s = 0 more) by partial
// fractions: Y(s) = w0^6 / (s^m prod(s - p_j)), residue at p_j is w0^6 / (p_j^m prod(p_j - p_i)).
ModeSum StepOf(const std::vector<Complex>& poles, double w0, bool atZero)
{
    ModeSum sum;
    sum.constant = atZero ? 1.0 : 0.0;
    const double gain = std::pow(w0, 6);
    for (std::size_t j = 0; j < poles.size(); ++j) {
        Complex denominator = atZero ? poles[j] : 1.0;
        for (std::size_t i = 0; i < poles.size(); ++i) {
            if (i != j) {
                denominator *= poles[j] - poles[i];
            }
        }
        sum.c.push_back(gain / denominator);
        sum.p.push_back(poles[j]);
    }
    return sum;
}

// Every root of f over (0, span] in turn, bracketed on a grid of `steps` intervals and bisected
// to the last bit, until `found` returns false. For the window's chain a grid of a microsecond (a
// thousandth of the low-pass's period) over kSpan.
void ForEachRoot(const std::function<double(double)>& f, double span, int steps,
    const std::function<bool(double root, bool rising)>& found)
{
    const double dt = span / steps;
    double previous = f(dt);
    for (int i = 2; i <= steps; ++i) {
        const double value = f(i * dt);
        if ((previous > 0) != (value > 0)) {
            double low = (i - 1) * dt;
            double high = i * dt;
            const bool risingAtLow = previous <= 0;
            for (int iteration = 0; iteration < 200 && low < high; ++iteration) {
                const double middle = low + (high - low) / 2;
                if (middle <= low || middle >= high) {
                    break;
                }
                ((f(middle) <= 0) == risingAtLow ? low : high) = middle;
            }
            if (!found(low, risingAtLow)) {
                return;
            }
        }
        previous = value;
    }
}

// The first (or, with `last`, the last) root of f over (0, span].
double FindRoot(const std::function<double(double)>& f, bool last = false, double span = kSpan,
    int steps = 10000)
{
    double root = kNaN;
    ForEachRoot(f, span, steps, [&](double t, bool) {
        root = t;
        return last;
    });
    return root;
}

// Where the response y (with derivative y') is largest over (0, span]: the highest of its local
// maxima (the roots where y' falls through 0), or its start where it is higher still (a response
// that jumps at 0). NaN if it only rises.
double FindMaximum(const std::function<double(double)>& y,
    const std::function<double(double)>& slope, double span, int steps)
{
    double best = kNaN;
    double highest = -HUGE_VAL;
    ForEachRoot([&](double t) { return -slope(t); }, span, steps,
        [&](double t, bool rising) {
            if (rising && y(t) > highest) {
                highest = y(t);
                best = t;
            }
            return true;
        });
    if (y(0.0) > highest && slope(0.0) < 0) {
        best = 0.0;
    }
    return best;
}

} // namespace

StepMetrics SimulatedMetrics(double sampleRate)
{
    const FilterCoefficients coefficients = ComputeCoefficients(sampleRate);
    const auto samples = static_cast<std::size_t>(std::ceil(kSpan * sampleRate)) + 1;
    std::vector<double> step(samples);
    std::vector<double> chain(samples);
    std::vector<double> impulse(samples);
    FilterState stepState {};
    FilterState impulseState {};
    for (std::size_t n = 0; n < samples; ++n) {
        chain[n] = StepFilterChain(coefficients, stepState, 1.0);
        step[n] = stepState[6];
        StepFilterChain(coefficients, impulseState, n == 0 ? 1.0 : 0.0);
        impulse[n] = impulseState[6] * sampleRate;
    }
    return MetricsOfSamples(step, impulse, chain, sampleRate);
}

StepMetrics MetricsOfSamples(const std::vector<double>& step, const std::vector<double>& impulse,
    const std::vector<double>& chain, double sampleRate)
{
    StepMetrics metrics;
    metrics.riseStart = FirstCrossing(step, 0.1, sampleRate);
    metrics.riseTime = FirstCrossing(step, 0.9, sampleRate) - metrics.riseStart;
    double peak = 0.0;
    Peak(step, sampleRate, peak, metrics.peakTime);
    metrics.overshootPercent = (peak - 1) * 100;
    metrics.settlingTime = SettlingTime(step, sampleRate);
    Peak(impulse, sampleRate, metrics.impulsePeak, metrics.impulsePeakTime);
    Peak(chain, sampleRate, peak, metrics.chainPeakTime);
    metrics.chainOvershootPercent = (peak - 1) * 100;
    return metrics;
}

StepMetrics AnalogueMetrics()
{
    const double twoPi = std::atan(1.0) * 8;
    std::vector<Complex> lowPass;
    Complex highPass;
    for (const Root& root : AnalogueRoots()) {
        if (!root.pole) {
            continue;
        }
        (root.stage < 3 ? lowPass.emplace_back() : highPass) = root.value * twoPi;
    }
    const double w0 = twoPi * 1000;
    // The low-pass's step response 1 + sum c e^(p t); the chain's has the high-pass's pole in
    // place of the one at 0 (its zero at 0 cancels the step's).
    const ModeSum step = StepOf(lowPass, w0, true);
    std::vector<Complex> chainPoles = lowPass;
    chainPoles.push_back(highPass);
    const ModeSum chain = StepOf(chainPoles, w0, false);
    return MetricsOfModes(
        step.constant, step.c, step.p, chain.constant, chain.c, chain.p, kSpan, 10000);
}

StepMetrics MetricsOfModes(double constant, const std::vector<Complex>& c,
    const std::vector<Complex>& p, double chainConstant, const std::vector<Complex>& chainC,
    const std::vector<Complex>& chainP, double span, int steps)
{
    const ModeSum step { constant, c, p };
    const ModeSum chain { chainConstant, chainC, chainP };
    const auto root = [&](const std::function<double(double)>& f, bool last = false) {
        return FindRoot(f, last, span, steps);
    };
    StepMetrics metrics;
    const double t10 = root([&](double t) { return step.At(t) - 0.1; });
    const double t90 = root([&](double t) { return step.At(t) - 0.9; });
    metrics.riseStart = t10;
    metrics.riseTime = t90 - t10;
    metrics.peakTime = FindMaximum(
        [&](double t) { return step.At(t); }, [&](double t) { return step.At(t, 1); }, span, steps);
    metrics.overshootPercent = (step.At(metrics.peakTime) - 1) * 100;
    metrics.settlingTime = root([&](double t) { return kBand - std::fabs(step.At(t) - 1); }, true);
    metrics.impulsePeakTime = FindMaximum([&](double t) { return step.At(t, 1); },
        [&](double t) { return step.At(t, 2); }, span, steps);
    metrics.impulsePeak = step.At(metrics.impulsePeakTime, 1);
    metrics.chainPeakTime = FindMaximum([&](double t) { return chain.At(t); },
        [&](double t) { return chain.At(t, 1); }, span, steps);
    metrics.chainOvershootPercent = (chain.At(metrics.chainPeakTime) - 1) * 100;
    return metrics;
}

} // namespace vorn
