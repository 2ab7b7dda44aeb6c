#pragma once

// The subcommands of vorn-render. Each adds itself to the command line with its options
// (Add...Command); once parsed and checked, without running anything or touching a file, its
// options are left in the RenderCommand, and Run... does the work. A Run function throws
// std::invalid_argument (UsageError among them) for bad input it can only see then, such as a
// file that cannot be read or written, before it writes anything.
#include "constants.h"
#include "designplan.h"
#include "soundformat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vorn {

class CommandLine;

enum class InputKind { Sine, Step, Sweep, Noise, Pink, Impulse };

// The test signal of samples and wav, and the rate they run at.
struct SignalOptions
{
    InputKind input = InputKind::Sine;
    double frequency = 1000.0; // the sine's (and the step's, which ignores it)
    double fromHz = 20.0; // the sweep's ends
    double toHz = 20000.0;
    std::uint64_t seed = 1; // the noise's
    double seconds = 5.0; // the least length: the file's, the sweep's
    int rate = kPlaybackRate;
};

// Blocks of a fresh simulation as text, one sample per line.
struct SamplesOptions
{
    SignalOptions signal;
    long long skip = 0; // blocks run through the chain unseen
    long long blocks = 1; // blocks printed
    bool afterAnalysis = false;
    std::vector<DesignPlan> designs;
};

// The whole-decibel spectrum of the frequency-response analysis.
struct SpectrumOptions
{ };

// A sound file of the simulation.
struct WavOptions
{
    SignalOptions signal;
    std::string output; // "-": standard output
    int format = 0; // libsndfile's major format and subtype
    std::vector<DesignPlan> designs;
};

// The state in which one Draw happens: the mode, the signal, the blocks before it.
struct DrawOptions
{
    bool frequencyMode = false;
    int input = 0; // the view's m_nInput: 0 sine, 1 step
    double frequency = 1000.0;
    long long skip = 0;
};

// The points one Draw records.
struct PointsOptions
{
    DrawOptions draw;
};

// The picture one Draw shows, as PNG or SVG.
struct PlotOptions
{
    DrawOptions draw;
    int width = 760; // the client area, in pixels
    int height = 640;
    bool labels = false;
    std::string output;
};

enum class ResponseFormat { Text, Csv, Frd, Tsv };

// The frequency response, simulated and analogue, as a table or a picture.
struct ResponseOptions
{
    double rate = kPlaybackRate;
    std::vector<double> hz; // the frequencies, in the order listed
    bool logarithmic = true; // how the frequencies were spaced (the picture's axis)
    ResponseFormat format = ResponseFormat::Text;
    std::string plot; // a picture file instead of a table; empty: none
    bool labels = false; // the picture's group-delay panel
    std::optional<std::pair<double, double>> levelRange; // the picture's level axis, dB
    std::optional<std::string> title; // the picture's; none: the filter's name
    bool analogue = false; // frd and tsv: the prototype's response
    std::vector<DesignPlan> designs;
};

enum class CoefficientFormat { Sos, Json, C };

// The chain as second-order sections.
struct CoefficientsOptions
{
    double rate = kPlaybackRate;
    CoefficientFormat format = CoefficientFormat::Sos;
    std::vector<DesignPlan> designs;
};

// The poles and zeros, as a list or a figure.
struct PolesOptions
{
    double rate = kPlaybackRate;
    std::string plot; // empty: the list
    std::vector<DesignPlan> designs;
};

// The step and impulse figures, or the step response's figure.
struct MetricsOptions
{
    double rate = kPlaybackRate;
    std::string plot; // empty: the table
    std::vector<DesignPlan> designs;
};

// An audio file through the chain, into another.
struct FilterOptions
{
    std::string in; // "-": standard input
    std::string out; // "-": standard output
    double gain = 1.0; // linear
    std::optional<double> abSeconds;
    std::optional<int> subtype;
    SoundContainer container;
    bool quiet = false;
    std::vector<DesignPlan> designs;
};

using RenderOptions = std::variant<SamplesOptions, SpectrumOptions, WavOptions, PointsOptions,
    PlotOptions, ResponseOptions, CoefficientsOptions, PolesOptions, MetricsOptions, FilterOptions>;

// A parsed subcommand: its name and its options.
struct RenderCommand
{
    std::string name;
    RenderOptions options;
};

void AddSamplesCommand(CommandLine& line, RenderCommand& parsed);
void AddSpectrumCommand(CommandLine& line, RenderCommand& parsed);
void AddWavCommand(CommandLine& line, RenderCommand& parsed);
void AddPointsCommand(CommandLine& line, RenderCommand& parsed);
void AddPlotCommand(CommandLine& line, RenderCommand& parsed);
void AddResponseCommand(CommandLine& line, RenderCommand& parsed);
void AddCoefficientsCommand(CommandLine& line, RenderCommand& parsed);
void AddPolesCommand(CommandLine& line, RenderCommand& parsed);
void AddMetricsCommand(CommandLine& line, RenderCommand& parsed);
void AddFilterCommand(CommandLine& line, RenderCommand& parsed);

void RunSamples(const SamplesOptions& options);
void RunSpectrum(const SpectrumOptions& options);
void RunWav(const WavOptions& options);
void RunPoints(const PointsOptions& options);
void RunPlot(const PlotOptions& options);
void RunResponse(const ResponseOptions& options);
void RunCoefficients(const CoefficientsOptions& options);
void RunPoles(const PolesOptions& options);
void RunMetrics(const MetricsOptions& options);
void RunFilter(const FilterOptions& options);

} // namespace vorn
