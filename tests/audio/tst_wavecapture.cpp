// The stream on a real sound server: a private PulseAudio with a null sink, recorded from the
// sink's monitor, compared bit for bit with what the view queued.
#include "capture.h"
#include "drawdlg.h"
#include "resources.h"
#include "vornview.h"
#include "waveout.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <functional>
#include <memory>

using namespace vorn;
using namespace vorn::capture;

namespace {

// Settings through the real dialog: choose the input and type the frequency, then OK. The
// stream keeps being refilled by the dialog's modal loop meanwhile.
void Settings(CVornView& view, int input, double frequency)
{
    bool answered = false;
    std::function<void()> answer;
    answer = [&] {
        auto* dialog = qobject_cast<CDrawDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(20, qApp, answer);
            return;
        }
        QTest::qWait(60);
        auto* radio = qobject_cast<QRadioButton*>(
            dialog->GetDlgItem(input == 0 ? IDC_RADIO_SINE : IDC_RADIO_STEP));
        auto* edit = qobject_cast<QLineEdit*>(dialog->GetDlgItem(IDC_EDIT_FREQ));
        auto* ok = qobject_cast<QPushButton*>(dialog->GetDlgItem(IDOK));
        if (radio != nullptr && edit != nullptr && ok != nullptr) {
            QTest::mouseClick(radio, Qt::LeftButton);
            edit->selectAll();
            QTest::keyClicks(edit, QString::number(frequency));
            QTest::mouseClick(ok, Qt::LeftButton);
            answered = true;
        } else {
            static_cast<QDialog*>(dialog)->reject();
        }
    };
    QTimer::singleShot(20, qApp, answer);
    view.OnSettings();
    QVERIFY(answered);
    QCOMPARE(view.m_nInput, input);
    QCOMPARE(view.m_dFreq, frequency);
    QCOMPARE(view.m_bFreqMode, 0);
}

// Answers the next modal dialog (the frequency-response message) after the given delay, while
// the stream keeps being refilled by its modal loop.
void AnswerNextModal(int afterMs)
{
    QTimer::singleShot(afterMs, qApp, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->accept();
        } else {
            QTimer::singleShot(20, qApp, [] { AnswerNextModal(0); });
        }
    });
}

bool PulseCtl(const char* command)
{
    const QString script = qEnvironmentVariable("VORN_PULSE_CTL");
    return QProcess::execute(script, { QString::fromLatin1(command) }) == 0;
}

// Streams playing into the private server now.
int SinkInputs()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
        { QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs") });
    if (!pactl.waitForFinished(5000)) {
        return -1;
    }
    return static_cast<int>(pactl.readAllStandardOutput().count('\n'));
}

// Blocks written in the current session: the two of Run, then one per refill.
std::size_t Refills(const QueueTap& tap)
{
    return tap.sessions.empty() ? 0 : tap.sessions.back().size() / kBlockSamples;
}

// With VORN_CAPTURE_DUMP=dir, a failed comparison leaves the raw recording and queues there.
void DumpForDiagnosis(const std::vector<std::int16_t>& recording,
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

} // namespace

