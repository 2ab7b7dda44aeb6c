// vorn-render: the filter simulation of Vorn on the command line, for scripts, teaching material
// and checking. The same core as the desktop program.
#include "renderargs.h"
#include "rendercommands.h"
#include "vornversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Subcommand
{
    std::string_view name;
    void (*run)(const std::vector<std::string>& args);
};

constexpr Subcommand kSubcommands[] = {
    { "samples", vorn::RenderSamples },
    { "spectrum", vorn::RenderSpectrum },
    { "wav", vorn::RenderWav },
    { "points", vorn::RenderPoints },
    { "plot", vorn::RenderPlot },
    { "response", vorn::RenderResponse },
    { "coefficients", vorn::RenderCoefficients },
    { "poles", vorn::RenderPoles },
    { "metrics", vorn::RenderMetrics },
    { "filter", vorn::RenderFilter },
};

constexpr std::string_view kUsage = R"(usage:
  vorn-render samples  [--input sine|step] [--freq HZ] [--skip K] [--blocks N] [--after-analysis]
  vorn-render samples  --input sweep [--from HZ] [--to HZ] [--seconds S] [--skip K] [--blocks N]
  vorn-render samples  --input noise|pink|impulse [--seed N] [--skip K] [--blocks N]
  vorn-render spectrum
  vorn-render wav      --output FILE.wav [--input sine|step] [--freq HZ] [--seconds S]
  vorn-render wav      --output FILE.wav --input sweep [--from HZ] [--to HZ] [--seconds S]
  vorn-render wav      --output FILE.wav --input noise|pink|impulse [--seed N] [--seconds S]
  vorn-render samples|wav ... [--rate HZ]
  vorn-render points   --mode time|freq [--input sine|step] [--freq HZ] [--skip K]
  vorn-render plot     --mode time|freq [--input sine|step] [--freq HZ] [--skip K] [--size WxH]
                       [--labels] --output FILE.png|FILE.svg
  vorn-render response [--rate HZ] [--from HZ] [--to HZ] [--points N] [--linear] [--at HZ]...
                       [--format text|csv]
  vorn-render response ... --plot FILE.png|FILE.svg [--labels]
  vorn-render response ... --format frd|tsv [--analogue]
  vorn-render coefficients [--rate HZ] [--format sos|json|c]
  vorn-render poles    [--rate HZ] [--plot FILE.png|FILE.svg]
  vorn-render metrics  [--rate HZ]
  vorn-render filter   IN OUT [--format EXT] [--subtype pcm16|pcm24|pcm32|float|double]
                       [--gain DB] [--ab SECONDS] [--quiet]
  vorn-render --help | --version

