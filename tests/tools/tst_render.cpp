// vorn-render as a script would use it: its outputs against the core, its refusals, and a
// standard output that takes nothing.
#include "vornsimulation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "renderprocess.h"

#include <cerrno>
#include <cstring>

using namespace vorn;

namespace {

QByteArray sampleLines(const SampleBlock& block)
{
    QByteArray text;
    for (const std::int16_t sample : block) {
        text += QByteArray::number(sample) + '\n';
    }
    return text;
}

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void samplesMatchTheCore_data();
    void samplesMatchTheCore();
    void spectrum();
    void wavFile();
    void wavIsAtomic();
    void badInput_data();
    void badInput();
    void helpAndVersion();
    void fullOutput_data();
    void fullOutput();
};

void TestRender::samplesMatchTheCore_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("input");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<int>("skip");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<bool>("afterAnalysis");
    QTest::newRow("defaults") << QStringList {} << 0 << 1000.0 << 0 << 1 << false;
    QTest::newRow("step, skipped, three blocks")
        << QStringList { "--input", "step", "--skip", "5", "--blocks", "3" } << 1 << 1000.0 << 5
        << 3 << false;
    QTest::newRow("frequency with =")
        << QStringList { "--freq= 250.5 ", "--blocks=2" } << 0 << 250.5 << 0 << 2 << false;
    QTest::newRow("after the analysis")
        << QStringList { "--after-analysis", "--freq", "1234", "--skip", "1" } << 0 << 1234.0 << 1
        << 1 << true;
    QTest::newRow("no blocks") << QStringList { "--blocks", "0" } << 0 << 1000.0 << 0 << 0 << false;
}

void TestRender::samplesMatchTheCore()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, input);
    QFETCH(double, frequency);
    QFETCH(int, skip);
    QFETCH(int, blocks);
    QFETCH(bool, afterAnalysis);

    CVornSimulation simulation;
    simulation.m_nInput = input;
    simulation.m_dFreq = frequency;
    if (afterAnalysis) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
    for (int i = 0; i < skip; ++i) {
        simulation.GenerateBlock(1);
    }
    QByteArray expected;
    for (int i = 0; i < blocks; ++i) {
        simulation.GenerateBlock(i % 2);
        expected += sampleLines(simulation.m_samples[static_cast<std::size_t>(i % 2)]);
    }

    const RenderRun run = render(QStringList { "samples" } + arguments);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.count('\n'), blocks * 2000);
    QCOMPARE(run.out, expected);
}

void TestRender::spectrum()
{
    const RenderRun run = render({ "spectrum" });
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2000);
    QCOMPARE(lines[50], QByteArray("-3"));
    QCOMPARE(lines[1024], QByteArray("-85"));
    CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    QCOMPARE(run.out, sampleLines(simulation.m_samples[0]));
}

void TestRender::wavFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("step.wav");
    const RenderRun run
        = render({ "wav", "--output", path, "--input", "step", "--seconds", "0.1" });
    QCOMPARE(run.exitCode, 0);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // 0.1 s needs 2.205 blocks: three whole blocks.
    const int dataBytes = 3 * 2000 * 2;
    QCOMPARE(bytes.size(), 44 + dataBytes);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    QCOMPARE(bytes.left(4), QByteArray("RIFF"));
    QCOMPARE(u32(4), quint32(36 + dataBytes));
    QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u32(16), 16u);
    QCOMPARE(u16(20), quint16(1)); // PCM
    QCOMPARE(u16(22), quint16(1)); // mono
    QCOMPARE(u32(24), 44100u);
    QCOMPARE(u32(28), 88200u);
    QCOMPARE(u16(32), quint16(2));
    QCOMPARE(u16(34), quint16(16));
    QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
    QCOMPARE(u32(40), quint32(dataBytes));

    CVornSimulation simulation;
    simulation.m_nInput = 1;
    for (int block = 0; block < 3; ++block) {
        simulation.GenerateBlock(0);
        for (int n = 0; n < 2000; ++n) {
            const auto sample
                = qFromLittleEndian<qint16>(bytes.constData() + 44 + (block * 2000 + n) * 2);
            QCOMPARE(sample, simulation.m_samples[0][static_cast<std::size_t>(n)]);
        }
    }
    // Nothing else is left in the folder: the temporary file was renamed.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "step.wav" });
}

