// vorn-listen as people run it, on a private sound server (PulseAudio or PipeWire,
// VORN_SOUND_SERVER) with a 48 kHz stereo null sink recorded from its monitor: at a terminal (a
// pseudo-terminal the test types into) or without one. A file's samples reach the sink as
// vorn-render filter writes them; space switches to the dry file with no jump of its own; the
// quitting keys and signals end it at once and leave the terminal as it was; a captured loop
// keeps its latency; and the faults: a server that hangs or dies, devices and files that are
// missing or go away.
#include "capture.h"
#include "livestream.h"
#include "soundserverexec.h"
#include "waveoutowner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace vorn;
using namespace vorn::capture;

namespace {

constexpr int kRate = 48000;

bool timingChecked()
{
    return !qEnvironmentVariableIsSet("VORN_SKIP_SOUND_TIMING");
}

// vorn-listen started as a user starts it: at a terminal (a pseudo-terminal of 160 columns whose
// other side the test reads and types into) or without one (standard input /dev/null, standard
// error a pipe). Started with posix_spawn, as the tests' other children are (see capture.cpp).
class Listener
{
public:
    ~Listener()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const int fd : { m_output, m_slave }) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    bool start(const QStringList& arguments, bool terminal)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int pipe[2] = { -1, -1 };
        if (terminal) {
            winsize size {};
            size.ws_col = 160;
            size.ws_row = 24;
            int master = -1;
            if (::openpty(&master, &m_slave, nullptr, nullptr, &size) != 0) {
                return false;
            }
            m_output = master;
            ::tcgetattr(m_slave, &m_before);
            for (const int fd : { STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO }) {
                posix_spawn_file_actions_adddup2(&actions, m_slave, fd);
            }
            posix_spawn_file_actions_addclose(&actions, master);
        } else {
            if (::pipe2(pipe, O_CLOEXEC) != 0) {
                return false;
            }
            m_output = pipe[0];
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
        }
        std::vector<QByteArray> words { VORN_LISTEN_PATH };
        for (const QString& argument : arguments) {
            words.push_back(argument.toLocal8Bit());
        }
        std::vector<char*> argv;
        for (QByteArray& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        m_clock.start();
        const int spawned
            = posix_spawn(&m_pid, VORN_LISTEN_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (pipe[1] >= 0) {
            ::close(pipe[1]);
        }
        ::fcntl(m_output, F_SETFL, ::fcntl(m_output, F_GETFL) | O_NONBLOCK);
        return spawned == 0;
    }

    void type(const QByteArray& keys)
    {
        m_typedAtMs = now();
        QVERIFY(::write(m_output, keys.constData(), static_cast<std::size_t>(keys.size()))
            == keys.size());
    }
    void signal(int number)
    {
        m_typedAtMs = now();
        ::kill(m_pid, number);
    }

    // Waits up to timeoutMs for it to end (running the event loop for the recorder): its exit
    // status, or -1 while it runs.
    int wait(int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        do {
            read();
            int status = 0;
            if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_endedAtMs = now();
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                read();
            }
            if (m_pid < 0) {
                return m_status;
            }
            QTest::qWait(2);
        } while (waited.elapsed() < timeoutMs);
        return -1;
    }

    // Waits (as wait does) until the output holds `text`.
    bool waitForOutput(const QByteArray& text, int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        while (!m_text.contains(text) && waited.elapsed() < timeoutMs && wait(10) < 0) { }
        return m_text.contains(text);
    }

    [[nodiscard]] QByteArray output() const { return m_text; }
    // Milliseconds from the last key or signal to the end.
    [[nodiscard]] double quitMs() const { return m_endedAtMs - m_typedAtMs; }
    [[nodiscard]] double typedAtMs() const { return m_typedAtMs; }
    [[nodiscard]] const QElapsedTimer& clock() const { return m_clock; }
    // Whether the terminal's mode is as it was before the program started.
    [[nodiscard]] bool terminalRestored() const
    {
        termios after {};
        ::tcgetattr(m_slave, &after);
        return after.c_lflag == m_before.c_lflag && after.c_iflag == m_before.c_iflag
            && after.c_cc[VMIN] == m_before.c_cc[VMIN];
    }

private:
    double now() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }
    void read()
    {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(m_output, buffer, sizeof buffer)) > 0) {
            m_text.append(buffer, static_cast<qsizetype>(n));
        }
    }

    pid_t m_pid = -1;
    int m_output = -1;
    int m_slave = -1;
    termios m_before {};
    QByteArray m_text;
    QElapsedTimer m_clock;
    double m_typedAtMs = 0.0;
    double m_endedAtMs = 0.0;
    int m_status = -1;
};

