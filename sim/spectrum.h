#pragma once

#include "constants.h"

#include <array>

namespace vorn {

using FftBuffer = std::array<double, kFftSize>;

// In-place forward radix-2 decimation-in-time FFT of kFftSize points, unscaled:
// X[k] = sum over n of x[n] e^(-2 pi i n k / N), in natural bin order.
void Fft(FftBuffer& re, FftBuffer& im);

// Whole-decibel magnitudes of bins 0..1999 of a transformed buffer: entry 0 is 0 (the DC bin is
// not converted), entry k is 20 log10 |X[k]| truncated toward zero.
void SpectrumToDecibels(const FftBuffer& re, const FftBuffer& im, SampleBlock& block);

} // namespace vorn
