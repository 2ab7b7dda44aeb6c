// Speed of the numeric core, measured against a yardstick: the loop-carried recurrence of one
// second-order section (seven dependent multiplies and adds and one division, in a fixed order),
// which bounds any exact implementation of the chain from below.
#include "designchain.h"
#include "filterchain.h"
#include "multichannelchain.h"
#include "spectrum.h"
#include "vornsimulation.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using vorn::kBlockSamples;

// One section's state update alone, with its data dependencies exactly as in the chain.
void BM_Yardstick_SectionRecurrence(benchmark::State& state)
{
    const vorn::SectionCoefficients& sc = vorn::PlaybackCoefficients().sections[0];
    double x1 = 0.0;
    double x2 = 0.0;
    const double v = 10000.0;
    for (auto _ : state) {
        for (int n = 0; n < kBlockSamples; ++n) {
            const double x1New
                = (x1 * sc.c - ((x1 * sc.k * 0.5 - x2) * sc.s) / sc.wd) * sc.E + v * sc.P;
            const double x2New
                = (((x2 * sc.k * 0.5 - x1) * sc.s) / sc.wd + x2 * sc.c) * sc.E + v * sc.N;
            x1 = x1New;
            x2 = x2New;
        }
        benchmark::DoNotOptimize(x1);
        benchmark::DoNotOptimize(x2);
    }
    state.SetItemsProcessed(state.iterations() * kBlockSamples);
}
BENCHMARK(BM_Yardstick_SectionRecurrence);

void GenerateBlocks(benchmark::State& state, int input)
{
    vorn::CVornSimulation simulation;
    simulation.m_nInput = input;
    int buffer = 0;
    for (auto _ : state) {
        simulation.GenerateBlock(buffer);
        buffer ^= 1;
        benchmark::DoNotOptimize(simulation.m_samples.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlockSamples);
}

void BM_GenerateBlock_Step(benchmark::State& state)
{
    GenerateBlocks(state, 1);
}
BENCHMARK(BM_GenerateBlock_Step);

void BM_GenerateBlock_Sine(benchmark::State& state)
{
    GenerateBlocks(state, 0);
}
BENCHMARK(BM_GenerateBlock_Sine);

// The filter command's loop: interleaved frames of `channels` channels through the chain at
// 48000 Hz, as many samples per item as the window's block. Stereo runs both channels in the two
// lanes of a vector; mono is one chain alone, waiting on its own recurrence.
void BM_MultichannelChain(benchmark::State& state)
{
    const auto channels = static_cast<int>(state.range(0));
    vorn::MultichannelChain chain(48000, channels);
    std::vector<double> block(static_cast<std::size_t>(kBlockSamples), 1000.0);
    for (auto _ : state) {
        chain.Process(block);
        benchmark::DoNotOptimize(block.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlockSamples);
}
BENCHMARK(BM_MultichannelChain)->Arg(1)->Arg(2)->Arg(6);

// Designing and sampling the hardest design: an order-10 elliptic, its Landen sequences, poles,
// zeros, residues and sections.
void BM_DesignElliptic10(benchmark::State& state)
{
    vorn::DesignPlan plan;
    plan.type = vorn::FilterType::Elliptic;
    plan.order = 10;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vorn::Discretise(plan, 48000).sections.data());
    }
}
BENCHMARK(BM_DesignElliptic10)->Unit(benchmark::kMicrosecond);

// A design running on a block, as the multichannel chain above: order (the window's 6th-order
// Butterworth, computed, or an order-10 elliptic) and channels.
void BM_DesignChain(benchmark::State& state)
{
    vorn::DesignPlan plan;
    plan.order = static_cast<int>(state.range(0));
    plan.type = plan.order == 10 ? vorn::FilterType::Elliptic : vorn::FilterType::Butterworth;
    vorn::DesignChain chain(vorn::Discretise(plan, 48000), static_cast<int>(state.range(1)));
    std::vector<double> block(static_cast<std::size_t>(kBlockSamples), 1000.0);
    for (auto _ : state) {
        chain.Process(block);
        benchmark::DoNotOptimize(block.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlockSamples);
}
BENCHMARK(BM_DesignChain)->Args({ 6, 1 })->Args({ 6, 2 })->Args({ 10, 1 })->Args({ 10, 2 });

// The whole frequency-response analysis: impulse loop, FFT and decibels.
void BM_FrequencyAnalysis(benchmark::State& state)
{
    vorn::CVornSimulation simulation;
    for (auto _ : state) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
        benchmark::DoNotOptimize(simulation.m_samples.data());
    }
}
BENCHMARK(BM_FrequencyAnalysis)->Unit(benchmark::kMicrosecond);

void BM_Fft(benchmark::State& state)
{
    // The transform of the chain's impulse response, restored before every run.
    vorn::CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(0.0);
    vorn::FftBuffer impulse {};
    simulation.ResetFilterState();
    for (std::size_t n = 0; n < impulse.size(); ++n) {
        impulse[n] = vorn::StepFilterChain(
            vorn::AnalysisCoefficients(), simulation.m_filter, n == 0 ? 1.0 : 0.0);
    }
    vorn::FftBuffer re {};
    vorn::FftBuffer im {};
    for (auto _ : state) {
        re = impulse;
        im.fill(0.0);
        vorn::Fft(re, im);
        benchmark::DoNotOptimize(re.data());
    }
}
BENCHMARK(BM_Fft)->Unit(benchmark::kMicrosecond);

// The decibel conversion alone, on the transformed impulse response.
void BM_SpectrumToDecibels(benchmark::State& state)
{
    vorn::CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(0.0);
    for (auto _ : state) {
        vorn::SpectrumToDecibels(simulation.m_fftRe, simulation.m_fftIm, simulation.m_samples[0]);
        benchmark::DoNotOptimize(simulation.m_samples.data());
    }
}
BENCHMARK(BM_SpectrumToDecibels)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
