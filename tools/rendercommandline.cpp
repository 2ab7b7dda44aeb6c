#include "rendercommandline.h"

#include "designoptions.h"
#include "vornversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <type_traits>
#include <variant>

namespace vorn {

namespace {

constexpr const char* kProgram = "vorn-render";
// The synopsis lines up the subcommands' arguments after the longest name but coefficients.
constexpr std::size_t kNameWidth = 8;

void Write(const std::string& text, std::FILE* stream)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

void Run(const RenderCommand& command)
{
    std::visit(
        [](const auto& options) {
            using Options = std::decay_t<decltype(options)>;
            if constexpr (std::is_same_v<Options, SamplesOptions>) {
                RunSamples(options);
            } else if constexpr (std::is_same_v<Options, SpectrumOptions>) {
                RunSpectrum(options);
            } else if constexpr (std::is_same_v<Options, WavOptions>) {
                RunWav(options);
            } else if constexpr (std::is_same_v<Options, PointsOptions>) {
                RunPoints(options);
            } else if constexpr (std::is_same_v<Options, PlotOptions>) {
                RunPlot(options);
            } else if constexpr (std::is_same_v<Options, ResponseOptions>) {
                RunResponse(options);
            } else if constexpr (std::is_same_v<Options, CoefficientsOptions>) {
                RunCoefficients(options);
            } else if constexpr (std::is_same_v<Options, PolesOptions>) {
                RunPoles(options);
            } else if constexpr (std::is_same_v<Options, MetricsOptions>) {
                RunMetrics(options);
            } else {
                static_assert(std::is_same_v<Options, FilterOptions>);
                RunFilter(options);
            }
        },
        command.options);
}

} // namespace

std::unique_ptr<CommandLine> BuildRenderCommandLine(RenderCommand& parsed)
{
    auto line = std::make_unique<CommandLine>(kProgram, kVornVersion,
        CommandText { {},
            "Without options, every command runs the window's filter: a 6th-order 1 kHz "
            "Butterworth low-pass followed by a 1 Hz high-pass, each stage sampled exactly with "
            "its input held, driven by a sine (amplitude 10000, default 1000 Hz) or a step, in "
            "blocks of 2000 samples at 44100 Hz; its numbers are those of the Vorn window. An "
            "option's value may also follow an equals sign, as in --freq=440.\n"
            "The commands that run a filter take design options too: any of them replaces the "
            "window's chain by a computed design. --order 6 alone is then a computed Butterworth "
            "whose damping values are exact, a difference from the window's chain far below "
            "0.001 dB, but not bit for bit." },
        kNameWidth);
    AddSamplesCommand(*line, parsed);
    AddSpectrumCommand(*line, parsed);
    AddWavCommand(*line, parsed);
    AddPointsCommand(*line, parsed);
    AddPlotCommand(*line, parsed);
    AddResponseCommand(*line, parsed);
    AddCoefficientsCommand(*line, parsed);
    AddPolesCommand(*line, parsed);
    AddMetricsCommand(*line, parsed);
    AddFilterCommand(*line, parsed);

    // The program's own lines after the commands': the design options, once for all the
    // commands that take them, then the help.
    std::string designCommands;
    for (const CLI::App* command : Commands(&line->App())) {
        const auto options = command->get_options(
            [](const CLI::Option* option) { return option->get_group() == kDesignGroup; });
        if (!options.empty()) {
            designCommands += (designCommands.empty() ? "" : "|") + command->get_name();
        }
    }
    CommandText text = line->Help().Text(&line->App());
    text.synopsis = { designCommands + " ... " + DesignOptions::Synopsis(), "COMMAND --help",
        "--help | --version" };
    line->Help().SetText(&line->App(), text);
    line->Help().SetPurpose(&line->App(),
        "vorn-render lets you hear and see analogue filters: the low-pass of the Vorn window "
        "or any Butterworth, Bessel, Chebyshev or elliptic filter you design, low- or "
        "high-pass, sampled exactly. It puts your own sound through the filter, and draws and "
        "prints what the filter does: its frequency response, its poles and zeros, its step "
        "response, its coefficients for other tools. Start with an example, then see a "
        "command's own help: vorn-render COMMAND --help.");
    line->SetExamples(&line->App(),
        { { "vorn-render filter song.flac - | aplay",
              "hear a file through the filter (WAV, FLAC, Ogg ...; - is a pipe)" },
            { "vorn-render response --order 2,4,6,8 --plot orders.png",
                "compare Butterworth low-passes of the orders 2 to 8 as a plot" },
            { "vorn-render coefficients --type bessel --order 4 --hold sections > sos.txt",
                "a 4th-order Bessel filter's coefficients for scipy's sosfilt, in sos.txt" },
            { "vorn-render poles --plot poles.png",
                "see the poles and zeros of the filter, analogue and sampled" } });
    return line;
}

RenderCommandLine ParseRenderCommandLine(const std::vector<std::string>& arguments)
{
    RenderCommandLine parsed;
    const std::unique_ptr<CommandLine> line = BuildRenderCommandLine(parsed.command);
    parsed.result = line->Parse(arguments);
    return parsed;
}

namespace {

// Whether everything written to standard output reached it; says so in one line on standard error
// when not. A reader that went away has ended the program by SIGPIPE before this, as it ends any
// program writing to a pipe.
bool OutputWritten(const std::string& command)
{
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    const int error = errno;
    Write(FailureLine(kProgram, command,
              std::string("cannot write standard output: ")
                  + (error != 0 ? std::strerror(error) : "write error")),
        stderr);
    return false;
}

} // namespace

int RunRenderCommandLine(const RenderCommandLine& line)
{
    switch (line.result.action) {
    case CommandLineResult::Action::Print:
        Write(line.result.text, stdout);
        return OutputWritten({}) ? line.result.status : 1;
    case CommandLineResult::Action::Refuse:
        Write(line.result.text, stderr);
        return line.result.status;
    case CommandLineResult::Action::Run:
        break;
    }
    const std::string& name = line.command.name;
    try {
        Run(line.command);
    } catch (const std::invalid_argument& error) {
        Write(FailureLine(kProgram, name, error.what()), stderr);
        return 2;
    } catch (const std::exception& error) {
        Write(FailureLine(kProgram, name, error.what()), stderr);
        return 1;
    }
    return OutputWritten(name) ? 0 : 1;
}

} // namespace vorn
