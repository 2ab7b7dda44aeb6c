// The live stream's real-time pieces without a sound server: the single-producer single-consumer
// ring (against a plain deque, and across two threads), the samples on the wire, the levels a
// latency target gives, what is dropped and padded, and the core driven by a simulated server
// whose sink plays one frame per tick while the source delivers on schedules of its own (steady,
// jittery, stalled, drifting), checked by replaying what reached the sink against what was
// captured.
#include "livecore.h"
#include "liveexchange.h"
#include "spscring.h"

#include <QTest>

#include "allocationcount.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <new>
#include <thread>

using namespace vorn;

using vorn::test::allocationsOf;

namespace {

// Passes the input through (or, when only playing, produces a ramp 1, 2, 3 ... in 16-bit units),
// notes the commands it is handed and, when asked, fills the 16-bit output itself. The commands
// go into a fixed array: the processor must not allocate either.
class Processor final : public CLiveProcessor
{
public:
    void Prepare(const LiveFormat& format) override { prepared = format; }
    void OnCommand(const LiveCommand& command) override
    {
        if (nCommands < commands.size()) {
            commands[nCommands] = { command.nCode, processed };
        }
        ++nCommands;
        gain = command.dValue;
    }
    std::size_t Process(LiveBlock& block) override
    {
        const std::size_t samples = block.frames * static_cast<std::size_t>(block.channels);
        std::size_t frames = block.frames;
        if (block.input == nullptr) {
            frames = std::min(frames, framesLeft);
            framesLeft -= frames;
        }
        for (std::size_t i = 0; i < samples; ++i) {
            const double value = block.input != nullptr ? block.input[i] * gain
                                                        : static_cast<double>(++ramp) / 32768.0;
            block.output[i] = value;
            if (bWrite16 && block.output16 != nullptr) {
                block.output[i] = 1e9; // ignored when the 16-bit output is taken
                block.output16[i] = static_cast<std::int16_t>(std::lround(value * 32768.0));
            }
        }
        block.bOutput16 = bWrite16;
        processed += block.frames;
        return frames;
    }

