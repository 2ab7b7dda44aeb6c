#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// An exponential sine sweep over a fixed number of samples: its instantaneous frequency rises (or
// falls) by the same ratio in equal times, from fromHz at the first sample to toHz at the last,
// and its phase is continuous throughout. The test input of the renderer's sweep, in sample
// units; a plain value, usable from any thread.
class ExponentialSweep
{
public:
    // fromHz and toHz positive, samples at least 1, sampleRate in Hz.
    ExponentialSweep(double fromHz, double toHz, std::int64_t samples, double sampleRate);

    // The phase in radians at sample n (0 at sample 0).
    [[nodiscard]] double Phase(std::int64_t n) const;
    // Writes the input of samples first, first + 1, ... into `input`:
    // sin(phase) kInputAmplitude, as the sine input of the block generator.
    void Fill(std::int64_t first, std::span<double> input) const;

private:
    double m_step; // radians per sample at the first sample
    double m_growth; // ln(to / from) per sample; 0 for a steady tone
};

} // namespace vorn
