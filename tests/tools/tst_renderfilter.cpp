// vorn-render filter as a listener uses it, on real files and pipes: the output against a
// separate implementation of the chain, clipping, A/B listening, the noise inputs and the
// refusals of bad input.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <sndfile.h>
#include <vector>

#include "renderprocess.h"

namespace {

// Audio as the tests write and read it: interleaved samples, full scale 1.
struct Audio
{
    int rate = 48000;
    int channels = 1;
    int bits = 16; // 16 or 24 (PCM), 32 (float)
    std::vector<double> samples;
    QByteArray title; // INAM of a LIST INFO chunk
};

QByteArray chunk(const char* id, const QByteArray& body)
{
    QByteArray bytes = QByteArray(id) + QByteArray(4, 0) + body;
    qToLittleEndian<quint32>(body.size(), bytes.data() + 4);
    return body.size() % 2 == 1 ? bytes + '\0' : bytes;
}

// A WAV file written by hand: PCM rounded to 16 or 24 bits, or 32-bit float.
QByteArray wavBytes(const Audio& audio)
{
    QByteArray data;
    for (const double x : audio.samples) {
        char sample[4];
        if (audio.bits == 32) {
            qToLittleEndian(static_cast<float>(x), sample);
        } else {
            qToLittleEndian(
                static_cast<qint32>(std::lround(std::ldexp(x, audio.bits - 1))), sample);
        }
        data.append(sample, audio.bits / 8);
    }
    const int align = audio.channels * audio.bits / 8;
    QByteArray fmt(16, 0);
    qToLittleEndian<quint16>(audio.bits == 32 ? 3 : 1, fmt.data());
    qToLittleEndian<quint16>(audio.channels, fmt.data() + 2);
    qToLittleEndian<quint32>(audio.rate, fmt.data() + 4);
    qToLittleEndian<quint32>(audio.rate * align, fmt.data() + 8);
    qToLittleEndian<quint16>(align, fmt.data() + 12);
    qToLittleEndian<quint16>(audio.bits, fmt.data() + 14);
    const QByteArray info = audio.title.isEmpty()
        ? QByteArray()
        : chunk("LIST", "INFO" + chunk("INAM", audio.title + '\0'));
    return chunk("RIFF", "WAVE" + chunk("fmt ", fmt) + info + chunk("data", data));
}

// Reads a WAV file by its chunks.
Audio parseWav(const QByteArray& bytes)
{
    Audio audio;
    for (int at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const int size = static_cast<int>(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
        const char* body = bytes.constData() + at + 8;
        if (id == "fmt ") {
            audio.channels = qFromLittleEndian<quint16>(body + 2);
            audio.rate = static_cast<int>(qFromLittleEndian<quint32>(body + 4));
            audio.bits = qFromLittleEndian<quint16>(body + 14);
        } else if (id == "LIST") {
            const int name = bytes.indexOf("INAM", at);
            audio.title = QByteArray(bytes.constData() + name + 8);
        } else if (id == "data") {
            const int width = audio.bits / 8;
            for (int n = 0; n + width <= size; n += width) {
                if (audio.bits == 32) {
                    audio.samples.push_back(qFromLittleEndian<float>(body + n));
                } else {
                    char word[4] = {};
                    std::memcpy(word + 4 - width, body + n, static_cast<std::size_t>(width));
                    audio.samples.push_back(qFromLittleEndian<qint32>(word) / 2147483648.0);
                }
            }
        }
        at += 8 + size + size % 2;
    }
    return audio;
}

// A Sun/NeXT AU stream (16-bit, big-endian), as vorn-render writes to a pipe.
std::vector<double> parseAu(const QByteArray& bytes)
{
    std::vector<double> samples;
    const auto offset = static_cast<int>(qFromBigEndian<quint32>(bytes.constData() + 4));
    for (int n = offset; n + 2 <= bytes.size(); n += 2) {
        samples.push_back(qFromBigEndian<qint16>(bytes.constData() + n) / 32768.0);
    }
    return samples;
}

// A separate implementation of the chain: each section's zero-order-hold step from the power
// series of the matrix exponential of its state equations, dx1 = -k x1 + x2, dx2 = -x1 + v (time
// in units of 1/w0), then the 1 Hz high-pass with its freshly updated state. Sample units.
class ReferenceChain
{
public:
    explicit ReferenceChain(double rate)
    {
        const double wT = 2 * M_PI * 1000 / rate;
        for (std::size_t i = 0; i < 3; ++i) {
            const double k = std::array { 0.51764, 1.41421, 1.93185 }[i];
            // Phi = sum (A wT)^n / n!, Gamma = sum A^n wT^(n+1) / (n+1)! B, with B = (0, 1).
            std::array<double, 4> term { 1, 0, 0, 1 }; // (A wT)^n / n!, row major
            std::array<double, 4> phi {};
            std::array<double, 2> gamma {};
            for (int n = 0; n < 40; ++n) {
                for (int j = 0; j < 4; ++j) {
                    phi[j] += term[j];
                }
                gamma[0] += term[1] * wT / (n + 1);
                gamma[1] += term[3] * wT / (n + 1);
                const std::array<double, 4> a { -k * wT, wT, -wT, 0 };
                term = { (term[0] * a[0] + term[1] * a[2]) / (n + 1),
                    (term[0] * a[1] + term[1] * a[3]) / (n + 1),
                    (term[2] * a[0] + term[3] * a[2]) / (n + 1),
                    (term[2] * a[1] + term[3] * a[3]) / (n + 1) };
            }
            m_phi[i] = phi;
            m_gamma[i] = gamma;
        }
        m_rho = std::exp(-wT / 1000);
    }

    double step(double v)
    {
        for (std::size_t i = 0; i < 3; ++i) {
            auto& [x1, x2] = m_x[i];
            const double x1New = m_phi[i][0] * x1 + m_phi[i][1] * x2 + m_gamma[i][0] * v;
            x2 = m_phi[i][2] * x1 + m_phi[i][3] * x2 + m_gamma[i][1] * v;
            x1 = x1New;
            v = x1;
        }
        m_lp = m_rho * m_lp + (1 - m_rho) * v;
        return m_rho * (v - m_lp);
    }

private:
    std::array<std::array<double, 4>, 3> m_phi {};
    std::array<std::array<double, 2>, 3> m_gamma {};
    std::array<std::array<double, 2>, 3> m_x {};
    double m_lp = 0;
    double m_rho = 0;
};

// The chain's output for interleaved input (full scale 1), each channel on its own.
std::vector<double> reference(const Audio& in, double gain = 1.0)
{
    std::vector<ReferenceChain> chains(
        static_cast<std::size_t>(in.channels), ReferenceChain(in.rate));
    std::vector<double> out(in.samples.size());
    for (std::size_t n = 0; n < in.samples.size(); ++n) {
        // As the file holds it: the input quantised as written.
        const double x = in.bits == 32
            ? static_cast<float>(in.samples[n])
            : std::round(std::ldexp(in.samples[n], in.bits - 1)) / std::ldexp(1.0, in.bits - 1);
        out[n] = chains[n % chains.size()].step(x * gain * 32768) / 32768;
    }
    return out;
}

// Two channels that differ: a 300 Hz and a 2.5 kHz tone on the left, noise from a fixed
// recurrence on the right, both at about half of full scale.
Audio testSignal(int rate, int channels, int bits, int frames)
{
    Audio audio { rate, channels, bits, {}, {} };
    quint32 lcg = 12345;
    for (int n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        audio.samples.push_back(
            0.3 * std::sin(2 * M_PI * 300 * t) + 0.2 * std::sin(2 * M_PI * 2500 * t + 0.3));
        for (int c = 1; c < channels; ++c) {
            lcg = lcg * 1664525u + 1013904223u;
            audio.samples.push_back(
                (static_cast<double>(lcg) / 4294967296.0 - 0.5) * (0.9 + 0.1 * c));
        }
    }
    return audio;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The largest difference, in units of `step`, between two signals of the same length.
double largestDifference(const std::vector<double>& a, const std::vector<double>& b, double step)
{
    if (a.size() != b.size()) {
        return INFINITY;
    }
    double largest = 0;
    for (std::size_t n = 0; n < a.size(); ++n) {
        largest = std::max(largest, std::fabs(a[n] - b[n]) / step);
    }
    return largest;
}

long long summaryCount(const QByteArray& err, const char* what)
{
    const auto match = QRegularExpression(QStringLiteral("(\\d+) samples %1").arg(what))
                           .match(QString::fromUtf8(err));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

class TestRenderFilter : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheReference_data();
    void matchesTheReference();
    void pipes();
    void clipping_data();
    void clipping();
    void abListening();
    void noiseInputs();
    void badInput_data();
    void badInput();
    void interruptedLeavesNothing();
};

void TestRenderFilter::matchesTheReference_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<double>("tolerance"); // in units of the output's last place; 0: relative
    QTest::newRow("48 kHz stereo, 16-bit") << 48000 << 2 << 16 << 1.0;
    QTest::newRow("48 kHz stereo, 24-bit") << 48000 << 2 << 24 << 1.0;
    QTest::newRow("48 kHz stereo, float") << 48000 << 2 << 32 << 0.0;
    QTest::newRow("22050 Hz, three channels, 16-bit") << 22050 << 3 << 16 << 1.0;
    QTest::newRow("96 kHz mono, 24-bit") << 96000 << 1 << 24 << 1.0;
}

void TestRenderFilter::matchesTheReference()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(double, tolerance);
    QTemporaryDir dir;
    Audio in = testSignal(rate, channels, bits, rate / 2 + 777);
    in.title = "A title";
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(in)));

    const RenderRun run = render({ "filter", dir.filePath("in.wav"), dir.filePath("out.wav") });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(QStringLiteral("%1 frames").arg(rate / 2 + 777).toUtf8()), run.err);
    const Audio out = parseWav(readFile(dir.filePath("out.wav")));
    QCOMPARE(out.rate, rate);
    QCOMPARE(out.channels, channels);
    QCOMPARE(out.bits, bits);
    QCOMPARE(out.title, QByteArray("A title"));
    const std::vector<double> expected = reference(in);
    if (tolerance > 0) {
        QVERIFY(largestDifference(out.samples, expected, std::ldexp(1.0, 1 - bits)) <= tolerance);
    } else {
        QCOMPARE(out.samples.size(), expected.size());
        for (std::size_t n = 0; n < expected.size(); ++n) {
            QVERIFY(
                std::fabs(out.samples[n] - expected[n]) <= 1e-6 * std::fabs(expected[n]) + 1e-12);
        }
    }
}

