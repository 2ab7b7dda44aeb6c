// vorn-render filter as a listener uses it, on real files and pipes: the output against a
// separate implementation of the chain, clipping, A/B listening, the noise inputs and the
// refusals of bad input.
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#include <limits>
#include <map>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "renderprocess.h"

Q_DECLARE_METATYPE(std::vector<int>)

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

// A sound file as libsndfile reads it from memory: the independent reader of what the renderer
// wrote, through pipes too.
struct Sound
{
    bool opened = false;
    SF_INFO info {};
    std::vector<double> samples; // interleaved, full scale 1
    std::map<int, QByteArray> strings; // SF_STR_* and text
    std::vector<int> channelMap; // empty when the file names no speakers
};

struct MemoryFile
{
    QByteArray bytes;
    sf_count_t position = 0;
};

Sound readSound(const QByteArray& bytes)
{
    MemoryFile memory { bytes, 0 };
    SF_VIRTUAL_IO io {};
    io.get_filelen
        = [](void* data) -> sf_count_t { return static_cast<MemoryFile*>(data)->bytes.size(); };
    io.seek = [](sf_count_t offset, int whence, void* data) -> sf_count_t {
        auto* file = static_cast<MemoryFile*>(data);
        const sf_count_t base = whence == SEEK_SET ? 0
            : whence == SEEK_CUR                   ? file->position
                                                   : file->bytes.size();
        file->position = std::clamp<sf_count_t>(base + offset, 0, file->bytes.size());
        return file->position;
    };
    io.read = [](void* to, sf_count_t count, void* data) -> sf_count_t {
        auto* file = static_cast<MemoryFile*>(data);
        const sf_count_t n = std::min<sf_count_t>(count, file->bytes.size() - file->position);
        std::memcpy(to, file->bytes.constData() + file->position, static_cast<std::size_t>(n));
        file->position += n;
        return n;
    };
    io.tell = [](void* data) -> sf_count_t { return static_cast<MemoryFile*>(data)->position; };
    Sound sound;
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &sound.info, &memory);
    if (file == nullptr) {
        return sound;
    }
    sound.opened = true;
    for (int type = SF_STR_FIRST; type <= SF_STR_LAST; ++type) {
        if (const char* text = sf_get_string(file, type)) {
            sound.strings[type] = text;
        }
    }
    sound.channelMap.resize(static_cast<std::size_t>(sound.info.channels));
    if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, sound.channelMap.data(),
            static_cast<int>(sound.channelMap.size() * sizeof(int)))
        != SF_TRUE) {
        sound.channelMap.clear();
    }
    std::vector<double> block(4096 * static_cast<std::size_t>(sound.info.channels));
    while (const sf_count_t got = sf_readf_double(file, block.data(), 4096)) {
        sound.samples.insert(sound.samples.end(), block.begin(),
            block.begin() + static_cast<std::ptrdiff_t>(got * sound.info.channels));
    }
    sf_close(file);
    return sound;
}

