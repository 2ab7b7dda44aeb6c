// vorn-render wav: a sound file of the simulation, WAV unless its name says otherwise.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "optionvalues.h"
#include "renderoptions.h"
#include "rendersignal.h"
#include "soundformat.h"
#include "soundoutput.h"
#include "usageerror.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sndfile.h>
#include <thread>
#include <utility>
#include <vector>

namespace vorn {

namespace {

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

void AddWavCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<WavOptions>();
    CLI::App* command = line.AddCommand("wav",
        "a sound file of the simulation: WAV, FLAC, Ogg and the other formats of filter",
        { { "--output FILE.wav [--input sine|step] [--freq HZ] [--seconds S]",
              "--output FILE.wav --input sweep [--from HZ] [--to HZ] [--seconds S]",
              "--output FILE.wav --input noise|pink|impulse [--seed N] [--seconds S]",
              "... [--rate HZ]" },
            "Writes 16-bit mono PCM at the simulation's rate (44100 Hz by default): whole blocks, "
            "at least S seconds. The file appears complete or not at all. A name ending in .flac "
            "or .ogg (or another extension that filter knows) chooses that format; --output - "
            "writes the WAV file to standard output.\n"
            "With --input sweep the input is an exponential sine sweep of amplitude 10000, "
            "phase-continuous: its frequency rises (or falls) by equal ratios in equal times from "
            "--from to --to. It spans exactly the samples written, so it starts at --from on the "
            "first sample and reaches --to on the last; listening to it, the tone fades above "
            "1 kHz at 36 dB per octave." });
    line.SetExamples(command,
        { { "vorn-render wav --freq 440 --seconds 10 --output a440.wav",
              "ten seconds of a 440 Hz sine through the filter" },
            { "vorn-render wav --input sweep --type elliptic --order 6 --output sweep.flac",
                "a sweep from 20 Hz to 20 kHz through a 6th-order elliptic filter: hear its stop "
                "band" } });
    AddValue(*command, "--output", "FILE", "the file to write; - is standard output",
        [target = options](const std::string& path) {
            if (path.empty()) {
                throw UsageError("--output needs a file name, or - for standard output");
            }
            target->format = WavFormat(path);
            target->output = path;
        })
        ->required();
    AddSignalOptions(*command, options->signal, "the least length of the file; default 5");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        CheckSignalOptions(*command, options->signal);
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->signal.rate);
        parsed = { command->get_name(), *options };
    });
}

void RunWav(const WavOptions& options)
{
    const int rate = options.signal.rate;
    const std::uint32_t blocks = BlocksFor(options.signal.seconds, rate);
    CVornSimulation simulation;
    TestInput signal(options.signal, simulation, blocks);
    BlockChain chain(OneDesign(options.designs), simulation, rate);
    // Standard output gets the finished file, its lengths in its header, as a file would have it.
    SoundOutput file(options.output, options.format, rate, 1, SoundOutput::Stdout::Spool);

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
            file.WriteShorts(chain.Filter(input));
        }
        producer.join();
        done = after;
        std::swap(current, next);
    }
    file.Finish();
    std::fprintf(stderr, "wrote %s: %u blocks, %.3f s\n",
        options.output == "-" ? "standard output" : options.output.c_str(), blocks,
        static_cast<double>(blocks) * kBlockSamples / rate);
}

} // namespace vorn
