// Measures the stream on a real sound server (run it through tests/support/with-pulse.sh, or
// bench/audio_figures.sh): continuity and bit-exactness over a long run with Draw and settings
// changes, the delay from a settings change to the new signal at the sink, the CPU time of
// streaming one window, and two windows streaming at once.
//
//   bench_audio_stream soak [seconds]   Draw every 100 ms, settings OK every 5 s
//   bench_audio_stream cpu [seconds]    one window streaming, nothing else
//   bench_audio_stream two [seconds]    two windows streaming at once
#include "capture.h"
#include "vornview.h"
#include "waveout.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>

using namespace vorn;
using namespace vorn::capture;

namespace {

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU ticks (user and system) of every thread of the process, by thread id, with its name.
std::map<QString, std::pair<QString, long>> ThreadTicks()
{
    std::map<QString, std::pair<QString, long>> threads;
    for (const QFileInfo& task :
        QDir(QStringLiteral("/proc/self/task")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(task.filePath() + QStringLiteral("/comm"));
        QFile stat(task.filePath() + QStringLiteral("/stat"));
        if (comm.open(QIODevice::ReadOnly) && stat.open(QIODevice::ReadOnly)) {
            const QString text = QString::fromLatin1(stat.readAll());
            const QStringList fields
                = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
            threads[task.fileName()] = { QString::fromLatin1(comm.readAll().trimmed()),
                fields.value(11).toLong() + fields.value(12).toLong() };
        }
    }
    return threads;
}

// Runs the event loop as the program's main loop does, without polling.
void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::size_t MinimumPlayed(std::size_t written)
{
    return written - std::min<std::size_t>(written, 2 * kBlockSamples + 2048);
}

struct Window
{
    QueueTap tap;
    CVornView view;
    explicit Window(const QElapsedTimer& clock)
    {
        tap.pClock = &clock;
        view.SetWaveOutFactory(tap.Factory());
        view.resize(500, 400);
        view.show();
    }
};

// Runs the event loop until the window's stream has handed back n blocks since Run.
bool WaitForBlocks(const Window& window, std::size_t blocks, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (window.tap.sessions.back().size() < (blocks + 2) * kBlockSamples) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

int Soak(int seconds)
{
    SinkRecorder recorder;
    if (!recorder.Start()) {
        std::printf("soak: parec did not start\n");
        return 1;
    }
    Window window(recorder.Clock());
    const std::uint64_t underrunsBefore = CWaveOutDevice::TotalUnderruns();
    window.view.OnRun();
    if (!WaitForBlocks(window, 4, 5000)) {
        std::printf("soak: the stream did not start\n");
        return 1;
    }
    struct Change
    {
        double ms;
        std::size_t firstWrite; // index of the first block written after the change
    };
    std::vector<Change> changes;
    QElapsedTimer run;
    run.start();
    int draws = 0;
    int settings = 0;
    while (run.elapsed() < seconds * 1000) {
        QTest::qWait(100);
        window.view.DrawTrace();
        ++draws;
        if (draws % 50 == 0) {
            // Settings OK with new values: alternately a step and a sine of a new frequency.
            ++settings;
            window.view.m_nInput = settings % 2;
            window.view.m_dFreq = 300.0 + 100.0 * settings;
            window.view.m_bFreqMode = 0;
            window.view.ResetFilterState();
            changes.push_back({ static_cast<double>(recorder.Clock().nsecsElapsed()) / 1e6,
                window.tap.writeTimesMs.size() });
        }
    }
    const std::size_t written = window.tap.sessions.back().size();
    window.view.OnStop();
    QTest::qWait(500);
    recorder.Stop();

    const std::vector<std::int16_t> recording = recorder.Samples();
    const Match match = MatchSessions(recording, window.tap.sessions, { MinimumPlayed(written) });
    const std::uint64_t underruns = CWaveOutDevice::TotalUnderruns() - underrunsBefore;
    std::printf("soak: %d s streamed, %d draws, %d settings changes, %zu blocks queued\n", seconds,
        draws, settings, written / kBlockSamples);
    std::printf("soak: underruns %llu\n", static_cast<unsigned long long>(underruns));
    std::printf("soak: recording bit-exact: %s%s%s\n", match.ok ? "yes" : "NO",
        match.ok ? "" : ", ", qPrintable(match.failure));
    if (match.ok) {
        double worst = 0.0;
        double sum = 0.0;
        int counted = 0;
        for (const Change& change : changes) {
            if (change.firstWrite >= window.tap.writeTimesMs.size()) {
                continue;
            }
            const std::size_t position = match.offsets[0] + change.firstWrite * kBlockSamples;
            if (position >= match.offsets[0] + match.played[0]) {
                continue;
            }
            const double latency = recorder.SinkTimeOfSample(position) - change.ms;
            worst = std::max(worst, latency);
            sum += latency;
            ++counted;
        }
        std::printf("soak: settings OK -> first new sample at the sink: mean %.1f ms, max %.1f ms "
                    "(%d changes)\n",
            counted ? sum / counted : 0.0, worst, counted);
    }
    return match.ok && underruns == 0 ? 0 : 1;
}

int Cpu(int seconds)
{
    QElapsedTimer clock;
    clock.start();
    Window window(clock);
    window.view.OnRun();
    if (!WaitForBlocks(window, 4, 5000)) {
        std::printf("cpu: the stream did not start\n");
        return 1;
    }
    const std::map<QString, std::pair<QString, long>> threadsBefore = ThreadTicks();
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(seconds * 1000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const std::size_t blocks = window.tap.sessions.back().size() / kBlockSamples;
    const std::map<QString, std::pair<QString, long>> threadsAfter = ThreadTicks();
    for (const auto& [tid, thread] : threadsAfter) {
        const auto before = threadsBefore.find(tid);
        const long ticks
            = thread.second - (before == threadsBefore.end() ? 0 : before->second.second);
        std::printf("cpu:   thread %s: %.2f %% of one core\n", qPrintable(thread.first),
            100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK))
                / elapsed);
    }
    window.view.OnStop();
    std::printf(
        "cpu: one window streaming for %.1f s (%zu blocks): %.3f s CPU = %.2f %% of one core\n",
        elapsed, blocks, cpu, 100.0 * cpu / elapsed);
    return 0;
}

int Two(int seconds)
{
    SinkRecorder recorder;
    if (!recorder.Start()) {
        std::printf("two: parec did not start\n");
        return 1;
    }
    auto first = std::make_unique<Window>(recorder.Clock());
    auto second = std::make_unique<Window>(recorder.Clock());
    second->view.m_dFreq = 440.0;
    const std::uint64_t underrunsBefore = CWaveOutDevice::TotalUnderruns();
    first->view.OnRun();
    WaitForBlocks(*first, 20, 5000);
    second->view.OnRun();
    QTest::qWait(seconds * 1000);
    const std::size_t writtenSecond = second->tap.sessions.back().size();
    second->view.OnStop();
    QTest::qWait(500);
    const std::size_t writtenFirst = first->tap.sessions.back().size();
    first->view.OnStop();
    QTest::qWait(500);
    recorder.Stop();
    const std::uint64_t underruns = CWaveOutDevice::TotalUnderruns() - underrunsBefore;

    // The sink adds the two streams: find the first alone (it started earlier), take it away,
    // and the second must remain, bit for bit, with silence around it.
    const std::vector<std::int16_t> recording = recorder.Samples();
    const std::vector<std::int16_t>& a = first->tap.sessions[0];
    const std::size_t aFirst = static_cast<std::size_t>(
        std::find_if(a.begin(), a.end(), [](std::int16_t v) { return v != 0; }) - a.begin());
    const std::size_t rFirst = static_cast<std::size_t>(
        std::find_if(recording.begin(), recording.end(), [](std::int16_t v) { return v != 0; })
        - recording.begin());
    bool ok = rFirst >= aFirst && rFirst < recording.size();
    QString failure = ok ? QString() : QStringLiteral("first stream not found");
    std::vector<std::int16_t> rest;
    const std::size_t aPlayed = MinimumPlayed(writtenFirst);
    if (ok) {
        const std::size_t offset = rFirst - aFirst;
        const std::size_t end = std::min(recording.size(), offset + aPlayed);
        rest.assign(recording.begin(), recording.begin() + static_cast<std::ptrdiff_t>(end));
        for (std::size_t i = offset; i < end; ++i) {
            rest[i] = static_cast<std::int16_t>(rest[i] - a[i - offset]);
        }
        const Match match
            = MatchSessions(rest, second->tap.sessions, { MinimumPlayed(writtenSecond) });
        ok = match.ok && end == offset + aPlayed;
        failure = match.failure;
    }
    std::printf("two: windows streamed %zu and %zu blocks, %d s together; underruns %llu\n",
        writtenFirst / kBlockSamples, writtenSecond / kBlockSamples, seconds,
        static_cast<unsigned long long>(underruns));
    std::printf("two: both streams continuous and bit-exact in the mix: %s%s%s\n",
        ok ? "yes" : "NO", ok ? "" : ", ", qPrintable(failure));
    return ok && underruns == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("VORN_PULSE_CTL")) {
        std::fprintf(
            stderr, "run me through tests/support/with-pulse.sh (bench/audio_figures.sh does)\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("soak");
    const int seconds = argc > 2 ? std::atoi(argv[2])
                                 : (mode == QStringLiteral("two")        ? 10
                                         : mode == QStringLiteral("cpu") ? 20
                                                                         : 60);
    if (mode == QStringLiteral("cpu")) {
        return Cpu(seconds);
    }
    if (mode == QStringLiteral("two")) {
        return Two(seconds);
    }
    return Soak(seconds);
}