// Writes a sound file with libsndfile itself: the signal, the strings and the channel map given.
bool writeSound(const QString& path, int format, const Audio& audio,
    const std::map<int, QByteArray>& strings = {}, std::vector<int> channelMap = {})
{
    SF_INFO info {};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    for (const auto& [type, text] : strings) {
        sf_set_string(file, type, text.constData());
    }
    if (!channelMap.empty()) {
        sf_command(file, SFC_SET_CHANNEL_MAP_INFO, channelMap.data(),
            static_cast<int>(channelMap.size() * sizeof(int)));
    }
    const auto frames = static_cast<sf_count_t>(audio.samples.size()) / audio.channels;
    const bool written = sf_writef_double(file, audio.samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

// A WAV file's fmt chunk, read by hand: the fields a reader decides by.
struct WavFormat
{
    quint16 tag = 0; // 1 PCM, 3 float, 0xFFFE extensible
    quint16 channels = 0;
    quint32 rate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
    quint32 mask = 0; // extensible only
    quint32 subformat = 0; // extensible only: the GUID's first field, 1 PCM or 3 float
    quint32 riffSize = 0;
    quint32 dataSize = 0;
    qsizetype dataOffset = -1;
};

WavFormat wavFormat(const QByteArray& bytes)
{
    WavFormat format;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF")) {
        return format;
    }
    format.riffSize = qFromLittleEndian<quint32>(bytes.constData() + 4);
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        const char* body = bytes.constData() + at + 8;
        if (id == "fmt " && at + 8 + 16 <= bytes.size()) {
            format.tag = qFromLittleEndian<quint16>(body);
            format.channels = qFromLittleEndian<quint16>(body + 2);
            format.rate = qFromLittleEndian<quint32>(body + 4);
            format.blockAlign = qFromLittleEndian<quint16>(body + 12);
            format.bits = qFromLittleEndian<quint16>(body + 14);
            if (format.tag == 0xFFFE && size >= 40) {
                format.mask = qFromLittleEndian<quint32>(body + 20);
                format.subformat = qFromLittleEndian<quint32>(body + 24);
            }
        } else if (id == "data") {
            format.dataSize = size;
            format.dataOffset = at + 8;
            break;
        }
        at += 8 + static_cast<qsizetype>(size) + size % 2;
    }
    return format;
}

