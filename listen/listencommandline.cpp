#include "listencommandline.h"

#include "designoptions.h"
#include "numbertext.h"
#include "optionvalues.h"
#include "soundformat.h"
#include "usageerror.h"
#include "vornversion.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace vorn {

namespace {

constexpr const char* kProgram = "vorn-listen";

// What the options give before the checks: as typed.
struct ListenArguments
{
    std::string file;
    std::string capture;
    double gainDb = 0.0;
    double abSeconds = 0.0;
};

void RefuseOptions(
    const CLI::App& app, std::initializer_list<const char*> names, const std::string& takenBy)
{
    for (const char* name : names) {
        if (app.count(name) > 0) {
            throw UsageError(std::string(name) + " applies to " + takenBy + " only");
        }
    }
}

// The one source of sound among FILE, --capture and --input, and the options that only some
// sources take.
void CheckSource(const CLI::App& app, const ListenArguments& arguments, ListenOptions& options)
{
    const bool file = app.count("FILE") > 0;
    const bool capture = app.count("--capture") > 0;
    const bool signal = app.count("--input") > 0;
    const int given = (file ? 1 : 0) + (capture ? 1 : 0) + (signal ? 1 : 0);
    if (given == 0) {
        throw UsageError("nothing to play: give a FILE (- for standard input), --capture or "
                         "--input (try --help)");
    }
    if (given > 1) {
        throw UsageError("play one thing at a time: a FILE, --capture or --input");
    }
    options.source = file ? ListenSource::File
        : capture         ? ListenSource::Capture
                          : ListenSource::Signal;
    if (file && arguments.file.empty()) {
        throw UsageError("FILE is empty: give a file's name, or - for standard input");
    }
    options.path = arguments.file;
    options.device = arguments.capture;
    if (!signal) {
        RefuseOptions(app, { "--freq", "--seed", "--rate" }, "--input");
        return;
    }
    if (options.signal != ListenSignal::Noise && options.signal != ListenSignal::Pink) {
        RefuseOptions(app, { "--seed" }, "--input noise and pink");
    }
    if (options.signal != ListenSignal::Sine && options.signal != ListenSignal::Step) {
        RefuseOptions(app, { "--freq" }, "--input sine and step");
    }
}

} // namespace

