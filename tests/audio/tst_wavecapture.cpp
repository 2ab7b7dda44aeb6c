// The stream on a real sound server: a private PulseAudio or PipeWire (VORN_SOUND_SERVER) with a
// null sink, recorded from the sink's monitor and compared bit for bit with what the view queued;
// the server stopped, killed and hung (SIGSTOP) under a streaming window; and, through a 48 kHz
// stereo sink that resamples, the tone's level and phase.
#include "capture.h"
#include "drawdlg.h"
#include "modalscript.h"
#include "resources.h"
#include "soundserverexec.h"
#include "stderrcapture.h"
#include "vornview.h"
#include "waveoutdefault.h"
#include "waveouthooks.h"
#include "waveoutowner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace vorn;
using namespace vorn::capture;

namespace {

// How long a modal window stays open in these tests, so the stream is refilled by its loop.
constexpr int kModalOpenMs = 120;

bool sinkIsBitExact()
{
    return qEnvironmentVariable("VORN_SINK_RATE", QStringLiteral("44100"))
        == QStringLiteral("44100")
        && qEnvironmentVariable("VORN_SINK_CHANNELS", QStringLiteral("1")) == QStringLiteral("1");
}

// A step that waits until the window has been open for kModalOpenMs, then acts.
ModalScript::Step afterAWhile(std::function<bool(QWidget*)> act)
{
    auto opened = std::make_shared<QElapsedTimer>();
    return [opened, act = std::move(act)](QWidget* widget) {
        if (!opened->isValid()) {
            opened->start();
        }
        return opened->elapsed() >= kModalOpenMs && act(widget);
    };
}

// Settings through the real dialog: choose the input and type the frequency, then OK.
void applySettings(CVornView& view, int input, double frequency)
{
    ModalScript script({ afterAWhile([&](QWidget* widget) {
        auto* dialog = qobject_cast<CDrawDlg*>(widget);
        if (dialog == nullptr) {
            return false;
        }
        auto* radio = qobject_cast<QRadioButton*>(
            dialog->GetDlgItem(input == 0 ? IDC_RADIO_SINE : IDC_RADIO_STEP));
        auto* edit = qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_FREQ));
        auto* ok = qobject_cast<QPushButton*>(dialog->GetDlgItem(IDOK));
        if (radio == nullptr || edit == nullptr || ok == nullptr) {
            return false;
        }
        QTest::mouseClick(radio, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, QString::number(frequency));
        ModalScript::press(ok);
        return true;
    }) });
    view.OnSettings();
    QVERIFY(script.finished());
    QCOMPARE(view.m_nInput, input);
    QCOMPARE(view.m_dFreq, frequency);
    QCOMPARE(view.m_bFreqMode, 0);
}

// The frequency-response command with its message box answered.
void frequencyResponse(CVornView& view)
{
    ModalScript script({ afterAWhile(ModalScript::acceptMessageBox([](QMessageBox*) {})) });
    view.OnFreqResponse();
    QVERIFY(script.finished());
    QCOMPARE(view.m_bFreqMode, 1);
}

// Milliseconds from asking for the settings dialog through the event loop until it is shown;
// the dialog is then cancelled. -1 if it never showed.
double settingsDialogDelayMs(CVornView& view)
{
    QElapsedTimer asked;
    double shownAfterMs = -1.0;
    ModalScript script({ [&](QWidget* widget) {
        if (qobject_cast<CDrawDlg*>(widget) == nullptr) {
            return false;
        }
        shownAfterMs = static_cast<double>(asked.nsecsElapsed()) / 1e6;
        ModalScript::press(
            qobject_cast<QPushButton*>(static_cast<CDrawDlg*>(widget)->GetDlgItem(IDCANCEL)));
        return true;
    } });
    asked.start();
    QTimer::singleShot(0, &view, [&view] { view.OnSettings(); });
    static_cast<void>(QTest::qWaitFor([&] { return script.finished(); }, 10000));
    return shownAfterMs;
}

// Blocks written in the current session: the two of Run, then one per refill.
std::size_t refills(const QueueTap& tap)
{
    return tap.counts.empty() ? 0 : tap.counts.back() / kBlockSamples;
}

