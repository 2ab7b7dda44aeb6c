// The queue a wave-out device shares with its threads, driven by hand on the test's thread (and in
// one case by a second thread as a device's): positions, what is handed back and in which order,
// dropping, detaching, the commands and the waker, and that steady streaming allocates nothing.
#include "waveoutqueue.h"

#include <QCoreApplication>
#include <QTest>

#include "allocationcount.h"

#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <numeric>
#include <thread>

using namespace vorn;

using vorn::test::allocationsOf;

namespace {

// Records the events a queue posts to it, in order.
class Target : public QObject
{
public:
    struct Done
    {
        const void* device;
        std::uint64_t session;
        WAVEHDR* header;
        std::uint64_t writeSerial;
    };
    std::vector<Done> done;
    std::vector<WaveOutFailure> failures;

protected:
    void customEvent(QEvent* event) override
    {
        MarkWaveOutEventTaken(event);
        if (event->type() == CWaveOutDoneEvent::EventType()) {
            const auto& e = static_cast<const CWaveOutDoneEvent&>(*event);
            done.push_back({ reinterpret_cast<const void*>(e.wParam()), e.session(), e.header(),
                e.writeSerial() });
        } else if (event->type() == CWaveOutFailedEvent::EventType()) {
            failures.push_back(static_cast<const CWaveOutFailedEvent&>(*event).reason());
        }
    }
};

void deliver()
{
    QCoreApplication::sendPostedEvents();
}

// Blocks of distinct samples: block b holds b * 1000 + i.
std::vector<std::int16_t> blockSamples(int b, std::size_t size)
{
    std::vector<std::int16_t> samples(size);
    std::iota(samples.begin(), samples.end(), static_cast<std::int16_t>(b * 1000));
    return samples;
}

const int kDevice = 0; // its address stands for the device

} // namespace