std::unique_ptr<CommandLine> BuildListenCommandLine(ListenOptions& parsed)
{
    auto line = std::make_unique<CommandLine>(kProgram, kVornVersion,
        CommandText { { "[options] FILE|-", "[options] --capture [SOURCE]",
                          "[options] --input sine|step|sweep|noise|pink [--freq HZ] [--seed N] "
                          "[--rate HZ]",
                          "--help | --version" },
            "Plays sound through the filter of the Vorn window as it comes: a sound file (anything "
            "vorn-render filter reads; - is standard input), what a source of the sound server "
            "captures (the default input, a microphone say, or SINK.monitor, what another program "
            "plays on SINK), or a test signal. The filter is the window's chain (a 6th-order 1 kHz "
            "Butterworth low-pass and a 1 Hz high-pass) or the design that the design options "
            "name, at the sound's own rate, every channel with its own state. The sound goes to "
            "the default sink of the sound server (PulseAudio, or PipeWire through "
            "pipewire-pulse), or to --device.\n"
            "A file plays at its own rate and channels, through the very processing of "
            "vorn-render filter (the same scaling and rounding): a 16-bit file goes to the server "
            "as 16-bit samples, so that a sink of its rate and channels receives the samples "
            "vorn-render filter writes for it, and dry, the file's own samples. An input sample "
            "that is no finite number (NaN or infinite) is taken as 0, and said once.\n"
            "Keys, when standard input is a terminal: space switches between the filtered and the "
            "dry sound with a 10 ms equal-power crossfade (the filter runs on through the dry "
            "parts, so each filtered part sounds as if it had never been switched off); q, Esc or "
            "Ctrl+C quit at once; the left and right arrows move 5 s back or forward in a file. "
            "A status line on standard error, when that is a terminal, shows what plays (with "
            "the position in a file), FILTERED or DRY, the peaks in and out in dBFS, the filter, "
            "the sink's underruns, the captured sound dropped to hold the latency, and the "
            "latency from the source (or the player) to the sink as the server reports it. "
            "Without a terminal there are no keys and no status line: a file plays to its end, "
            "and SIGINT or SIGTERM end the program.\n"
            "--latency sets the target: the loop from a source to the sink stays near it, as the "
            "sound captured beyond it is dropped (counted in the status line) rather than "
            "played late. A target of 10 ms holds the loop within about 25 ms on an idle "
            "machine; the default, 20 ms for --capture and 40 ms otherwise, leaves room for a "
            "busy one, where a file's keys need no less.\n"
            "When the sound server stops answering, the keys still work; when it goes away, the "
            "program ends with one line and status 1, as it does when the captured source goes "
            "away. A file that is missing or cannot be read, or a source or sink that does not "
            "exist, is one line and status 2." });
    CLI::App& app = line->App();
    auto arguments = std::make_shared<ListenArguments>();
    app.add_option("FILE", arguments->file, "the sound file to play; - is standard input");
    app.add_option("--capture", arguments->capture,
           "plays what the sound server's source SOURCE captures (SINK.monitor: what plays on "
           "SINK); without SOURCE the default source")
        ->expected(0, 1)
        ->type_name("[SOURCE]");
    AddChoice(app, "--input", parsed.signal,
        Choices<ListenSignal> { { "sine", ListenSignal::Sine }, { "step", ListenSignal::Step },
            { "sweep", ListenSignal::Sweep }, { "noise", ListenSignal::Noise },
            { "pink", ListenSignal::Pink } },
        "plays a test signal: the window's sine or step (amplitude 10000 of 32768), an "
        "exponential sine sweep from 20 Hz to 20 kHz (or 45 % of the rate) every 10 s, white "
        "(uniform) or pink noise (-3 dB per octave) of peak at most 10000");
    AddDecimal(app, "--freq", parsed.frequency, "HZ",
        "the sine's frequency, any finite decimal number as the window's settings take it; "
        "default 1000");
    AddWhole(app, "--seed", parsed.seed, 0, std::numeric_limits<long long>::max(), "N",
        "the noise's seed, default 1: the same seed gives the same samples on every machine");
    AddWhole(app, "--rate", parsed.rate, kMinSignalRate, kMaxSignalRate, "HZ",
        "the test signal's rate; default 44100, the window's");
    AddText(app, "--device", parsed.sink, "SINK",
        "the sound server's sink to play to; default the default sink");
    AddWhole(app, "--latency", parsed.latencyMs, 1, 2000, "MS",
        "the latency target in milliseconds; default 20 with --capture, 40 otherwise");
    AddFlag(app, "--dry", parsed.dry, "starts with the dry sound (space switches)");
    AddDecimal(app, "--ab", arguments->abSeconds, { 0.1, 86400.0 }, "SECONDS",
        "alternates the dry and the filtered sound every SECONDS by itself, dry first, as "
        "vorn-render filter --ab does; space then switches by hand");
    AddDecimal(app, "--gain", arguments->gainDb, { -100.0, 40.0 }, "DB",
        "scales the input by this many decibels, for headroom; default 0");
    AddFlag(app, "--quiet", parsed.quiet, "no status line and no closing summary");
    const auto design = DesignOptions::Add(*line, app);
    app.callback([arguments, design, &app, &parsed] {
        CheckSource(app, *arguments, parsed);
        parsed.gain = std::pow(10.0, arguments->gainDb / 20.0);
        if (app.count("--ab") > 0) {
            parsed.abSeconds = arguments->abSeconds;
        }
        const std::vector<DesignPlan> designs
            = design->Designs(false, "vorn-render response --plot and --format csv");
        // Every check but the corner against half the rate, which is the sound's; a test
        // signal's rate is known.
        CheckDesigns(designs,
            parsed.source == ListenSource::Signal ? static_cast<double>(parsed.rate)
                                                  : std::numeric_limits<double>::infinity());
        if (!designs.empty()) {
            parsed.design = designs.front();
        }
    });
    return line;
}

ListenCommandLine ParseListenCommandLine(const std::vector<std::string>& arguments)
{
    ListenCommandLine parsed;
    const std::unique_ptr<CommandLine> line = BuildListenCommandLine(parsed.options);
    parsed.result = line->Parse(arguments);
    return parsed;
}

} // namespace vorn
