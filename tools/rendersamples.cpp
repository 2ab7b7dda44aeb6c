#include "rendercommands.h"

#include "renderargs.h"
#include "vornsimulation.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace vorn {

namespace {

constexpr long long kMaxSkipBlocks = 10'000'000;
constexpr long long kMaxPrintedBlocks = 100'000;
constexpr double kMaxWavSeconds = 3600.0;

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

} // namespace

void RenderSamples(const std::vector<std::string>& args)
{
    const RenderArgs options(args, { "input", "freq", "skip", "blocks" }, { "after-analysis" });
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
    const RenderArgs options(args, { "output", "input", "freq", "seconds" });
    const std::string output = options.Required("output");
    CVornSimulation simulation;
    simulation.m_nInput = options.Input();
    simulation.m_dFreq = options.Frequency();
    double seconds = 5.0;
    if (const auto text = options.Value("seconds")) {
        const RenderArgs probe({ "--freq", *text }, { "freq" });
        try {
            seconds = probe.Frequency();
        } catch (const UsageError&) {
            seconds = -1.0;
        }
        if (!(seconds > 0.0 && seconds <= kMaxWavSeconds)) {
            throw UsageError(
                "--seconds must be a number above 0 and at most 3600, not '" + *text + "'");
        }
    }

    // Whole blocks, at least the requested duration.
    const auto blocks
        = static_cast<std::uint32_t>(std::ceil(seconds * kPlaybackRate / kBlockSamples));
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
    const auto fillChunk
        = [&simulation](std::vector<InputBlock>& chunk, std::uint32_t count, double& chunkPhase) {
              chunk.resize(count);
              for (InputBlock& input : chunk) {
                  simulation.FillInput(input, chunkPhase);
              }
          };
    fillChunk(current, std::min(kChunkBlocks, blocks), phase);
    for (std::uint32_t done = 0; done < blocks;) {
        const std::uint32_t after = done + static_cast<std::uint32_t>(current.size());
        std::thread producer(
            [&] { fillChunk(next, std::min(kChunkBlocks, blocks - after), phase); });
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