// A 16-bit stereo file at 48 kHz: 300 Hz and 3 kHz on the left, 500 Hz and 5 kHz on the right,
// each at 0.3 of full scale (the high tones are what the filter takes away), and a little noise,
// so that no stretch of it repeats.
QString writeFile(const QString& path, double seconds, int subtype = SF_FORMAT_PCM_16)
{
    SF_INFO info {};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    std::vector<double> samples(2 * frames);
    quint32 lcg = 1;
    const auto noise = [&lcg] {
        lcg = lcg * 1664525U + 1013904223U;
        return 0.02 * (static_cast<double>(lcg >> 8) / (1 << 24) - 0.5);
    };
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        samples[2 * n]
            = 0.3 * std::sin(2 * M_PI * 300 * t) + 0.3 * std::sin(2 * M_PI * 3000 * t) + noise();
        samples[2 * n + 1]
            = 0.3 * std::sin(2 * M_PI * 500 * t) + 0.3 * std::sin(2 * M_PI * 5000 * t) + noise();
    }
    if (subtype == SF_FORMAT_FLOAT) {
        samples[100] = NAN;
    }
    sf_writef_double(file, samples.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return path;
}

std::vector<std::int16_t> readSamples(const QString& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (file == nullptr) {
        return {};
    }
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

// vorn-render filter's output for a file, as 16-bit samples.
std::vector<std::int16_t> rendered(const QString& in, const QString& out, QStringList options)
{
    const pid_t pid = [&] {
        std::vector<QByteArray> words { VORN_RENDER_PATH, "filter", in.toLocal8Bit(),
            out.toLocal8Bit(), "--quiet" };
        for (const QString& option : options) {
            words.push_back(option.toLocal8Bit());
        }
        std::vector<char*> argv;
        for (QByteArray& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        pid_t child = -1;
        return posix_spawn(&child, VORN_RENDER_PATH, nullptr, nullptr, argv.data(), environ) == 0
            ? child
            : -1;
    }();
    int status = -1;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || status != 0) {
        return {};
    }
    return readSamples(out);
}

// Where `expected` lies in the recording, bit for bit in its first `compared` samples: found by a
// stretch from their middle, then compared. The recording index of its first sample, or npos.
std::size_t findWhole(const std::vector<std::int16_t>& recording,
    const std::vector<std::int16_t>& expected, std::size_t compared)
{
    const std::size_t middle = compared / 2 & ~std::size_t { 1 };
    const std::size_t at = findExact(recording, expected.data() + middle, 4800, 0);
    if (at == std::size_t(-1) || at < middle) {
        return std::size_t(-1);
    }
    const std::size_t start = at - middle;
    for (std::size_t i = 0; i < compared; ++i) {
        if (start + i >= recording.size() || recording[start + i] != expected[i]) {
            return std::size_t(-1);
        }
    }
    return start;
}

// The lines of a text, without the status line's redrawing.
QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> result;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.trimmed().isEmpty()) {
            result << line;
        }
    }
    return result;
}

// How many times a run whose recording may have lost a period is tried.
constexpr int kAttempts = 3;

} // namespace

