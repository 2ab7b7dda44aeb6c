// Measures the stream on a real sound server (run it through tests/support/with-sound-server.sh,
// or bench/audio_figures.sh): continuity and bit-exactness over a long run with Draw and settings
// changes, the delay from a settings change to the new signal at the sink, the CPU time of
// streaming one window, two windows streaming at once, and how long the UI thread is held up
// when the server hangs.
//
//   bench_audio_stream soak [seconds]   Draw every 100 ms, settings OK every 5 s
//   bench_audio_stream cpu [seconds]    one window streaming, nothing else
//   bench_audio_stream two [seconds]    two windows streaming at once
//   bench_audio_stream stall            Run, Stop and closing a window while the server hangs
#include "capture.h"
#include "vornview.h"
#include "waveout.h"
#include "waveoutdefault.h"
#include "waveouthooks.h"
#include "waveoutowner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
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

// The owner of the devices' threads, held by main() as the application holds its own.
CWaveOutOwner* g_pWaveOutOwner = nullptr;

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
        tap.clock = &clock;
        tap.makeDevice = CDefaultWaveOut::Factory(*g_pWaveOutOwner);
        view.SetWaveOutFactory(tap.factory());
        view.resize(500, 400);
        view.show();
    }
};

// Runs the event loop until the window's stream has handed back n blocks since Run.
bool WaitForBlocks(const Window& window, std::size_t blocks, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (window.tap.counts.empty() || window.tap.counts.back() < (blocks + 2) * kBlockSamples) {
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
    if (!recorder.start()) {
        std::printf("soak: parec did not start\n");
        return 1;
    }
    Window window(recorder.clock());
    const std::uint64_t underrunsBefore = CWaveOutHooks::TotalUnderruns();
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
            changes.push_back({ static_cast<double>(recorder.clock().nsecsElapsed()) / 1e6,
                window.tap.writeTimesMs.size() });
        }
    }
    const std::size_t written = window.tap.sessions.back().size();
    window.view.OnStop();
    QTest::qWait(500);
    recorder.stop();

    const std::vector<std::int16_t> recording = recorder.samples();
    const Match match = matchSessions(recording, window.tap.sessions, { MinimumPlayed(written) });
    if (const QString dir = qEnvironmentVariable("VORN_CAPTURE_DUMP"); !dir.isEmpty()) {
        QFile r(dir + QStringLiteral("/recording.raw"));
        QFile q(dir + QStringLiteral("/queued.raw"));
        if (r.open(QIODevice::WriteOnly) && q.open(QIODevice::WriteOnly)) {
            r.write(reinterpret_cast<const char*>(recording.data()),
                static_cast<qint64>(recording.size() * 2));
            q.write(reinterpret_cast<const char*>(window.tap.sessions.back().data()),
                static_cast<qint64>(window.tap.sessions.back().size() * 2));
        }
    }
    const std::uint64_t underruns = CWaveOutHooks::TotalUnderruns() - underrunsBefore;
    std::printf("soak: %d s streamed, %d draws, %d settings changes, %zu blocks queued\n", seconds,
        draws, settings, written / kBlockSamples);
    std::printf("soak: underruns %llu\n", static_cast<unsigned long long>(underruns));
    {
        double longest = 0.0;
        const std::vector<double>& times = window.tap.writeTimesMs;
        std::vector<double> gaps;
        for (std::size_t i = 3; i < times.size(); ++i) {
            gaps.push_back(times[i] - times[i - 1]);
            longest = std::max(longest, times[i] - times[i - 1]);
        }
        std::sort(gaps.begin(), gaps.end());
        std::printf("soak: refills: longest interval %.1f ms, 99th percentile %.1f ms\n", longest,
            gaps.empty() ? 0.0 : gaps[gaps.size() * 99 / 100]);
    }
    std::printf("soak: recording bit-exact: %s%s%s\n", match.ok ? "yes" : "NO",
        match.ok ? "" : ", ", qPrintable(match.failure));
    // Where the stream starts in the recording, even when it did not come through whole.
    const std::vector<std::int16_t>& queued = window.tap.sessions.back();
    const auto firstQueued = static_cast<std::size_t>(
        std::find_if(queued.begin(), queued.end(), [](std::int16_t v) { return v != 0; })
        - queued.begin());
    const auto firstRecorded = static_cast<std::size_t>(
        std::find_if(recording.begin(), recording.end(), [](std::int16_t v) { return v != 0; })
        - recording.begin());
    if (firstRecorded >= firstQueued && firstRecorded < recording.size()) {
        const Continuity continuity
            = traceStream(recording, firstRecorded - firstQueued, queued, MinimumPlayed(written));
        std::printf("soak: dropped samples %zu, silence inserted %zu samples (of %zu played)\n",
            continuity.dropped, continuity.inserted, MinimumPlayed(written));
    } else {
        std::printf("soak: the stream was not found in the recording\n");
    }
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
            const double latency = recorder.sinkTimeOfSample(position) - change.ms;
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
    window.tap.keepSamples = false;
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
    const std::size_t blocks = window.tap.counts.back() / kBlockSamples;
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
    if (!recorder.start()) {
        std::printf("two: parec did not start\n");
        return 1;
    }
    auto first = std::make_unique<Window>(recorder.clock());
    auto second = std::make_unique<Window>(recorder.clock());
    second->view.m_dFreq = 440.0;
    const std::uint64_t underrunsBefore = CWaveOutHooks::TotalUnderruns();
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
    recorder.stop();
    const std::uint64_t underruns = CWaveOutHooks::TotalUnderruns() - underrunsBefore;

    // The sink adds the two streams: find the first alone (it started earlier), take it away,
    // and the second must remain, bit for bit, with silence around it.
    const std::vector<std::int16_t> recording = recorder.samples();
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
            = matchSessions(rest, second->tap.sessions, { MinimumPlayed(writtenSecond) });
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

