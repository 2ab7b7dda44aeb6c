// vorn-render's sweep input as a listener meets it: the WAV file's tone follows the exponential
// law, is 3 dB down at the corner, and samples prints the very same samples.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <vector>

#include "renderprocess.h"

namespace {

constexpr double kRate = 44100;

std::vector<qint16> readWavSamples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44 || bytes.mid(36, 4) != "data") {
        return {};
    }
    const auto dataBytes = qFromLittleEndian<quint32>(bytes.constData() + 40);
    if (dataBytes + 44 != static_cast<quint32>(bytes.size())) {
        return {};
    }
    std::vector<qint16> samples(dataBytes / 2);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        samples[n] = qFromLittleEndian<qint16>(bytes.constData() + 44 + 2 * n);
    }
    return samples;
}

std::vector<qint16> parseLines(const QByteArray& text)
{
    std::vector<qint16> samples;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty()) {
            samples.push_back(static_cast<qint16>(line.toInt()));
        }
    }
    return samples;
}

// Upward zero crossings are not enough at the low end; every sign change counts, at the time
// (in samples) where the straight line between the two samples crosses zero.
std::vector<double> zeroCrossings(const std::vector<qint16>& samples)
{
    std::vector<double> crossings;
    for (std::size_t n = 1; n < samples.size(); ++n) {
        const double a = samples[n - 1];
        const double b = samples[n];
        if ((a < 0 && b >= 0) || (a > 0 && b <= 0)) {
            crossings.push_back(static_cast<double>(n - 1) + a / (a - b));
        }
    }
    return crossings;
}

// The law the sweep follows: from `from` at sample 0 to `to` at the last of `count` samples.
double lawHz(double from, double to, double count, double n)
{
    return from * std::pow(to / from, n / (count - 1));
}

// The sample at which the law reaches hz.
double lawSample(double from, double to, double count, double hz)
{
    return std::log(hz / from) / std::log(to / from) * (count - 1);
}

// RMS over the whole half periods that lie within [first, last].
double rmsBetweenCrossings(const std::vector<qint16>& samples, const std::vector<double>& crossings,
    double first, double last)
{
    const auto begin = std::lower_bound(crossings.begin(), crossings.end(), first);
    const auto end = std::upper_bound(crossings.begin(), crossings.end(), last);
    if (end - begin < 3) {
        return qQNaN();
    }
    const auto from = static_cast<std::size_t>(std::ceil(*begin));
    const auto to = static_cast<std::size_t>(std::floor(*(end - 1)));
    double sum = 0;
    for (std::size_t n = from; n <= to; ++n) {
        sum += double(samples[n]) * samples[n];
    }
    return std::sqrt(sum / static_cast<double>(to - from + 1));
}

struct Sweep
{
    std::vector<qint16> samples;
    std::vector<double> crossings;
};

} // namespace

class TestRenderSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wavAndSamplesAgree_data();
    void wavAndSamplesAgree();
    void followsTheExponentialLaw_data();
    void followsTheExponentialLaw();
    void threeDecibelsDownAtTheCorner();
    void badInput_data();
    void badInput();

private:
    QTemporaryDir m_dir;
    // The default sweep, 20 Hz to 20 kHz, over ten seconds.
    Sweep m_tenSeconds;
};

void TestRenderSweep::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("ten.wav"));
    const RenderRun run
        = render({ "wav", "--input", "sweep", "--seconds", "10", "--output", path });
    QCOMPARE(run.exitCode, 0);
    m_tenSeconds.samples = readWavSamples(path);
    // 10 s are 220.5 blocks: 221 whole blocks.
    QCOMPARE(m_tenSeconds.samples.size(), std::size_t { 221 * 2000 });
    m_tenSeconds.crossings = zeroCrossings(m_tenSeconds.samples);
}

