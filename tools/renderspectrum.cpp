// vorn-render spectrum: the whole-decibel spectrum that the frequency-response analysis leaves.
#include "rendercommands.h"

#include "commandline.h"
#include "vornsimulation.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace vorn {

void AddSpectrumCommand(CommandLine& line, RenderCommand& parsed)
{
    CLI::App* command
        = line.AddCommand("spectrum", "the 2000 whole-decibel entries of the frequency response",
            { { "" },
                "Prints the 2000 whole-decibel entries of the frequency response that the window's "
                "analysis computes, one per line; entry k is at 20 k Hz." });
    line.SetExamples(command,
        { { "vorn-render spectrum | sed -n 51p",
            "the window's level at 1 kHz (bin 50, 20 Hz per bin), in whole decibels" } });
    command->callback([command, &parsed] { parsed = { command->get_name(), SpectrumOptions {} }; });
}

void RunSpectrum(const SpectrumOptions& /*options*/)
{
    CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    std::string text;
    char number[8];
    for (const std::int16_t level : simulation.m_samples[0]) {
        text.append(number, std::to_chars(number, number + sizeof number, level).ptr);
        text.push_back('\n');
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace vorn
