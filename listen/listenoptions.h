#pragma once

// What vorn-listen is asked to play and how, once its command line is parsed.
#include "designplan.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vorn {

// Where the sound comes from.
enum class ListenSource {
    File, // a sound file, or standard input
    Capture, // a source of the sound server, live
    Signal, // a test signal
};

// The test signals.
enum class ListenSignal { Sine, Step, Sweep, Noise, Pink };

struct ListenOptions
{
    ListenSource source = ListenSource::File;
    std::string path; // File: the file, "-" for standard input
    std::string device; // Capture: the source's name, "" the default source
    ListenSignal signal = ListenSignal::Sine;
    double frequency = 1000.0; // the sine's
    std::uint64_t seed = 1; // the noise's
    int rate = 44100; // the test signal's
    std::string sink; // "" the default sink
    // The live stream's latency target in ms; 0: the default for the source (ListenLatencyMs).
    int latencyMs = 0;
    bool dry = false; // start dry
    std::optional<double> abSeconds; // alternate by itself
    double gain = 1.0; // linear, applied to the input
    bool quiet = false;
    std::optional<DesignPlan> design; // none: the window's chain
};

// The latency target by default: 20 ms for a capture, whose loop one hears against the sound in
// the room, 40 ms for a file or a test signal, where only a key's effect waits for it.
inline constexpr int kCaptureLatencyMs = 20;
inline constexpr int kPlaybackLatencyMs = 40;

[[nodiscard]] inline int ListenLatencyMs(const ListenOptions& options)
{
    if (options.latencyMs > 0) {
        return options.latencyMs;
    }
    return options.source == ListenSource::Capture ? kCaptureLatencyMs : kPlaybackLatencyMs;
}

} // namespace vorn