void TestRenderSweep::wavAndSamplesAgree_data()
{
    QTest::addColumn<QStringList>("sweep");
    QTest::addColumn<int>("blocks");
    QTest::newRow("defaults: 5 s") << QStringList {} << 111;
    QTest::newRow("100 Hz to 5 kHz, 1 s")
        << QStringList { "--from", "100", "--to", "5000", "--seconds", "1" } << 23;
    QTest::newRow("falling, 8 kHz to 50 Hz, 0.5 s")
        << QStringList { "--from=8000", "--to=50", "--seconds=0.5" } << 12;
    QTest::newRow("a steady 440 Hz, one block")
        << QStringList { "--from", "440", "--to", "440", "--seconds", "0.01" } << 1;
}

// The samples that samples prints are the WAV's, in whole blocks covering the duration; a part
// chosen with --skip and --blocks is the same part of them.
void TestRenderSweep::wavAndSamplesAgree()
{
    QFETCH(QStringList, sweep);
    QFETCH(int, blocks);
    const QString path = m_dir.filePath(QStringLiteral("agree.wav"));
    const QStringList input { "--input", "sweep" };
    QCOMPARE(render(QStringList { "wav", "--output", path } + input + sweep).exitCode, 0);
    const std::vector<qint16> wav = readWavSamples(path);
    QCOMPARE(wav.size(), static_cast<std::size_t>(blocks) * 2000);

    const RenderRun all = render(QStringList { "samples" } + input + sweep);
    QCOMPARE(all.exitCode, 0);
    QVERIFY(parseLines(all.out) == wav);
    // Not silence: the sweep is there.
    QVERIFY(*std::max_element(wav.begin(), wav.end()) > 5000);

    const int skip = blocks / 2;
    const RenderRun part = render(QStringList { "samples" } + input + sweep
        + QStringList { "--skip", QString::number(skip), "--blocks", "1" });
    QCOMPARE(part.exitCode, 0);
    QVERIFY(parseLines(part.out)
        == std::vector<qint16>(wav.begin() + skip * 2000, wav.begin() + (skip + 1) * 2000));
}

void TestRenderSweep::followsTheExponentialLaw_data()
{
    QTest::addColumn<double>("hz");
    QTest::newRow("25 Hz") << 25.0;
    QTest::newRow("100 Hz") << 100.0;
    QTest::newRow("300 Hz") << 300.0;
    QTest::newRow("1 kHz") << 1000.0;
    QTest::newRow("1.5 kHz") << 1500.0;
}

// Each period between a zero crossing and the next but one gives the frequency at its middle
// (whole periods, since a slowly decaying offset from the start through the 1 Hz high-pass
// lengthens one half period as much as it shortens the other): that of the law, 20 Hz at the
// first sample to 20 kHz at the last, 0.8 ms earlier (the chain's group delay there lies between
// 0.6 and 1 ms; 0.2 ms moves the frequency by 0.015%).
void TestRenderSweep::followsTheExponentialLaw()
{
    QFETCH(double, hz);
    const std::vector<double>& crossings = m_tenSeconds.crossings;
    const double count = static_cast<double>(m_tenSeconds.samples.size());
    const double centre = lawSample(20, 20000, count, hz);
    const double delay = 0.0008 * kRate;
    int measured = 0;
    for (std::size_t i = 2; i < crossings.size(); ++i) {
        const double middle = (crossings[i] + crossings[i - 2]) / 2;
        if (std::fabs(middle - centre) > 0.02 * kRate) {
            continue;
        }
        const double actual = kRate / (crossings[i] - crossings[i - 2]);
        const double expected = lawHz(20, 20000, count, middle - delay);
        QVERIFY2(std::fabs(actual / expected - 1) < 1e-3,
            qPrintable(QStringLiteral("%1 Hz at sample %2 instead of %3 Hz")
                           .arg(actual)
                           .arg(middle)
                           .arg(expected)));
        ++measured;
    }
    // Every crossing of the 40 ms around the centre.
    QVERIFY(measured >= static_cast<int>(0.04 * hz * 2) - 2);
}