    LiveFormat prepared;
    std::array<std::pair<int, std::size_t>, 16> commands {}; // code, frames processed before it
    std::size_t nCommands = 0;
    std::size_t processed = 0;
    std::size_t framesLeft = std::numeric_limits<std::size_t>::max();
    double gain = 1.0;
    bool bWrite16 = false;
    long ramp = 0;
};

// What the core wrote, as 16-bit samples.
class Sink final : public CLiveCore::CSink
{
public:
    void Write(const void* bytes, std::size_t frames) override
    {
        const std::size_t before = samples.size();
        samples.resize(before + frames * channels);
        std::memcpy(samples.data() + before, bytes, frames * channels * 2);
        ++writes;
    }
    std::vector<std::int16_t> samples;
    std::size_t channels = 1;
    std::size_t writes = 0;
};

std::vector<unsigned char> s16Bytes(const std::vector<std::int16_t>& samples)
{
    std::vector<unsigned char> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

const LiveFormat kMono16 { 48000, 1, LiveSampleFormat::S16 };

// A server on one clock, one tick a frame: the sink plays a frame a tick while it holds any (a
// tick without one is a frame of underrun); the source captures `sourceRate` frames a tick and
// hands over what it has at each delivery. Captured frame f is the 16-bit sample f % 32767 + 1,
// so what reached the sink tells which frames were dropped, and the tick a frame is played,
// less the tick it was captured in, is the loop's latency.
struct SimulatedLoop
{
    explicit SimulatedLoop(const LiveBuffering& buffering)
        : core(kMono16, buffering, processor, exchange)
    { }

    // Advances to tick `at`, then delivers what the source has captured since the last delivery.
    void DeliverAt(std::uint64_t at)
    {
        for (; now < at; ++now) {
            captured += sourceRate;
            if (now < sinkPausedUntil) {
                continue;
            }
            if (played < sink.samples.size()) {
                const auto value = static_cast<std::uint64_t>(sink.samples[played++]);
                if (value != 0) {
                    // The first frame from nextFrame on with this number (fewer than 32767
                    // frames are ever dropped at once here).
                    const std::uint64_t frame
                        = nextFrame + (value + 32767 - (nextFrame % 32767 + 1)) % 32767;
                    nextFrame = frame + 1;
                    latencies.push_back(
                        static_cast<double>(now) - static_cast<double>(frame + 1) / sourceRate);
                }
            } else if (!sink.samples.empty()) {
                ++underrunTicks;
            }
        }
        const auto frames = static_cast<std::size_t>(captured) - delivered;
        std::vector<std::int16_t> samples(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            samples[i] = static_cast<std::int16_t>((delivered + i) % 32767 + 1);
        }
        delivered += frames;
        const std::size_t held = sink.samples.size() - played;
        const std::vector<unsigned char> bytes = s16Bytes(samples);
        core.BeginCapture(bytes.size(), held, sink);
        core.Captured(bytes.data(), bytes.size(), sink);
        heldAfter.push_back(sink.samples.size() - played);
    }

    LiveExchange exchange;
    Processor processor;
    CLiveCore core;
    Sink sink;
    double sourceRate = 1.0;
    double captured = 0.0;
    std::size_t delivered = 0;
    std::uint64_t now = 0;
    std::size_t played = 0;
    std::uint64_t nextFrame = 0;
    std::uint64_t sinkPausedUntil = 0;
    std::uint64_t underrunTicks = 0;
    std::vector<std::size_t> heldAfter;
    std::vector<double> latencies;
};

} // namespace

class TestLiveCore : public QObject
{
    Q_OBJECT

private slots:
    void ringKeepsOrderAndBounds_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("roundedTo");
        QTest::addColumn<QList<int>>("steps"); // > 0 push that many, < 0 pop that many
        QTest::newRow("two, wrapping many times")
            << 1 << 2 << QList<int> { 1, -1, 2, -2, 3, -3, 1, -2 };
        QTest::newRow("three rounds up to four, overfilled")
            << 3 << 4 << QList<int> { 6, -2, 3, -9 };
        QTest::newRow("sixty-four, around the end")
            << 64 << 64 << QList<int> { 50, -40, 50, -30, 64, -64, 10, -11 };
    }
    void ringKeepsOrderAndBounds()
    {
        QFETCH(int, capacity);
        QFETCH(int, roundedTo);
        QFETCH(QList<int>, steps);
        CSpscRing<int> ring(static_cast<std::size_t>(capacity));
        QCOMPARE(ring.Capacity(), static_cast<std::size_t>(roundedTo));
        std::deque<int> model;
        int next = 0;
        for (const int step : steps) {
            for (int i = 0; i < std::abs(step); ++i) {
                if (step > 0) {
                    const bool room = model.size() < static_cast<std::size_t>(roundedTo);
                    QCOMPARE(ring.Push(next), room);
                    if (room) {
                        model.push_back(next);
                    }
                    ++next;
                } else {
                    int value = -1;
                    QCOMPARE(ring.Pop(value), !model.empty());
                    if (!model.empty()) {
                        QCOMPARE(value, model.front());
                        model.pop_front();
                    }
                }
                QCOMPARE(ring.Size(), model.size());
            }
        }
    }

    void ringAcrossTwoThreads()
    {
        // The consumer must see every value once, in order, and whole (both halves of a pair
        // written by the producer): a slot read before its value was released would show.
        struct Pair
        {
            std::uint64_t value;
            std::uint64_t check;
        };
        CSpscRing<Pair> ring(8);
        constexpr std::uint64_t kCount = 200000;
        std::thread producer([&] {
            for (std::uint64_t i = 1; i <= kCount;) {
                if (ring.Push({ i, ~i })) {
                    ++i;
                } else {
                    std::this_thread::yield();
                }
            }
        });
        std::uint64_t expected = 1;
        std::uint64_t torn = 0;
        while (expected <= kCount) {
            Pair pair {};
            if (!ring.Pop(pair)) {
                std::this_thread::yield();
                continue;
            }
            if (pair.value != expected || pair.check != ~expected) {
                ++torn;
            }
            expected = pair.value + 1;
        }
        producer.join();
        QCOMPARE(torn, std::uint64_t { 0 });
        Pair pair {};
        QVERIFY(!ring.Pop(pair));
    }

    void ringAllocatesNothing()
    {
        CSpscRing<LiveCommand> ring(4);
        LiveCommand command;
        QCOMPARE(allocationsOf([&] {
            for (int i = 0; i < 100; ++i) {
                QVERIFY(ring.Push({ i, 0.5, i, false }));
                QVERIFY(ring.Pop(command));
            }
        }),
            std::size_t { 0 });
        QCOMPARE(command.nCode, 99);
    }

