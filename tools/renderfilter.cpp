// vorn-render filter: the user's own sound through the chain, at the file's own rate, every
// channel with its own state, in blocks of constant size.
#include "rendercommands.h"

#include "filterrun.h"
#include "numbertext.h"
#include "renderargs.h"
#include "soundformat.h"
#include "soundinput.h"
#include "soundoutput.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorn {

namespace {

struct FilterOptions
{
    std::string in;
    std::string out;
    double gain = 1.0; // linear
    std::optional<double> abSeconds;
    std::optional<int> subtype;
    std::optional<SoundContainer> container;
    bool quiet = false;
};

// A decimal option within [low, high].
std::optional<double> Decimal(
    const RenderArgs& options, const std::string& name, double low, double high)
{
    const auto text = options.Value(name);
    if (!text) {
        return std::nullopt;
    }
    const auto value = ParseFiniteDecimal(*text);
    if (!value || !(*value >= low && *value <= high)) {
        throw UsageError("--" + name + " must be a number from " + FormatDouble15g(low) + " to "
            + FormatDouble15g(high) + ", not '" + *text + "'");
    }
    return value;
}

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

FilterOptions ParseOptions(const std::vector<std::string>& args)
{
    const auto isPath = [&](std::size_t i) {
        return i < args.size() && (args[i] == "-" || args[i].rfind("--", 0) != 0);
    };
    if (!isPath(0) || !isPath(1)) {
        throw UsageError("give IN and OUT first: files, or - for standard input and output");
    }
    const RenderArgs options(
        { args.begin() + 2, args.end() }, { "format", "subtype", "gain", "ab" }, { "quiet" });
    FilterOptions parsed;
    parsed.in = args[0];
    parsed.out = args[1];
    parsed.quiet = options.Has("quiet");
    if (const auto db = Decimal(options, "gain", -100.0, 40.0)) {
        parsed.gain = std::pow(10.0, *db / 20.0);
    }
    parsed.abSeconds = Decimal(options, "ab", 0.1, 86400.0);
    if (const auto subtype = options.Value("subtype")) {
        parsed.subtype = SubtypeForName(*subtype);
    }
    // The container: --format, else OUT's extension, else (standard output) AU, which streams.
    const std::string extension = options.Value("format").value_or(
        parsed.out == "-" ? std::string("au") : ExtensionOf(parsed.out));
    if (extension.empty()) {
        throw UsageError("'" + parsed.out + "' has no extension to tell its format: add one, or "
            + "give --format (" + KnownExtensions() + ")");
    }
    parsed.container = ContainerForExtension(extension);
    if (!parsed.container) {
        throw UsageError(
            "unknown audio format '" + extension + "' (known: " + KnownExtensions() + ")");
    }
    RefuseSameFile(parsed.in, parsed.out);
    return parsed;
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

void RenderFilter(const std::vector<std::string>& args)
{
    const FilterOptions options = ParseOptions(args);
    SoundInput input(options.in);
    const int rate = input.Rate();
    const int channels = input.Channels();
    if (rate < kMinSignalRate) {
        throw UsageError("the rate of " + Name(options.in, "standard input") + ", "
            + std::to_string(rate) + " Hz, is too low: from 8000 Hz up the 1 kHz corner lies well "
            + "below half the rate");
    }
    const int format = ChooseFilterFormat(*options.container, options.subtype, input);
    SoundOutput output(
        options.out, format, rate, channels, SoundOutput::Stdout::Stream, input.ChannelMap());
    output.SetStrings(input.Strings());
    FilterSettings settings;
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
