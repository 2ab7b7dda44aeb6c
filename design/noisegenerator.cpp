#include "noisegenerator.h"

#include "constants.h"

#include <bit>

namespace vorn {

NoiseGenerator::NoiseGenerator(Colour colour, std::uint64_t seed)
    : m_colour(colour)
    , m_state(seed)
{
    // The rows start filled, so that the noise has its full level from the first sample.
    if (m_colour == Colour::Pink) {
        for (double& row : m_rows) {
            row = NextUniform();
            m_rowSum += row;
        }
    }
}

std::uint64_t NoiseGenerator::NextBits()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double NoiseGenerator::NextUniform()
{
    // 53 bits to [0, 1) and then to [-1, 1): both steps are exact in double precision.
    const double unit = static_cast<double>(NextBits() >> 11) * 0x1.0p-53;
    return unit * 2.0 - 1.0;
}

void NoiseGenerator::Fill(std::span<double> input)
{
    if (m_colour == Colour::White) {
        for (double& u : input) {
            u = NextUniform() * kInputAmplitude;
        }
        return;
    }
    // The sum of kPinkRows + 1 values in [-1, 1) stays below kPinkRows + 1 in magnitude.
    constexpr double kScale = double { kInputAmplitude } / (kPinkRows + 1);
    for (double& u : input) {
        ++m_count;
        const int row = std::countr_zero(m_count);
        if (row < kPinkRows) {
            const double fresh = NextUniform();
            // The sum is formed anew rather than updated, so that no rounding error piles up.
            m_rows[static_cast<std::size_t>(row)] = fresh;
            m_rowSum = 0.0;
            for (const double value : m_rows) {
                m_rowSum += value;
            }
        }
        u = (m_rowSum + NextUniform()) * kScale;
    }
}

} // namespace vorn