class TestListen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void cleanup()
    {
        soundServerControl("--resume");
        soundServerControl("--start");
    }

    void aFileReachesTheSinkAsVornRenderFilterWritesIt_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("dry");
        QTest::newRow("filtered, gain and A/B")
            << QStringList { "--gain", "-4.5", "--ab", "0.7" } << false;
        QTest::newRow("a design") << QStringList { "--order", "4", "--type", "chebyshev1" }
                                  << false;
        QTest::newRow("dry: the file's own samples") << QStringList { "--dry" } << true;
    }
    void aFileReachesTheSinkAsVornRenderFilterWritesIt()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, dry);
        const QString in = writeFile(m_dir.filePath("exact.wav"), 2.0);
        const std::vector<std::int16_t> expected
            = dry ? readSamples(in) : rendered(in, m_dir.filePath("exact-filtered.wav"), options);
        QCOMPARE(expected.size(), std::size_t { 2 * 96000 });
        // A loaded machine's server may drop a period of the recording now and then (under the
        // sanitizers most of all); a run whose recording lost one is tried again, twice at most.
        for (int attempt = 1;; ++attempt) {
            SinkRecorder recorder;
            QVERIFY2(recorder.start(kRate, 2), "parec did not record the sink's monitor");
            Listener listener;
            QVERIFY(listener.start(QStringList { in } + options, false));
            // Without a terminal, a file plays to its end.
            QCOMPARE(listener.wait(15000), 0);
            QTest::qWait(300);
            recorder.stop();
            const std::size_t at = findWhole(recorder.samples(), expected, expected.size());
            if (at == std::size_t(-1) && attempt < kAttempts) {
                qWarning("attempt %d: not found bit for bit in the recording; again", attempt);
                continue;
            }
            QVERIFY2(at != std::size_t(-1), "not found bit for bit in the recording");
            QCOMPARE(at % 2, std::size_t { 0 });
            // The summary at the end, one line.
            const QList<QByteArray> said = lines(listener.output());
            QCOMPARE(said.size(), 1);
            QVERIFY2(
                said[0].startsWith("vorn-listen: exact.wav: ") && said[0].contains(" 0 underruns"),
                said[0].constData());
            return;
        }
    }

    void spaceSwitchesToDryWithoutAJump()
    {
        const QString in = writeFile(m_dir.filePath("switch.wav"), 6.0);
        const std::vector<std::int16_t> dry = readSamples(in);
        const std::vector<std::int16_t> wet = rendered(in, m_dir.filePath("switch-out.wav"), {});
        // As above, a run whose recording lost a period is tried again, twice at most.
        std::vector<std::int16_t> recording;
        std::size_t at = 0;
        std::size_t switched = 0;
        std::size_t dryFrom = 0;
        for (int attempt = 1;; ++attempt) {
            SinkRecorder recorder;
            QVERIFY2(recorder.start(kRate, 2), "parec did not record the sink's monitor");
            Listener listener;
            QVERIFY(listener.start({ in }, true));
            QVERIFY2(listener.waitForOutput("FILTERED", 5000), listener.output().constData());
            QTest::qWait(700);
            listener.type(" ");
            QVERIFY2(listener.waitForOutput("DRY", 2000), listener.output().constData());
            QTest::qWait(700);
            listener.type("q");
            QCOMPARE(listener.wait(2000), 0);
            QTest::qWait(200);
            recorder.stop();

            // Filtered, exactly, from the first quarter of a second to the switch; then the
            // crossfade of 480 frames; then the file's own samples, exactly, for another quarter
            // of a second.
            recording = recorder.samples();
            at = findWhole(recording, wet, kRate / 2);
            QString fault;
            if (at == std::size_t(-1)) {
                fault = QStringLiteral("the filtered sound is not in the recording");
            } else {
                std::size_t frame = kRate / 4;
                while (at + 2 * frame + 1 < recording.size() && 2 * frame < wet.size()
                    && recording[at + 2 * frame] == wet[2 * frame]
                    && recording[at + 2 * frame + 1] == wet[2 * frame + 1]) {
                    ++frame;
                }
                switched = frame;
                dryFrom = switched + 480;
                if (!(switched > kRate / 2 && switched < 3 * kRate)) {
                    fault = QStringLiteral("switched at frame %1").arg(switched);
                }
                for (std::size_t i = 2 * dryFrom; fault.isEmpty() && i < 2 * (dryFrom + kRate / 4);
                     ++i) {
                    if (at + i >= recording.size() || recording[at + i] != dry[i]) {
                        fault = QStringLiteral("frame %1 is not dry").arg(i / 2);
                    }
                }
            }
            if (!fault.isEmpty() && attempt < kAttempts) {
                qWarning("attempt %d: %s; again", attempt, qPrintable(fault));
                continue;
            }
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
            break;
        }
        qInfo("switched at %.3f s of the file", static_cast<double>(switched) / kRate);
        // No step between neighbouring samples larger than either signal's own largest.
        int own = 0;
        for (std::size_t i = 2; i < dry.size(); ++i) {
            own = std::max({ own, std::abs(dry[i] - dry[i - 2]), std::abs(wet[i] - wet[i - 2]) });
        }
        int largest = 0;
        for (std::size_t i = 2 * (switched - 1000); i < 2 * (dryFrom + 1000); ++i) {
            largest = std::max(largest, std::abs(recording[at + i] - recording[at + i - 2]));
        }
        QVERIFY2(largest <= own, qPrintable(QStringLiteral("%1 > %2").arg(largest).arg(own)));
    }

    void quittingIsAtOnce_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QByteArray>("keys"); // or a signal's number
        QTest::addColumn<int>("signal");
        QTest::newRow("q") << true << QByteArray("q") << 0;
        QTest::newRow("Esc") << true << QByteArray("\x1b") << 0;
        QTest::newRow("Ctrl+C") << true << QByteArray("\x03") << 0;
        QTest::newRow("SIGTERM at a terminal") << true << QByteArray() << int(SIGTERM);
        QTest::newRow("SIGINT without a terminal") << false << QByteArray() << int(SIGINT);
        QTest::newRow("SIGTERM without a terminal") << false << QByteArray() << int(SIGTERM);
    }
    void quittingIsAtOnce()
    {
        QFETCH(bool, terminal);
        QFETCH(QByteArray, keys);
        QFETCH(int, signal);
        SinkRecorder recorder;
        QVERIFY2(recorder.start(kRate, 2), "parec did not record the sink's monitor");
        Listener listener;
        QVERIFY(
            listener.start({ "--input", "sine", "--freq", "440", "--rate", "48000" }, terminal));
        QTest::qWait(1500);
        QCOMPARE(listener.wait(0), -1);
        if (signal != 0) {
            listener.signal(signal);
        } else {
            listener.type(keys);
        }
        QCOMPARE(listener.wait(2000), 0);
        QTest::qWait(300);
        recorder.stop();
        if (terminal) {
            QVERIFY(listener.terminalRestored());
        }
        // The sine's last sample at the sink, from the time of the key.
        const std::vector<std::int16_t> recording = recorder.samples();
        std::size_t last = recording.size();
        while (last > 0 && std::abs(recording[last - 1]) < 100) {
            --last;
        }
        QVERIFY(last > 0);
        // The key's time on the recorder's clock.
        const double typedMs = listener.typedAtMs()
            + static_cast<double>(
                listener.clock().msecsSinceReference() - recorder.clock().msecsSinceReference());
        const double stoppedMs = recorder.sinkTimeOfSample((last - 1) / 2) - typedMs;
        qInfo("%s: ended %.0f ms after, sound stopped %.0f ms after",
            qPrintable(qEnvironmentVariable("VORN_SOUND_SERVER")), listener.quitMs(), stoppedMs);
        if (timingChecked()) {
            QVERIFY2(listener.quitMs() < 1000, qPrintable(QString::number(listener.quitMs())));
            QVERIFY2(stoppedMs < 50.0, qPrintable(QString::number(stoppedMs)));
        }
    }

    void loopLatencyIsLowAndSteady()
    {
        QVERIFY(ensureLoopDevices());
        SinkRecorder recorder;
        QVERIFY2(recorder.start(kRate, 2), "parec did not record the sink's monitor");
        Listener listener;
        QVERIFY(listener.start(
            { "--capture", "vorn_left_source", "--device", "vorn_right", "--latency", "10" },
            false));
        QTest::qWait(1000);
        CWaveOutOwner owner;
        CLiveStream pulses(owner);
        LiveOptions options;
        options.format = { kRate, 1, LiveSampleFormat::Float32 };
        options.latencyMs = 50;
        options.sink = "vorn_left";
        QVERIFY(pulses.Start(options, std::make_shared<PulseTrain>()));
        QTest::qWait(8000);
        pulses.Stop();
        listener.signal(SIGTERM);
        QCOMPARE(listener.wait(2000), 0);
        recorder.stop();
        const LoopDelays delays = loopDelays(recorder.samples(), kRate, 10000);
        const double median = quantile(delays.ms, 0.5);
        const double spread = quantile(delays.ms, 0.95) - quantile(delays.ms, 0.05);
        qInfo("%s: vorn-listen's loop at --latency 10: median %.1f ms, 5th to 95th percentile "
              "%.1f to %.1f ms over %zu pulses (%zu lost); %s",
            qPrintable(qEnvironmentVariable("VORN_SOUND_SERVER")), median,
            quantile(delays.ms, 0.05), quantile(delays.ms, 0.95), delays.ms.size(), delays.missing,
            listener.output().trimmed().constData());
        QVERIFY2(delays.ms.size() >= 25, qPrintable(QString::number(delays.ms.size())));
        QVERIFY2(delays.missing <= 2, qPrintable(QString::number(delays.missing)));
        if (timingChecked()) {
            QVERIFY2(median > 0.0 && median <= 25.0, qPrintable(QString::number(median)));
            QVERIFY2(spread <= 10.0, qPrintable(QString::number(spread)));
        }
    }

    void aStoppedServerNeverHoldsTheKeys()
    {
        Listener listener;
        QVERIFY(listener.start({ "--input", "pink" }, true));
        QVERIFY2(listener.waitForOutput("latency", 5000), listener.output().constData());
        QVERIFY(soundServerControl("--pause"));
        QVERIFY2(listener.waitForOutput("does not respond", 3000), listener.output().constData());
        listener.type("q");
        QCOMPARE(listener.wait(1000), 0);
        QVERIFY(listener.terminalRestored());
    }

    void aServerThatDiesEndsIt()
    {
        Listener listener;
        QVERIFY(listener.start({ "--input", "noise" }, false));
        QTest::qWait(1000);
        QCOMPARE(listener.wait(0), -1);
        QVERIFY(soundServerControl("--kill"));
        QCOMPARE(listener.wait(2000), 1);
        QCOMPARE(listener.output(), QByteArray("vorn-listen: the sound server went away\n"));
    }

    void missingThingsAreOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("line");
        const QString notSound = m_dir.filePath("text.wav");
        QFile file(notSound);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a sound\n") > 0);
        file.close();
        const QString sound = writeFile(m_dir.filePath("short.wav"), 0.5);
        QTest::newRow("a missing file")
            << QStringList { m_dir.filePath("missing.wav") }
            << QByteArray("vorn-listen: cannot read '" + m_dir.filePath("missing.wav").toUtf8()
                   + "': System error : No such file or directory.\n");
        QTest::newRow("a file that is no sound")
            << QStringList { notSound }
            << QByteArray("vorn-listen: cannot read '" + notSound.toUtf8()
                   + "': Format not recognised.\n");
        QTest::newRow("a missing sink")
            << QStringList { sound, "--device", "vorn_no_such_sink" }
            << QByteArray("vorn-listen: the sink 'vorn_no_such_sink' does not exist\n");
        QTest::newRow("a missing source")
            << QStringList { "--capture", "vorn_no_such_source" }
            << QByteArray("vorn-listen: the source 'vorn_no_such_source' does not exist\n");
    }
    void missingThingsAreOneLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, line);
        Listener listener;
        QVERIFY(listener.start(arguments, false));
        QCOMPARE(listener.wait(5000), 2);
        QCOMPARE(listener.output(), line);
    }

    void aSourceThatGoesAwayEndsIt()
    {
        QByteArray module;
        QVERIFY(pactl({ "load-module", "module-null-sink", "sink_name=vorn_vanishing", "rate=48000",
                          "channels=2" },
            &module));
        Listener listener;
        QVERIFY(listener.start({ "--capture", "vorn_vanishing.monitor" }, false));
        QTest::qWait(1000);
        QCOMPARE(listener.wait(0), -1);
        QVERIFY(pactl({ "unload-module", module.trimmed().toStdString() }));
        QCOMPARE(listener.wait(2000), 1);
        QCOMPARE(listener.output(),
            QByteArray("vorn-listen: the source 'vorn_vanishing.monitor' went away\n"));
    }

    // Who plays, as the mixer shows it: the window's identity, the stream named after the
    // file; and an input sample that is no number, said once and counted.
    void theMixerShowsWhoPlays()
    {
        const QString in = writeFile(m_dir.filePath("named.wav"), 1.5, SF_FORMAT_FLOAT);
        Listener listener;
        QVERIFY(listener.start({ in }, false));
        QTest::qWait(800);
        std::map<QString, QString> properties = mixerStream("sink-inputs", QStringLiteral("Vorn"));
        QVERIFY(!properties.empty());
        QCOMPARE(
            properties[QStringLiteral("application.id")], QStringLiteral("Vorn.AppID.NoVersion"));
        QCOMPARE(properties[QStringLiteral("application.icon_name")], QStringLiteral("vorn"));
        QCOMPARE(properties[QStringLiteral("media.role")], QStringLiteral("production"));
        QCOMPARE(properties[QStringLiteral("media.name")], QStringLiteral("named.wav"));
        QCOMPARE(listener.wait(5000), 0);
        const QList<QByteArray> said = lines(listener.output());
        QCOMPARE(said.size(), 2);
        QVERIFY2(said[0].startsWith("vorn-listen: warning: input samples not finite"), said[0]);
        QVERIFY2(said[1].endsWith(", 1 input samples taken as 0"), said[1]);
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char* argv[])
{
    // Run inside a private sound server with a 48 kHz stereo sink unless already there.
    if (qEnvironmentVariableIsEmpty("VORN_SOUND_CTL")) {
        return ReexecUnderSoundServer(
            argc, argv, { "--sink-rate", "48000", "--sink-channels", "2" });
    }
    QCoreApplication app(argc, argv);
    TestListen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_listen.moc"
