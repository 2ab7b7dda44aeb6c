// vorn-render samples: blocks of a fresh simulation as text, one sample per line.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "optionvalues.h"
#include "renderoptions.h"
#include "rendersignal.h"
#include "usageerror.h"

#include <charconv>
#include <cstdio>
#include <memory>

namespace vorn {

namespace {

constexpr long long kMaxSkipBlocks = 10'000'000;
constexpr long long kMaxPrintedBlocks = 100'000;

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

// Runs `skip` blocks of the input through the chain unseen, then prints `blocks` more.
void PrintBlocks(TestInput& signal, BlockChain& chain, long long skip, long long blocks)
{
    InputBlock input;
    for (long long i = 0; i < skip + blocks; ++i) {
        signal.Fill(input);
        const SampleBlock& output = chain.Filter(input);
        if (i >= skip) {
            PrintBlock(output);
        }
    }
}

UsageError CountError(const char* name, long long value, long long maximum)
{
    return UsageError(std::string(name) + " must be a whole number from 0 to "
        + std::to_string(maximum) + ", not '" + std::to_string(value) + "'");
}

// The skipped and printed blocks: of the sweep that wav writes for the same options, which spans
// `total` blocks (all of them unless --skip and --blocks choose a part), or of the endless sine,
// step, noise or impulse response.
void CheckBlocks(const CLI::App& command, SamplesOptions& options)
{
    if (options.signal.input != InputKind::Sweep) {
        if (command.count("--seconds") > 0) {
            throw UsageError("--seconds applies to --input sweep only");
        }
        if (options.blocks > kMaxPrintedBlocks) {
            throw CountError("--blocks", options.blocks, kMaxPrintedBlocks);
        }
        return;
    }
    if (options.afterAnalysis) {
        throw UsageError("--after-analysis does not apply to --input sweep");
    }
    const long long total = BlocksFor(options.signal.seconds, options.signal.rate);
    if (options.skip > total) {
        throw CountError("--skip", options.skip, total);
    }
    if (command.count("--blocks") == 0) {
        options.blocks = total - options.skip;
    } else if (options.blocks > total) {
        throw CountError("--blocks", options.blocks, total);
    }
    if (options.skip + options.blocks > total) {
        throw UsageError(
            "--skip and --blocks reach past the sweep's " + std::to_string(total) + " blocks");
    }
}

} // namespace

void AddSamplesCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<SamplesOptions>();
    CLI::App* command = line.AddCommand("samples",
        "blocks of a fresh simulation, one 16-bit sample per line",
        { { "[--input sine|step] [--freq HZ] [--skip K] [--blocks N] [--after-analysis]",
              "--input sweep [--from HZ] [--to HZ] [--seconds S] [--skip K] [--blocks N]",
              "--input noise|pink|impulse [--seed N] [--skip K] [--blocks N]", "... [--rate HZ]" },
            "A fresh simulation: skips K blocks (default 0), then prints N blocks (default 1), "
            "one 16-bit sample per line, 2000 lines per block. With --after-analysis the "
            "frequency-response analysis runs first and the signal continues from the state it "
            "leaves.\n"
            "With --input sweep it prints the blocks of the sweep that wav writes for the same "
            "--from, --to, --seconds and --rate, all of them unless --skip and --blocks choose a "
            "part. With --input noise or pink it prints noise through the chain, the same samples "
            "for the same --seed; with --input impulse the impulse response. --rate runs the "
            "simulation at another rate; the default 44100 Hz gives the window's samples, bit for "
            "bit." });
    line.SetExamples(command,
        { { "vorn-render samples --input step | head -12",
              "the first samples of the window's step response" },
            { "vorn-render samples --input impulse --type chebyshev1 --order 4 --ripple 1 > h.txt",
                "the impulse response of a 4th-order Chebyshev I filter, 2000 samples" } });
    AddSignalOptions(*command, options->signal,
        "with --input sweep: the least length of the sweep, as wav makes it; default 5");
    AddWhole(*command, "--skip", options->skip, 0, kMaxSkipBlocks, "K",
        "the blocks run through the chain unseen first; default 0, with --input sweep at most "
        "the sweep's blocks");
    AddWhole(*command, "--blocks", options->blocks, 0, BlocksFor(kMaxSignalSeconds, kMaxSignalRate),
        "N",
        "the blocks printed; default 1 and at most 100000, or with --input sweep all the sweep's "
        "blocks after the skipped ones");
    AddFlag(*command, "--after-analysis", options->afterAnalysis,
        "run the frequency-response analysis first; the signal continues from where it leaves "
        "the chain");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        CheckSignalOptions(*command, options->signal);
        CheckBlocks(*command, *options);
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->signal.rate);
        if (options->afterAnalysis && !options->designs.empty()) {
            throw UsageError("--after-analysis applies to the window's chain only, not to a "
                             "design: the analysis runs the window's chain");
        }
        parsed = { command->get_name(), *options };
    });
}

void RunSamples(const SamplesOptions& options)
{
    CVornSimulation simulation;
    BlockChain chain(OneDesign(options.designs), simulation, options.signal.rate);
    if (options.signal.input == InputKind::Sweep) {
        TestInput sweep(
            options.signal, simulation, BlocksFor(options.signal.seconds, options.signal.rate));
        PrintBlocks(sweep, chain, options.skip, options.blocks);
        return;
    }
    TestInput signal(options.signal, simulation, 0);
    if (options.afterAnalysis) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
    PrintBlocks(signal, chain, options.skip, options.blocks);
}

} // namespace vorn
