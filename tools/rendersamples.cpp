#include "rendercommands.h"

#include "noisegenerator.h"
#include "numbertext.h"
#include "renderargs.h"
#include "soundformat.h"
#include "soundoutput.h"
#include "sweep.h"
#include "vornsimulation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <sndfile.h>
#include <thread>
#include <utility>
#include <vector>

namespace vorn {

namespace {

constexpr long long kMaxSkipBlocks = 10'000'000;
constexpr long long kMaxPrintedBlocks = 100'000;
constexpr double kMaxWavSeconds = 3600.0;
constexpr double kDefaultSeconds = 5.0;
constexpr double kSweepFromHz = 20.0;
constexpr double kSweepToHz = 20000.0;
constexpr long long kMaxSeed = 9'223'372'036'854'775'807;

// One decimal integer per line, written with one fwrite per block.
void PrintBlock(const SampleBlock& block)
{
    std::string text;
    text.reserve(block.size() * 8);
    char number[8];
    for (const std::int16_t sample : block) {
        const auto result = std::to_chars(number, number + sizeof number, sample);
        text.append(number, result.ptr);
        text.push_back('\n');
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// --rate: a whole number of hertz within the renderer's signal rates; 44100 when absent.
int SignalRate(const RenderArgs& options)
{
    const int rate = static_cast<int>(options.Count("rate", kPlaybackRate, kMaxSignalRate));
    CheckSignalRate(rate, "--rate");
    return rate;
}

// --seconds: above 0 and at most an hour; 5 when absent.
double Seconds(const RenderArgs& options)
{
    const auto text = options.Value("seconds");
    if (!text) {
        return kDefaultSeconds;
    }
    const auto seconds = ParseFiniteDecimal(*text);
    if (!seconds || !(*seconds > 0.0 && *seconds <= kMaxWavSeconds)) {
        throw UsageError(
            "--seconds must be a number above 0 and at most 3600, not '" + *text + "'");
    }
    return *seconds;
}

// Whole blocks, at least the requested duration.
std::uint32_t BlocksFor(double seconds, int rate)
{
    return static_cast<std::uint32_t>(std::ceil(seconds * rate / kBlockSamples));
}

// A sweep frequency: above 0 and below half the rate, where the samples can still carry it.
double SweepFrequency(const RenderArgs& options, const std::string& name, double fallback, int rate)
{
    const auto text = options.Value(name);
    if (!text) {
        return fallback;
    }
    const auto hz = ParseFiniteDecimal(*text);
    if (!hz || !(*hz > 0.0 && *hz < rate / 2.0)) {
        throw UsageError("--" + name + " must be a frequency above 0 and below "
            + FormatDouble15g(rate / 2.0) + " Hz, not '" + *text + "'");
    }
    return *hz;
}

enum class InputKind { Sine, Step, Sweep, Noise, Pink, Impulse };

InputKind ParseInputKind(const RenderArgs& options)
{
    const std::string input = options.Value("input").value_or("sine");
    const std::pair<const char*, InputKind> kinds[] = { { "sine", InputKind::Sine },
        { "step", InputKind::Step }, { "sweep", InputKind::Sweep }, { "noise", InputKind::Noise },
        { "pink", InputKind::Pink }, { "impulse", InputKind::Impulse } };
    for (const auto& [name, kind] : kinds) {
        if (input == name) {
            return kind;
        }
    }
    throw UsageError("--input must be 'sine', 'step', 'sweep', 'noise', 'pink' or 'impulse', not '"
        + input + "'");
}

// The options that only some inputs take, refused for the others.
void RefuseOptions(
    const RenderArgs& options, std::initializer_list<const char*> names, const std::string& takenBy)
{
    for (const char* name : names) {
        if (options.Has(name)) {
            throw UsageError(std::string("--") + name + " applies to " + takenBy + " only");
        }
    }
}

// The test input of samples and wav, block after block: the window's sine or step (at the
// simulation's frequency), the sweep over `blocks` whole blocks from --from to --to (so that it
// ends at --to on the last sample written), noise from --seed, or the impulse.
class TestInput
{
public:
    TestInput(
        const RenderArgs& options, CVornSimulation& simulation, int rate, std::uint32_t blocks)
        : m_kind(ParseInputKind(options))
        , m_simulation(simulation)
        , m_rate(rate)
    {
        if (m_kind != InputKind::Sweep) {
            RefuseOptions(options, { "from", "to" }, "--input sweep");
        }
        if (m_kind != InputKind::Noise && m_kind != InputKind::Pink) {
            RefuseOptions(options, { "seed" }, "--input noise and pink");
        }
        if (m_kind == InputKind::Sweep) {
            if (options.Has("freq")) {
                throw UsageError(
                    "--freq does not apply to --input sweep (it takes --from and --to)");
            }
            const double from = SweepFrequency(options, "from", kSweepFromHz, rate);
            const double to = SweepFrequency(options, "to", kSweepToHz, rate);
            m_sweep.emplace(from, to, static_cast<std::int64_t>(blocks) * kBlockSamples, rate);
        } else if (m_kind == InputKind::Sine || m_kind == InputKind::Step) {
            simulation.m_nInput = m_kind == InputKind::Sine ? 0 : 1;
            simulation.m_dFreq = options.Frequency();
        } else {
            RefuseOptions(options, { "freq" }, "--input sine and step");
            const auto seed = static_cast<std::uint64_t>(options.Count("seed", 1, kMaxSeed));
            m_noise.emplace(m_kind == InputKind::Pink ? NoiseGenerator::Colour::Pink
                                                      : NoiseGenerator::Colour::White,
                seed);
        }
    }

    [[nodiscard]] InputKind Kind() const { return m_kind; }

    void Fill(InputBlock& input)
    {
        switch (m_kind) {
        case InputKind::Sine:
        case InputKind::Step:
            if (m_filled == 0) {
                // The sine continues from the phase the simulation holds at the first block
                // (after the frequency-response analysis, the one it left).
                m_phase = m_simulation.m_filter[7];
            }
            m_simulation.FillInput(input, m_phase, m_rate);
            break;
        case InputKind::Sweep:
            m_sweep->Fill(m_filled * kBlockSamples, input);
            break;
        case InputKind::Noise:
        case InputKind::Pink:
            m_noise->Fill(input);
            break;
        case InputKind::Impulse:
            input.fill(0.0);
            if (m_filled == 0) {
                input[0] = kInputAmplitude;
            }
            break;
        }
        ++m_filled;
    }

private:
    InputKind m_kind;
    const CVornSimulation& m_simulation;
    double m_rate;
    double m_phase = 0.0;
    std::optional<ExponentialSweep> m_sweep;
    std::optional<NoiseGenerator> m_noise;
    std::int64_t m_filled = 0; // blocks made so far
};

// Runs `skip` blocks of the input through the chain unseen, then prints `blocks` more.
void PrintBlocks(TestInput& signal, CVornSimulation& simulation,
    const FilterCoefficients& coefficients, long long skip, long long blocks)
{
    InputBlock input;
    for (long long i = 0; i < skip + blocks; ++i) {
        signal.Fill(input);
        simulation.FilterBlock(input, 0, coefficients);
        if (i >= skip) {
            PrintBlock(simulation.m_samples[0]);
        }
    }
}

// The format of wav's output: by the extension, WAV without one (and on standard output).
int WavFormat(const std::string& output)
{
    const std::string extension = output == "-" ? std::string() : ExtensionOf(output);
    if (extension.empty()) {
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    }
    const auto container = ContainerForExtension(extension);
    if (!container) {
        throw UsageError(
            "unknown audio format '" + extension + "' (known: " + KnownExtensions() + ")");
    }
    return container->major | container->defaultSubtype;
}

} // namespace

void RenderSamples(const std::vector<std::string>& args)
{
    const RenderArgs options(args,
        { "input", "freq", "skip", "blocks", "seconds", "from", "to", "rate", "seed" },
        { "after-analysis" });
    const int rate = SignalRate(options);
    CVornSimulation simulation;
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    if (ParseInputKind(options) == InputKind::Sweep) {
        // The sweep that wav writes for the same options, block by block.
        const std::uint32_t total = BlocksFor(Seconds(options), rate);
        TestInput sweep(options, simulation, rate, total);
        if (options.Has("after-analysis")) {
            throw UsageError("--after-analysis does not apply to --input sweep");
        }
        const long long skip = options.Count("skip", 0, total);
        const long long blocks = options.Count("blocks", total - skip, total);
        if (skip + blocks > total) {
            throw UsageError(
                "--skip and --blocks reach past the sweep's " + std::to_string(total) + " blocks");
        }
        PrintBlocks(sweep, simulation, coefficients, skip, blocks);
        return;
    }
    RefuseOptions(options, { "seconds" }, "--input sweep");

    TestInput signal(options, simulation, rate, 0);
    const long long skip = options.Count("skip", 0, kMaxSkipBlocks);
    const long long blocks = options.Count("blocks", 1, kMaxPrintedBlocks);
    if (options.Has("after-analysis")) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
    PrintBlocks(signal, simulation, coefficients, skip, blocks);
}

void RenderSpectrum(const std::vector<std::string>& args)
{
    const RenderArgs options(args, {});
    CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    PrintBlock(simulation.m_samples[0]);
}

void RenderWav(const std::vector<std::string>& args)
{
    const RenderArgs options(
        args, { "output", "input", "freq", "seconds", "from", "to", "rate", "seed" });
    const std::string output = options.Required("output");
    const int rate = SignalRate(options);
    const std::uint32_t blocks = BlocksFor(Seconds(options), rate);
    CVornSimulation simulation;
    TestInput signal(options, simulation, rate, blocks);
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    // Standard output gets the finished file, its lengths in its header, as a file would have it.
    SoundOutput file(output, WavFormat(output), rate, 1, SoundOutput::Stdout::Spool);

    // The input of the next chunk of blocks is computed on a second thread while this one
    // filters the current chunk; the threads share nothing but the finished input buffers.
    constexpr std::uint32_t kChunkBlocks = 32;
    std::vector<InputBlock> current;
    std::vector<InputBlock> next;
    const auto fillChunk = [&](std::vector<InputBlock>& chunk, std::uint32_t count) {
        chunk.resize(count);
        for (InputBlock& input : chunk) {
            signal.Fill(input);
        }
    };
    fillChunk(current, std::min(kChunkBlocks, blocks));
    for (std::uint32_t done = 0; done < blocks;) {
        const std::uint32_t after = done + static_cast<std::uint32_t>(current.size());
        std::thread producer([&] { fillChunk(next, std::min(kChunkBlocks, blocks - after)); });
        for (const InputBlock& input : current) {
            simulation.FilterBlock(input, 0, coefficients);
            file.WriteShorts(simulation.m_samples[0]);
        }
        producer.join();
        done = after;
        std::swap(current, next);
    }
    file.Finish();
    std::fprintf(stderr, "wrote %s: %u blocks, %.3f s\n",
        output == "-" ? "standard output" : output.c_str(), blocks,
        static_cast<double>(blocks) * kBlockSamples / rate);
}

} // namespace vorn
