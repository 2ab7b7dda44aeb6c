#include "vornsimulation.h"

#include "sampleconvert.h"

#include <cmath>

namespace vorn {

void CVornSimulation::GenerateBlock(int bufferIndex)
{
    // The input of the whole block first: the sines do not depend on the filter, so computing
    // them apart keeps them off the filter's dependency chain.
    InputBlock input;
    double phase = m_filter[7];
    FillInput(input, phase);
    FilterBlock(input, bufferIndex);
    m_filter[7] = phase;
}

void CVornSimulation::FillInput(InputBlock& input, double& phase, double sampleRate) const
{
    const double twoPi = std::atan(1.0) * 8;
    // Taken once per block: a frequency change applies from the next block.
    const double dphi = (m_dFreq * twoPi) / sampleRate;
    double p = phase;
    for (double& u : input) {
        // Each sample uses the phase before its own advance: the first after a reset uses 0.
        u = m_nInput == 0 ? std::sin(p) * kInputAmplitude : double { kInputAmplitude };
        // The phase advances for the step too, and is never wrapped.
        p = dphi + p;
    }
    phase = p;
}

void CVornSimulation::FilterBlock(
    const InputBlock& input, int bufferIndex, const FilterCoefficients& coefficients)
{
    SampleBlock& block = m_samples[static_cast<std::size_t>(bufferIndex)];
    // A local copy of the state stays in registers through the loop.
    FilterState state = m_filter;
    for (std::size_t n = 0; n < input.size(); ++n) {
        block[n] = ToSample16(StepFilterChain(coefficients, state, input[n]));
    }
    m_filter = state;
}

void CVornSimulation::ResetFilterState()
{
    m_filter.fill(0.0);
}

double CVornSimulation::AnalysisPhaseStep() const
{
    const double twoPi = std::atan(1.0) * 8;
    return (m_dFreq * twoPi) / kAnalysisRate;
}

void CVornSimulation::RunFrequencyAnalysis(double phaseStep)
{
    const FilterCoefficients& coefficients = AnalysisCoefficients();
    m_bFreqMode = 1;
    ResetFilterState();
    FilterState state = m_filter;
    for (int n = 0; n < kFftSize; ++n) {
        // A unit impulse, not scaled by the input amplitude: 0 dB stands for unity gain.
        const double u = n == 0 ? 1.0 : 0.0;
        const double y = StepFilterChain(coefficients, state, u);
        m_fftRe[static_cast<std::size_t>(n)] = y;
        m_fftIm[static_cast<std::size_t>(n)] = 0.0;
        // The phase advances as during block generation, although the impulse does not use it.
        state[7] = phaseStep + state[7];
    }
    m_filter = state;
    ComputeSpectrum();
}

void CVornSimulation::ComputeSpectrum()
{
    Fft(m_fftRe, m_fftIm);
    SpectrumToDecibels(m_fftRe, m_fftIm, m_samples[0]);
    m_spectrum = m_samples[0];
}

const SampleBlock& CVornSimulation::PlottedBlock() const
{
    return m_bFreqMode != 0 ? m_spectrum : m_samples[0];
}

const SampleBlock& CVornSimulation::PrepareDrawBlock()
{
    if (m_bFreqMode == 0) {
        GenerateBlock(0);
    }
    return PlottedBlock();
}

} // namespace vorn