void TestRenderFilter::pipes()
{
    QTemporaryDir dir;
    const QByteArray wav = wavBytes(testSignal(44100, 2, 16, 30000));
    QVERIFY(writeFile(dir.filePath("in.wav"), wav));
    QCOMPARE(
        render({ "filter", dir.filePath("in.wav"), dir.filePath("out.wav"), "--quiet" }).exitCode,
        0);
    const std::vector<double> fromFile = parseWav(readFile(dir.filePath("out.wav"))).samples;

    // Standard input to standard output (AU, which streams): the same samples.
    const RenderRun piped = render({ "filter", "-", "-" }, {}, wav);
    QCOMPARE(piped.exitCode, 0);
    QVERIFY(piped.out.startsWith(".snd"));
    QCOMPARE(parseAu(piped.out), fromFile);
    QVERIFY(piped.err.contains("filtered standard input into standard output: 30000 frames"));

    // WAV cannot go into a pipe, FLAC cannot come out of one: refused, with what can.
    QCOMPARE(
        render({ "wav", "--output", dir.filePath("in.flac"), "--seconds", "0.1" }).exitCode, 0);
    const QList<RenderRun> refused { render({ "filter", "-", "-", "--format", "wav" }, {}, wav),
        render({ "filter", "-", dir.filePath("x.wav") }, {}, readFile(dir.filePath("in.flac"))) };
    for (const RenderRun& run : refused) {
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains("pipe") && (run.err.contains("au") || run.err.contains("AU")),
            run.err);
    }
    QVERIFY(!QFile::exists(dir.filePath("x.wav")));
}