void TestRender::wavIsAtomic()
{
    // A failed write leaves an existing file as it was.
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.wav");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    const RenderRun run = render({ "wav", "--output", path, "--seconds", "-1" });
    QCOMPARE(run.exitCode, 2);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "keep.wav" });
}

void TestRender::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("mentions");
    QTest::newRow("nothing") << QStringList {} << QByteArray("subcommand");
    QTest::newRow("unknown subcommand") << QStringList { "play" } << QByteArray("play");
    QTest::newRow("unknown option")
        << QStringList { "samples", "--speed", "2" } << QByteArray("--speed");
    QTest::newRow("missing value") << QStringList { "samples", "--freq" } << QByteArray("--freq");
    QTest::newRow("infinite frequency")
        << QStringList { "samples", "--freq", "inf" } << QByteArray("inf");
    QTest::newRow("NaN frequency")
        << QStringList { "samples", "--freq", "nan" } << QByteArray("nan");
    QTest::newRow("empty frequency")
        << QStringList { "samples", "--freq", "" } << QByteArray("--freq");
    QTest::newRow("trailing garbage")
        << QStringList { "samples", "--freq", "12abc" } << QByteArray("12abc");
    QTest::newRow("bad input kind")
        << QStringList { "samples", "--input", "square" } << QByteArray("square");
    QTest::newRow("negative count")
        << QStringList { "samples", "--blocks", "-1" } << QByteArray("--blocks");
    QTest::newRow("absurd count") << QStringList { "samples", "--skip", "99999999999" }
                                  << QByteArray("--skip");
    QTest::newRow("fractional count")
        << QStringList { "samples", "--blocks", "1.5" } << QByteArray("--blocks");
    QTest::newRow("stray argument") << QStringList { "spectrum", "extra" } << QByteArray("extra");
    QTest::newRow("flag with value")
        << QStringList { "samples", "--after-analysis=1" } << QByteArray("--after-analysis");
    QTest::newRow("wav without output") << QStringList { "wav" } << QByteArray("--output");
    QTest::newRow("wav, zero seconds")
        << QStringList { "wav", "--output", "x.wav", "--seconds", "0" } << QByteArray("--seconds");
    QTest::newRow("wav, absurd seconds") << QStringList { "wav", "--output", "x.wav", "--seconds",
        "1e9" } << QByteArray("--seconds");
    QTest::newRow("unwritable path") << QStringList { "wav", "--output", "/nonexistent-dir/x.wav" }
                                     << QByteArray("/nonexistent-dir/x.wav");
}

void TestRender::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, mentions);
    QTemporaryDir dir;
    const RenderRun run = render(arguments, dir.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(mentions), run.err.constData());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestRender::helpAndVersion()
{
    const RenderRun help = render({ "--help" });
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("vorn-render samples"));
    QVERIFY(help.out.contains("vorn-render wav"));
    const RenderRun version = render({ "--version" });
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("vorn-render 1.0.0.1\n"));
}

void TestRender::fullOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("help") << QStringList { "--help" };
    QTest::newRow("version") << QStringList { "--version" };
    QTest::newRow("samples") << QStringList { "samples" };
    QTest::newRow("response") << QStringList { "response", "--points", "5" };
    QTest::newRow("coefficients") << QStringList { "coefficients" };
    QTest::newRow("wav to standard output") << QStringList { "wav", "--output", "-" };
}

void TestRender::fullOutput()
{
    // Standard output on a device that takes nothing: status 1 and one line, never success.
    QFETCH(QStringList, arguments);
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VORN_RENDER_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(
        err.contains("cannot write standard output") && err.contains(std::strerror(ENOSPC)), err);
}

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
