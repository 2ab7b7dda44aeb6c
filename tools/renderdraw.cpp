#include "renderdraw.h"

#include "optionvalues.h"

namespace vorn {

namespace {

constexpr long long kMaxSkipBlocks = 10'000'000;

} // namespace

void AddDrawOptions(CLI::App& command, DrawOptions& draw)
{
    AddChoice(command, "--mode", draw.frequencyMode,
        Choices<bool> { { "time", false }, { "freq", true } },
        "one block of the output signal, or the frequency response in whole decibels")
        ->required();
    AddChoice(command, "--input", draw.input, Choices<int> { { "sine", 0 }, { "step", 1 } },
        "the window's input, amplitude 10000; default sine");
    AddDecimal(command, "--freq", draw.frequency, "HZ",
        "the sine's frequency, any finite decimal number as the settings dialog takes it; "
        "default 1000");
    AddWhole(command, "--skip", draw.skip, 0, kMaxSkipBlocks, "K",
        "the blocks generated first, before the analysis in frequency mode; default 0");
}

void PrepareDraw(const DrawOptions& draw, CVornSimulation& simulation)
{
    simulation.m_nInput = draw.input;
    simulation.m_dFreq = draw.frequency;
    for (long long i = 0; i < draw.skip; ++i) {
        simulation.GenerateBlock(0);
    }
    if (draw.frequencyMode) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
}

void DrawOnce(CDrawTarget& target, CVornSimulation& simulation, std::vector<CPoint>& points)
{
    const SampleBlock& block = simulation.PrepareDrawBlock();
    DrawTrace(target, block, simulation.m_bFreqMode != 0, points);
}

} // namespace vorn
