// vorn-render's parser on its own, as a fuzz target will call it: what it makes of a command
// line, checked against values worked out here, and that parsing prints nothing and writes no
// file, whatever the arguments.
#include "rendercommandline.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <sndfile.h>
#include <unistd.h>

using namespace vorn;

namespace {

std::vector<std::string> Arguments(const QStringList& list)
{
    std::vector<std::string> arguments;
    for (const QString& argument : list) {
        arguments.push_back(argument.toStdString());
    }
    return arguments;
}

// The parse of `arguments`, which must be Run, and the options of its command.
template <typename Options> Options Parsed(const QStringList& arguments)
{
    const RenderCommandLine line = ParseRenderCommandLine(Arguments(arguments));
    if (line.result.action != CommandLineResult::Action::Run) {
        qWarning("%s", line.result.text.c_str());
        return {};
    }
    const auto* options = std::get_if<Options>(&line.command.options);
    if (options == nullptr || line.command.name != arguments.front().toStdString()) {
        qWarning("parsed as another command: %s", line.command.name.c_str());
        return {};
    }
    return *options;
}

// What `call` writes to the file descriptor `fd` meanwhile.
template <typename Call> QByteArray Output(int fd, Call call)
{
    QTemporaryFile file;
    if (!file.open()) {
        return "cannot capture";
    }
    std::fflush(nullptr);
    const int saved = ::dup(fd);
    ::dup2(file.handle(), fd);
    call();
    std::fflush(nullptr);
    ::dup2(saved, fd);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

class TestRenderCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parsesSilently_data();
    void parsesSilently();
    void samples();
    void sweepBlocks();
    void responseFrequencies();
    void responseDesignLists();
    void filter();
    void wavAndPlot();
};

void TestRenderCommandLine::parsesSilently_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    const int run = static_cast<int>(CommandLineResult::Action::Run);
    const int print = static_cast<int>(CommandLineResult::Action::Print);
    const int refuse = static_cast<int>(CommandLineResult::Action::Refuse);
    QTest::newRow("help") << QStringList { "--help" } << print;
    QTest::newRow("command help") << QStringList { "filter", "--help" } << print;
    QTest::newRow("version") << QStringList { "--version" } << print;
    QTest::newRow("nothing") << QStringList {} << refuse;
    QTest::newRow("wav to a file") << QStringList { "wav", "--output", "out.wav" } << run;
    QTest::newRow("wav with a design")
        << QStringList { "wav", "--output", "out.flac", "--order", "4" } << run;
    QTest::newRow("plot") << QStringList { "plot", "--mode", "time", "--output", "out.png" } << run;
    QTest::newRow("response picture")
        << QStringList { "response", "--plot", "out.svg", "--order", "2,4" } << run;
    QTest::newRow("poles picture") << QStringList { "poles", "--plot", "out.png" } << run;
    QTest::newRow("filter, files that do not exist")
        << QStringList { "filter", "in.wav", "out.wav" } << run;
    QTest::newRow("filter, bad gain")
        << QStringList { "filter", "in.wav", "out.wav", "--gain", "50" } << refuse;
    QTest::newRow("samples, many blocks") << QStringList { "samples", "--blocks", "100000" } << run;
    QTest::newRow("refused after an output")
        << QStringList { "wav", "--output", "out.wav", "--seconds", "0" } << refuse;
}

void TestRenderCommandLine::parsesSilently()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    RenderCommandLine line;
    QByteArray err;
    const QByteArray out = Output(STDOUT_FILENO, [&] {
        err = Output(STDERR_FILENO, [&] { line = ParseRenderCommandLine(Arguments(arguments)); });
    });
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(out, QByteArray());
    QCOMPARE(err, QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(static_cast<int>(line.result.action), action);
    if (line.result.action == CommandLineResult::Action::Refuse) {
        const QByteArray text(line.result.text.c_str());
        QCOMPARE(text.count('\n'), 1);
        QVERIFY(text.endsWith('\n') && text.startsWith("vorn-render"));
        QCOMPARE(line.result.status, 2);
    } else if (line.result.action == CommandLineResult::Action::Print) {
        QCOMPARE(line.result.status, 0);
        QVERIFY(!line.result.text.empty());
    }
}

void TestRenderCommandLine::samples()
{
    const SamplesOptions defaults = Parsed<SamplesOptions>({ "samples" });
    QVERIFY(defaults.signal.input == InputKind::Sine);
    QCOMPARE(defaults.signal.frequency, 1000.0);
    QCOMPARE(defaults.signal.rate, 44100);
    QCOMPARE(defaults.skip, 0LL);
    QCOMPARE(defaults.blocks, 1LL);
    QVERIFY(defaults.designs.empty());

    const SamplesOptions noise = Parsed<SamplesOptions>({ "samples", "--input=pink", "--seed",
        "9223372036854775807", "--rate", "48000", "--skip", "2", "--blocks", "3" });
    QVERIFY(noise.signal.input == InputKind::Pink);
    QCOMPARE(noise.signal.seed, std::uint64_t(9223372036854775807ULL));
    QCOMPARE(noise.signal.rate, 48000);
    QCOMPARE(noise.skip, 2LL);
    QCOMPARE(noise.blocks, 3LL);

    const SamplesOptions designed = Parsed<SamplesOptions>(
        { "samples", "--order", "4", "--corner", "500", "--rate", "8000" });
    QCOMPARE(designed.designs.size(), std::size_t(1));
    QCOMPARE(designed.designs[0].order, 4);
    QCOMPARE(designed.designs[0].cornerHz, 500.0);
}

