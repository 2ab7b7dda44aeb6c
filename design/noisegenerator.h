#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vorn {

// Reproducible noise in sample units, never above kInputAmplitude in magnitude: white (uniform)
// or pink (falling by 3 dB per octave). The sequence depends on the seed alone, the same on every
// machine and compiler: the bits come from SplitMix64 and become doubles by exact operations only.
// A plain value, usable from any thread.
class NoiseGenerator
{
public:
    enum class Colour { White, Pink };

    NoiseGenerator(Colour colour, std::uint64_t seed);

    // The next 64 random bits (SplitMix64).
    [[nodiscard]] std::uint64_t NextBits();
    // The next uniform value in [-1, 1), a multiple of 2^-52.
    [[nodiscard]] double NextUniform();
    // Writes the next input.size() samples.
    void Fill(std::span<double> input);

private:
    // Pink noise by the Voss-McCartney scheme: row r holds a uniform value renewed every 2^(r+1)
    // samples (at the samples whose count has r trailing zero bits), and each sample adds a fresh
    // one; the sum's spectrum falls by 3 dB per octave from rate / 2^(kPinkRows+1) upwards.
    static constexpr int kPinkRows = 16;

    Colour m_colour;
    std::uint64_t m_state;
    std::uint64_t m_count = 0; // samples made so far
    std::array<double, kPinkRows> m_rows {};
    double m_rowSum = 0.0;
};

} // namespace vorn