Simulates a 6th-order 1 kHz Butterworth low-pass followed by a 1 Hz high-pass, driven by a sine
(amplitude 10000, default 1000 Hz) or a step, in blocks of 2000 samples at 44100 Hz.
  samples   a fresh simulation: skip K blocks (default 0), then print N blocks (default 1), one
            16-bit sample per line; --after-analysis first runs the frequency-response analysis.
            With --input sweep: the blocks of the sweep that wav writes for the same --from, --to
            and --seconds, all of them unless --skip and --blocks choose a part.
            --input noise (white, uniform) or pink (-3 dB per octave): peak at most 10000, the
            same samples for the same --seed N (default 1); --input impulse: one sample of
            10000, then zeros. --rate HZ: the simulation at that rate, from 8000 to 768000
            (default 44100, the window's)
  spectrum  the 2000 whole-decibel entries of the frequency response (20 Hz per bin)
  wav       16-bit mono PCM at 44100 Hz, whole blocks, at least S seconds (default 5).
            --input sweep: an exponential sine sweep of amplitude 10000, phase-continuous, from
            --from (default 20 Hz) to --to (default 20000 Hz), both below 22050 Hz; it spans
            exactly the samples written, so it starts at --from on the first sample and reaches
            --to on the last. FILE.flac, FILE.ogg (and the other extensions of filter) choose
            the format; --output - writes WAV to standard output
  points    the canvas points (x y per line, 760 x 640 canvas) that one Draw records: time mode
            after K blocks, frequency mode after the frequency-response analysis
  plot      the picture that Draw shows in a client area of WxH pixels (default 760x640);
            --labels adds the scales (ms and sample units, or kHz and dB) around it
  response  per frequency, the level [dB], phase [degrees] and group delay [ms] of the chain as
            simulated at --rate HZ (default 44100, from 1000 to 10000000), exact from its
            discrete-time transfer function, then the same for its analogue prototype. The
            frequencies: --points N (default 200, up to 1000000) from --from (default 10) to --to
            (default 20000), spaced logarithmically unless --linear, or exactly those given with
            --at (repeatable, not with the others); each from 0.001 Hz to below half the rate.
            The phase is unwrapped along the list, its first value within +-180 degrees.
            --format text (aligned columns, default) or csv (a header line, then the rows);
            --plot writes a picture instead: level and phase against frequency, simulated and
            analogue in two colours, with legend and scales; --labels adds the group delay.
            --format frd ('*' comments, then frequency, level and phase within +-180 degrees)
            or tsv (header 'Frequency (Hz)<TAB>Level (dB)') for other tools: the simulated
            chain's, or with --analogue the prototype's
  coefficients  the chain as simulated at --rate HZ (default 44100), exactly as it runs:
            --format sos (default): four rows b0 b1 b2 a0 a1 a2 (a0 = 1) with 17 significant
            digits and '#' comments, for sosfilt in scipy and MATLAB: the three
            sections, then the high-pass as a first-order section; json: the rows with each
            section's damping k, natural frequency and Q, the gain, and the analogue poles and
            high-pass zero and pole in rad/s; c: a C header with double and float arrays
  poles     the analogue poles and zeros (Hz; per section natural frequency and Q), then the
            discrete ones of the chain at --rate HZ (magnitude, angle in radians and in Hz);
            --plot writes the pole-zero figure: s-plane left, z-plane right
  metrics   the low-pass's step response (rise time 10-90 %, overshoot, peak time, settling
            time 2 %) and impulse response (peak, its time), and the whole chain's overshoot,
            simulated at --rate HZ next to the analogue prototype's
  filter    an audio file IN (WAV, FLAC, Ogg, AIFF, ...; - is standard input) through the chain
            at its own rate, 8000 Hz or more, each channel on its own, into OUT (- is standard
            output). OUT's format: --format EXT or its extension (wav, flac, ogg, opus, aiff, au,
            caf, w64, rf64, mp3, raw), AU on standard output (WAV, FLAC and Ogg stream through a
            pipe too, WAV with its lengths at their largest; AIFF, CAF, W64 and RF64 cannot); a
            pipe or device as OUT is written to; the samples: IN's unless --subtype says
            otherwise, where the format holds them; metadata and the speaker layout where both
            formats hold them. A NaN or infinite input sample is taken as 0 (counted, with a
            warning). Full scale in gives full scale out; integer
            output is rounded once and clips, never wraps. The Butterworth's step overshoot
            (13.9 %) takes a full-scale square wave of some hundred hertz to +2.1 dBFS, and no
            signal past +7.8 dBFS: --gain DB scales the input for headroom (-8 never clips).
            --ab SECONDS alternates the dry input and the filtered output, first dry, with a
            10 ms equal-power crossfade; the chain runs on through the dry parts. OUT appears
            only when complete; a failed write ends the run with status 1. On a terminal a
            progress line, and at the end a summary on standard error (frames, rate, channels,
            peaks in and out, clipped samples, samples taken as 0) unless --quiet
)";

// Whether everything written to standard output reached it; says on standard error when not.
// A reader that went away has ended the program by SIGPIPE before this, as it ends any program
// writing to a pipe.
bool OutputWritten(const std::string& who)
{
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    const int error = errno;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", who.c_str(),
        error != 0 ? std::strerror(error) : "write error");
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fprintf(stderr, "vorn-render: no subcommand given (try --help)\n");
        return 2;
    }
    if (args.front() == "--help" || args.front() == "-h") {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return OutputWritten("vorn-render") ? 0 : 1;
    }
    if (args.front() == "--version") {
        std::printf("vorn-render %s\n", vorn::kVornVersion);
        return OutputWritten("vorn-render") ? 0 : 1;
    }
    for (const Subcommand& subcommand : kSubcommands) {
        if (args.front() == subcommand.name) {
            try {
                subcommand.run({ args.begin() + 1, args.end() });
            } catch (const std::invalid_argument& error) {
                std::fprintf(stderr, "vorn-render %s: %s\n", args.front().c_str(), error.what());
                return 2;
            } catch (const std::exception& error) {
                std::fprintf(stderr, "vorn-render %s: %s\n", args.front().c_str(), error.what());
                return 1;
            }
            return OutputWritten("vorn-render " + args.front()) ? 0 : 1;
        }
    }
    std::fprintf(
        stderr, "vorn-render: unknown subcommand '%s' (try --help)\n", args.front().c_str());
    return 2;
}