long long summaryNumber(const QByteArray& err, const QString& pattern)
{
    const auto match = QRegularExpression(pattern).match(QString::fromUtf8(err));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// The speakers of 5.1 (with back or side surrounds) and of 7.1 as libsndfile names those of a
// WAVE_FORMAT_EXTENSIBLE mask.
const std::vector<int> kSurround51 { SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT,
    SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE, SF_CHANNEL_MAP_REAR_LEFT,
    SF_CHANNEL_MAP_REAR_RIGHT };
const std::vector<int> kSurround51Side { SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT,
    SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE, SF_CHANNEL_MAP_SIDE_LEFT,
    SF_CHANNEL_MAP_SIDE_RIGHT };
const std::vector<int> kSurround71 { SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT,
    SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE, SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT,
    SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT };

// Runs a bash command line with the arguments given as $0, $1 ...
RenderRun shell(const QString& script, const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("bash"), QStringList { QStringLiteral("-c"), script } + arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
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
    void stringsCarriedOver_data();
    void stringsCarriedOver();
    void nonFiniteInput_data();
    void nonFiniteInput();
    void hugeInputIntoFloats();
    void speakerLayout_data();
    void speakerLayout();
    void wavThroughAPipe_data();
    void wavThroughAPipe();
    void failedWrites_data();
    void failedWrites();
    void failedWriteEndsALiveStream();
    void lastWritesChecked_data();
    void lastWritesChecked();
    void closedPipeEndsQuietly();
    void namedPipeIsWrittenTo();
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

    // CAF cannot go into a pipe, FLAC cannot come out of one: refused, with what can.
    QCOMPARE(
        render({ "wav", "--output", dir.filePath("in.flac"), "--seconds", "0.1" }).exitCode, 0);
    const QList<RenderRun> refused { render({ "filter", "-", "-", "--format", "caf" }, {}, wav),
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
    // A LIST entry of 4 GiB less 9 bytes, which libsndfile would read for ever.
    QTest::newRow("runaway LIST entry")
        << QStringList { "filter", "runaway.wav", "out.wav" } << QByteArray("damaged");
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
    QByteArray runaway = wav;
    QByteArray entry = QByteArray("INFOICUS") + QByteArray(4, 0) + "ab";
    qToLittleEndian<quint32>(0xFFFFFFF7, entry.data() + 8);
    runaway.insert(runaway.indexOf("data"), chunk("LIST", entry));
    qToLittleEndian<quint32>(runaway.size() - 8, runaway.data() + 4);
    QVERIFY(writeFile(dir.filePath("runaway.wav"), runaway));
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

void TestRenderFilter::stringsCarriedOver_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("format"); // what libsndfile writes for the extension
    QTest::addColumn<bool>("holdsGenre");
    QTest::addColumn<bool>("throughPipe");
    QTest::newRow("WAV") << "wav" << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << true << false;
    QTest::newRow("WAV through a pipe")
        << "wav" << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << true << true;
    QTest::newRow("FLAC") << "flac" << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << true << false;
    QTest::newRow("FLAC through a pipe")
        << "flac" << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << true << true;
    QTest::newRow("Ogg Vorbis") << "ogg" << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << true << false;
    QTest::newRow("CAF") << "caf" << (SF_FORMAT_CAF | SF_FORMAT_PCM_16) << true << false;
    QTest::newRow("RF64") << "rf64" << (SF_FORMAT_RF64 | SF_FORMAT_PCM_16) << true << false;
    QTest::newRow("AIFF") << "aiff" << (SF_FORMAT_AIFF | SF_FORMAT_PCM_16) << false << false;
}

void TestRenderFilter::stringsCarriedOver()
{
    QFETCH(QString, extension);
    QFETCH(int, format);
    QFETCH(bool, holdsGenre);
    QFETCH(bool, throughPipe);
    QTemporaryDir dir;
    // Every string type libsndfile knows, in a FLAC file, which holds them all.
    std::map<int, QByteArray> all;
    for (const int type :
        { SF_STR_TITLE, SF_STR_COPYRIGHT, SF_STR_SOFTWARE, SF_STR_ARTIST, SF_STR_COMMENT,
            SF_STR_DATE, SF_STR_ALBUM, SF_STR_LICENSE, SF_STR_TRACKNUMBER, SF_STR_GENRE }) {
        all[type] = "string " + QByteArray::number(type);
    }
    QCOMPARE(all.rbegin()->first, int(SF_STR_LAST));
    const Audio signal = testSignal(48000, 2, 16, 4800);
    QVERIFY(writeSound(dir.filePath("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, signal, all));
    const std::map<int, QByteArray> in = readSound(readFile(dir.filePath("in.flac"))).strings;
    QCOMPARE(in.size(), all.size());

    // What the container holds: libsndfile's own round trip of those strings into it.
    QVERIFY(writeSound(dir.filePath("held." + extension), format, signal, in));
    const std::map<int, QByteArray> held
        = readSound(readFile(dir.filePath("held." + extension))).strings;
    QCOMPARE(held.count(SF_STR_GENRE) == 1, holdsGenre);
    QVERIFY(held.size() >= 5);

    QByteArray out;
    if (throughPipe) {
        const RenderRun run
            = render({ "filter", dir.filePath("in.flac"), "-", "--format", extension, "--quiet" });
        QCOMPARE(run.exitCode, 0);
        out = run.out;
    } else {
        QCOMPARE(render({ "filter", dir.filePath("in.flac"), dir.filePath("out." + extension),
                            "--quiet" })
                     .exitCode,
            0);
        out = readFile(dir.filePath("out." + extension));
    }
    const Sound written = readSound(out);
    QVERIFY(written.opened);
    QCOMPARE(written.strings, held);
}

void TestRenderFilter::nonFiniteInput_data()
{
    QTest::addColumn<double>("bad");
    QTest::addColumn<QString>("subtype");
    QTest::addColumn<bool>("fromPipe");
    QTest::newRow("NaN, float out") << double(NAN) << "float" << false;
    QTest::newRow("NaN, 16-bit out") << double(NAN) << "pcm16" << false;
    QTest::newRow("NaN, 24-bit out, from a pipe") << double(NAN) << "pcm24" << true;
    QTest::newRow("infinity, float out") << double(INFINITY) << "float" << false;
    QTest::newRow("minus infinity, 16-bit out") << -double(INFINITY) << "pcm16" << false;
}

void TestRenderFilter::nonFiniteInput()
{
    QFETCH(double, bad);
    QFETCH(QString, subtype);
    QFETCH(bool, fromPipe);
    QTemporaryDir dir;
    // A float WAV with one bad sample in each channel, one early and one late.
    Audio in = testSignal(48000, 2, 32, 24000);
    in.samples[2 * 1000] = bad;
    in.samples[2 * 20000 + 1] = bad;
    const QByteArray wav = wavBytes(in);
    QVERIFY(writeFile(dir.filePath("in.wav"), wav));
    const RenderRun run = fromPipe
        ? render({ "filter", "-", dir.filePath("out.wav"), "--subtype", subtype }, {}, wav)
        : render(
            { "filter", dir.filePath("in.wav"), dir.filePath("out.wav"), "--subtype", subtype });
    QCOMPARE(run.exitCode, 0);

    // The output is the chain's for the input with those samples taken as 0, to the last frame.
    Audio zeroed = in;
    zeroed.samples[2 * 1000] = 0.0;
    zeroed.samples[2 * 20000 + 1] = 0.0;
    const std::vector<double> expected = reference(zeroed);
    const Sound out = readSound(readFile(dir.filePath("out.wav")));
    QCOMPARE(out.samples.size(), expected.size());
    const int bits = subtype == "float" ? 24 : subtype.mid(3).toInt();
    QVERIFY(std::all_of(
        out.samples.begin(), out.samples.end(), [](double y) { return std::isfinite(y); }));
    QVERIFY(largestDifference(out.samples, expected, std::ldexp(1.0, 1 - bits)) <= 1);
    // Not silent after the bad samples.
    QVERIFY(std::fabs(out.samples[out.samples.size() - 2]) > 0.01);

    // One warning line and the count in the summary.
    const QList<QByteArray> lines = run.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("vorn-render filter: warning: 2 input samples")
            && lines[0].contains("not finite"),
        run.err);
    QCOMPARE(summaryNumber(lines[1], "(\\d+) input samples not finite"), 2);
}

void TestRenderFilter::hugeInputIntoFloats()
{
    // Doubles far past full scale, and past what a 32-bit float holds: kept in a float output up
    // to its largest value, never infinite; past 2^1000 sample units taken as 0, as unusable.
    QTemporaryDir dir;
    Audio in { 48000, 1, 64, std::vector<double>(4800, 1e40), {} };
    in.samples[100] = 1e300;
    QVERIFY(writeSound(dir.filePath("in.wav"), SF_FORMAT_WAV | SF_FORMAT_DOUBLE, in));
    const RenderRun run = render(
        { "filter", dir.filePath("in.wav"), dir.filePath("out.wav"), "--subtype", "float" });
    QCOMPARE(run.exitCode, 0);
    const Sound out = readSound(readFile(dir.filePath("out.wav")));
    QCOMPARE(out.samples.size(), in.samples.size());
    QVERIFY(std::all_of(
        out.samples.begin(), out.samples.end(), [](double y) { return std::isfinite(y); }));
    const double largest = *std::max_element(out.samples.begin(), out.samples.end());
    QCOMPARE(largest, double(std::numeric_limits<float>::max()));
    QVERIFY2(run.err.contains("1 input sample of"), run.err);
}

void TestRenderFilter::speakerLayout_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("bits");
    QTest::addColumn<std::vector<int>>("speakers");
    QTest::addColumn<quint32>("mask"); // of a WAV output; 0 for the other containers
    QTest::addColumn<bool>("throughPipe");
    QTest::newRow("5.1 WAV") << "wav" << 16 << kSurround51 << quint32(0x3F) << false;
    QTest::newRow("5.1 WAV through a pipe") << "wav" << 16 << kSurround51 << quint32(0x3F) << true;
    // Not the mask a 6-channel file gets when it names no speakers.
    QTest::newRow("5.1 side WAV") << "wav" << 24 << kSurround51Side << quint32(0x60F) << false;
    QTest::newRow("5.1 side WAV through a pipe")
        << "wav" << 24 << kSurround51Side << quint32(0x60F) << true;
    QTest::newRow("7.1 float WAV") << "wav" << 32 << kSurround71 << quint32(0x63F) << false;
    QTest::newRow("7.1 float WAV through a pipe")
        << "wav" << 32 << kSurround71 << quint32(0x63F) << true;
    QTest::newRow("5.1 RF64") << "rf64" << 16 << kSurround51 << quint32(0) << false;
    QTest::newRow("7.1 RF64") << "rf64" << 24 << kSurround71 << quint32(0) << false;
    QTest::newRow("5.1 CAF") << "caf" << 16 << kSurround51 << quint32(0) << false;
    QTest::newRow("5.1 AIFF") << "aiff" << 24 << kSurround51 << quint32(0) << false;
}

void TestRenderFilter::speakerLayout()
{
    QFETCH(QString, extension);
    QFETCH(int, bits);
    QFETCH(std::vector<int>, speakers);
    QFETCH(quint32, mask);
    QFETCH(bool, throughPipe);
    QTemporaryDir dir;
    // A WAVE_FORMAT_EXTENSIBLE input with its speakers, written by libsndfile.
    const int channels = static_cast<int>(speakers.size());
    const Audio in = testSignal(48000, channels, bits, 4800);
    const int subtype = bits == 16 ? SF_FORMAT_PCM_16
        : bits == 24               ? SF_FORMAT_PCM_24
                                   : SF_FORMAT_FLOAT;
    QVERIFY(writeSound(dir.filePath("in.wav"), SF_FORMAT_WAVEX | subtype, in, {}, speakers));
    QCOMPARE(readSound(readFile(dir.filePath("in.wav"))).channelMap, speakers);

    QByteArray out;
    if (throughPipe) {
        const RenderRun run
            = render({ "filter", dir.filePath("in.wav"), "-", "--format", extension, "--quiet" });
        QCOMPARE(run.exitCode, 0);
        out = run.out;
    } else {
        QCOMPARE(render({ "filter", dir.filePath("in.wav"), dir.filePath("out." + extension),
                            "--quiet" })
                     .exitCode,
            0);
        out = readFile(dir.filePath("out." + extension));
    }
    const Sound written = readSound(out);
    QCOMPARE(written.info.channels, channels);
    QCOMPARE(written.channelMap, speakers);
    QCOMPARE(written.samples.size(), in.samples.size());
    if (mask != 0) {
        // Read by hand: an extensible format with the mask of the speakers.
        const WavFormat format = wavFormat(out);
        QCOMPARE(format.tag, quint16(0xFFFE));
        QCOMPARE(format.mask, mask);
        QCOMPARE(format.subformat, quint32(bits == 32 ? 3 : 1));
    }
}

void TestRenderFilter::wavThroughAPipe_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<quint16>("tag"); // of the fmt chunk, as the format's description wants it
    QTest::newRow("16-bit mono") << 1 << 16 << quint16(1);
    QTest::newRow("16-bit stereo") << 2 << 16 << quint16(1);
    QTest::newRow("24-bit stereo") << 2 << 24 << quint16(0xFFFE);
    QTest::newRow("float stereo") << 2 << 32 << quint16(0xFFFE);
    QTest::newRow("16-bit, three channels") << 3 << 16 << quint16(0xFFFE);
}

void TestRenderFilter::wavThroughAPipe()
{
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(quint16, tag);
    QTemporaryDir dir;
    const Audio in = testSignal(44100, channels, bits, 70000);
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(in)));
    QCOMPARE(
        render({ "filter", dir.filePath("in.wav"), dir.filePath("file.wav"), "--quiet" }).exitCode,
        0);
    const QByteArray file = readFile(dir.filePath("file.wav"));

    // Into a pipe: the file's format and samples, with both lengths at their largest.
    const RenderRun run
        = render({ "filter", dir.filePath("in.wav"), "-", "--format", "wav", "--quiet" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    const WavFormat piped = wavFormat(run.out);
    const WavFormat stored = wavFormat(file);
    QCOMPARE(piped.riffSize, 0xFFFFFFFFu);
    QCOMPARE(piped.dataSize, 0xFFFFFFFFu);
    QCOMPARE(piped.tag, tag);
    QCOMPARE(stored.tag, tag);
    QCOMPARE(piped.channels, stored.channels);
    QCOMPARE(piped.rate, stored.rate);
    QCOMPARE(piped.bits, stored.bits);
    QCOMPARE(piped.blockAlign, stored.blockAlign);
    QCOMPARE(piped.mask, stored.mask);
    QCOMPARE(piped.subformat, stored.subformat);
    QCOMPARE(run.out.mid(piped.dataOffset), file.mid(stored.dataOffset, stored.dataSize));

    // libsndfile reads it from a pipe to its end.
    int ends[2];
    QCOMPARE(::pipe(ends), 0);
    std::thread writer([&] {
        (void)!::write(ends[1], run.out.constData(), static_cast<std::size_t>(run.out.size()));
        ::close(ends[1]);
    });
    SF_INFO info {};
    SNDFILE* stream = sf_open_fd(ends[0], SFM_READ, &info, SF_TRUE);
    std::vector<double> samples;
    if (stream != nullptr) {
        std::vector<double> block(1024 * static_cast<std::size_t>(channels));
        while (const sf_count_t got = sf_readf_double(stream, block.data(), 1024)) {
            samples.insert(samples.end(), block.begin(), block.begin() + got * channels);
        }
        sf_close(stream);
    } else {
        ::close(ends[0]);
    }
    writer.join();
    QVERIFY(stream != nullptr);
    QCOMPARE(samples, readSound(file).samples);

    // aplay plays it to the end (into a file, through ALSA's file plug-in): all the samples,
    // then at most the silence that fills its last period.
    if (bits == 16) {
        const QString raw = dir.filePath("aplay.raw");
        const RenderRun played
            = shell("\"$0\" filter \"$1\" - --format wav --quiet | aplay -q -D \"file:'$2',raw\"",
                { QStringLiteral(VORN_RENDER_PATH), dir.filePath("in.wav"), raw });
        QVERIFY2(played.exitCode == 0, played.err);
        const QByteArray data = file.mid(stored.dataOffset, stored.dataSize);
        const QByteArray heard = readFile(raw);
        QVERIFY(heard.size() >= data.size());
        QCOMPARE(heard.left(data.size()), data);
        QCOMPARE(heard.mid(data.size()).count('\0'), heard.size() - data.size());
    }
    // Python's wave module (plain PCM only) reads every frame from its standard input.
    if (tag == 1) {
        const RenderRun python
            = shell("\"$0\" filter \"$1\" - --format wav --quiet | python3 -c 'import sys, wave\n"
                    "w = wave.open(sys.stdin.buffer)\n"
                    "print(w.getnchannels(), len(w.readframes(1 << 30)) // w.getsampwidth())'",
                { QStringLiteral(VORN_RENDER_PATH), dir.filePath("in.wav") });
        QCOMPARE(python.exitCode, 0);
        QCOMPARE(python.out.trimmed(),
            QByteArray::number(channels) + ' ' + QByteArray::number(qsizetype(in.samples.size())));
    }
}

void TestRenderFilter::failedWrites_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("toStdout"); // or to the device's path
    QTest::newRow("AU to the device") << "au" << false;
    QTest::newRow("WAV to the device") << "wav" << false;
    QTest::newRow("AU on standard output") << "au" << true;
    QTest::newRow("FLAC on standard output") << "flac" << true;
    QTest::newRow("WAV on standard output") << "wav" << true;
}

void TestRenderFilter::failedWrites()
{
    QFETCH(QString, format);
    QFETCH(bool, toStdout);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(testSignal(44100, 2, 16, 20000))));
    // A device that takes no byte: /dev/full, or as root a copy of it, which a renderer that
    // replaced devices by files could not harm.
    QString full = QStringLiteral("/dev/full");
    if (::geteuid() == 0) {
        full = dir.filePath("full");
        if (::mknod(full.toUtf8().constData(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
            QSKIP("no device node can be made here");
        }
    }
    QProcess process;
    if (toStdout) {
        process.setStandardOutputFile(full);
    }
    process.start(QStringLiteral(VORN_RENDER_PATH),
        { "filter", dir.filePath("in.wav"), toStdout ? "-" : full, "--format", format });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.contains(toStdout ? "standard output" : full.toUtf8())
            && err.contains(std::strerror(ENOSPC)),
        err);
    // The device is still a device.
    struct stat status
    { };
    QCOMPARE(::stat(full.toUtf8().constData(), &status), 0);
    QVERIFY(S_ISCHR(status.st_mode));
}

