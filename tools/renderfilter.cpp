// vorn-render filter: the user's own sound through the chain, at the file's own rate, every
// channel with its own state, in blocks of constant size.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "filterrun.h"
#include "optionvalues.h"
#include "renderoptions.h"
#include "soundformat.h"
#include "soundinput.h"
#include "soundoutput.h"
#include "usageerror.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorn {

namespace {

// Two names of one file: by device and inode, so that links and other spellings count too.
bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && S_ISREG(a.st_mode);
}

void RefuseSameFile(const std::string& in, const std::string& out)
{
    struct stat input
    { };
    if (in == "-" || ::stat(in.c_str(), &input) != 0) {
        return;
    }
    struct stat output
    { };
    const bool same = out == "-" ? ::fstat(STDOUT_FILENO, &output) == 0 && SameFile(input, output)
                                 : ::stat(out.c_str(), &output) == 0 && SameFile(input, output);
    if (same) {
        throw UsageError("IN and OUT are the same file: the output would destroy its input");
    }
}

// What the options give before the command's own check: --format and --gain as typed.
struct FilterArguments
{
    std::string format;
    double gainDb = 0.0;
    double abSeconds = 0.0;
};

// The container: --format, else OUT's extension, else (standard output) AU, which streams.
SoundContainer OutputContainer(const std::string& out, const std::string& format)
{
    const std::string extension
        = !format.empty() ? format : (out == "-" ? std::string("au") : ExtensionOf(out));
    if (extension.empty()) {
        throw UsageError("'" + out + "' has no extension to tell its format: add one, or "
            + "give --format (" + KnownExtensions() + ")");
    }
    const auto container = ContainerForExtension(extension);
    if (!container) {
        throw UsageError(
            "unknown audio format '" + extension + "' (known: " + KnownExtensions() + ")");
    }
    return *container;
}

std::string Decibels(double peak)
{
    if (!(peak > 0.0)) {
        return "-inf";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", 20.0 * std::log10(peak));
    return text;
}

std::string Name(const std::string& path, const char* stream)
{
    return path == "-" ? stream : path;
}

} // namespace

void AddFilterCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<FilterOptions>();
    auto arguments = std::make_shared<FilterArguments>();
    CLI::App* command = line.AddCommand("filter", "an audio file through the chain, into another",
        { { "IN OUT [--format EXT] [--subtype pcm16|pcm24|pcm32|float|double] [--gain DB] "
            "[--ab SECONDS] [--quiet]" },
            "Puts the audio file IN (WAV, FLAC, Ogg Vorbis or Opus, AIFF and whatever else "
            "libsndfile reads; - is standard input) through the chain at its own rate, 8000 Hz or "
            "more, every channel with its own chain state, into OUT (- is standard output). "
            "OUT's format is --format or its extension (wav, flac, ogg, opus, aiff, au, caf, w64, "
            "rf64, mp3, raw), AU on standard output, whose header says the length is unknown. WAV "
            "goes through a pipe too, as recorders write it there, both its length fields at "
            "their largest, and so do FLAC, Ogg and headerless PCM, while AIFF, CAF, W64 and "
            "RF64 cannot (and a FLAC file cannot be read from one). A pipe or device named as OUT "
            "is written to, never replaced by a file. The samples are IN's unless --subtype says "
            "otherwise, where the format holds them. Metadata strings and the speaker layout (a "
            "5.1 or 7.1 WAV's channel mask) are carried over where both formats hold them.\n"
            "An input sample that is no finite number (NaN or infinite), or so large that the "
            "gain would make it one, is taken as 0 before the chain, which would otherwise carry "
            "it on for good; one warning line says how many. A full-scale input gives a "
            "full-scale output; the output is rounded once, at the end, and integer samples clip "
            "at full scale, never wrap. The Butterworth's step overshoot (13.9 %) takes a "
            "full-scale square wave of some hundred hertz to +2.1 dBFS, and no signal past +7.8 "
            "dBFS: --gain scales the input for headroom (-8 never clips). --ab alternates the dry "
            "input and the filtered output, dry first, with a 10 ms equal-power crossfade at each "
            "switch; the chain runs on through the dry parts.\n"
            "The file is read, filtered and written in blocks, on three threads, in constant "
            "memory; OUT appears only when complete, and IN equal to OUT is refused. Every write "
            "is checked: one that fails (a full disk, a device or standard output that takes no "
            "more) ends the run with one line and status 1; a reader of standard output that goes "
            "away ends it by SIGPIPE, as it ends any program writing to a pipe. On a terminal a "
            "progress line is shown, and at the end one summary line on standard error (frames, "
            "seconds, rate, channels, peaks in and out in dBFS, clipped samples, input samples "
            "taken as 0), unless --quiet.\n"
            "With design options, the design runs in place of the window's chain, its corner "
            "below half of IN's rate." });
    line.SetExamples(command,
        { { "vorn-render filter song.flac - --ab 5 | aplay",
              "hear a file alternately dry and filtered every five seconds" },
            { "vorn-render filter voice.wav low.wav --order 2 --corner 300",
                "a recording through a 2nd-order 300 Hz low-pass, into a file" } });
    command->add_option("IN", options->in, "the file to read; - is standard input")->required();
    command->add_option("OUT", options->out, "the file to write; - is standard output")->required();
    AddText(*command, "--format", arguments->format, "EXT",
        "OUT's format by an extension instead of its name: wav, flac, ogg, opus, aiff, au, caf, "
        "w64, rf64, mp3 or raw");
    Choices<std::optional<int>> subtypes;
    for (const char* name : { "pcm16", "pcm24", "pcm32", "float", "double" }) {
        subtypes.emplace_back(name, SubtypeForName(name));
    }
    AddChoice(*command, "--subtype", options->subtype, subtypes,
        "OUT's samples; without it, those of IN where the format holds them");
    AddDecimal(*command, "--gain", arguments->gainDb, { -100.0, 40.0 }, "DB",
        "scales the input by this many decibels, for headroom; default 0");
    AddDecimal(*command, "--ab", arguments->abSeconds, { 0.1, 86400.0 }, "SECONDS",
        "alternates the dry input and the filtered output every SECONDS, dry first");
    AddFlag(*command, "--quiet", options->quiet, "no progress line and no summary");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, arguments, design, command, &parsed] {
        options->container = OutputContainer(options->out, arguments->format);
        options->gain = std::pow(10.0, arguments->gainDb / 20.0);
        if (command->count("--ab") > 0) {
            options->abSeconds = arguments->abSeconds;
        }
        options->designs = design->Designs(false, kDesignListsWhere);
        // Every check but the corners against half the rate, which is the input's.
        CheckDesigns(options->designs, std::numeric_limits<double>::infinity());
        parsed = { command->get_name(), *options };
    });
}

