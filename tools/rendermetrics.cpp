// vorn-render metrics: the step and impulse figures of the chain as the program runs it at a
// given rate, next to the analogue prototype's.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "filtermodel.h"
#include "numbertext.h"
#include "renderoptions.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace vorn {

namespace {

std::string MetricsTable(const FilterModel& model)
{
    const double rate = model.Rate();
    const StepMetrics simulated = model.SimulatedMetrics();
    const StepMetrics analogue = model.AnalogueMetrics();
    struct Line
    {
        const char* name;
        double StepMetrics::*member;
        double scale;
    };
    const Line lines[] = {
        { "rise_time_ms", &StepMetrics::riseTime, 1e3 },
        { "overshoot_percent", &StepMetrics::overshootPercent, 1 },
        { "peak_time_ms", &StepMetrics::peakTime, 1e3 },
        { "settling_time_ms", &StepMetrics::settlingTime, 1e3 },
        { "impulse_peak_per_ms", &StepMetrics::impulsePeak, 1e-3 },
        { "impulse_peak_time_ms", &StepMetrics::impulsePeakTime, 1e3 },
        { "chain_overshoot_percent", &StepMetrics::chainOvershootPercent, 1 },
        { "chain_peak_time_ms", &StepMetrics::chainPeakTime, 1e3 },
    };
    std::string text = model.IsWindowChain()
        ? "# The low-pass's step (10-90 % rise, 2 % settling) and impulse response, simulated at "
            + FormatDouble15g(rate)
            + " Hz (sample n at n / rate)\n"
              "# and analogue; chain_*: the whole chain's step response, high-pass included.\n"
        : "# " + model.Name()
            + "\n# Its step (10-90 % rise, 2 % settling, relative to its final "
              "value) and impulse response, simulated at "
            + FormatDouble15g(rate)
            + " Hz (sample n at n / rate)\n# and analogue; chain_*: with the DC block; nan: none "
              "(no peak, or not settled within the figures' span).\n";
    if (model.MeasuresComplement()) {
        text += "# A high-pass: every figure is that of the complement, its gain at high "
                "frequencies minus its step\n# response: the rise is its output's fall from the "
                "first jump, the overshoot its undershoot below 0.\n";
    }
    const auto pad = [](std::string item, std::size_t width) {
        item.resize(std::max(width, item.size()), ' ');
        return item;
    };
    text += pad("quantity", 24) + pad("simulated", 18) + "analogue\n";
    for (const Line& line : lines) {
        text += pad(line.name, 24) + pad(FormatGeneral(simulated.*line.member * line.scale, 9), 18)
            + FormatGeneral(analogue.*line.member * line.scale, 9) + '\n';
    }
    return text;
}

} // namespace

void AddMetricsCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<MetricsOptions>();
    CLI::App* command = line.AddCommand("metrics",
        "step and impulse response figures, simulated and analogue",
        { { "[--rate HZ]" },
            "Prints the low-pass's step response figures (rise time from 10 to 90 %, overshoot, "
            "peak time, settling time to within 2 % of the final value) and impulse response "
            "figures (peak and its time), and the whole chain's overshoot and peak time, for the "
            "chain simulated at --rate (sample n at n / rate) next to those of the analogue "
            "prototype.\n"
            "With design options, the design's figures relative to its final value (below 1 for "
            "even orders of Chebyshev I and elliptic filters), the chain's with the DC block. For "
            "a high-pass they are those of its gain at high frequencies minus its step response: "
            "the rise is the fall of its output from the first jump, the overshoot its undershoot "
            "below 0." });
    AddChainRate(*command, options->rate);
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->rate);
        parsed = { command->get_name(), *options };
    });
}

void RunMetrics(const MetricsOptions& options)
{
    const std::string text = MetricsTable(FilterModel(OneDesign(options.designs), options.rate));
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace vorn
