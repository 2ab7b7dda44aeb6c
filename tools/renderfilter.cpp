// vorn-render filter: the user's own sound through the chain, at the file's own rate, every
// channel with its own state, in blocks of constant size.
#include "rendercommands.h"

#include "abcrossfade.h"
#include "channelfilter.h"
#include "commandline.h"
#include "designoptions.h"
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

// Full scale in the chain's sample units, which are those of 16-bit samples.
constexpr double kFullScale = 32768.0;
// Frames per block: large for files; small for a pipe, which may be a live signal.
constexpr std::size_t kFileBlockFrames = 16384;
constexpr std::size_t kPipeBlockFrames = 1024;
// The crossfade at each A/B switch.
constexpr double kFadeSeconds = 0.010;

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

// OUT's subtype: --subtype, else IN's where the container holds it, else the container's own
// (24-bit PCM rather than 16 for an input of more than 16 bits).
int ChooseFormat(const FilterOptions& options, const SoundInput& input)
{
    const int major = options.container.major;
    if (options.subtype) {
        return major | *options.subtype;
    }
    const int inputSubtype = input.Format() & SF_FORMAT_SUBMASK;
    const auto holds = [&](int subtype) {
        SF_INFO info {};
        info.samplerate = input.Rate();
        info.channels = input.Channels();
        info.format = major | subtype;
        return sf_format_check(&info) == SF_TRUE;
    };
    if (holds(inputSubtype)) {
        return major | inputSubtype;
    }
    const int fallback = options.container.defaultSubtype;
    const bool wide = PcmBits(inputSubtype) > 16 || IsFloatSubtype(inputSubtype);
    if (wide && PcmBits(fallback) == 16 && holds(SF_FORMAT_PCM_24)) {
        return major | SF_FORMAT_PCM_24;
    }
    return major | fallback;
}

// The chain's output, in sample units, as the output's subtype holds it: linear PCM rounded to
// its resolution and clipped at full scale, floats as they are, anything else clipped and handed
// to libsndfile's encoder. Keeps the peak (before clipping) and counts the samples past full
// scale.
class OutputStage
{
public:
    explicit OutputStage(int subtype)
        : m_bits(PcmBits(subtype))
        , m_float(IsFloatSubtype(subtype))
    { }

    void Write(SoundOutput& output, std::span<double> block)
    {
        if (m_bits > 0) {
            WritePcm(output, block);
            return;
        }
        double peak = m_peak;
        for (double& y : block) {
            const double magnitude = std::fabs(y);
            peak = magnitude > peak ? magnitude : peak;
            if (!m_float && !(y >= -kFullScale && y <= kFullScale - 1.0)) {
                // Clipped (NaN to silence) before the encoder sees it.
                y = std::isnan(y) ? 0.0 : std::clamp(y, -kFullScale, kFullScale - 1.0);
                ++m_clipped;
            } else if (m_float && magnitude > kFullScale) {
                ++m_clipped;
            }
            y /= kFullScale;
        }
        m_peak = peak;
        output.WriteDoubles(block);
    }

    [[nodiscard]] double Peak() const { return m_peak; }
    [[nodiscard]] std::int64_t Clipped() const { return m_clipped; }
    [[nodiscard]] bool KeepsOvers() const { return m_float; }

private:
    // Rounds to the nearest step of the subtype (ties to even) and clips at full scale, as
    // 32-bit integers with the sample in their top bits, which libsndfile writes as they are.
    void WritePcm(SoundOutput& output, std::span<const double> block)
    {
        const double scale = std::ldexp(1.0, m_bits - 16);
        const double high = std::ldexp(1.0, m_bits - 1) - 1;
        const double low = -std::ldexp(1.0, m_bits - 1);
        const auto shift = static_cast<std::int64_t>(1) << (32 - m_bits);
        // Adding and taking away 1.5 * 2^52 rounds any magnitude below 2^51 to an integer.
        constexpr double kRounder = 0x1.8p52;
        m_ints.resize(block.size());
        double peak = m_peak;
        for (std::size_t i = 0; i < block.size(); ++i) {
            const double magnitude = std::fabs(block[i]);
            peak = magnitude > peak ? magnitude : peak;
            const double v = block[i] * scale;
            double q = 0.0;
            if (std::fabs(v) < high + 0.5) {
                q = (v + kRounder) - kRounder;
            } else if (v > 0) {
                q = high;
                ++m_clipped;
            } else if (v < 0) {
                // Down to half a step below -2^(bits-1), the value rounds to full scale.
                q = low;
                m_clipped += v < low - 0.5 ? 1 : 0;
            } // NaN stays silent
            m_ints[i] = static_cast<std::int32_t>(static_cast<std::int64_t>(q) * shift);
        }
        m_peak = peak;
        output.WriteInts(m_ints);
    }

    int m_bits;
    bool m_float;
    double m_peak = 0.0;
    std::int64_t m_clipped = 0;
    std::vector<std::int32_t> m_ints;
};

// The progress line on a terminal: percent (when the length is known), seconds done and the
// speed as a multiple of real time, at most five times a second.
class ProgressLine
{
public:
    ProgressLine(bool shown, int rate, std::optional<std::int64_t> total)
        : m_shown(shown)
        , m_rate(rate)
        , m_total(total)
    { }