class tst_WaveCapture : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tap = std::make_unique<QueueTap>();
        m_view = std::make_unique<CVornView>();
        m_view->SetWaveOutFactory(m_tap->Factory());
        m_view->resize(400, 320);
        m_view->show();
    }
    void cleanup()
    {
        m_view.reset();
        m_tap.reset();
    }

    void recordingIsBitExactAcrossCommands()
    {
        SinkRecorder recorder;
        QVERIFY2(recorder.Start(), "parec did not record the sink's monitor");
        const std::uint64_t underrunsBefore = CWaveOutDevice::TotalUnderruns();
        std::vector<std::size_t> minimum;
        const auto stop = [&] {
            // Everything handed back before the stop must be heard; the stop may cut the two
            // queued blocks and what the card still held.
            const std::size_t written = m_tap->sessions.back().size();
            m_view->OnStop();
            minimum.push_back(written - std::min<std::size_t>(written, 2 * kBlockSamples + 2048));
        };

        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 8, 5000);
        Settings(*m_view, 1, 1000.0); // step, from rest
        QTest::qWait(300);
        for (int i = 0; i < 3; ++i) {
            m_view->DrawTrace(); // writes block 0 whether or not it is queued
            QTest::qWait(100);
        }
        AnswerNextModal(150);
        m_view->OnFreqResponse();
        QCOMPARE(m_view->m_bFreqMode, 1);
        QTest::qWait(250);
        Settings(*m_view, 0, 440.0);
        QTest::qWait(300);
        stop();
        QCOMPARE(m_view->m_bRunning, 0);
        QTest::qWait(300);

        m_view->OnRun(); // continues the filter state
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 12, 5000);
        m_view->DrawTrace();
        QTest::qWait(200);
        stop();
        QTest::qWait(400);
        recorder.Stop();

        const std::vector<std::int16_t> recording = recorder.Samples();
        QCOMPARE(m_tap->sessions.size(), std::size_t { 2 });
        const Match match = MatchSessions(recording, m_tap->sessions, minimum);
        if (!match.ok) {
            DumpForDiagnosis(recording, m_tap->sessions);
        }
        QVERIFY2(match.ok, qPrintable(match.failure));
        QCOMPARE(CWaveOutDevice::TotalUnderruns() - underrunsBefore, std::uint64_t { 0 });
        // The second session goes on from the filter state the first one left, not from rest.
        CVornSimulation fromRest;
        fromRest.m_dFreq = 440.0;
        fromRest.GenerateBlock(0);
        QVERIFY(!std::equal(fromRest.m_samples[0].begin(), fromRest.m_samples[0].end(),
            m_tap->sessions[1].begin()));
    }

    void runWithoutServerReportsAndRetries()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        QVERIFY(PulseCtl("--stop"));
        m_view->OnRun();
        // The device finds out on its own thread; the view then is not left streaming.
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 5000);
        QVERIFY(!m_view->m_hWaveOut);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_OPEN_FAILED));
        QVERIFY(!messages.at(0).at(0).toString().isEmpty());
        m_view->OnStop();
        QCOMPARE(m_view->m_bRunning, 0);

        QVERIFY(PulseCtl("--start"));
        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 6, 5000); // completions flow
        m_view->OnStop();
        QCOMPARE(messages.count(), 1);
    }

    void serverKilledWhileStreamingStopsTheView()
    {
        QSignalSpy messages(m_view.get(), &CVornView::statusMessage);
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 6, 5000);
        QVERIFY(PulseCtl("--kill"));
        QTRY_COMPARE_WITH_TIMEOUT(m_view->m_bRunning, 0, 5000);
        QVERIFY(!m_view->m_hWaveOut);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), LoadStringResource(IDS_AUDIO_SERVER_LOST));
        QVERIFY(!messages.at(0).at(0).toString().isEmpty());

        QVERIFY(PulseCtl("--start"));
        const std::size_t sessions = m_tap->sessions.size();
        m_view->OnRun();
        QCOMPARE(m_view->m_bRunning, 1);
        QCOMPARE(m_tap->sessions.size(), sessions + 1);
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 6, 5000);
        m_view->OnStop();
    }

    void destroyingAStreamingViewStopsIt()
    {
        m_view->OnRun();
        QTRY_VERIFY_WITH_TIMEOUT(Refills(*m_tap) >= 4, 5000);
        QCOMPARE(SinkInputs(), 2); // the silent keep-alive player and the view
        m_view.reset(); // completions may be on their way: none may reach the destroyed view
        // The device's thread closes the stream right after.
        QTRY_COMPARE_WITH_TIMEOUT(SinkInputs(), 1, 2000);
        QTest::qWait(100);
    }

private:
    std::unique_ptr<QueueTap> m_tap;
    std::unique_ptr<CVornView> m_view;
};

int main(int argc, char* argv[])
{
    // Run inside a private sound server unless already there.
    if (qEnvironmentVariableIsEmpty("VORN_PULSE_CTL")) {
        std::vector<char*> args { const_cast<char*>(VORN_WITH_PULSE) };
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        ::execv(VORN_WITH_PULSE, args.data());
        return 127;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    tst_WaveCapture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wavecapture.moc"
