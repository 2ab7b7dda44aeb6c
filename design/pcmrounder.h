#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// The chain's output, in sample units (full scale 32768), as linear PCM of 8 to 32 bits: each
// sample rounded once to the nearest step of the resolution (ties to even) and clipped at full
// scale, never wrapped; NaN becomes 0. It keeps the largest magnitude it saw and counts the
// samples it clipped. vorn-render filter writes its integer samples with it and vorn-listen sends
// 16-bit samples to the sound server with it, so that the two give the same samples. Plain state,
// one thread at a time.
class PcmRounder
{
public:
    // bits from 8 to 32.
    explicit PcmRounder(int bits);

    // The rounded samples as 32-bit integers with the sample in their top bits (the sample times
    // 2^(32 - bits)), as libsndfile takes integers of any resolution. `out` holds as many samples
    // as `units`.
    void ToInt32(std::span<const double> units, std::span<std::int32_t> out);
    // The rounded samples of a 16-bit rounder.
    void ToInt16(std::span<const double> units, std::span<std::int16_t> out);

    [[nodiscard]] int Bits() const { return m_bits; }
    // The largest magnitude of the samples before rounding, in sample units.
    [[nodiscard]] double Peak() const { return m_peak; }
    // Samples past full scale, clipped (down to half a step below the negative full scale a
    // sample still rounds to it, and is not counted).
    [[nodiscard]] std::int64_t Clipped() const { return m_clipped; }

private:
    template <typename Integer>
    void Round(std::span<const double> units, std::span<Integer> out, std::int64_t factor);

    int m_bits;
    double m_peak = 0.0;
    std::int64_t m_clipped = 0;
};

} // namespace vorn
