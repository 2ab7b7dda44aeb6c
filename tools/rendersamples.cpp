#include "rendercommands.h"

#include "numbertext.h"
#include "renderargs.h"
#include "sweep.h"
#include "vornsimulation.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <thread>
#include <vector>

namespace vorn {

namespace {

constexpr long long kMaxSkipBlocks = 10'000'000;
constexpr long long kMaxPrintedBlocks = 100'000;
constexpr double kMaxWavSeconds = 3600.0;
constexpr double kDefaultSeconds = 5.0;
constexpr double kSweepFromHz = 20.0;
constexpr double kSweepToHz = 20000.0;

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

void AppendLittleEndian(std::string& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void AppendSamples(std::string& bytes, const SampleBlock& block)
{
    if constexpr (std::endian::native == std::endian::little) {
        bytes.append(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(block[0]));
    } else {
        for (const std::int16_t sample : block) {
            AppendLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
        }
    }
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
std::uint32_t BlocksFor(double seconds)
{
    return static_cast<std::uint32_t>(std::ceil(seconds * kPlaybackRate / kBlockSamples));
}

// A sweep frequency: above 0 and below half the rate, where the samples can still carry it.
double SweepFrequency(const RenderArgs& options, const std::string& name, double fallback)
{
    const auto text = options.Value(name);
    if (!text) {
        return fallback;
    }
    const auto hz = ParseFiniteDecimal(*text);
    if (!hz || !(*hz > 0.0 && *hz < kPlaybackRate / 2.0)) {
        throw UsageError(
            "--" + name + " must be a frequency above 0 and below 22050 Hz, not '" + *text + "'");
    }
    return *hz;
}

// The options that only the sweep takes, refused for the other inputs.
void RefuseSweepOptions(const RenderArgs& options, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (options.Has(name)) {
            throw UsageError(std::string("--") + name + " applies to --input sweep only");
        }
    }
}

// --input sweep: the sweep over `blocks` whole blocks from --from to --to, so that it ends at
// --to on the last sample written.
ExponentialSweep SweepOver(const RenderArgs& options, std::uint32_t blocks)
{
    if (options.Has("freq")) {
        throw UsageError("--freq does not apply to --input sweep (it takes --from and --to)");
    }
    const double from = SweepFrequency(options, "from", kSweepFromHz);
    const double to = SweepFrequency(options, "to", kSweepToHz);
    return { from, to, static_cast<std::int64_t>(blocks) * kBlockSamples, kPlaybackRate };
}

bool IsSweep(const RenderArgs& options)
{
    return options.Value("input") == "sweep";
}

} // namespace

void RenderSamples(const std::vector<std::string>& args)
{
    const RenderArgs options(
        args, { "input", "freq", "skip", "blocks", "seconds", "from", "to" }, { "after-analysis" });
    if (IsSweep(options)) {
        // The sweep that wav writes for the same options, block by block.
        const std::uint32_t total = BlocksFor(Seconds(options));
        const ExponentialSweep sweep = SweepOver(options, total);
        if (options.Has("after-analysis")) {
            throw UsageError("--after-analysis does not apply to --input sweep");
        }
        const long long skip = options.Count("skip", 0, total);
        const long long blocks = options.Count("blocks", total - skip, total);
        if (skip + blocks > total) {
            throw UsageError(
                "--skip and --blocks reach past the sweep's " + std::to_string(total) + " blocks");
        }
        CVornSimulation simulation;
        InputBlock input;
        for (long long i = 0; i < skip + blocks; ++i) {
            sweep.Fill(i * kBlockSamples, input);
            simulation.FilterBlock(input, 0);
            if (i >= skip) {
                PrintBlock(simulation.m_samples[0]);
            }
        }
        return;
    }
    RefuseSweepOptions(options, { "seconds", "from", "to" });

    CVornSimulation simulation;
    simulation.m_nInput = options.Input();
    simulation.m_dFreq = options.Frequency();
    const long long skip = options.Count("skip", 0, kMaxSkipBlocks);
    const long long blocks = options.Count("blocks", 1, kMaxPrintedBlocks);

    if (options.Has("after-analysis")) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
    for (long long i = 0; i < skip; ++i) {
        simulation.GenerateBlock(0);
    }
    for (long long i = 0; i < blocks; ++i) {
        simulation.GenerateBlock(0);
        PrintBlock(simulation.m_samples[0]);
    }
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
    const RenderArgs options(args, { "output", "input", "freq", "seconds", "from", "to" });
    const std::string output = options.Required("output");
    const std::uint32_t blocks = BlocksFor(Seconds(options));
    CVornSimulation simulation;
    std::optional<ExponentialSweep> sweep;
    if (IsSweep(options)) {
        sweep = SweepOver(options, blocks);
    } else {
        RefuseSweepOptions(options, { "from", "to" });
        simulation.m_nInput = options.Input();
        simulation.m_dFreq = options.Frequency();
    }
    const std::uint32_t dataBytes = blocks * kBlockSamples * 2;

    std::string bytes;
    bytes.reserve(44 + dataBytes);
    bytes += "RIFF";
    AppendLittleEndian(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    AppendLittleEndian(bytes, 16, 4); // fmt chunk size
    AppendLittleEndian(bytes, 1, 2); // PCM
    AppendLittleEndian(bytes, 1, 2); // mono
    AppendLittleEndian(bytes, kPlaybackRate, 4);
    AppendLittleEndian(bytes, kPlaybackRate * 2, 4); // bytes per second
    AppendLittleEndian(bytes, 2, 2); // block align
    AppendLittleEndian(bytes, 16, 2); // bits per sample
    bytes += "data";
    AppendLittleEndian(bytes, dataBytes, 4);

    // The input of the next chunk of blocks is computed on a second thread while this one
    // filters the current chunk; the threads share nothing but the finished input buffers.
    constexpr std::uint32_t kChunkBlocks = 32;
    std::vector<InputBlock> current;
    std::vector<InputBlock> next;
    double phase = simulation.m_filter[7];
    std::int64_t filled = 0; // blocks of input made so far
    const auto fillChunk = [&](std::vector<InputBlock>& chunk, std::uint32_t count) {
        chunk.resize(count);
        for (InputBlock& input : chunk) {
            if (sweep) {
                sweep->Fill(filled * kBlockSamples, input);
            } else {
                simulation.FillInput(input, phase);
            }
            ++filled;
        }
    };
    fillChunk(current, std::min(kChunkBlocks, blocks));
    for (std::uint32_t done = 0; done < blocks;) {
        const std::uint32_t after = done + static_cast<std::uint32_t>(current.size());
        std::thread producer([&] { fillChunk(next, std::min(kChunkBlocks, blocks - after)); });
        for (const InputBlock& input : current) {
            simulation.FilterBlock(input, 0);
            AppendSamples(bytes, simulation.m_samples[0]);
        }
        producer.join();
        done = after;
        std::swap(current, next);
    }
    WriteFileAtomically(output, bytes);
    std::fprintf(stderr, "wrote %s: %u blocks, %.3f s\n", output.c_str(), blocks,
        static_cast<double>(blocks) * kBlockSamples / kPlaybackRate);
}

} // namespace vorn