void TestRenderFilter::clipping_data()
{
    QTest::addColumn<QString>("gain");
    QTest::addColumn<bool>("clips");
    QTest::newRow("full scale") << QString("0") << true;
    QTest::newRow("6 dB of headroom") << QString("-6") << false;
}

void TestRenderFilter::clipping()
{
    QFETCH(QString, gain);
    QFETCH(bool, clips);
    QTemporaryDir dir;
    // A full-scale 240 Hz square wave: each edge overshoots by about a quarter of full scale.
    Audio in;
    for (int n = 0; n < 24000; ++n) {
        in.samples.push_back((n / 100) % 2 == 0 ? 32767 / 32768.0 : -1.0);
    }
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(in)));
    const RenderRun run
        = render({ "filter", dir.filePath("in.wav"), dir.filePath("out.wav"), "--gain", gain });
    QCOMPARE(run.exitCode, 0);
    const Audio out = parseWav(readFile(dir.filePath("out.wav")));

    // Every sample is the reference rounded and held within full scale: none wraps around.
    const std::vector<double> expected = reference(in, std::pow(10.0, gain.toDouble() / 20));
    std::vector<double> clipped;
    long long overs = 0;
    for (const double y : expected) {
        const double q = std::round(y * 32768);
        overs += q > 32767 || q < -32768 ? 1 : 0;
        clipped.push_back(std::clamp(q, -32768.0, 32767.0) / 32768);
    }
    QCOMPARE(overs > 0, clips);
    QVERIFY(largestDifference(out.samples, clipped, 1 / 32768.0) <= 1);
    QVERIFY2(std::abs(summaryCount(run.err, "clipped") - overs) <= 2, run.err);
    // The peak before clipping, in dBFS.
    const double peak = std::fabs(*std::max_element(expected.begin(), expected.end(),
        [](double a, double b) { return std::fabs(a) < std::fabs(b); }));
    QVERIFY2(run.err.contains(QStringLiteral("out %1%2 dBFS")
                                  .arg(peak >= 1 ? "+" : "")
                                  .arg(20 * std::log10(peak), 0, 'f', 2)
                                  .toUtf8()),
        run.err);
}