    void every16BitSampleComesBackUnchanged()
    {
        std::vector<std::int16_t> all(65536);
        for (int i = 0; i < 65536; ++i) {
            all[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i - 32768);
        }
        std::vector<double> doubles(all.size());
        FromWire(all.data(), LiveSampleFormat::S16, all.size(), doubles.data());
        for (std::size_t i = 0; i < all.size(); ++i) {
            QCOMPARE(doubles[i], all[i] / 32768.0); // the scale, exactly
        }
        std::vector<std::int16_t> back(all.size());
        QCOMPARE(ToWire(doubles.data(), doubles.size(), LiveSampleFormat::S16, back.data()),
            std::size_t { 0 });
        QVERIFY(back == all);
    }

    void doublesTo16Bits_data()
    {
        QTest::addColumn<double>("units"); // the double times 32768
        QTest::addColumn<int>("sample");
        QTest::addColumn<bool>("clipped");
        QTest::newRow("zero") << 0.0 << 0 << false;
        QTest::newRow("rounds to nearest") << 100.4 << 100 << false;
        QTest::newRow("rounds up past the half") << -100.6 << -101 << false;
        QTest::newRow("a tie goes to even") << 2.5 << 2 << false;
        QTest::newRow("just inside the top") << 32767.4 << 32767 << false;
        QTest::newRow("rounds past the top") << 32767.5 << 32767 << true;
        QTest::newRow("full scale 1.0") << 32768.0 << 32767 << true;
        QTest::newRow("the bottom") << -32768.0 << -32768 << false;
        QTest::newRow("past the bottom") << -40000.0 << -32768 << true;
        QTest::newRow("not a number") << std::nan("") << 0 << true;
    }
    void doublesTo16Bits()
    {
        QFETCH(double, units);
        QFETCH(int, sample);
        QFETCH(bool, clipped);
        const double value = units / 32768.0;
        std::int16_t out = 12345;
        QCOMPARE(ToWire(&value, 1, LiveSampleFormat::S16, &out), std::size_t { clipped ? 1U : 0U });
        QCOMPARE(static_cast<int>(out), sample);
    }

    void floatsPassAsFloats()
    {
        const std::vector<double> values { 0.0, -1.0, 0.25, 1.5, -3.0e-8 };
        std::vector<float> wire(values.size());
        QCOMPARE(ToWire(values.data(), values.size(), LiveSampleFormat::Float32, wire.data()),
            std::size_t { 0 });
        std::vector<double> back(values.size());
        FromWire(wire.data(), LiveSampleFormat::Float32, wire.size(), back.data());
        for (std::size_t i = 0; i < values.size(); ++i) {
            QCOMPARE(wire[i], static_cast<float>(values[i])); // no clipping: 1.5 stays 1.5
            QCOMPARE(back[i], static_cast<double>(static_cast<float>(values[i])));
        }
    }