void TestRenderFilter::failedWriteEndsALiveStream()
{
    // A live source (its input never ends) into a device that takes nothing: the first failed
    // write ends the run, not the end of the input.
    QTemporaryDir dir;
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VORN_RENDER_PATH), { "filter", "-", "-", "--format", "wav" });
    process.write(wavBytes(testSignal(44100, 2, 16, 44100)));
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains(std::strerror(ENOSPC)));
}

void TestRenderFilter::lastWritesChecked_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("toStdout"); // a file on standard output, or OUT
    QTest::newRow("FLAC") << "flac" << false;
    QTest::newRow("FLAC on standard output") << "flac" << true;
    QTest::newRow("Ogg Vorbis") << "ogg" << false;
    QTest::newRow("WAV") << "wav" << false;
}

void TestRenderFilter::lastWritesChecked()
{
    QFETCH(QString, extension);
    QFETCH(bool, toStdout);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(testSignal(44100, 2, 16, 30000))));
    const QString whole = dir.filePath("whole." + extension);
    QCOMPARE(render({ "filter", dir.filePath("in.wav"), whole, "--quiet" }).exitCode, 0);
    const qint64 size = QFileInfo(whole).size();
    QVERIFY(size > 1000);

    // A limit on the size of files one byte short of the whole: only the last bytes, written
    // when the output is finished, fail.
    const QString out = dir.filePath("out." + extension);
    QProcess process;
    process.setChildProcessModifier([size] {
        const rlimit limit { static_cast<rlim_t>(size - 1), static_cast<rlim_t>(size - 1) };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    if (toStdout) {
        process.setStandardOutputFile(out);
    }
    process.start(QStringLiteral(VORN_RENDER_PATH),
        { "filter", dir.filePath("in.wav"), toStdout ? "-" : out, "--format", extension });
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.contains(std::strerror(EFBIG)), err);
    if (!toStdout) {
        // Nothing is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
            QStringList({ "in.wav", "whole." + extension }));
    }
}