// Everything handed back before a stop must be heard; the stop may cut the two queued blocks
// and what the server still held.
std::size_t minimumPlayed(std::size_t written)
{
    return written - std::min<std::size_t>(written, 2 * kBlockSamples + 2048);
}

// With VORN_CAPTURE_DUMP=dir, a failed comparison leaves the raw recording and queues there.
void dumpForDiagnosis(const std::vector<std::int16_t>& recording,
    const std::vector<std::vector<std::int16_t>>& sessions)
{
    const QString dir = qEnvironmentVariable("VORN_CAPTURE_DUMP");
    if (dir.isEmpty()) {
        return;
    }
    const auto write = [&](const QString& name, const std::vector<std::int16_t>& samples) {
        QFile file(dir + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(reinterpret_cast<const char*>(samples.data()),
                static_cast<qint64>(samples.size() * 2));
        }
    };
    write(QStringLiteral("recording.raw"), recording);
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        write(QStringLiteral("queued%1.raw").arg(i), sessions[i]);
    }
}

// Checks the recording against what was queued, session by session.
Match verifyBitExact(
    const SinkRecorder& recorder, const QueueTap& tap, const std::vector<std::size_t>& minimum)
{
    const std::vector<std::int16_t> recording = recorder.samples();
    const Match match = matchSessions(recording, tap.sessions, minimum);
    if (!match.ok) {
        dumpForDiagnosis(recording, tap.sessions);
    }
    [&] { QVERIFY2(match.ok, qPrintable(match.failure)); }();
    return match;
}

} // namespace