// The longest time the UI thread went without running its event loop, from a timer that asks to
// run every 2 ms.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            m_longestMs = std::max(m_longestMs, static_cast<double>(m_last.nsecsElapsed()) / 1e6);
            m_last.restart();
        });
        m_last.start();
        m_timer.start();
    }
    // The longest gap since the last call.
    double takeLongestMs()
    {
        const double longest
            = std::max(m_longestMs, static_cast<double>(m_last.nsecsElapsed()) / 1e6);
        m_longestMs = 0.0;
        m_last.restart();
        return longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_last;
    double m_longestMs = 0.0;
};

// Times a call on the UI thread, in milliseconds.
template <typename Call> double TimeMs(Call call)
{
    QElapsedTimer timer;
    timer.start();
    call();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int Stall()
{
    QElapsedTimer clock;
    clock.start();
    Heartbeat heartbeat;
    auto window = std::make_unique<Window>(clock);
    bool ok = true;

    // The server hangs while the window streams.
    window->view.OnRun();
    ok = WaitForBlocks(*window, 10, 5000) && ok;
    auto lost = std::make_unique<QSignalSpy>(&window->view, &CVornView::statusMessage);
    soundServerControl("--pause");
    heartbeat.takeLongestMs();
    QElapsedTimer sinceStall;
    sinceStall.start();
    while (lost->isEmpty() && sinceStall.elapsed() < 10000) {
        QTest::qWait(5);
    }
    const double lostAfterMs = static_cast<double>(sinceStall.nsecsElapsed()) / 1e6;
    const double streamingMs = heartbeat.takeLongestMs();
    ok = ok && !lost->isEmpty() && window->view.m_bRunning == 0;

    // Run, Stop and closing the window while it hangs.
    double runMs = 0.0;
    double stopMs = 0.0;
    double closeMs = 0.0;
    double loopMs = 0.0;
    for (int round = 0; round < 3; ++round) {
        runMs = std::max(runMs, TimeMs([&] { window->view.OnRun(); }));
        QTest::qWait(300);
        stopMs = std::max(stopMs, TimeMs([&] { window->view.OnStop(); }));
        window->view.OnRun();
        QTest::qWait(300);
        closeMs = std::max(closeMs, TimeMs([&] { window.reset(); }));
        window = std::make_unique<Window>(clock);
        loopMs = std::max(loopMs, heartbeat.takeLongestMs());
    }
    // Run on the hung server until the stream is given up.
    lost = std::make_unique<QSignalSpy>(&window->view, &CVornView::statusMessage);
    runMs = std::max(runMs, TimeMs([&] { window->view.OnRun(); }));
    sinceStall.restart();
    while (lost->isEmpty() && sinceStall.elapsed() < 10000) {
        QTest::qWait(5);
    }
    const double lostBeforeRunMs = static_cast<double>(sinceStall.nsecsElapsed()) / 1e6;
    loopMs = std::max(loopMs, heartbeat.takeLongestMs());
    ok = ok && !lost->isEmpty() && window->view.m_bRunning == 0;

    // The program's end with a window streaming on the hung server: the window closes, then the
    // owner of the devices' threads shuts down.
    double shutdownMs = 0.0;
    int left = -1;
    {
        CWaveOutOwner hungOwner;
        CWaveOutOwner* const owner = g_pWaveOutOwner;
        g_pWaveOutOwner = &hungOwner;
        auto closing = std::make_unique<Window>(clock);
        closing->view.OnRun();
        QTest::qWait(300);
        closing.reset();
        shutdownMs = TimeMs([&] { left = hungOwner.Shutdown(); });
        g_pWaveOutOwner = owner;
    }

    // The server answers again: Run plays.
    soundServerControl("--resume");
    lost = std::make_unique<QSignalSpy>(&window->view, &CVornView::statusMessage);
    window->view.OnRun();
    const bool again = WaitForBlocks(*window, 10, 5000);
    if (!again) {
        std::printf("stall: after the server resumed: running %d, %zu samples queued, %s\n",
            window->view.m_bRunning, window->tap.counts.back(),
            lost->isEmpty() ? "no message" : qPrintable(lost->front().front().toString()));
    }
    window->view.OnStop();
    ok = ok && again;

    std::printf("stall: streaming stopped %.0f ms after the server hung (the UI thread's longest "
                "pause meanwhile %.1f ms)\n",
        lostAfterMs, streamingMs);
    std::printf("stall: Run on the hung server reported after %.0f ms\n", lostBeforeRunMs);
    std::printf("stall: longest UI-thread block with the server hung: Run %.2f ms, Stop %.2f ms, "
                "window close %.2f ms; event loop's longest pause %.1f ms\n",
        runMs, stopMs, closeMs, loopMs);
    std::printf("stall: the devices' owner shut down %.2f ms after a streaming window closed on "
                "the hung server, %d thread(s) left behind\n",
        shutdownMs, left);
    std::printf("stall: sound again after the server resumed: %s\n", again ? "yes" : "NO");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("VORN_SOUND_CTL")) {
        std::fprintf(stderr,
            "run me through tests/support/with-sound-server.sh (bench/audio_figures.sh does)\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    CWaveOutOwner owner;
    g_pWaveOutOwner = &owner;
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
    if (mode == QStringLiteral("stall")) {
        return Stall();
    }
    return Soak(seconds);
}