class TestWaveOutQueue : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_target = std::make_unique<Target>();
        m_queue = std::make_unique<CWaveOutQueue>(&kDevice, m_target.get(), 42);
        m_headers = std::vector<WAVEHDR>(20);
        m_serial = 0;
    }
    void cleanup()
    {
        m_queue.reset();
        deliver();
    }

    // One script per row: blocks of 100 samples, then exchanges (wanted, held, lead), after each
    // the samples taken and the blocks handed back so far.
    void exchangeTakesInOrderAndHandsBackAfterTheLead_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QList<QList<int>>>("steps"); // wanted, held, lead, taken, handed back
        QTest::newRow("card: back once copied")
            << 3 << QList<QList<int>> { { 150, 0, 150, 150, 1 }, { 150, 0, 150, 150, 3 } };
        QTest::newRow("server: back with the lead left")
            << 3
            << QList<QList<int>> { { 300, 0, 50, 300, 0 }, { 0, 120, 50, 0, 2 },
                   { 0, 51, 50, 0, 2 }, { 0, 50, 50, 0, 3 } };
        QTest::newRow("takes no more than queued")
            << 2 << QList<QList<int>> { { 500, 0, 500, 200, 2 }, { 500, 0, 500, 0, 2 } };
        QTest::newRow("many blocks, past the room first made and the most handed back at once")
            << 20 << QList<QList<int>> { { 2000, 0, 2000, 2000, 16 }, { 0, 0, 2000, 0, 20 } };
    }
    void exchangeTakesInOrderAndHandsBackAfterTheLead()
    {
        QFETCH(int, blocks);
        QFETCH(QList<QList<int>>, steps);
        std::vector<std::int16_t> queued;
        for (int b = 0; b < blocks; ++b) {
            const auto samples = blockSamples(b, 100);
            push(b, samples);
            queued.insert(queued.end(), samples.begin(), samples.end());
        }
        std::vector<std::int16_t> taken;
        for (const QList<int>& step : steps) {
            std::vector<std::int16_t> out(static_cast<std::size_t>(step[0]) + 1, -1);
            const CWaveOutQueue::Period period
                = m_queue->Exchange(out.data(), static_cast<std::size_t>(step[0]),
                    static_cast<std::uint64_t>(step[1]), static_cast<std::uint64_t>(step[2]), 0);
            QCOMPARE(period.taken, static_cast<std::size_t>(step[3]));
            QVERIFY(period.bFed);
            QCOMPARE(out[period.taken], std::int16_t { -1 }); // nothing past what was taken
            taken.insert(taken.end(), out.begin(), out.begin() + static_cast<long>(period.taken));
            deliver();
            QCOMPARE(m_target->done.size(), static_cast<std::size_t>(step[4]));
            QCOMPARE(m_queue->HandedBack(), std::uint64_t { 100 } * step[4]);
        }
        QCOMPARE(taken,
            std::vector<std::int16_t>(
                queued.begin(), queued.begin() + static_cast<long>(taken.size())));
        for (std::size_t i = 0; i < m_target->done.size(); ++i) {
            const Target::Done& done = m_target->done[i];
            QCOMPARE(done.header, &m_headers[i]);
            QCOMPARE(done.writeSerial, std::uint64_t { i + 1 });
            QCOMPARE(done.session, std::uint64_t { 42 });
            QCOMPARE(done.device, static_cast<const void*>(&kDevice));
        }
    }

    void dropAndDetach()
    {
        push(0, blockSamples(0, 100));
        push(1, blockSamples(1, 100));
        std::vector<std::int16_t> out(400);
        QCOMPARE(m_queue->Exchange(out.data(), 150, 0, 0, 0).taken, std::size_t { 150 });

        m_queue->Drop();
        QVERIFY(!m_queue->Fed());
        CWaveOutQueue::Commands commands = m_queue->TakeCommands();
        QVERIFY(commands.bFlush);
        QVERIFY(!commands.bClose);
        QVERIFY(!m_queue->TakeCommands().bFlush); // given once
        // The dropped blocks are neither taken nor handed back, however far the server plays.
        CWaveOutQueue::Period period = m_queue->Exchange(out.data(), 400, 0, 400, 0);
        QCOMPARE(period.taken, std::size_t { 0 });
        QVERIFY(!period.bFed);
        deliver();
        QVERIFY(m_target->done.empty());

        // Blocks queued after the drop are taken from their first sample.
        push(2, blockSamples(2, 100));
        period = m_queue->Exchange(out.data(), 400, 0, 400, 0);
        QCOMPARE(period.taken, std::size_t { 100 });
        QVERIFY(period.bFed);
        QCOMPARE(out[0], std::int16_t { 2000 });
        deliver();
        QCOMPARE(m_target->done.size(), std::size_t { 1 });
        QCOMPARE(m_target->done[0].header, &m_headers[2]);

        // After Detach nothing is posted, and the close stays asked for.
        push(3, blockSamples(3, 100));
        m_queue->Detach();
        QVERIFY(m_queue->CloseRequested());
        QCOMPARE(m_queue->Exchange(out.data(), 400, 0, 400, 0).taken, std::size_t { 0 });
        m_queue->PostFailed(WaveOutFailure::Lost);
        push(4, blockSamples(4, 100));
        m_queue->Exchange(out.data(), 400, 0, 400, 0);
        QVERIFY(m_queue->TakeCommands().bClose);
        QVERIFY(m_queue->TakeCommands().bClose);
        deliver();
        QCOMPARE(m_target->done.size(), std::size_t { 1 });
        QVERIFY(m_target->failures.empty());
    }

    void failureIsPostedOnce()
    {
        m_queue->PostFailed(WaveOutFailure::NotResponding);
        m_queue->PostFailed(WaveOutFailure::Lost);
        deliver();
        QCOMPARE(m_target->failures, std::vector<WaveOutFailure> { WaveOutFailure::NotResponding });
    }

    // The waker is called when the device thread asked for it, and never under the queue's
    // lock: from inside it another thread can still use the queue.
    void wakerRunsWhenDueAndOutsideTheLock()
    {
        int wakes = 0;
        bool bLockFree = true;
        m_queue->SetWaker([&] {
            ++wakes;
            auto done = std::make_shared<std::promise<void>>();
            std::future<void> other = done->get_future();
            std::thread([queue = m_queue.get(), done] {
                static_cast<void>(queue->Fed());
                done->set_value();
            }).detach();
            bLockFree
                = bLockFree && other.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
        });
        std::vector<std::int16_t> out(400);
        push(0, blockSamples(0, 100)); // starved from the start
        QCOMPARE(wakes, 1);
        push(1, blockSamples(1, 100)); // no longer starved
        QCOMPARE(wakes, 1);
        m_queue->Exchange(out.data(), 400, 0, 0, 300); // the server holds 200 < 300: starved
        push(2, blockSamples(2, 100));
        QCOMPARE(wakes, 2);
        m_queue->Exchange(out.data(), 400, 200, 0, 300); // holds 300: not starved
        push(3, blockSamples(3, 100));
        QCOMPARE(wakes, 2);
        m_queue->Drop();
        QCOMPARE(wakes, 3);
        m_queue->Detach();
        QCOMPARE(wakes, 4);
        QVERIFY(bLockFree);

        // A wake-up is pending for WaitForCommand, and taken with the commands.
        m_queue->WaitForCommand();
        m_queue->TakeCommands();
        QVERIFY(m_queue->WaitForCommandFor(std::chrono::milliseconds(0)));
        m_queue->SetWaker(nullptr);
    }

    // Once the buffers of the blocks under way exist, queueing a block allocates nothing, and a
    // period that hands nothing to a target allocates nothing either.
    void steadyStreamingAllocatesNothing()
    {
        CWaveOutQueue queue(&kDevice, nullptr, 7);
        const std::vector<std::int16_t> samples = blockSamples(1, 2000);
        const auto* data = reinterpret_cast<const char*>(samples.data());
        std::vector<std::int16_t> out(2000);
        WAVEHDR header;
        std::uint64_t serial = 0;
        queue.Push(&header, ++serial, data, 4000);
        queue.Push(&header, ++serial, data, 4000);
        std::size_t pushAllocations = 0;
        std::size_t exchangeAllocations = 0;
        std::size_t taken = 0;
        for (int round = 0; round < 50; ++round) {
            const std::size_t exchange = allocationsOf(
                [&] { taken += queue.Exchange(out.data(), 2000, 0, 2000, 0).taken; });
            const std::size_t push
                = allocationsOf([&] { queue.Push(&header, ++serial, data, 4000); });
            if (round >= 2) {
                pushAllocations += push;
                exchangeAllocations += exchange;
            }
        }
        QCOMPARE(pushAllocations, std::size_t { 0 });
        QCOMPARE(exchangeAllocations, std::size_t { 0 });
        QCOMPARE(taken, std::size_t { 50 * 2000 });
        QCOMPARE(queue.HandedBack(), std::uint64_t { 50 * 2000 });
        QCOMPARE(out, samples);
    }

    // A device thread exchanging while the UI thread queues, refills on completion and detaches
    // with completions under way: every sample arrives once and in order, the completions come in
    // queue order, and nothing reaches the target after Detach.
    void deviceThreadAgainstTheUiThread()
    {
        constexpr int kBlocks = 200;
        constexpr std::size_t kSize = 64;
        std::vector<std::int16_t> taken;
        std::thread device([&] {
            std::vector<std::int16_t> out(48);
            while (!m_queue->CloseRequested()) {
                const std::size_t n = m_queue->Exchange(out.data(), out.size(), 0, 16, 0).taken;
                taken.insert(taken.end(), out.begin(), out.begin() + static_cast<long>(n));
                std::this_thread::yield();
            }
        });
        std::vector<std::int16_t> queued;
        int pushed = 0;
        const auto refill = [&] {
            const auto samples = blockSamples(pushed % 30, kSize);
            queued.insert(queued.end(), samples.begin(), samples.end());
            push(pushed % 2, samples);
            ++pushed;
        };
        refill();
        refill();
        while (pushed < kBlocks) {
            const std::size_t before = m_target->done.size();
            deliver();
            for (std::size_t i = before; i < m_target->done.size() && pushed < kBlocks; ++i) {
                refill();
            }
        }
        m_queue->Detach();
        deliver();
        const std::vector<Target::Done> done = m_target->done;
        m_target.reset(); // a completion posted after Detach would reach a deleted object
        deliver();
        device.join();
        for (std::size_t i = 0; i < done.size(); ++i) {
            QCOMPARE(done[i].writeSerial, std::uint64_t { i + 1 });
            QCOMPARE(done[i].header, &m_headers[i % 2]);
        }
        QVERIFY(taken.size() <= queued.size());
        QVERIFY(taken.size() >= queued.size() - 2 * kSize);
        QCOMPARE(taken,
            std::vector<std::int16_t>(
                queued.begin(), queued.begin() + static_cast<long>(taken.size())));
    }

private:
    void push(int header, const std::vector<std::int16_t>& samples)
    {
        m_queue->Push(&m_headers[static_cast<std::size_t>(header)], ++m_serial,
            reinterpret_cast<const char*>(samples.data()),
            static_cast<std::uint32_t>(samples.size() * 2));
    }

    std::unique_ptr<Target> m_target;
    std::unique_ptr<CWaveOutQueue> m_queue;
    std::vector<WAVEHDR> m_headers;
    std::uint64_t m_serial = 0;
};

QTEST_GUILESS_MAIN(TestWaveOutQueue)
#include "tst_waveoutqueue.moc"
