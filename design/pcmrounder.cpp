#include "pcmrounder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vorn {

PcmRounder::PcmRounder(int bits)
    : m_bits(bits)
{ }

template <typename Integer>
void PcmRounder::Round(std::span<const double> units, std::span<Integer> out, std::int64_t factor)
{
    const double scale = std::ldexp(1.0, m_bits - 16);
    const double high = std::ldexp(1.0, m_bits - 1) - 1;
    const double low = -std::ldexp(1.0, m_bits - 1);
    // Adding and taking away 1.5 * 2^52 rounds any magnitude below 2^51 to an integer, ties to
    // even (the default rounding mode).
    constexpr double kRounder = 0x1.8p52;
    // The peak first, with four running maxima, so that no sample waits for the one before it
    // (the largest of magnitudes is the same in any order; NaN never counts).
    std::array<double, 4> peaks { m_peak, m_peak, m_peak, m_peak };
    std::size_t at = 0;
    for (; at + 4 <= units.size(); at += 4) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            const double magnitude = std::fabs(units[at + lane]);
            peaks[lane] = magnitude > peaks[lane] ? magnitude : peaks[lane];
        }
    }
    for (; at < units.size(); ++at) {
        const double magnitude = std::fabs(units[at]);
        peaks[0] = magnitude > peaks[0] ? magnitude : peaks[0];
    }
    m_peak = std::max(std::max(peaks[0], peaks[1]), std::max(peaks[2], peaks[3]));
    std::int64_t clipped = m_clipped;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const double v = units[i] * scale;
        double q = 0.0;
        if (std::fabs(v) < high + 0.5) {
            q = (v + kRounder) - kRounder;
        } else if (v > 0) {
            q = high;
            ++clipped;
        } else if (v < 0) {
            // Down to half a step below -2^(bits-1), the value rounds to full scale.
            q = low;
            clipped += v < low - 0.5 ? 1 : 0;
        } // NaN stays silent
        out[i] = static_cast<Integer>(static_cast<std::int64_t>(q) * factor);
    }
    m_clipped = clipped;
}

void PcmRounder::ToInt32(std::span<const double> units, std::span<std::int32_t> out)
{
    Round(units, out, std::int64_t { 1 } << (32 - m_bits));
}

void PcmRounder::ToInt16(std::span<const double> units, std::span<std::int16_t> out)
{
    Round(units, out, 1);
}

} // namespace vorn