void TestRenderFilter::abListening()
{
    QTemporaryDir dir;
    // 200 Hz passes, 5 kHz does not: the switches are plain to hear, and to see in the steps.
    Audio in { 48000, 1, 32, {}, {} };
    for (int n = 0; n < 48000; ++n) {
        in.samples.push_back(0.4 * std::sin(2 * M_PI * 200 * n / 48000.0)
            + 0.4 * std::sin(2 * M_PI * 5000 * n / 48000.0));
    }
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(in)));
    QCOMPARE(render({ "filter", dir.filePath("in.wav"), dir.filePath("wet.wav") }).exitCode, 0);
    QCOMPARE(render({ "filter", dir.filePath("in.wav"), dir.filePath("ab.wav"), "--ab", "0.25" })
                 .exitCode,
        0);
    const std::vector<double> wet = parseWav(readFile(dir.filePath("wet.wav"))).samples;
    const std::vector<double> ab = parseWav(readFile(dir.filePath("ab.wav"))).samples;
    QCOMPARE(ab.size(), in.samples.size());

    const int part = 12000;
    const int fade = 480; // 10 ms
    double ownStep = 0; // the largest step of the dry and the filtered signal
    for (std::size_t n = 1; n < ab.size(); ++n) {
        ownStep = std::max({ ownStep, std::fabs(wet[n] - wet[n - 1]),
            std::fabs(in.samples[n] - in.samples[n - 1]) });
    }
    for (std::size_t n = 0; n < ab.size(); ++n) {
        const auto k = static_cast<int>(n) / part;
        const bool inFade = k > 0 && static_cast<int>(n) % part < fade;
        if (!inFade) {
            // First dry, then filtered, alternately: the filtered parts as if never switched off.
            const double expected = k % 2 == 0 ? static_cast<float>(in.samples[n]) : wet[n];
            QVERIFY2(std::fabs(ab[n] - expected) <= 1e-6, qPrintable(QString::number(n)));
        } else {
            QVERIFY2(
                std::fabs(ab[n] - ab[n - 1]) <= ownStep * 1.01, qPrintable(QString::number(n)));
        }
    }
}

void TestRenderFilter::noiseInputs()
{
    QTemporaryDir dir;
    const auto noise = [&](const QString& name, const QStringList& options) {
        const QString path = dir.filePath(name);
        const RenderRun run
            = render(QStringList { "wav", "--output", path, "--seconds", "0.5" } + options);
        return run.exitCode == 0 ? readFile(path) : QByteArray();
    };
    // The same seed gives the same bytes, another seed others.
    const QByteArray white = noise("a.wav", { "--input", "noise", "--seed", "7" });
    QVERIFY(!white.isEmpty());
    QCOMPARE(noise("b.wav", { "--input", "noise", "--seed", "7" }), white);
    QVERIFY(noise("c.wav", { "--input", "noise", "--seed", "8" }) != white);
    QVERIFY(noise("d.wav", { "--input", "pink", "--seed", "7" }) != white);
    // The same bytes through a pipe on standard output.
    QCOMPARE(
        render({ "wav", "--output", "-", "--seconds", "0.5", "--input", "noise", "--seed", "7" })
            .out,
        white);

    // At another rate, in FLAC: the file's rate, and the samples that samples prints.
    const QString flac = dir.filePath("e.flac");
    QCOMPARE(render({ "wav", "--output", flac, "--rate", "48000", "--input", "pink", "--seconds",
                        "0.1" })
                 .exitCode,
        0);
    SF_INFO info {};
    SNDFILE* file = sf_open(flac.toUtf8().constData(), SFM_READ, &info);
    QVERIFY(file != nullptr);
    std::vector<short> samples(static_cast<std::size_t>(info.frames));
    QCOMPARE(sf_readf_short(file, samples.data(), info.frames), info.frames);
    sf_close(file);
    QCOMPARE(info.samplerate, 48000);
    QCOMPARE(info.frames, 3 * 2000);
    const RenderRun printed
        = render({ "samples", "--rate", "48000", "--input", "pink", "--blocks", "3" });
    QByteArray lines;
    for (const short s : samples) {
        lines += QByteArray::number(s) + '\n';
    }
    QCOMPARE(printed.out, lines);

    // The impulse response: the chain's at that rate, truncated as the window's samples are.
    ReferenceChain chain(48000);
    const QList<QByteArray> impulse
        = render({ "samples", "--rate", "48000", "--input", "impulse" }).out.split('\n');
    for (int n = 0; n < 2000; ++n) {
        const double y = chain.step(n == 0 ? 10000 : 0);
        QVERIFY(std::fabs(impulse[n].toInt() - std::trunc(y)) <= 1);
    }
}