    void Update(std::int64_t frames)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now - m_last < std::chrono::milliseconds(200)) {
            return;
        }
        m_last = now;
        const double done = static_cast<double>(frames) / m_rate;
        const double elapsed = std::chrono::duration<double>(now - m_start).count();
        const double speed = elapsed > 0 ? done / elapsed : 0.0;
        if (m_total && *m_total > 0) {
            std::fprintf(stderr, "\r%5.1f%%  %.1f/%.1f s  %.1fx real time ",
                100.0 * static_cast<double>(frames) / static_cast<double>(*m_total), done,
                static_cast<double>(*m_total) / m_rate, speed);
        } else {
            std::fprintf(stderr, "\r%.1f s  %.1fx real time ", done, speed);
        }
        m_drawn = true;
    }

    ~ProgressLine()
    {
        if (m_drawn) {
            std::fputs("\r\033[K", stderr);
        }
    }

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    bool m_shown;
    int m_rate;
    std::optional<std::int64_t> m_total;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last = m_start;
    bool m_drawn = false;
};

// Multiplies every sample by `factor`; returns the larger of `peak` and the largest magnitude
// before that.
[[gnu::noinline]] double ScaleKeepingPeak(std::span<double> samples, double factor, double peak)
{
    for (double& x : samples) {
        const double magnitude = std::fabs(x);
        peak = magnitude > peak ? magnitude : peak;
        x *= factor;
    }
    return peak;
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
            "rf64, mp3, raw), AU on standard output: WAV, AIFF and CAF cannot be written to a "
            "pipe, while AU, FLAC and Ogg can (and a FLAC file cannot be read from one). The "
            "samples are IN's unless --subtype says otherwise, where the format holds them. "
            "Metadata strings are carried over where both formats hold them.\n"
            "A full-scale input gives a full-scale output; the output is rounded once, at the "
            "end, and integer samples clip at full scale, never wrap. The Butterworth's step "
            "overshoot (13.9 %) takes a full-scale square wave of some hundred hertz to +2.1 "
            "dBFS, and no signal past +7.8 dBFS: --gain scales the input for headroom (-8 never "
            "clips). --ab alternates the dry input and the filtered output, dry first, with a "
            "10 ms equal-power crossfade at each switch; the chain runs on through the dry "
            "parts.\n"
            "The file is read and written in blocks, in constant memory; OUT appears only when "
            "complete, and IN equal to OUT is refused. On a terminal a progress line is shown, "
            "and at the end one summary line on standard error (frames, seconds, rate, channels, "
            "peaks in and out in dBFS, clipped samples), unless --quiet." });
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
    const int format = ChooseFormat(options, input);
    SoundOutput output(options.out, format, rate, channels);
    output.SetStrings(input.Strings());

    const std::unique_ptr<ChannelFilter> chain
        = MakeChannelFilter(OneDesign(options.designs), rate, channels);
    std::optional<AbCrossfade> ab;
    if (options.abSeconds) {
        const auto part = std::llround(*options.abSeconds * rate);
        ab.emplace(part, std::min<std::int64_t>(std::llround(kFadeSeconds * rate), part / 2));
    }
    OutputStage stage(format);
    const std::size_t blockFrames = input.Frames() ? kFileBlockFrames : kPipeBlockFrames;
    std::vector<double> block(blockFrames * static_cast<std::size_t>(channels));
    std::vector<double> dry(ab ? block.size() : 0);
    const double toUnits = kFullScale * options.gain;
    double peakIn = 0.0;
    std::int64_t frames = 0;
    {
        ProgressLine progress(!options.quiet && ::isatty(STDERR_FILENO) != 0, rate, input.Frames());
        while (const std::size_t got = input.Read(block)) {
            const std::span<double> samples(block.data(), got * static_cast<std::size_t>(channels));
            peakIn = ScaleKeepingPeak(samples, toUnits, peakIn);
            if (ab) {
                std::copy(samples.begin(), samples.end(), dry.begin());
            }
            // The chain runs through the dry parts too, so each filtered part continues it.
            chain->Process(samples);
            if (ab) {
                ab->Mix(frames, channels, { dry.data(), samples.size() }, samples);
            }
            stage.Write(output, samples);
            frames += static_cast<std::int64_t>(got);
            progress.Update(frames);
        }
    }
    output.Finish();
    if (!options.quiet) {
        std::fprintf(stderr,
            "filtered %s into %s: %lld frames, %.3f s at %d Hz, %d channel%s, peak in %s dBFS, "
            "out %s dBFS, %lld samples %s\n",
            Name(options.in, "standard input").c_str(),
            Name(options.out, "standard output").c_str(), static_cast<long long>(frames),
            static_cast<double>(frames) / rate, rate, channels, channels == 1 ? "" : "s",
            Decibels(peakIn).c_str(), Decibels(stage.Peak() / kFullScale).c_str(),
            static_cast<long long>(stage.Clipped()),
            stage.KeepsOvers() ? "above full scale (kept: float output)" : "clipped");
    }
}

} // namespace vorn
