// The live stream's loop on a real sound server, for bench/live_latency.sh (which sets up the
// server, the remapped source and sinks, the pulses and the recorder):
//
//   bench_live_loop loop --source NAME --sink NAME --latency MS --seconds S
//       captures the source and plays it unchanged to the sink for S seconds; prints the
//       stream's own figures every second and a summary at the end (on stderr)
//   bench_live_loop pulses --rate HZ --seconds S
//       writes a pulse train to stdout (16-bit mono): 20 ms at 20000 every 250 ms
//   bench_live_loop analyse FILE --rate HZ
//       reads a 16-bit stereo recording (pulses left, their copies after the loop right) and
//       prints the loop's delays: count, median, 5th and 95th percentile, least, greatest, missing
#include "capture.h"
#include "livestream.h"
#include "waveoutowner.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace vorn;

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnSignal(int)
{
    g_bInterrupted = 1;
}

// The captured samples, unchanged.
class PassThrough final : public CLiveProcessor
{
public:
    void Prepare(const LiveFormat&) override { }
    std::size_t Process(LiveBlock& block) override
    {
        std::copy_n(
            block.input, block.frames * static_cast<std::size_t>(block.channels), block.output);
        return block.frames;
    }
};

std::string Option(int argc, char* argv[], const char* name, const char* fallback)
{
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return fallback;
}

int Loop(int argc, char* argv[])
{
    LiveOptions options;
    options.mode = LiveMode::CaptureToPlayback;
    options.source = Option(argc, argv, "--source", "");
    options.sink = Option(argc, argv, "--sink", "");
    options.latencyMs = std::atoi(Option(argc, argv, "--latency", "10").c_str());
    options.client.name = "bench_live_loop";
    const int seconds = std::atoi(Option(argc, argv, "--seconds", "60").c_str());
    std::signal(SIGINT, &OnSignal);
    std::signal(SIGTERM, &OnSignal);

    CWaveOutOwner owner;
    CLiveStream stream(owner);
    if (!stream.Start(options, std::make_shared<PassThrough>())) {
        std::fprintf(stderr, "loop: did not start\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    auto nextReport = start + std::chrono::seconds(1);
    std::vector<double> latencies;
    int status = 0;
    while (g_bInterrupted == 0
        && std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        LiveEvent event;
        while (stream.PollEvent(event)) {
            std::fprintf(stderr, "loop: %s\n", LiveEventText(event).c_str());
            if (event.kind != LiveEventKind::Started && event.kind != LiveEventKind::Moved) {
                status = 1;
            }
        }
        if (stream.State() == LiveState::Failed) {
            break;
        }
        if (std::chrono::steady_clock::now() >= nextReport) {
            nextReport += std::chrono::seconds(1);
            const LiveCounters counters = stream.Counters();
            if (counters.LatencyMs() >= 0.0) {
                latencies.push_back(counters.LatencyMs());
            }
            std::fprintf(stderr,
                "loop: latency %.1f ms (source %.1f, sink %.1f), held %.1f ms, drops %llu (%llu "
                "frames), padded %llu frames, underruns %llu, resets %llu\n",
                counters.LatencyMs(), counters.sourceLatencyMs, counters.sinkLatencyMs,
                counters.heldMs, static_cast<unsigned long long>(counters.drops),
                static_cast<unsigned long long>(counters.droppedFrames),
                static_cast<unsigned long long>(counters.paddedFrames),
                static_cast<unsigned long long>(counters.underruns),
                static_cast<unsigned long long>(counters.latencyResets));
        }
    }
    const LiveCounters counters = stream.Counters();
    stream.Stop();
    std::fprintf(stderr,
        "loop summary: reported latency median %.1f ms (%.1f to %.1f), drops %llu, padded %llu "
        "frames, underruns %llu, resets %llu\n",
        capture::quantile(latencies, 0.5), capture::quantile(latencies, 0.0),
        capture::quantile(latencies, 1.0), static_cast<unsigned long long>(counters.drops),
        static_cast<unsigned long long>(counters.paddedFrames),
        static_cast<unsigned long long>(counters.underruns),
        static_cast<unsigned long long>(counters.latencyResets));
    owner.Shutdown();
    return status;
}

int Pulses(int argc, char* argv[])
{
    const int rate = std::atoi(Option(argc, argv, "--rate", "48000").c_str());
    const int seconds = std::atoi(Option(argc, argv, "--seconds", "60").c_str());
    const std::size_t period = static_cast<std::size_t>(rate) / 4;
    const std::size_t width = static_cast<std::size_t>(rate) / 50;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate) * seconds);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = i % period < width ? 20000 : 0;
    }
    return std::fwrite(samples.data(), 2, samples.size(), stdout) == samples.size() ? 0 : 1;
}

int Analyse(int argc, char* argv[])
{
    if (argc < 3) {
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "analyse: cannot read %s\n", argv[2]);
        return 1;
    }
    const QByteArray bytes = file.readAll();
    std::vector<std::int16_t> stereo(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(stereo.data(), bytes.constData(), stereo.size() * 2);
    const int rate = std::atoi(Option(argc, argv, "--rate", "48000").c_str());
    const capture::LoopDelays delays = capture::loopDelays(stereo, rate, 10000);
    std::printf("%zu %.1f %.1f %.1f %.1f %.1f %zu\n", delays.ms.size(),
        capture::quantile(delays.ms, 0.5), capture::quantile(delays.ms, 0.05),
        capture::quantile(delays.ms, 0.95), capture::quantile(delays.ms, 0.0),
        capture::quantile(delays.ms, 1.0), delays.missing);
    return delays.ms.empty() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "loop") {
        return Loop(argc, argv);
    }
    if (mode == "pulses") {
        return Pulses(argc, argv);
    }
    if (mode == "analyse") {
        return Analyse(argc, argv);
    }
    std::fprintf(stderr, "usage: bench_live_loop loop|pulses|analyse ...\n");
    return 2;
}