class TestWaveCapture : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tap = std::make_unique<QueueTap>();
        m_tap->makeDevice = CDefaultWaveOut::Factory(m_owner);
        m_view = std::make_unique<CVornView>();
        m_view->SetWaveOutFactory(m_tap->factory());
        m_view->resize(400, 320);
        m_view->show();
        m_underrunsBefore = CWaveOutHooks::TotalUnderruns();
    }
    void cleanup()
    {
        m_view.reset();
        m_tap.reset();
        // Whatever a test did to the server, the next one starts with it running.
        soundServerControl("--resume");
    }

    void recordingIsBitExactAcrossCommands()
    {
        if (!sinkIsBitExact()) {
            QSKIP("the sink resamples");
        }
        SinkRecorder recorder;
        QVERIFY2(recorder.start(), "parec did not record the sink's monitor");
        std::vector<std::size_t> minimum;
        // Right after a refill: the server then holds the block just queued and the one before.
        const auto stop = [&] {
            const std::size_t before = m_tap->counts.back();
            QElapsedTimer waited;
            waited.start();
            while (m_tap->counts.back() == before && waited.elapsed() < 2000) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
            const std::size_t written = m_tap->sessions.back().size();
            m_view->OnStop();
            minimum.push_back(minimumPlayed(written));
        };

        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 8, 5000);
        applySettings(*m_view, 1, 1000.0); // step, from rest
        QTest::qWait(300);
        for (int i = 0; i < 3; ++i) {
            m_view->DrawTrace(); // writes block 0 whether or not it is queued
            QTest::qWait(100);
        }
        frequencyResponse(*m_view);
        QTest::qWait(250);
        applySettings(*m_view, 0, 440.0);
        QTest::qWait(300);
        stop();
        QCOMPARE(m_view->m_bRunning, 0);
        QTest::qWait(300);

        m_view->OnRun(); // continues the filter state
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 12, 5000);
        m_view->DrawTrace();
        QTest::qWait(200);
        stop();
        QTest::qWait(400);
        recorder.stop();

        QCOMPARE(m_tap->sessions.size(), std::size_t { 2 });
        const Match match = verifyBitExact(recorder, *m_tap, minimum);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(CWaveOutHooks::TotalUnderruns() - m_underrunsBefore, std::uint64_t { 0 });
        // Stop cuts what the server still held: not even the block just queued was heard.
        for (std::size_t s = 0; s < 2; ++s) {
            QVERIFY2(match.played[s] + kBlockSamples <= m_tap->sessions[s].size(),
                qPrintable(QStringLiteral("session %1: %2 of %3 samples heard after Stop")
                               .arg(s)
                               .arg(match.played[s])
                               .arg(m_tap->sessions[s].size())));
        }
        // The second session goes on from the filter state the first one left, not from rest.
        CVornSimulation fromRest;
        fromRest.m_dFreq = 440.0;
        fromRest.GenerateBlock(0);
        QVERIFY(!std::equal(fromRest.m_samples[0].begin(), fromRest.m_samples[0].end(),
            m_tap->sessions[1].begin()));
    }

    void soundCardFallbackPlaysAndNoticesLoss()
    {
        // Where no server answers the sound server's own protocol, the device plays through
        // ALSA's default device, which here reaches the same server through its ALSA plugin.
        // ALSA decides once per process, when it first reads its configuration, whether its
        // default device is that plugin (only if a server runs then): so this test comes before
        // any test that stops the server.
        // Under PipeWire the plugin's stream is no path a user takes (the server's own protocol
        // always answers there), and the plugin's small cycles make PipeWire itself drop samples
        // now and then on a small machine: the fallback is proven through PulseAudio.
        if (qEnvironmentVariable("VORN_SOUND_SERVER") == QStringLiteral("pipewire")) {
            QSKIP("the fallback is played through PulseAudio's ALSA plugin");
        }
        m_tap->makeDevice = CDefaultWaveOut::Factory(m_owner, CDefaultWaveOut::Backends::AlsaOnly);
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        SinkRecorder recorder;
        QVERIFY2(recorder.start(), "parec did not record the sink's monitor");
        m_view->OnRun();
        QTRY_VERIFY2_WITH_TIMEOUT(refills(*m_tap) >= 40,
            qPrintable(QStringLiteral("%1 blocks queued, running %2, %3 messages")
                           .arg(refills(*m_tap))
                           .arg(m_view->m_bRunning)
                           .arg(messages.count())),
            8000);
        const std::size_t written = m_tap->sessions.back().size();
        m_view->OnStop();
        QTest::qWait(300);
        recorder.stop();
        if (sinkIsBitExact()) {
            verifyBitExact(recorder, *m_tap, { minimumPlayed(written) });
        }

        // A hung server holds up only the device's own thread; the stream is given up. The
        // thread, stuck closing in the server, is left behind by its owner's shutdown after
        // half a second, with a word on stderr, and ends once the server answers.
        {
            CWaveOutOwner hungOwner;
            m_tap->makeDevice
                = CDefaultWaveOut::Factory(hungOwner, CDefaultWaveOut::Backends::AlsaOnly);
            m_view->OnRun();
            QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 8000);
            QVERIFY(soundServerControl("--pause"));
            QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 4000);
            QCOMPARE(messages.count(), 1);
            QCOMPARE(messages.at(0).at(0).toString(),
                LoadStringResource(IDS_AUDIO_SERVER_NOT_RESPONDING));
            QCOMPARE(hungOwner.RunningThreads(), 1);
            QElapsedTimer shutdown;
            shutdown.start();
            int left = -1;
            const QByteArray said = stderrOf([&] { left = hungOwner.Shutdown(); });
            QCOMPARE(left, 1);
            QVERIFY2(shutdown.elapsed() >= CWaveOutOwner::kShutdownWaitMs - 20
                    && shutdown.elapsed() < 2 * CWaveOutOwner::kShutdownWaitMs,
                qPrintable(QString::number(shutdown.elapsed())));
            QVERIFY2(said.contains("1 sound device thread"), said.constData());
            QVERIFY(soundServerControl("--resume"));
            QTRY_COMPARE_WITH_TIMEOUT(hungOwner.RunningThreads(), 0, 5000);
        }
        m_tap->makeDevice = CDefaultWaveOut::Factory(m_owner, CDefaultWaveOut::Backends::AlsaOnly);

        // A server that goes away is noticed from the stream's state, whatever the wording of
        // the library's messages.
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 8000);
        QVERIFY(soundServerControl("--kill"));
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 5000);
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.at(1).at(0).toString(), LoadStringResource(IDS_AUDIO_SERVER_LOST));
        QVERIFY(soundServerControl("--start"));
    }

    void thirtySecondsWithSettingsEveryFiveSeconds()
    {
        if (!sinkIsBitExact()) {
            QSKIP("the sink resamples");
        }
        if (qEnvironmentVariableIsSet("VORN_SKIP_SOUND_SOAK")) {
            QSKIP("the soak runs in the normal build");
        }
        SinkRecorder recorder;
        QVERIFY2(recorder.start(), "parec did not record the sink's monitor");
        m_view->OnRun();
        QElapsedTimer streaming;
        streaming.start();
        for (int change = 1; change <= 6; ++change) {
            QTest::qWait(
                static_cast<int>(std::max<qint64>(0, change * 5000 - streaming.elapsed())));
            applySettings(*m_view, change % 2, 200.0 * change);
        }
        const std::size_t written = m_tap->sessions.back().size();
        QVERIFY(written >= 30 * kPlaybackRate);
        m_view->OnStop();
        QTest::qWait(400);
        recorder.stop();

        // Not one sample dropped, inserted or changed.
        verifyBitExact(recorder, *m_tap, { minimumPlayed(written) });
        QCOMPARE(CWaveOutHooks::TotalUnderruns() - m_underrunsBefore, std::uint64_t { 0 });
    }

    void runWithoutServerReportsAndRetries()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        QVERIFY(soundServerControl("--stop"));
        m_view->OnRun();
        // The device finds out on its own thread; the view then is not left streaming.
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 5000);
        QVERIFY(!m_view->m_hWaveOut);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_OPEN_FAILED));
        QVERIFY(!messages.at(0).at(0).toString().isEmpty());
        m_view->OnStop();
        QCOMPARE(m_view->m_bRunning, 0);

        QVERIFY(soundServerControl("--start"));
        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000); // completions flow
        m_view->OnStop();
        QCOMPARE(messages.count(), 1);
    }

    void serverKilledWhileStreamingStopsTheView()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000);
        QVERIFY(soundServerControl("--kill"));
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 5000);
        QVERIFY(!m_view->m_hWaveOut);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_SERVER_LOST));
        QVERIFY(!messages.at(0).at(0).toString().isEmpty());

        QVERIFY(soundServerControl("--start"));
        const std::size_t sessions = m_tap->sessions.size();
        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QCOMPARE(m_tap->sessions.size(), sessions + 1);
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000);
        m_view->OnStop();
    }

    void hungServerWhileStreaming()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000);
        QVERIFY(soundServerControl("--pause"));
        QElapsedTimer hung;
        hung.start();

        // The window goes on answering while the server hangs.
        const double dialogMs = settingsDialogDelayMs(*m_view);
        QVERIFY2(dialogMs >= 0.0 && dialogMs < 1500.0, qPrintable(QString::number(dialogMs)));
        // The stream is given up about 2 s after it stopped moving.
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 4000);
        QVERIFY2(hung.elapsed() < 3500, qPrintable(QString::number(hung.elapsed())));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(
            messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_SERVER_NOT_RESPONDING));
        // The device's thread does not hang in the server either.
        QTRY_COMPARE_WITH_TIMEOUT(m_owner.RunningThreads(), 0, 2000);

        QVERIFY(soundServerControl("--resume"));
        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000); // sound again
        m_view->OnStop();
        QCOMPARE(messages.count(), 1);
    }

    void hungServerBeforeRun()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        QVERIFY(soundServerControl("--pause"));

        QElapsedTimer call;
        call.start();
        m_view->OnRun(); // returns at once: the device connects on its own thread
        QVERIFY2(call.elapsed() < 500, qPrintable(QString::number(call.elapsed())));
        QCOMPARE(m_view->m_bRunning, 1);
        const double dialogMs = settingsDialogDelayMs(*m_view);
        QVERIFY2(dialogMs >= 0.0 && dialogMs < 1500.0, qPrintable(QString::number(dialogMs)));
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 4000);
        QVERIFY2(call.elapsed() < 3500, qPrintable(QString::number(call.elapsed())));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(
            messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_SERVER_NOT_RESPONDING));

        // Stop and closing a streaming window return at once as well.
        m_view->OnRun();
        call.restart();
        m_view->OnStop();
        QVERIFY2(call.elapsed() < 500, qPrintable(QString::number(call.elapsed())));
        m_view->OnRun();
        call.restart();
        m_view.reset();
        QVERIFY2(call.elapsed() < 500, qPrintable(QString::number(call.elapsed())));

        QVERIFY(soundServerControl("--resume"));
        init();
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 6, 5000); // sound again
        m_view->OnStop();
    }

    void destroyingAStreamingViewStopsIt()
    {
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(refills(*m_tap) >= 4, 5000);
        QCOMPARE(sinkInputs(), 2); // the silent keep-alive player and the view
        m_view.reset(); // completions may be on their way: none may reach the destroyed view
        // The device's thread closes the stream right after.
        QTRY_COMPARE_WITH_TIMEOUT(sinkInputs(), 1, 2000);
        QTest::qWait(100);
    }

    void resampledToneStaysContinuous()
    {
        if (sinkIsBitExact()) {
            QSKIP("needs a sink that resamples (VORN_SINK_RATE, VORN_SINK_CHANNELS)");
        }
        const int rate = qEnvironmentVariableIntValue("VORN_SINK_RATE");
        const int channels = qEnvironmentVariableIntValue("VORN_SINK_CHANNELS");
        SinkRecorder recorder;
        QVERIFY2(recorder.start(rate, channels), "parec did not record the sink's monitor");
        m_view->OnRun(); // the default sine at 1000 Hz
        QTest::qWait(6000);
        m_view->OnStop();
        QTest::qWait(300);
        recorder.stop();

        // In 10 ms windows the tone's level and phase go on without a jump: a sample dropped or
        // inserted moves the phase by 2 pi f / rate (0.13 rad at 48 kHz) from one window to the
        // next, a gap takes the level down.
        const std::vector<ToneWindow> windows
            = toneWindows(recorder.samples(), rate, channels, 1000.0, rate / 100);
        double peak = 0.0;
        for (const ToneWindow& window : windows) {
            peak = std::max(peak, window.level);
        }
        std::vector<std::size_t> loud;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i].level > peak / 2) {
                loud.push_back(i);
            }
        }
        QVERIFY(loud.size() > 500); // about 6 s of the tone
        QCOMPARE(loud.back() - loud.front() + 1, loud.size()); // no silence in between
        // Past the filters' start, and short of the window the stop cut.
        const std::size_t first = loud.front() + 50;
        const std::size_t last = loud.back() - 1;
        const double level = windows[first].level;
        for (std::size_t i = first + 1; i <= last; ++i) {
            QVERIFY2(std::abs(windows[i].level - level) < 0.02 * level,
                qPrintable(QStringLiteral("window %1: level %2, not %3")
                               .arg(i)
                               .arg(windows[i].level)
                               .arg(level)));
            const double jump
                = std::remainder(windows[i].phase - windows[i - 1].phase, 8.0 * std::atan(1.0));
            QVERIFY2(std::abs(jump) < 0.05,
                qPrintable(
                    QStringLiteral("window %1: the phase jumped by %2 rad").arg(i).arg(jump)));
        }
    }

private:
    CWaveOutOwner m_owner; // outlives every view of these tests
    std::unique_ptr<QueueTap> m_tap;
    std::unique_ptr<CVornView> m_view;
    std::uint64_t m_underrunsBefore = 0;
};

int main(int argc, char* argv[])
{
    // Run inside a private sound server unless already there.
    if (qEnvironmentVariableIsEmpty("VORN_SOUND_CTL")) {
        const QByteArray rate = qgetenv("VORN_SINK_RATE");
        const QByteArray channels = qgetenv("VORN_SINK_CHANNELS");
        return ReexecUnderSoundServer(argc, argv,
            { "--sink-rate", rate.isEmpty() ? QByteArrayLiteral("44100") : rate, "--sink-channels",
                channels.isEmpty() ? QByteArrayLiteral("1") : channels });
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestWaveCapture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wavecapture.moc"