    void levelsForATarget_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<int>("serverFragment");
        QTest::addColumn<QList<int>>("expected"); // fragment, low, level, high
        // Half the target after each write, a quarter of it a fragment.
        QTest::newRow("10 ms at 48 kHz") << 48000 << 10 << 0 << QList<int> { 120, 180, 240, 480 };
        QTest::newRow("40 ms at 44.1 kHz")
            << 44100 << 40 << 0 << QList<int> { 441, 662, 882, 1764 };
        // A server that rounds the fragment up (pipewire-pulse: 256 frames at least): a fragment
        // and a half at least, and room for another one and a half above.
        QTest::newRow("10 ms, 256-frame periods")
            << 48000 << 10 << 256 << QList<int> { 256, 256, 384, 768 };
        QTest::newRow("40 ms, 256-frame periods")
            << 48000 << 40 << 256 << QList<int> { 256, 832, 960, 1920 };
        QTest::newRow("below a millisecond counts as one")
            << 48000 << 0 << 0 << QList<int> { 12, 18, 24, 48 };
    }
    void levelsForATarget()
    {
        QFETCH(int, rate);
        QFETCH(int, latencyMs);
        QFETCH(int, serverFragment);
        QFETCH(QList<int>, expected);
        const LiveBuffering buffering
            = LiveBuffering::ForTarget(rate, latencyMs, static_cast<std::size_t>(serverFragment));
        QCOMPARE(
            (QList<int> { static_cast<int>(buffering.fragment), static_cast<int>(buffering.low),
                static_cast<int>(buffering.level), static_cast<int>(buffering.high) }),
            expected);
    }

    void adjustToTarget_data()
    {
        QTest::addColumn<int>("held");
        QTest::addColumn<int>("incoming");
        QTest::addColumn<int>("drop");
        QTest::addColumn<int>("pad");
        // Levels low 180, level 240, high 480.
        QTest::newRow("steady: back to the level") << 120 << 120 << 0 << 0;
        QTest::newRow("at the high mark, kept") << 360 << 120 << 0 << 0;
        QTest::newRow("one past it: all of it dropped, towards the level")
            << 361 << 120 << 120 << 0;
        QTest::newRow("a burst after a stall") << 0 << 1200 << 960 << 0;
        QTest::newRow("the sink holds too much already: all dropped") << 500 << 120 << 120 << 0;
        QTest::newRow("at the low mark, kept") << 60 << 120 << 0 << 0;
        QTest::newRow("one under it: padded to the level") << 59 << 120 << 0 << 61;
        QTest::newRow("the start") << 0 << 120 << 0 << 120;
        QTest::newRow("nothing came, the sink ran dry") << 0 << 0 << 0 << 240;
    }
    void adjustToTarget()
    {
        QFETCH(int, held);
        QFETCH(int, incoming);
        QFETCH(int, drop);
        QFETCH(int, pad);
        const LiveAdjustment adjustment = AdjustToTarget(static_cast<std::size_t>(held),
            static_cast<std::size_t>(incoming), LiveBuffering::ForTarget(48000, 10));
        QCOMPARE(static_cast<int>(adjustment.drop), drop);
        QCOMPARE(static_cast<int>(adjustment.pad), pad);
    }

    void loopHoldsItsLatency_data()
    {
        QTest::addColumn<double>("sourceRate"); // source frames per sink frame
        QTest::addColumn<QList<int>>("gaps"); // ticks between deliveries, repeated
        // A delivery that comes late, -1 none, -2 the sink pausing for 200 ticks.
        QTest::addColumn<int>("stallAt");
        QTest::addColumn<bool>("drops");
        QTest::addColumn<bool>("pads"); // after the start
        QTest::addColumn<bool>("settles"); // back at the level at the end, within a fragment
        QTest::newRow("steady") << 1.0 << QList<int> { 120 } << -1 << false << false << true;
        QTest::newRow("jitter of half a fragment")
            << 1.0 << QList<int> { 60, 180, 120 } << -1 << false << false << true;
        QTest::newRow("a stall of ten fragments")
            << 1.0 << QList<int> { 120 } << 200 << true << false << true;
        QTest::newRow("the sink pausing for 200 frames")
            << 1.0 << QList<int> { 120 } << -2 << true << false << true;
        QTest::newRow("source 0.5 % fast")
            << 1.005 << QList<int> { 120 } << -1 << true << false << false;
        QTest::newRow("source 0.5 % slow")
            << 0.995 << QList<int> { 120 } << -1 << false << true << false;
    }
    void loopHoldsItsLatency()
    {
        QFETCH(double, sourceRate);
        QFETCH(QList<int>, gaps);
        QFETCH(int, stallAt);
        QFETCH(bool, drops);
        QFETCH(bool, pads);
        QFETCH(bool, settles);
        const LiveBuffering buffering = LiveBuffering::ForTarget(48000, 10);
        SimulatedLoop loop(buffering);
        loop.sourceRate = sourceRate;
        std::uint64_t at = 0;
        std::uint64_t paddedAtStart = 0;
        for (int k = 0; k < 2000; ++k) {
            at += static_cast<std::uint64_t>(gaps[k % gaps.size()]);
            if (k == stallAt) {
                at += 10 * buffering.fragment;
            }
            if (stallAt == -2 && k == 200) {
                // The sink stops playing for 200 ticks: it holds 200 frames more from then on.
                loop.sinkPausedUntil = loop.now + 200;
            }
            loop.DeliverAt(at);
            if (k == 0) {
                // The first fragment is padded to the level.
                paddedAtStart = loop.exchange.paddedFrames.load();
                QCOMPARE(paddedAtStart, std::uint64_t { buffering.level - loop.delivered });
            }
        }
        const std::uint64_t captured = loop.exchange.capturedFrames.load();
        const std::uint64_t dropped = loop.exchange.droppedFrames.load();
        const std::uint64_t padded = loop.exchange.paddedFrames.load();
        QCOMPARE(captured, std::uint64_t { loop.delivered });
        QCOMPARE(dropped > 0, drops);
        QCOMPARE(loop.exchange.drops.load() > 0, drops);
        QCOMPARE(padded > paddedAtStart, pads);

        // Replayed: silence where it was padded, then every captured frame in order but those
        // dropped, which go in runs, at most one run a drop (two drops in a row may join).
        std::uint64_t zeros = 0;
        std::uint64_t skipped = 0;
        std::uint64_t skips = 0;
        std::uint64_t expected = 1;
        for (const std::int16_t value : loop.sink.samples) {
            if (value == 0) {
                ++zeros;
                continue;
            }
            const auto v = static_cast<std::uint64_t>(value);
            if (v != expected) {
                skipped += (v + 32767 - expected) % 32767;
                ++skips;
            }
            expected = v % 32767 + 1;
        }
        QCOMPARE(zeros, padded);
        QCOMPARE(skipped, dropped);
        QVERIFY(skips <= loop.exchange.drops.load());
        QCOMPARE(skips > 0, drops);
        QCOMPARE(loop.sink.samples.size(), captured - dropped + padded);
        QCOMPARE(loop.exchange.writtenFrames.load(), std::uint64_t { loop.sink.samples.size() });

        // The sink never held more than the high mark after a write, nor ran dry except through
        // the stall; no frame took longer than the high mark from capture to sink, none less
        // than the low mark less a fragment once started, and a disturbance passes: the latency
        // is back at the level in the end.
        for (const std::size_t held : loop.heldAfter) {
            QVERIFY2(held <= buffering.high, qPrintable(QString::number(held)));
        }
        QCOMPARE(loop.underrunTicks > 0, stallAt >= 0);
        QCOMPARE(loop.exchange.paddedFrames.load() > 0, true);
        const auto [least, most] = std::minmax_element(
            loop.latencies.begin() + static_cast<std::ptrdiff_t>(buffering.level),
            loop.latencies.end());
        QVERIFY2(
            *most <= static_cast<double>(buffering.high) + 1.0, qPrintable(QString::number(*most)));
        QVERIFY2(*least >= static_cast<double>(buffering.low - buffering.fragment),
            qPrintable(QString::number(*least)));
        const double last = loop.latencies.back();
        if (settles) {
            QVERIFY2(std::abs(last - static_cast<double>(buffering.level))
                    <= static_cast<double>(buffering.fragment),
                qPrintable(QString::number(last)));
        }
    }

    void framesSplitAcrossPieces_data()
    {
        QTest::addColumn<int>("sample"); // LiveSampleFormat
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("piece"); // bytes per piece handed over
        QTest::newRow("16-bit stereo in 3-byte pieces") << 0 << 2 << 3;
        QTest::newRow("float stereo in 5-byte pieces") << 1 << 2 << 5;
        QTest::newRow("float 6 channels in 1000-byte pieces") << 1 << 6 << 1000;
        QTest::newRow("16-bit mono, more than a block at once") << 0 << 1 << 5000;
    }
    void framesSplitAcrossPieces()
    {
        QFETCH(int, sample);
        QFETCH(int, channels);
        QFETCH(int, piece);
        const LiveFormat format { 48000, channels, static_cast<LiveSampleFormat>(sample) };
        LiveBuffering buffering;
        buffering.fragment = 1;
        buffering.level = buffering.high = 1000000; // nothing dropped, nothing padded (low 0)
        LiveExchange exchange;
        Processor processor;
        processor.gain = 0.5;
        CLiveCore core(format, buffering, processor, exchange);
        struct Bytes final : CLiveCore::CSink
        {
            void Write(const void* bytes, std::size_t frames) override
            {
                const auto* b = static_cast<const unsigned char*>(bytes);
                data.insert(data.end(), b, b + frames * frameBytes);
            }
            std::vector<unsigned char> data;
            std::size_t frameBytes = 0;
        } sink;
        sink.frameBytes = format.FrameBytes();

        // Frames of distinct samples; the processor halves them, which is exact in both formats.
        const std::size_t frames = 3000;
        const std::size_t samples = frames * static_cast<std::size_t>(channels);
        std::vector<double> in(samples);
        for (std::size_t i = 0; i < samples; ++i) {
            in[i] = static_cast<double>(static_cast<int>(i % 20000) - 10000) * 2.0 / 32768.0;
        }
        std::vector<unsigned char> wire(samples * format.BytesPerSample());
        QCOMPARE(ToWire(in.data(), samples, format.sample, wire.data()), std::size_t { 0 });
        core.BeginCapture(wire.size() - 7, 0, sink); // all but a part frame
        for (std::size_t at = 0; at < wire.size() - 7; at += static_cast<std::size_t>(piece)) {
            core.Captured(wire.data() + at,
                std::min(static_cast<std::size_t>(piece), wire.size() - 7 - at), sink);
        }
        core.BeginCapture(7, 0, sink);
        core.Captured(wire.data() + wire.size() - 7, 7, sink);

        for (double& value : in) {
            value *= 0.5;
        }
        std::vector<unsigned char> expected(wire.size());
        QCOMPARE(ToWire(in.data(), samples, format.sample, expected.data()), std::size_t { 0 });
        QCOMPARE(sink.data.size(), expected.size());
        QVERIFY(sink.data == expected);
        QCOMPARE(exchange.capturedFrames.load(), std::uint64_t { frames });
        QCOMPARE(processor.processed, frames);
    }

    void holesAreSilence()
    {
        LiveBuffering buffering = LiveBuffering::ForTarget(48000, 1000);
        LiveExchange exchange;
        Processor processor;
        Sink sink;
        CLiveCore core(kMono16, buffering, processor, exchange);
        core.BeginCapture(200, buffering.level, sink);
        core.Captured(nullptr, 200, sink);
        QCOMPARE(sink.samples, std::vector<std::int16_t>(100, 0));
    }

    void commandsAtTheNextPeriod()
    {
        const LiveBuffering buffering = LiveBuffering::ForTarget(48000, 10);
        LiveExchange exchange;
        Processor processor;
        Sink sink;
        CLiveCore core(kMono16, buffering, processor, exchange);
        const std::vector<unsigned char> bytes = s16Bytes(std::vector<std::int16_t>(120, 1000));

        // Sent between periods: handed over, in order, before the next period's first frame.
        QVERIFY(exchange.commands.Push({ 1, 2.0, 0, false }));
        QVERIFY(exchange.commands.Push({ 2, 3.0, 0, false }));
        QCOMPARE(processor.nCommands, std::size_t { 0 });
        core.BeginCapture(bytes.size(), buffering.level - 120, sink);
        QCOMPARE(processor.nCommands, std::size_t { 2 });
        QCOMPARE(processor.commands[0], (std::pair<int, std::size_t> { 1, 0 }));
        QCOMPARE(processor.commands[1], (std::pair<int, std::size_t> { 2, 0 }));
        core.Captured(bytes.data(), bytes.size(), sink);
        QCOMPARE(sink.samples, std::vector<std::int16_t>(120, 3000)); // the last gain, whole
        QVERIFY(!core.TakeFlush());

        // A flush: this period writes nothing, the sink's queue is to be dropped, and the next
        // period goes on with the command applied.
        QVERIFY(exchange.commands.Push({ 3, 0.5, 0, true }));
        core.BeginCapture(bytes.size(), buffering.level - 120, sink);
        core.Captured(bytes.data(), bytes.size(), sink);
        QCOMPARE(sink.samples.size(), std::size_t { 120 });
        QVERIFY(core.TakeFlush());
        QVERIFY(!core.TakeFlush());
        core.BeginCapture(bytes.size(), buffering.level - 120, sink);
        core.Captured(bytes.data(), bytes.size(), sink);
        QCOMPARE(std::vector<std::int16_t>(sink.samples.begin() + 120, sink.samples.end()),
            std::vector<std::int16_t>(120, 500));
        QCOMPARE(processor.commands[2], (std::pair<int, std::size_t> { 3, 120 }));
    }

    void playbackToTheEndAndBack()
    {
        LiveExchange exchange;
        Processor processor;
        processor.framesLeft = 2500;
        Sink sink;
        CLiveCore core(kMono16, LiveBuffering::ForTarget(48000, 10), processor, exchange);
        core.Produce(2000, sink); // in blocks of at most kMaxBlockFrames
        QCOMPARE(sink.samples.size(), std::size_t { 2000 });
        QVERIFY(sink.writes >= 2);
        QVERIFY(!core.Ended());
        core.Produce(2000, sink);
        QCOMPARE(sink.samples.size(), std::size_t { 2500 });
        QVERIFY(core.Ended());
        for (std::size_t i = 0; i < sink.samples.size(); ++i) {
            QCOMPARE(sink.samples[i], static_cast<std::int16_t>(i + 1));
        }
        core.Produce(2000, sink);
        QCOMPARE(sink.samples.size(), std::size_t { 2500 }); // ended: nothing more

        // A jump back: the period of the command writes nothing, the next one goes on.
        processor.framesLeft = 100;
        QVERIFY(exchange.commands.Push({ 7, 1.0, -48000, true }));
        core.Produce(2000, sink);
        QVERIFY(!core.Ended());
        QVERIFY(core.TakeFlush());
        QCOMPARE(sink.samples.size(), std::size_t { 2500 });
        core.Produce(50, sink);
        QCOMPARE(sink.samples.size(), std::size_t { 2550 });
        QCOMPARE(exchange.writtenFrames.load(), std::uint64_t { 2550 });
    }

    void processorsOwn16BitSamplesGoOutUnchanged()
    {
        LiveExchange exchange;
        Processor processor;
        processor.bWrite16 = true;
        Sink sink;
        CLiveCore core(kMono16, LiveBuffering::ForTarget(48000, 10), processor, exchange);
        core.Produce(300, sink);
        QCOMPARE(sink.samples.size(), std::size_t { 300 });
        for (std::size_t i = 0; i < sink.samples.size(); ++i) {
            QCOMPARE(sink.samples[i], static_cast<std::int16_t>(i + 1));
        }
        QCOMPARE(exchange.clippedSamples.load(), std::uint64_t { 0 }); // the doubles were ignored
    }

    void peaksAndClipping()
    {
        LiveExchange exchange;
        Processor processor;
        processor.gain = 4.0;
        Sink sink;
        const LiveBuffering buffering = LiveBuffering::ForTarget(48000, 1000);
        CLiveCore core(kMono16, buffering, processor, exchange);
        const std::vector<unsigned char> bytes = s16Bytes({ 1000, -12000, 4000, 0, 8192, -8193 });
        core.BeginCapture(bytes.size(), buffering.level, sink);
        core.Captured(bytes.data(), bytes.size(), sink);
        QCOMPARE(exchange.inputPeak.load(), 12000.0F / 32768.0F);
        QCOMPARE(exchange.outputPeak.load(), 48000.0F / 32768.0F);
        // -48000, 32768 and -32772 are beyond 16 bits.
        QCOMPARE(exchange.clippedSamples.load(), std::uint64_t { 3 });
        QCOMPARE(
            sink.samples, (std::vector<std::int16_t> { 4000, -32768, 16000, 0, 32767, -32768 }));
    }

    void periodsAllocateNothing()
    {
        const LiveBuffering buffering = LiveBuffering::ForTarget(48000, 10);
        SimulatedLoop loop(buffering);
        loop.DeliverAt(120); // vectors of the simulation itself are made outside the count
        const std::vector<unsigned char> bytes = s16Bytes(std::vector<std::int16_t>(5000, 7));
        Sink& sink = loop.sink;
        sink.samples.reserve(1000000);
        QVERIFY(loop.exchange.commands.Push({ 1, 1.0, 0, false }));
        QCOMPARE(allocationsOf([&] {
            loop.core.BeginCapture(bytes.size(), 0, sink);
            loop.core.Captured(bytes.data(), 3, sink);
            loop.core.Captured(bytes.data() + 3, bytes.size() - 3, sink);
        }),
            std::size_t { 0 });
        LiveExchange exchange;
        Processor processor;
        CLiveCore core(kMono16, buffering, processor, exchange);
        Sink playback;
        playback.samples.reserve(100000);
        QCOMPARE(allocationsOf([&] { core.Produce(5000, playback); }), std::size_t { 0 });
    }
};

QTEST_GUILESS_MAIN(TestLiveCore)

#include "tst_livecore.moc"
