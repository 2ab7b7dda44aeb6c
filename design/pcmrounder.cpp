#include "pcmrounder.h"

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
    double peak = m_peak;
    std::int64_t clipped = m_clipped;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const double magnitude = std::fabs(units[i]);
        peak = magnitude > peak ? magnitude : peak;
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
    m_peak = peak;
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