void TestRenderCommandLine::sweepBlocks()
{
    // 0.1 s at 44100 Hz is 4410 samples: three blocks of 2000. All but the skipped are printed.
    const SamplesOptions sweep = Parsed<SamplesOptions>(
        { "samples", "--input", "sweep", "--seconds", "0.1", "--skip", "1", "--from", "100" });
    QCOMPARE(sweep.skip, 1LL);
    QCOMPARE(sweep.blocks, 2LL);
    QCOMPARE(sweep.signal.fromHz, 100.0);
    QCOMPARE(sweep.signal.toHz, 20000.0);
    // At 8000 Hz, 1 s is exactly four blocks.
    QCOMPARE(Parsed<SamplesOptions>({ "samples", "--input", "sweep", "--seconds", "1", "--rate",
                                        "8000", "--to", "3999" })
                 .blocks,
        4LL);
}

void TestRenderCommandLine::responseFrequencies()
{
    const ResponseOptions at = Parsed<ResponseOptions>(
        { "response", "--at", "1000", "--rate", "40960", "--at=1", "--at", "20479.5" });
    QCOMPARE(at.rate, 40960.0);
    QCOMPARE(QList<double>(at.hz.begin(), at.hz.end()), QList<double>({ 1000, 1, 20479.5 }));

    // Three points, logarithmic: the middle one is the geometric mean of the ends.
    const ResponseOptions grid = Parsed<ResponseOptions>(
        { "response", "--points", "3", "--from", "20", "--to", "20000", "--format", "frd" });
    QCOMPARE(grid.hz.size(), std::size_t(3));
    QCOMPARE(grid.hz.front(), 20.0);
    QVERIFY(std::fabs(grid.hz[1] - std::sqrt(20.0 * 20000.0)) < 1e-9);
    QCOMPARE(grid.hz.back(), 20000.0);
    QVERIFY(grid.logarithmic);
    QVERIFY(grid.format == ResponseFormat::Frd);

    const ResponseOptions linear = Parsed<ResponseOptions>(
        { "response", "--points", "5", "--from", "100", "--to", "500", "--linear" });
    QCOMPARE(QList<double>(linear.hz.begin(), linear.hz.end()),
        QList<double>({ 100, 200, 300, 400, 500 }));
    QVERIFY(!linear.logarithmic);
}

void TestRenderCommandLine::responseDesignLists()
{
    const ResponseOptions csv = Parsed<ResponseOptions>(
        { "response", "--format", "csv", "--type", "bessel,butterworth", "--order", "2,8" });
    QCOMPARE(csv.designs.size(), std::size_t(4));
    QVERIFY(csv.designs[0].type == FilterType::Bessel && csv.designs[0].order == 2);
    QVERIFY(csv.designs[1].type == FilterType::Bessel && csv.designs[1].order == 8);
    QVERIFY(csv.designs[2].type == FilterType::Butterworth && csv.designs[2].order == 2);
    QVERIFY(csv.designs[3].type == FilterType::Butterworth && csv.designs[3].order == 8);

    const ResponseOptions plot = Parsed<ResponseOptions>(
        { "response", "--plot", "x.svg", "--labels", "--dc-block", "off,1,0.5" });
    QCOMPARE(plot.designs.size(), std::size_t(3));
    QVERIFY(!plot.designs[0].dcBlockHz);
    QCOMPARE(plot.plot, std::string("x.svg"));
    QVERIFY(plot.labels);
}

void TestRenderCommandLine::filter()
{
    const FilterOptions options = Parsed<FilterOptions>({ "filter", "in.wav", "out.flac", "--gain",
        "-6", "--ab", "0.5", "--subtype", "pcm24", "--quiet" });
    QCOMPARE(options.in, std::string("in.wav"));
    QCOMPARE(options.out, std::string("out.flac"));
    QVERIFY(std::fabs(options.gain - std::pow(10.0, -6.0 / 20)) < 1e-15);
    QCOMPARE(options.abSeconds.value_or(0), 0.5);
    QCOMPARE(options.subtype.value_or(0), SF_FORMAT_PCM_24);
    QCOMPARE(options.container.major, SF_FORMAT_FLAC);
    QVERIFY(options.quiet);

    const FilterOptions pipe = Parsed<FilterOptions>({ "filter", "-", "-" });
    QCOMPARE(pipe.container.major, SF_FORMAT_AU);
    QCOMPARE(pipe.gain, 1.0);
    QVERIFY(!pipe.abSeconds && !pipe.subtype);

    // The corner is checked against the input's rate only when the file is opened.
    const FilterOptions designed
        = Parsed<FilterOptions>({ "filter", "-", "out.wav", "--corner", "30000" });
    QCOMPARE(designed.designs.size(), std::size_t(1));
    QCOMPARE(designed.container.major, SF_FORMAT_WAV);
}

void TestRenderCommandLine::wavAndPlot()
{
    const WavOptions ogg = Parsed<WavOptions>({ "wav", "--output", "x.OGG", "--seconds", "2" });
    QCOMPARE(ogg.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    QCOMPARE(ogg.signal.seconds, 2.0);
    QCOMPARE(
        Parsed<WavOptions>({ "wav", "--output", "-" }).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    const PlotOptions plot = Parsed<PlotOptions>(
        { "plot", "--mode", "freq", "--size", "300x200", "--input", "step", "--output", "p.png" });
    QVERIFY(plot.draw.frequencyMode);
    QCOMPARE(plot.draw.input, 1);
    QCOMPARE(plot.width, 300);
    QCOMPARE(plot.height, 200);

    const CoefficientsOptions c = Parsed<CoefficientsOptions>({ "coefficients", "--format", "c" });
    QVERIFY(c.format == CoefficientFormat::C);
}

QTEST_GUILESS_MAIN(TestRenderCommandLine)
#include "tst_rendercommandline.moc"