void TestRenderFilter::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("mentions");
    QTest::newRow("missing") << QStringList { "filter", "none.wav", "out.wav" }
                             << QByteArray("none.wav");
    QTest::newRow("a folder") << QStringList { "filter", "sub", "out.wav" } << QByteArray("folder");
    QTest::newRow("truncated") << QStringList { "filter", "cut.wav", "out.wav" }
                               << QByteArray("cut short");
    QTest::newRow("not audio") << QStringList { "filter", "text.wav", "out.wav" }
                               << QByteArray("text.wav");
    QTest::newRow("unknown extension")
        << QStringList { "filter", "in.wav", "out.xyz" } << QByteArray("xyz");
    QTest::newRow("rate too low") << QStringList { "filter", "low.wav", "out.wav" }
                                  << QByteArray("4000 Hz");
    QTest::newRow("OUT not writable") << QStringList { "filter", "in.wav",
        "/nonexistent-dir/out.wav" } << QByteArray("/nonexistent-dir");
    QTest::newRow("IN = OUT") << QStringList { "filter", "in.wav", "in.wav" }
                              << QByteArray("same file");
    QTest::newRow("IN = OUT by another name")
        << QStringList { "filter", "in.wav", "./sub/../in.wav" } << QByteArray("same file");
    QTest::newRow("no OUT") << QStringList { "filter", "in.wav" } << QByteArray("OUT");
    QTest::newRow("subtype the container lacks") << QStringList { "filter", "in.wav", "out.flac",
        "--subtype", "float" } << QByteArray("FLAC");
    QTest::newRow("A/B too short")
        << QStringList { "filter", "in.wav", "out.wav", "--ab", "0.01" } << QByteArray("--ab");
    QTest::newRow("wav, unknown extension")
        << QStringList { "wav", "--output", "out.xyz" } << QByteArray("xyz");
    QTest::newRow("wav, rate too low")
        << QStringList { "wav", "--output", "out.wav", "--rate", "7999" } << QByteArray("--rate");
    QTest::newRow("samples, seed for a sine")
        << QStringList { "samples", "--seed", "3" } << QByteArray("--seed");
}

void TestRenderFilter::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QByteArray wav = wavBytes(testSignal(44100, 1, 16, 1000));
    QVERIFY(writeFile(dir.filePath("in.wav"), wav));
    QVERIFY(writeFile(dir.filePath("cut.wav"), wav.left(wav.size() - 100)));
    QVERIFY(writeFile(dir.filePath("text.wav"), QByteArray("not audio at all\n").repeated(20)));
    QVERIFY(writeFile(dir.filePath("low.wav"), wavBytes(testSignal(4000, 1, 16, 1000))));
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const RenderRun run = render(arguments, dir.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(mentions), run.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(readFile(dir.filePath("in.wav")), wav);
}

void TestRenderFilter::interruptedLeavesNothing()
{
    // A run waiting on its input has its output under way; interrupted, it leaves nothing.
    QTemporaryDir dir;
    const QByteArray wav = wavBytes(testSignal(44100, 2, 16, 100000));
    for (const int signal : { SIGINT, SIGTERM }) {
        QProcess process;
        process.start(QStringLiteral(VORN_RENDER_PATH), { "filter", "-", dir.filePath("out.wav") });
        process.write(wav.left(wav.size() / 2));
        QTRY_COMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
        ::kill(static_cast<pid_t>(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {});
    }
}

QTEST_GUILESS_MAIN(TestRenderFilter)
#include "tst_renderfilter.moc"
