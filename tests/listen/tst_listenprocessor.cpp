// vorn-listen's sound without a sound server: its processor run period by period as the live
// stream runs it, on real files read by its reader, against vorn-render filter's output for the
// same file (bit for bit, in 16-bit and float samples, with gain and A/B listening), against the
// file's own samples when dry, and against a second computation of the switch by hand; jumps in a
// file, and the test signals.
#include "abcrossfade.h"
#include "channelfilter.h"
#include "filefeed.h"
#include "listenprocessor.h"
#include "signalsource.h"
#include "soundinput.h"
#include "vornsimulation.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace vorn;

namespace {

constexpr int kRate = 48000;

// A stereo test file: a 300 Hz tone and a 2.5 kHz one on the left, noise on the right, at about
// half of full scale; a float file also holds one NaN and one infinity.
QString writeFile(const QString& path, int subtype, int frames)
{
    SF_INFO info {};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (file == nullptr) {
        return {};
    }
    std::vector<double> samples(2 * static_cast<std::size_t>(frames));
    quint32 lcg = 12345;
    for (int n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        samples[2 * n] = 0.3 * std::sin(2 * M_PI * 300 * t) + 0.2 * std::sin(2 * M_PI * 2500 * t);
        lcg = lcg * 1664525U + 1013904223U;
        samples[2 * n + 1] = (static_cast<double>(lcg >> 8) / (1 << 24) - 0.5);
    }
    if ((subtype & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
        samples[1001] = NAN;
        samples[3000] = INFINITY;
    }
    sf_writef_double(file, samples.data(), frames);
    sf_close(file);
    return path;
}

// The samples of a file as they are stored: 16-bit integers, or the bits of 32-bit floats.
std::vector<std::int32_t> storedSamples(const QString& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (file == nullptr) {
        return {};
    }
    std::vector<std::int32_t> samples(static_cast<std::size_t>(info.frames * info.channels));
    if ((info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
        std::vector<float> floats(samples.size());
        sf_readf_float(file, floats.data(), info.frames);
        std::memcpy(samples.data(), floats.data(), samples.size() * 4);
    } else {
        std::vector<short> shorts(samples.size());
        sf_readf_short(file, shorts.data(), info.frames);
        std::copy(shorts.begin(), shorts.end(), samples.begin());
    }
    sf_close(file);
    return samples;
}

// Runs the processor as the live stream would, in periods of changing length, until the file
// ends; the feed reads ahead between periods (as its thread would have long before). Each sample
// as it goes on the wire: 16-bit, or a float's bits. `before(frame)` runs before each period.
template <typename Before>
std::vector<std::int32_t> play(CListenProcessor& processor, CFileFeed& feed, bool s16,
    Before before, std::size_t maxFrames = 0)
{
    processor.Prepare({ kRate, 2, s16 ? LiveSampleFormat::S16 : LiveSampleFormat::Float32 });
    std::vector<double> output(2048);
    std::vector<std::int16_t> output16(2048);
    std::vector<std::int32_t> played;
    std::size_t period = 0;
    for (;;) {
        feed.ReadAhead();
        before(played.size() / 2);
        LiveBlock block;
        block.output = output.data();
        block.output16 = s16 ? output16.data() : nullptr;
        block.channels = 2;
        block.frames = std::size_t { 1 } + (period++ * 389) % 1024;
        const std::size_t frames = processor.Process(block);
        for (std::size_t i = 0; i < 2 * frames; ++i) {
            if (s16) {
                QTest::qVerify(block.bOutput16, "bOutput16", "16-bit", __FILE__, __LINE__);
                played.push_back(output16[i]);
            } else {
                const auto f = static_cast<float>(output[i]);
                std::int32_t bits = 0;
                std::memcpy(&bits, &f, 4);
                played.push_back(bits);
            }
        }
        if (frames < block.frames || (maxFrames > 0 && played.size() >= 2 * maxFrames)) {
            return played;
        }
    }
}

std::shared_ptr<CFileFeed> feedOf(const QString& path)
{
    return std::make_shared<CFileFeed>(std::make_unique<SoundInput>(path.toStdString()));
}

} // namespace

Q_DECLARE_METATYPE(std::vector<int>)

class TestListenProcessor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void samplesOfVornRenderFilter_data()
    {
        QTest::addColumn<int>("subtype");
        QTest::addColumn<QStringList>("options"); // vorn-render filter's and the processor's
        QTest::newRow("16-bit") << int(SF_FORMAT_PCM_16) << QStringList();
        QTest::newRow("16-bit, gain and A/B")
            << int(SF_FORMAT_PCM_16) << QStringList { "--gain", "-3.5", "--ab", "0.3" };
        QTest::newRow("16-bit, loud: clipped")
            << int(SF_FORMAT_PCM_16) << QStringList { "--gain", "9" };
        QTest::newRow("16-bit, a design")
            << int(SF_FORMAT_PCM_16)
            << QStringList { "--type", "elliptic", "--order", "5", "--corner", "2000" };
        QTest::newRow("float, NaN and infinity, gain and A/B")
            << int(SF_FORMAT_FLOAT) << QStringList { "--gain", "6", "--ab", "0.25" };
    }
    void samplesOfVornRenderFilter()
    {
        QFETCH(int, subtype);
        QFETCH(QStringList, options);
        const QString in = writeFile(m_dir.filePath("in.wav"), subtype, 60000);
        const QString out = m_dir.filePath("out.wav");
        QProcess render;
        render.start(VORN_RENDER_PATH, QStringList { "filter", in, out, "--quiet" } + options);
        QVERIFY(render.waitForFinished(30000));
        QCOMPARE(render.exitCode(), 0);
        const std::vector<std::int32_t> expected = storedSamples(out);
        QCOMPARE(expected.size(), std::size_t { 120000 });

        CListenProcessor::Settings settings;
        const auto value = [&options](const char* name) {
            const int at = static_cast<int>(options.indexOf(name));
            return at < 0 ? QString() : options[at + 1];
        };
        settings.gain
            = value("--gain").isEmpty() ? 1.0 : std::pow(10.0, value("--gain").toDouble() / 20);
        if (!value("--ab").isEmpty()) {
            settings.abSeconds = value("--ab").toDouble();
        }
        if (!value("--type").isEmpty()) {
            DesignPlan design;
            design.type = FilterType::Elliptic;
            design.order = 5;
            design.cornerHz = 2000;
            settings.design = design;
        }
        auto feed = feedOf(in);
        CListenProcessor processor(settings, feed);
        const std::vector<std::int32_t> played
            = play(processor, *feed, subtype == SF_FORMAT_PCM_16, [](std::size_t) {});
        QCOMPARE(played.size(), expected.size());
        for (std::size_t i = 0; i < played.size(); ++i) {
            QVERIFY2(played[i] == expected[i],
                qPrintable(QStringLiteral("sample %1: %2, not %3")
                               .arg(i)
                               .arg(played[i])
                               .arg(expected[i])));
        }
        QCOMPARE(processor.Report().unusable.load(), subtype == SF_FORMAT_FLOAT ? 2 : 0);
        QCOMPARE(processor.Report().gapFrames.load(), 0);
    }

    void dryIsTheFileItself()
    {
        const QString in = writeFile(m_dir.filePath("dry.wav"), SF_FORMAT_PCM_16, 30000);
        CListenProcessor::Settings settings;
        settings.dry = true;
        auto feed = feedOf(in);
        CListenProcessor processor(settings, feed);
        QCOMPARE(play(processor, *feed, true, [](std::size_t) {}), storedSamples(in));
        QVERIFY(processor.Report().bDry.load());
    }

    // Space switches with the crossfade, and the chain runs on through the dry part: computed a
    // second way, from the chain run over the whole file and the crossfade's gains from their
    // formula.
    void switchingByHand_data()
    {
        QTest::addColumn<std::vector<int>>("toggles"); // frames at which space is pressed
        QTest::newRow("to dry") << std::vector<int> { 5000 };
        QTest::newRow("to dry and back") << std::vector<int> { 5000, 21000 };
        QTest::newRow("back within the crossfade") << std::vector<int> { 5000, 5200 };
    }
    void switchingByHand()
    {
        QFETCH(std::vector<int>, toggles);
        const QString in = writeFile(m_dir.filePath("switch.wav"), SF_FORMAT_PCM_16, 40000);
        auto feed = feedOf(in);
        CListenProcessor processor({}, feed);
        // The keys take effect at the start of a period, as the live stream hands them over.
        std::vector<std::size_t> pressedAt;
        std::size_t next = 0;
        const std::vector<std::int32_t> played
            = play(processor, *feed, true, [&](std::size_t frame) {
                  if (next < toggles.size() && frame >= static_cast<std::size_t>(toggles[next])) {
                      processor.OnCommand({ kListenToggle, 0.0, 0, false });
                      pressedAt.push_back(frame);
                      ++next;
                  }
              });
        QCOMPARE(pressedAt.size(), toggles.size());

        const std::vector<std::int32_t> stored = storedSamples(in);
        std::vector<double> dry(stored.begin(), stored.end());
        std::vector<double> wet = dry;
        MakeChannelFilter(std::nullopt, kRate, 2)->Process(wet);
        // The gains frame by frame: 480 frames of sin and cos from 0 to pi/2, taken at the middle
        // of each frame; a press within a crossfade walks back along the same curve.
        const double fade = 480;
        double toward = 0.0; // 0 filtered, 1 dry
        double position = 1.0; // of the crossfade toward `toward`, 1 done
        std::size_t press = 0;
        for (std::size_t frame = 0; frame < stored.size() / 2; ++frame) {
            if (press < pressedAt.size() && frame == pressedAt[press]) {
                toward = 1.0 - toward;
                position = position >= 1.0 ? 0.0 : 1.0 - position + 1.0 / fade;
                position = std::min(position, 1.0);
                ++press;
            }
            double gainDry = toward;
            double gainWet = 1.0 - toward;
            if (position < 1.0) {
                const double angle = M_PI / 2 * (position * fade + 0.5) / fade;
                gainDry = toward == 1.0 ? std::sin(angle) : std::cos(angle);
                gainWet = toward == 1.0 ? std::cos(angle) : std::sin(angle);
                position += 1.0 / fade;
                if (position > 1.0 - 0.25 / fade) {
                    position = 1.0;
                }
            }
            for (std::size_t c = 2 * frame; c < 2 * frame + 2; ++c) {
                const double mixed = gainWet == 1.0 ? wet[c] : gainDry * dry[c] + gainWet * wet[c];
                const auto expected = static_cast<std::int32_t>(
                    std::clamp(std::nearbyint(mixed), -32768.0, 32767.0));
                QVERIFY2(played[c] == expected,
                    qPrintable(QStringLiteral("sample %1: %2, not %3")
                                   .arg(c)
                                   .arg(played[c])
                                   .arg(expected)));
            }
        }
    }

    // A jump reads from the new place at once: what was read ahead before it is passed over,
    // the wait for the reader is silence, and then the file's own samples follow.
    void jumpsInTheFile()
    {
        const QString in = writeFile(m_dir.filePath("jump.wav"), SF_FORMAT_PCM_16, 100000);
        const std::vector<std::int32_t> stored = storedSamples(in);
        auto feed = feedOf(in);
        CListenProcessor::Settings settings;
        settings.dry = true;
        CListenProcessor processor(settings, feed);
        processor.Prepare({ kRate, 2, LiveSampleFormat::S16 });
        std::vector<double> output(2048);
        std::vector<std::int16_t> output16(2048);
        LiveBlock block { nullptr, output.data(), output16.data(), 1000, 2, false };
        feed->ReadAhead();
        QCOMPARE(processor.Process(block), std::size_t { 1000 });
        for (const std::int64_t target : { 70000, 10000, 99990 }) {
            processor.OnCommand({ kListenSeek, 0.0, target, true });
            QCOMPARE(processor.Report().position.load(), target);
            // The reader has not read there yet: a gap.
            QCOMPARE(processor.Process(block), std::size_t { 1000 });
            QVERIFY(std::all_of(
                output16.begin(), output16.begin() + 2000, [](std::int16_t s) { return s == 0; }));
            feed->ReadAhead();
            const std::size_t frames = processor.Process(block);
            const std::size_t expected
                = std::min<std::size_t>(1000, 100000 - static_cast<std::size_t>(target));
            QCOMPARE(frames, expected);
            for (std::size_t i = 0; i < 2 * frames; ++i) {
                QCOMPARE(static_cast<std::int32_t>(output16[i]),
                    stored[2 * static_cast<std::size_t>(target) + i]);
            }
        }
        QCOMPARE(processor.Report().gapFrames.load(), 3000);
        // Past the end: the sound ends there.
        processor.OnCommand({ kListenSeek, 0.0, 200000, true });
        feed->ReadAhead();
        QCOMPARE(processor.Process(block), std::size_t { 0 });
    }

    // The reader's own thread keeps up with a stream that takes the file in real time and
    // faster, across jumps.
    void readerThreadKeepsUp()
    {
        const QString in = writeFile(m_dir.filePath("thread.wav"), SF_FORMAT_PCM_16, 200000);
        const std::vector<std::int32_t> stored = storedSamples(in);
        auto feed = feedOf(in);
        QVERIFY(feed->Start());
        QTest::qWait(50);
        std::vector<double> out(2 * 1024);
        std::size_t frame = 0;
        std::size_t gaps = 0;
        while (frame < 200000) {
            if (frame == 51200) {
                QVERIFY(feed->Seek(150000));
                frame = 150000;
            }
            const SourceRead read = feed->Read(out.data(), 1024);
            for (std::size_t i = 0; i < 2 * read.frames; ++i) {
                QCOMPARE(
                    static_cast<std::int32_t>(std::lround(out[i] * 32768)), stored[2 * frame + i]);
            }
            frame += read.frames;
            gaps += read.frames == 0 ? 1 : 0;
            if (read.end) {
                break;
            }
            QThread::usleep(read.frames == 0 ? 2000 : 200);
        }
        QCOMPARE(frame, std::size_t { 200000 });
        QVERIFY2(gaps <= 3, qPrintable(QString::number(gaps)));
        QVERIFY(!feed->Failure());
    }

    void theWindowsSineAndAContinuousSweep()
    {
        // The sine: the window's input, block by block.
        CTestSignal sine(ListenSignal::Sine, 440.0, 1, 44100);
        CVornSimulation simulation;
        simulation.m_dFreq = 440.0;
        InputBlock window {};
        double phase = 0.0;
        std::vector<double> read(700);
        std::size_t used = kBlockSamples;
        for (int period = 0; period < 20; ++period) {
            QCOMPARE(sine.Read(read.data(), read.size()).frames, read.size());
            for (const double x : read) {
                if (used == kBlockSamples) {
                    simulation.FillInput(window, phase, 44100);
                    used = 0;
                }
                QCOMPARE(x * 32768, window[used++]);
            }
        }
        // The sweep comes back to 20 Hz after 10 s without a jump larger than its own steps.
        CTestSignal sweep(ListenSignal::Sweep, 0, 1, 8000);
        std::vector<double> samples(81000);
        sweep.Read(samples.data(), samples.size());
        double largest = 0.0;
        for (std::size_t n = 1; n < 79990; ++n) {
            largest = std::max(largest, std::fabs(samples[n] - samples[n - 1]));
        }
        for (std::size_t n = 79990; n < 80010; ++n) {
            QVERIFY(std::fabs(samples[n] - samples[n - 1]) <= largest);
        }
        QVERIFY(std::fabs(samples[80005] - samples[80004]) < 0.01); // 20 Hz again
    }

    void aDesignTheRateCannotTakeIsSaid()
    {
        DesignPlan design;
        design.cornerHz = 30000;
        CListenProcessor processor({ design, 1.0, std::nullopt, false }, nullptr);
        processor.Prepare({ kRate, 1, LiveSampleFormat::Float32 });
        QVERIFY(processor.Report().bFailed.load());
        QVERIFY2(std::strstr(processor.Report().failure, "--corner") != nullptr,
            processor.Report().failure);
        // It plays silence meanwhile.
        std::vector<double> input(100, 0.5);
        std::vector<double> output(100, 1.0);
        LiveBlock block { input.data(), output.data(), nullptr, 100, 1, false };
        QCOMPARE(processor.Process(block), std::size_t { 100 });
        QVERIFY(std::all_of(output.begin(), output.end(), [](double y) { return y == 0.0; }));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestListenProcessor)
#include "tst_listenprocessor.moc"
