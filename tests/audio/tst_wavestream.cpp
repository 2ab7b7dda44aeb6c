#include "waveoutfake.h"
#include "wavestream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <cstring>

using namespace vorn;

namespace {

// A stream that receives its device's events the way the view does, and counts its hooks.
class StreamHost : public QObject, public CWaveStream
{
public:
    explicit StreamHost(std::shared_ptr<CFakeWaveOutLog> log)
    {
        SetWaveOutTarget(this);
        SetWaveOutFactory(CFakeWaveOut::Factory(std::move(log)));
    }
    int openFailures = 0;
    int losses = 0;
    WaveOutFailure lastLoss = WaveOutFailure::OpenFailed;
    // Only take the completions (done flags set), without running the handler: as when the UI
    // thread was busy and both blocks came back before their first message was handled.
    bool bOnlyAccept = false;

protected:
    void customEvent(QEvent* event) override
    {
        if (bOnlyAccept && event->type() == CWaveOutDoneEvent::EventType()) {
            QVERIFY(m_hWaveOut->AcceptCompletion(static_cast<CWaveOutDoneEvent&>(*event)));
            return;
        }
        QVERIFY(DispatchWaveOutEvent(event));
    }
    void OnWaveOutOpenFailed() override { ++openFailures; }
    void OnWaveOutLost(WaveOutFailure reason) override
    {
        ++losses;
        lastLoss = reason;
    }
};

// The signal the stream must produce: consecutive blocks from the given state.
class Reference
{
public:
    explicit Reference(const CVornSimulation& start)
        : m_sim(start)
    { }
    std::vector<std::int16_t> next()
    {
        m_sim.GenerateBlock(0);
        return { m_sim.m_samples[0].begin(), m_sim.m_samples[0].end() };
    }
    const FilterState& state() const { return m_sim.m_filter; }

private:
    CVornSimulation m_sim;
};

bool sameState(const FilterState& a, const FilterState& b)
{
    return std::memcmp(&a, &b, sizeof(FilterState)) == 0;
}

void deliver()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestWaveStream : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_log = std::make_shared<CFakeWaveOutLog>();
        m_host = std::make_unique<StreamHost>(m_log);
        m_host->m_dFreq = 1000.0;
    }
    void cleanup()
    {
        m_host.reset();
        deliver();
    }

    void runOpensAndQueuesBlock0ThenBlock1()
    {
        m_host->m_nInput = 1; // step: its start is known
        Reference reference(*m_host);
        m_host->OnRun();

        QCOMPARE(m_host->m_bRunning, 1);
        const std::vector<std::pair<std::string, const WAVEHDR*>> expected {
            { "open", nullptr },
            { "prepare", &m_host->m_waveHeaders[0] },
            { "write", &m_host->m_waveHeaders[0] },
            { "prepare", &m_host->m_waveHeaders[1] },
            { "write", &m_host->m_waveHeaders[1] },
        };
        QCOMPARE(m_log->calls.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QCOMPARE(m_log->calls[i].op, expected[i].first);
            QCOMPARE(m_log->calls[i].header, expected[i].second);
            QCOMPARE(m_log->calls[i].result, MMSYSERR_NOERROR);
        }
        QCOMPARE(m_log->written.size(), std::size_t { 2 });
        const auto first = reference.next();
        QCOMPARE(m_log->written[0], first);
        QCOMPARE(m_log->written[1], reference.next());
        QCOMPARE(first[11], std::int16_t { 189 }); // the step response from rest

        const WAVEFORMATEX& f = m_host->m_waveFormat;
        QCOMPARE(f.wFormatTag, std::uint16_t { 1 });
        QCOMPARE(f.nChannels, std::uint16_t { 1 });
        QCOMPARE(f.nSamplesPerSec, std::uint32_t { 44100 });
        QCOMPARE(f.nAvgBytesPerSec, std::uint32_t { 88200 });
        QCOMPARE(f.nBlockAlign, std::uint16_t { 2 });
        QCOMPARE(f.wBitsPerSample, std::uint16_t { 16 });
        for (int i = 0; i < 2; ++i) {
            const WAVEHDR& h = m_host->m_waveHeaders[i];
            QCOMPARE(static_cast<const void*>(h.lpData),
                static_cast<const void*>(m_host->m_samples[i].data()));
            QCOMPARE(h.dwBufferLength, std::uint32_t { 4000 });
            QCOMPARE(h.dwLoops, std::uint32_t { 1 });
            QCOMPARE(h.dwFlags & WHDR_DONE, 0u);
        }
    }

    void refillsTheFirstDoneBlock_data()
    {
        QTest::addColumn<int>("handedBack");
        QTest::addColumn<QList<int>>("refilledHeaders");
        QTest::newRow("block 0 back") << 1 << QList<int> { 0 };
        QTest::newRow("both back at once: 0, then 1") << 2 << QList<int> { 0, 1 };
    }
    void refillsTheFirstDoneBlock()
    {
        QFETCH(int, handedBack);
        QFETCH(QList<int>, refilledHeaders);
        Reference reference(*m_host);
        m_host->OnRun();
        reference.next();
        reference.next();
        const std::size_t before = m_log->calls.size();

        m_host->bOnlyAccept = true;
        for (int i = 0; i < handedBack; ++i) {
            QVERIFY(m_log->pOpen->HandBack());
        }
        deliver();
        QCOMPARE(m_host->m_waveHeaders[1].dwFlags & WHDR_DONE, handedBack == 2 ? WHDR_DONE : 0u);
        m_host->bOnlyAccept = false;
        for (int i = 0; i < handedBack; ++i) {
            QCOMPARE(m_host->OnWaveOutDone(0, 0), 0L);
        }

        QCOMPARE(m_log->calls.size(), before + 3 * refilledHeaders.size());
        for (qsizetype r = 0; r < refilledHeaders.size(); ++r) {
            const WAVEHDR* header = &m_host->m_waveHeaders[refilledHeaders[r]];
            const std::size_t at = before + 3 * r;
            QCOMPARE(m_log->calls[at].op, std::string("unprepare"));
            QCOMPARE(m_log->calls[at + 1].op, std::string("prepare"));
            QCOMPARE(m_log->calls[at + 2].op, std::string("write"));
            for (std::size_t k = at; k < at + 3; ++k) {
                QCOMPARE(m_log->calls[k].header, header);
                QCOMPARE(m_log->calls[k].result, MMSYSERR_NOERROR);
            }
            // The signal goes on in queue order, without a seam.
            QCOMPARE(m_log->written[2 + r], reference.next());
        }
        QVERIFY(sameState(m_host->m_filter, reference.state()));
        QCOMPARE(m_log->pOpen->QueuedBlocks(), std::size_t { 2 });
    }

    void signalAdvancesTwoThousandSamplesPerRefill_data()
    {
        QTest::addColumn<int>("refills");
        QTest::addColumn<int>("input");
        QTest::newRow("1 refill, sine") << 1 << 0;
        QTest::newRow("7 refills, sine") << 7 << 0;
        QTest::newRow("40 refills, step") << 40 << 1;
    }
    void signalAdvancesTwoThousandSamplesPerRefill()
    {
        QFETCH(int, refills);
        QFETCH(int, input);
        m_host->m_nInput = input;
        m_host->GenerateBlock(0); // the stream starts from whatever state was left
        Reference reference(*m_host);
        m_host->OnRun();
        for (int i = 0; i < refills; ++i) {
            QVERIFY(m_log->pOpen->HandBack());
            deliver();
        }
        for (int i = 0; i < refills + 2; ++i) {
            QCOMPARE(m_log->written[i], reference.next());
        }
        QVERIFY(sameState(m_host->m_filter, reference.state()));
    }

    void runWhileStreamingChangesNothing()
    {
        m_host->OnRun();
        const CWaveOutDevice* device = m_host->m_hWaveOut.get();
        const auto calls = m_log->calls.size();
        const FilterState state = m_host->m_filter;
        m_host->OnRun();
        QCOMPARE(m_log->calls.size(), calls);
        QCOMPARE(m_host->m_hWaveOut.get(), device);
        QVERIFY(sameState(m_host->m_filter, state));
        QCOMPARE(m_host->m_bRunning, 1);
    }

    void stopThenRunContinuesTheFilterState()
    {
        Reference reference(*m_host);
        m_host->OnRun();
        const std::size_t before = m_log->calls.size();
        m_host->OnStop();

        const std::vector<std::pair<std::string, const WAVEHDR*>> stop {
            { "reset", nullptr },
            { "unprepare", &m_host->m_waveHeaders[0] },
            { "unprepare", &m_host->m_waveHeaders[1] },
            { "close", nullptr },
        };
        QCOMPARE(m_log->calls.size(), before + stop.size());
        for (std::size_t i = 0; i < stop.size(); ++i) {
            QCOMPARE(m_log->calls[before + i].op, stop[i].first);
            QCOMPARE(m_log->calls[before + i].header, stop[i].second);
            QCOMPARE(m_log->calls[before + i].result, MMSYSERR_NOERROR);
        }
        QCOMPARE(m_host->m_bRunning, 0);
        QVERIFY(!m_host->m_hWaveOut);

        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 1);
        QCOMPARE(m_log->Count("open"), std::size_t { 2 });
        QCOMPARE(m_log->written.size(), std::size_t { 4 });
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(m_log->written[i],
                reference.next()); // not from rest: the blocks lost at Stop are skipped
        }
    }

    void messageFindingNoDoneBlockChangesNothing()
    {
        m_host->OnRun();
        const auto calls = m_log->calls.size();
        const FilterState state = m_host->m_filter;
        QCOMPARE(m_host->OnWaveOutDone(0, 0), 0L);
        QCOMPARE(m_log->calls.size(), calls);
        QVERIFY(sameState(m_host->m_filter, state));

        // A refill is requested once per returned block: the second message finds none.
        QVERIFY(m_log->pOpen->HandBack());
        deliver();
        const auto afterRefill = m_log->calls.size();
        const FilterState refilled = m_host->m_filter;
        QCOMPARE(m_host->OnWaveOutDone(0, 0), 0L);
        QCOMPARE(m_log->calls.size(), afterRefill);
        QVERIFY(sameState(m_host->m_filter, refilled));
    }

    void stopWithoutDeviceCallsNothing()
    {
        m_host->OnStop();
        QCOMPARE(m_host->m_bRunning, 0);
        QVERIFY(m_log->calls.empty());

        m_host->OnRun();
        m_host->OnStop();
        const auto calls = m_log->calls.size();
        m_host->OnStop(); // after a Stop the device is closed: nothing may reach it again
        QCOMPARE(m_log->calls.size(), calls);
        QCOMPARE(m_host->m_bRunning, 0);
    }

    void completionsAfterStopAreIgnored()
    {
        m_host->OnRun();
        QVERIFY(m_log->pOpen->HandBack()); // posted, not yet handled
        QVERIFY(m_log->pOpen->HandBack());
        m_host->OnStop();
        // The reset handed both blocks back marked done.
        QVERIFY(m_host->m_waveHeaders[0].dwFlags & WHDR_DONE);
        QVERIFY(m_host->m_waveHeaders[1].dwFlags & WHDR_DONE);
        const auto calls = m_log->calls.size();
        const FilterState state = m_host->m_filter;

        deliver();
        QCOMPARE(m_host->OnWaveOutDone(0, 0), 0L);
        QCOMPARE(m_log->calls.size(), calls);
        QVERIFY(sameState(m_host->m_filter, state));
        QCOMPARE(m_host->m_bRunning, 0);
    }

    void staleCompletionNeverMarksANewSession()
    {
        m_host->OnRun();
        QVERIFY(m_log->pOpen->HandBack()); // the completion of block 0 is still on its way
        m_host->OnStop();
        m_host->OnRun(); // same headers, new session
        const auto calls = m_log->calls.size();
        const FilterState state = m_host->m_filter;

        deliver();
        QCOMPARE(m_host->m_waveHeaders[0].dwFlags & WHDR_DONE, 0u);
        QCOMPARE(m_log->calls.size(), calls);
        QVERIFY(sameState(m_host->m_filter, state));

        // The new session's own completion is taken.
        QVERIFY(m_log->pOpen->HandBack());
        deliver();
        QCOMPARE(m_log->calls.size(), calls + 3);
    }

    void failedOpenLeavesTheStreamStopped()
    {
        m_log->bFailOpen = true;
        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 0);
        QVERIFY(!m_host->m_hWaveOut);
        QCOMPARE(m_host->openFailures, 1);
        QCOMPARE(m_log->calls.size(), std::size_t { 1 });
        QCOMPARE(m_log->calls[0].op, std::string("open"));
        QVERIFY(m_log->calls[0].result != MMSYSERR_NOERROR);
        QVERIFY(m_log->written.empty());

        m_host->OnStop();
        QCOMPARE(m_log->calls.size(), std::size_t { 1 });

        // Not a silent no-op: the next Run tries again.
        m_log->bFailOpen = false;
        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 1);
        QCOMPARE(m_log->Count("open"), std::size_t { 2 });
        QCOMPARE(m_log->written.size(), std::size_t { 2 });
    }

    void deviceFailureStopsTheStream()
    {
        m_host->OnRun();
        CFakeWaveOut* first = m_log->pOpen;
        first->Fail();
        deliver();
        QCOMPARE(m_host->m_bRunning, 0);
        QVERIFY(!m_host->m_hWaveOut);
        QCOMPARE(m_host->losses, 1);
        QCOMPARE(m_log->Count("reset"), std::size_t { 1 });
        QCOMPARE(m_log->Count("close"), std::size_t { 1 });

        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 1);
        m_log->pOpen->Fail();
        m_log->pOpen->HandBack();
        m_host->OnStop();
        m_host->OnRun();
        const auto calls = m_log->calls.size();
        deliver(); // a failure of the previous session must not stop this one
        QCOMPARE(m_host->m_bRunning, 1);
        QCOMPARE(m_host->losses, 1);
        QCOMPARE(m_log->calls.size(), calls);
    }

    void lateOpenFailureStopsTheStream()
    {
        // The device's thread finds no server only after Run has returned.
        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 1);
        m_log->pOpen->Fail(WaveOutFailure::OpenFailed);
        deliver();
        QCOMPARE(m_host->m_bRunning, 0);
        QVERIFY(!m_host->m_hWaveOut);
        QCOMPARE(m_host->openFailures, 1);
        QCOMPARE(m_host->losses, 0);
        QCOMPARE(m_log->Count("reset"), std::size_t { 1 });
        QCOMPARE(m_log->Count("close"), std::size_t { 1 });

        // The next Run tries again, continuing the signal after the two blocks it dropped.
        Reference reference(*m_host);
        m_host->OnRun();
        QCOMPARE(m_host->m_bRunning, 1);
        QCOMPARE(m_log->Count("open"), std::size_t { 2 });
        QCOMPARE(m_log->written[2], reference.next());
    }

    void watchdogGivesUpOnlyAStalledDevice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("givenUp");
        QTest::newRow("takes nothing") << "stalled" << true;
        QTest::newRow("hands blocks back") << "playing" << false;
        QTest::newRow("has nothing queued") << "drained" << false;
        QTest::newRow("played while the UI thread was busy") << "busy UI" << false;
    }
    void watchdogGivesUpOnlyAStalledDevice()
    {
        QFETCH(QString, device);
        QFETCH(bool, givenUp);
        constexpr int kTimeoutMs = 300;
        m_log->nStallTimeoutMs = kTimeoutMs;
        m_host->OnRun();
        QElapsedTimer clock;
        clock.start();
        if (device == QStringLiteral("playing")) {
            while (clock.elapsed() < 3 * kTimeoutMs) {
                QVERIFY(m_log->pOpen->HandBack());
                QTest::qWait(kTimeoutMs / 4);
            }
        } else if (device == QStringLiteral("drained")) {
            // Both blocks back and taken, and the UI refills nothing.
            m_host->bOnlyAccept = true;
            QVERIFY(m_log->pOpen->HandBack());
            QVERIFY(m_log->pOpen->HandBack());
            QTest::qWait(3 * kTimeoutMs);
        } else if (device == QStringLiteral("busy UI")) {
            // The device played while the UI thread could not look: its completion still waits
            // in the queue when the watchdog runs.
            QVERIFY(m_log->pOpen->HandBack());
            QThread::msleep(kTimeoutMs + 100);
            QTest::qWait(kTimeoutMs / 2);
        } else {
            QTest::qWait(3 * kTimeoutMs);
        }
        QCOMPARE(m_host->losses, givenUp ? 1 : 0);
        QCOMPARE(m_host->m_bRunning, givenUp ? 0 : 1);
        if (givenUp) {
            QCOMPARE(m_host->lastLoss, WaveOutFailure::NotResponding);
            QCOMPARE(m_log->Count("close"), std::size_t { 1 });
        }
    }

    void deviceRefusesStaleOrForeignCompletions()
    {
        m_host->OnRun();
        CWaveOutDevice& device = *m_host->m_hWaveOut;
        WAVEHDR& h0 = m_host->m_waveHeaders[0];
        const CWaveOutDoneEvent foreignSession(&device, 0, &h0, 1);
        QVERIFY(!device.AcceptCompletion(foreignSession));
        QCOMPARE(h0.dwFlags & WHDR_DONE, 0u);
        // A queued header cannot be unprepared or written again.
        QCOMPARE(device.UnprepareHeader(h0), WAVERR_STILLPLAYING);
        QCOMPARE(device.Write(h0), WAVERR_STILLPLAYING);
        QCOMPARE(device.Close(), WAVERR_STILLPLAYING);
    }

    void destroyingAStreamingHostClosesTheDevice()
    {
        m_host->OnRun();
        QVERIFY(m_log->pOpen->HandBack());
        m_host.reset();
        QCOMPARE(m_log->Count("close"), std::size_t { 1 });
        QVERIFY(m_log->pOpen == nullptr);
        deliver(); // the pending completion went with its target
    }

private:
    std::shared_ptr<CFakeWaveOutLog> m_log;
    std::unique_ptr<StreamHost> m_host;
};

QTEST_GUILESS_MAIN(TestWaveStream)
#include "tst_wavestream.moc"
