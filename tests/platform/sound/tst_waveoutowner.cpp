// The owner of the devices' threads, with bodies that stand for a device's thread: one that
// finishes when asked, and one held (as by a hung sound server) until the test lets it go.
#include "stderrcapture.h"
#include "waveoutdefault.h"
#include "waveoutowner.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace vorn;

namespace {

// A gate a body waits at until it is opened.
class Gate
{
public:
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_bOpen = true;
        m_opened.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_opened.wait(lock, [this] { return m_bOpen; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_bOpen = false;
};

} // namespace

class TestWaveOutOwner : public QObject
{
    Q_OBJECT

private slots:
    // Threads that finish when asked are joined at once; one held longer than the wait is left
    // behind after it, said on stderr, and ends later without its owner.
    void shutdownAsksWaitsAndLeavesOnlyTheStuck_data()
    {
        QTest::addColumn<bool>("stuck");
        QTest::newRow("finishes when asked") << false;
        QTest::newRow("held by a hung server") << true;
    }
    void shutdownAsksWaitsAndLeavesOnlyTheStuck()
    {
        QFETCH(bool, stuck);
        auto owner = std::make_unique<CWaveOutOwner>();
        auto asked = std::make_shared<Gate>();
        auto released = std::make_shared<Gate>();
        auto bodyEnded = std::make_shared<std::atomic<bool>>(false);
        std::atomic<int> closes = 0;
        // One that has finished already by the shutdown, and one that finishes or hangs then.
        QVERIFY(owner->Start([] {}, [&] { ++closes; }));
        QTRY_COMPARE(owner->RunningThreads(), 0);
        QVERIFY(owner->Start(
            [asked, released, bodyEnded, stuck] {
                asked->wait();
                if (stuck) {
                    released->wait();
                }
                *bodyEnded = true;
            },
            [&, asked] {
                ++closes;
                asked->open();
            }));
        QCOMPARE(owner->RunningThreads(), 1);

        QElapsedTimer clock;
        clock.start();
        int left = -1;
        const QByteArray said = stderrOf([&] { left = owner->Shutdown(); });
        const qint64 ms = clock.elapsed();
        QCOMPARE(closes.load(), 1); // only the thread still running is asked
        QCOMPARE(left, stuck ? 1 : 0);
        QCOMPARE(owner->RunningThreads(), stuck ? 1 : 0);
        if (stuck) {
            QVERIFY2(ms >= CWaveOutOwner::kShutdownWaitMs - 20, qPrintable(QString::number(ms)));
            QVERIFY2(said.contains("1 sound device thread"), said.constData());
        } else {
            QVERIFY2(ms < CWaveOutOwner::kShutdownWaitMs, qPrintable(QString::number(ms)));
            QVERIFY(*bodyEnded);
            QVERIFY2(said.isEmpty(), said.constData());
        }
        // After the shutdown nothing starts, and a second shutdown does nothing.
        bool bRan = false;
        QVERIFY(!owner->Start([&] { bRan = true; }, [] {}));
        QCOMPARE(owner->Shutdown(), 0);
        QVERIFY(!bRan);

        owner.reset();
        released->open(); // the thread left behind ends after its owner is gone
        QTRY_VERIFY(*bodyEnded);
    }

    // A device's underrun count may be read on any thread while the UI thread opens and closes
    // it (no sound server answers here: each session's thread gives up at once).
    void underrunsAreReadOnAnyThread()
    {
        CWaveOutOwner owner;
        CDefaultWaveOut device(owner, CDefaultWaveOut::Backends::PulseOnly);
        std::atomic<bool> bDone = false;
        std::uint64_t total = 0;
        std::thread reader([&] {
            while (!bDone) {
                total += device.Underruns();
            }
        });
        const WAVEFORMATEX format { WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0 };
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(device.Open(format, nullptr), MMSYSERR_NOERROR);
            QCOMPARE(device.Close(), MMSYSERR_NOERROR);
        }
        bDone = true;
        reader.join();
        QCOMPARE(total, std::uint64_t { 0 });
        QCOMPARE(owner.Shutdown(), 0);
    }

    // A device opens only while its owner runs.
    void deviceOfAShutDownOwnerDoesNotOpen()
    {
        CWaveOutOwner owner;
        owner.Shutdown();
        CDefaultWaveOut device(owner);
        WAVEFORMATEX format { WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0 };
        QCOMPARE(device.Open(format, nullptr), MMSYSERR_NODRIVER);
        QVERIFY(!device.IsOpen());
        QCOMPARE(owner.RunningThreads(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWaveOutOwner)
#include "tst_waveoutowner.moc"