// The level where the sweep passes 1 kHz is that of the corner: 3 dB below the level at 100 Hz.
// RMS over whole half periods, +-10 ms around 1 kHz and +-50 ms around 100 Hz.
void TestRenderSweep::threeDecibelsDownAtTheCorner()
{
    const double count = static_cast<double>(m_tenSeconds.samples.size());
    const double at1k = lawSample(20, 20000, count, 1000);
    const double at100 = lawSample(20, 20000, count, 100);
    const double rms1k = rmsBetweenCrossings(
        m_tenSeconds.samples, m_tenSeconds.crossings, at1k - 0.01 * kRate, at1k + 0.01 * kRate);
    const double rms100 = rmsBetweenCrossings(
        m_tenSeconds.samples, m_tenSeconds.crossings, at100 - 0.05 * kRate, at100 + 0.05 * kRate);
    // The input's RMS is 10000 / sqrt(2); 100 Hz passes unchanged.
    QVERIFY2(std::fabs(rms100 - 10000 / std::sqrt(2.0)) < 10, qPrintable(QString::number(rms100)));
    const double db = 20 * std::log10(rms1k / rms100);
    QVERIFY2(std::fabs(db - (-3.0103)) < 0.1, qPrintable(QString::number(db)));
}

void TestRenderSweep::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("mentions");
    const QStringList wav { "wav", "--output", "OUT.wav" };
    const QStringList wavSweep = wav + QStringList { "--input", "sweep" };
    const QStringList samplesSweep { "samples", "--input", "sweep" };
    QTest::newRow("wav, sweep with --freq")
        << wavSweep + QStringList { "--freq", "100" } << QByteArray("--freq");
    QTest::newRow("wav, --from 0")
        << wavSweep + QStringList { "--from", "0" } << QByteArray("--from");
    QTest::newRow("wav, --to at half the rate")
        << wavSweep + QStringList { "--to", "22050" } << QByteArray("--to");
    QTest::newRow("wav, negative --from")
        << wavSweep + QStringList { "--from", "-20" } << QByteArray("--from");
    QTest::newRow("wav, --to nan")
        << wavSweep + QStringList { "--to", "nan" } << QByteArray("--to");
    QTest::newRow("wav, --to with junk")
        << wavSweep + QStringList { "--to", "1k" } << QByteArray("--to");
    QTest::newRow("wav, --from with a sine")
        << wav + QStringList { "--from", "100" } << QByteArray("--from");
    QTest::newRow("wav, sweep, zero seconds")
        << wavSweep + QStringList { "--seconds", "0" } << QByteArray("--seconds");
    QTest::newRow("samples, --seconds with a step") << QStringList { "samples", "--input", "step",
        "--seconds", "1" } << QByteArray("--seconds");
    QTest::newRow("samples, --to with a sine")
        << QStringList { "samples", "--to", "1000" } << QByteArray("--to");
    QTest::newRow("samples, sweep after the analysis")
        << samplesSweep + QStringList { "--after-analysis" } << QByteArray("--after-analysis");
    QTest::newRow("samples, past the sweep's end")
        << samplesSweep + QStringList { "--seconds", "0.1", "--skip", "2", "--blocks", "2" }
        << QByteArray("--skip");
    QTest::newRow("samples, sweep with --freq")
        << samplesSweep + QStringList { "--freq", "1000" } << QByteArray("--freq");
    QTest::newRow("plot takes no sweep") << QStringList { "plot", "--mode", "time", "--input",
        "sweep", "--output", "OUT.png" } << QByteArray("sweep");
}

// One line on stderr, exit status 2, nothing on stdout and no file.
void TestRenderSweep::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out")));
    }
    const RenderRun run = render(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(mentions), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestRenderSweep)
#include "tst_rendersweep.moc"
