#pragma once

#include "constants.h"
#include "filterchain.h"
#include "spectrum.h"

#include <array>
#include <cstdint>

namespace vorn {

// The test input of one block, in sample units.
using InputBlock = std::array<double, kBlockSamples>;

// The simulation of one view: filter state, input settings, the two sample blocks that serve as
// audio buffers and plot buffer, and the analysis buffers. Qt-free; the view derives from it so
// that the members keep their names there. Everything here runs on the thread that owns the view.
class CVornSimulation
{
public:
    // Fills m_samples[bufferIndex] (0 or 1) with the next kBlockSamples output samples at
    // kPlaybackRate, continuing m_filter. Reads m_nInput once per sample, m_dFreq once per block.
    void GenerateBlock(int bufferIndex);

    // The two halves of GenerateBlock, for callers that compute the input apart (the sines do not
    // depend on the filter): FillInput writes the input of one block from `phase` on and
    // advances `phase` as the block does; FilterBlock runs an input block through the chain
    // into m_samples[bufferIndex], continuing m_filter[0..6]. The caller keeps m_filter[7].
    // Both work at kPlaybackRate unless given another rate (and its coefficients).
    void FillInput(InputBlock& input, double& phase, double sampleRate = kPlaybackRate) const;
    void FilterBlock(const InputBlock& input, int bufferIndex,
        const FilterCoefficients& coefficients = PlaybackCoefficients());

    // Zeroes all eight doubles of m_filter, the input phase included.
    void ResetFilterState();

    // Phase advance per analysis sample for the current frequency: (m_dFreq 2 pi) / 40960.
    [[nodiscard]] double AnalysisPhaseStep() const;

    // The frequency-response analysis after its message: switches to frequency mode, resets the
    // state, runs the unit impulse through the chain at kAnalysisRate for kFftSize samples
    // (advancing the phase by phaseStep per sample) and transforms it with ComputeSpectrum().
    void RunFrequencyAnalysis(double phaseStep);

    // Transforms m_fftRe/m_fftIm in place and writes the whole-dB spectrum into block 0 and into
    // m_spectrum.
    void ComputeSpectrum();

    // The block a Draw plots in the current mode: block 0 in time mode, the kept spectrum in
    // frequency mode (block 0 may have been refilled with time samples by the stream since).
    [[nodiscard]] const SampleBlock& PlottedBlock() const;

    // The simulation's part of a Draw: in time mode generates block 0 first (every Draw in time
    // mode advances the signal, plotted or not); in frequency mode generates nothing. Returns
    // the block to plot.
    const SampleBlock& PrepareDrawBlock();

    std::array<SampleBlock, 2> m_samples {};
    FilterState m_filter {};
    std::array<double, kFftSize> m_fftRe {};
    std::array<double, kFftSize> m_fftIm {};
    std::int32_t m_nInput = 0; // 0 = sine, anything else = step
    double m_dFreq = 1000.0; // sine frequency in Hz
    std::int32_t m_bFreqMode = 0; // nonzero: the plot shows the dB spectrum
    // The spectrum of the last analysis, kept apart from block 0, which the stream refills.
    SampleBlock m_spectrum {};
};

} // namespace vorn