void RunFilter(const FilterOptions& options)
{
    RefuseSameFile(options.in, options.out);
    SoundInput input(options.in);
    const int rate = input.Rate();
    const int channels = input.Channels();
    if (rate < kMinSignalRate) {
        throw UsageError("the rate of " + Name(options.in, "standard input") + ", "
            + std::to_string(rate) + " Hz, is too low: from 8000 Hz up the 1 kHz corner lies well "
            + "below half the rate");
    }
    CheckDesigns(options.designs, rate);
    const int format = ChooseFilterFormat(options.container, options.subtype, input);
    SoundOutput output(
        options.out, format, rate, channels, SoundOutput::Stdout::Stream, input.ChannelMap());
    output.SetStrings(input.Strings());

    FilterSettings settings;
    settings.design = OneDesign(options.designs);
    settings.gain = options.gain;
    settings.abSeconds = options.abSeconds;
    settings.progress = !options.quiet && ::isatty(STDERR_FILENO) != 0;
    const FilterSummary summary = FilterStream(input, output, format, settings);
    output.Finish();
    const std::string in = Name(options.in, "standard input");
    if (summary.unusable > 0) {
        std::fprintf(stderr,
            "vorn-render filter: warning: %lld input sample%s of %s not finite (NaN or infinite) "
            "or too large to filter, taken as 0\n",
            static_cast<long long>(summary.unusable), summary.unusable == 1 ? "" : "s", in.c_str());
    }
    if (!options.quiet) {
        std::fprintf(stderr,
            "filtered %s into %s: %lld frames, %.3f s at %d Hz, %d channel%s, peak in %s dBFS, "
            "out %s dBFS, %lld samples %s, %lld input samples not finite or too large (taken as "
            "0)\n",
            in.c_str(), Name(options.out, "standard output").c_str(),
            static_cast<long long>(summary.frames), static_cast<double>(summary.frames) / rate,
            rate, channels, channels == 1 ? "" : "s", Decibels(summary.peakIn).c_str(),
            Decibels(summary.peakOut).c_str(), static_cast<long long>(summary.clipped),
            summary.keepsOvers ? "above full scale (kept: float output)" : "clipped",
            static_cast<long long>(summary.unusable));
    }
}

} // namespace vorn