void TestRenderFilter::closedPipeEndsQuietly()
{
    // A reader that goes away ends the renderer as it ends any program writing to a pipe: by
    // SIGPIPE, status 141 in a shell, and nothing said.
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.wav"), wavBytes(testSignal(44100, 2, 16, 200000))));
    const QStringList commands { "filter \"$1\" -", "filter \"$1\" - --format wav",
        "filter \"$1\" - --format flac", "samples --blocks 500" };
    for (const QString& command : commands) {
        const RenderRun run
            = shell("\"$0\" " + command + " | head -c 100 >/dev/null; echo \"${PIPESTATUS[0]}\"",
                { QStringLiteral(VORN_RENDER_PATH), dir.filePath("in.wav") });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QByteArray("141"));
        QVERIFY2(run.err.isEmpty(), run.err);
    }
}

void TestRenderFilter::namedPipeIsWrittenTo()
{
    // OUT a named pipe: the stream goes into it, and it stays a pipe.
    QTemporaryDir dir;
    const QByteArray wav = wavBytes(testSignal(44100, 2, 16, 30000));
    QVERIFY(writeFile(dir.filePath("in.wav"), wav));
    const QString fifo = dir.filePath("fifo");
    QCOMPARE(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), { fifo });
    QVERIFY(reader.waitForStarted());
    const RenderRun run
        = render({ "filter", dir.filePath("in.wav"), fifo, "--format", "wav", "--quiet" });
    QCOMPARE(run.exitCode, 0);
    QVERIFY(reader.waitForFinished(20000));
    const QByteArray streamed = reader.readAllStandardOutput();
    QCOMPARE(streamed, render({ "filter", "-", "-", "--format", "wav", "--quiet" }, {}, wav).out);
    struct stat status
    { };
    QCOMPARE(::stat(fifo.toUtf8().constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::Files | QDir::System), QStringList({ "fifo", "in.wav" }));
}

QTEST_GUILESS_MAIN(TestRenderFilter)
#include "tst_renderfilter.moc"
