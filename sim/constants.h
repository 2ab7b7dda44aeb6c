#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// Samples per block: one audio buffer, and the stretch of signal one Draw plots.
inline constexpr int kBlockSamples = 2000;
// Rate of the audio stream and of the time plot, in Hz.
inline constexpr int kPlaybackRate = 44100;
// Rate of the frequency-response analysis only, in Hz: 2048 bins at 20 Hz each.
inline constexpr int kAnalysisRate = 40960;
inline constexpr int kFftSize = 2048;
// Peak of the sine and level of the step, in 16-bit sample units.
inline constexpr int kInputAmplitude = 10000;

// One block of signed 16-bit samples, mono.
using SampleBlock = std::array<std::int16_t, kBlockSamples>;

} // namespace vorn
