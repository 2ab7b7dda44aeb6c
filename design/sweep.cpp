#include "sweep.h"

#include "constants.h"

#include <cmath>

namespace vorn {

// With M samples and r = to / from, the instantaneous frequency at sample n is
//   f(n) = from r^(n / (M - 1)) = from e^(g n),  g = ln(r) / (M - 1),
// so f(0) = from and f(M - 1) = to. The phase is its integral over time from 0, in closed form
// rather than accumulated sample by sample, so that no rounding piles up over a long sweep:
//   phase(n) = (2 pi from / rate) (e^(g n) - 1) / g,
// which tends to (2 pi from / rate) n as g tends to 0 (from = to, or a single sample).
ExponentialSweep::ExponentialSweep(
    double fromHz, double toHz, std::int64_t samples, double sampleRate)
    : m_step((std::atan(1.0) * 8 * fromHz) / sampleRate)
    , m_growth(samples > 1 ? std::log(toHz / fromHz) / static_cast<double>(samples - 1) : 0.0)
{ }

double ExponentialSweep::Phase(std::int64_t n) const
{
    if (m_growth == 0.0) {
        return m_step * static_cast<double>(n);
    }
    // expm1 keeps the digits of e^(g n) - 1 while g n is small, at the start of the sweep.
    return m_step * (std::expm1(m_growth * static_cast<double>(n)) / m_growth);
}

void ExponentialSweep::Fill(std::int64_t first, std::span<double> input) const
{
    std::int64_t n = first;
    for (double& u : input) {
        u = std::sin(Phase(n)) * kInputAmplitude;
        ++n;
    }
}

} // namespace vorn
