// vorn-render points and plot as a script would use them: the points and pictures of one Draw,
// compared with the plot code drawing on its own, and the refusals of bad input.
#include "plotcanvas.h"
#include "vornsimulation.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include "renderprocess.h"
#include "svgfigure.h"

using namespace vorn;

namespace {

CVornSimulation prepared(bool frequency, int input, double hz, int skip)
{
    CVornSimulation simulation;
    simulation.m_nInput = input;
    simulation.m_dFreq = hz;
    for (int i = 0; i < skip; ++i) {
        simulation.GenerateBlock(0);
    }
    if (frequency) {
        simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    }
    return simulation;
}

} // namespace

class TestRenderPlot : public QObject
{
    Q_OBJECT

private slots:
    void points_data();
    void points();
    void pngIsTheDrawnPicture_data();
    void pngIsTheDrawnPicture();
    void labelsSurroundThePlot();
    void svgShowsTheSamePlot();
    void labelsAreRound_data();
    void labelsAreRound();
    void badInput_data();
    void badInput();
};

void TestRenderPlot::points_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("frequency");
    QTest::addColumn<int>("input");
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("skip");
    QTest::newRow("time, fresh sine")
        << QStringList { "--mode", "time" } << false << 0 << 1000.0 << 0;
    QTest::newRow("time, step after 3 blocks") << QStringList { "--mode", "time", "--input", "step",
        "--skip", "3" } << false << 1 << 1000.0 << 3;
    QTest::newRow("time, 250 Hz") << QStringList { "--mode", "time", "--freq", "250" } << false << 0
                                  << 250.0 << 0;
    QTest::newRow("freq") << QStringList { "--mode", "freq" } << true << 0 << 1000.0 << 0;
    QTest::newRow("freq, step after 2 blocks") << QStringList { "--mode", "freq", "--input", "step",
        "--skip", "2" } << true << 1 << 1000.0 << 2;
}

void TestRenderPlot::points()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, frequency);
    QFETCH(int, input);
    QFETCH(double, hz);
    QFETCH(int, skip);
    const RenderRun run = render(QStringList { "points" } + arguments);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());

    CVornSimulation simulation = prepared(frequency, input, hz, skip);
    CPainterTarget target(nullptr, QSize(760, 640));
    std::vector<CPoint> points;
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, points);
    QByteArray expected;
    for (const CPoint& point : points) {
        expected += QByteArray::number(point.x) + ' ' + QByteArray::number(point.y) + '\n';
    }
    QCOMPARE(run.out.count('\n'), frequency ? 2000 : 3998);
    QCOMPARE(run.out, expected);
}

void TestRenderPlot::pngIsTheDrawnPicture_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("frequency");
    QTest::addColumn<QSize>("size");
    QTest::newRow("time, default size")
        << QStringList { "--mode", "time" } << false << QSize(760, 640);
    QTest::newRow("freq, 1920x1080")
        << QStringList { "--mode", "freq", "--size", "1920x1080" } << true << QSize(1920, 1080);
    QTest::newRow("time, too narrow to plot")
        << QStringList { "--mode", "time", "--size", "199x300" } << false << QSize(199, 300);
}

void TestRenderPlot::pngIsTheDrawnPicture()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, frequency);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plot.png"));
    const RenderRun run
        = render(QStringList { "plot" } + arguments + QStringList { "--output", path });
    QCOMPARE(run.exitCode, 0);
    QImage written(path);
    QCOMPARE(written.size(), size);

    CVornSimulation simulation = prepared(frequency, 0, 1000.0, 0);
    QImage expected(size, QImage::Format_RGB32);
    CImageTarget target(expected);
    std::vector<CPoint> points;
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, points);
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32), expected);
}

void TestRenderPlot::labelsSurroundThePlot()
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    const QString labelled = dir.filePath(QStringLiteral("labelled.png"));
    QCOMPARE(render({ "plot", "--mode", "freq", "--output", plain }).exitCode, 0);
    QCOMPARE(render({ "plot", "--mode", "freq", "--labels", "--output", labelled }).exitCode, 0);
    const QImage plot(plain);
    const QImage withLabels(labelled);
    QVERIFY(withLabels.width() > plot.width());
    QVERIFY(withLabels.height() > plot.height());
    // The grid is there unchanged, moved by the margins, with text (dark pixels) around it.
    const auto firstBlue = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == qRgb(0, 0, 255)) {
                    return QPoint(x, y);
                }
            }
        }
        return QPoint(-1, -1);
    };
    const QPoint gridCorner = firstBlue(plot);
    QCOMPARE(gridCorner, QPoint(20, 20));
    const QPoint origin = firstBlue(withLabels) - gridCorner;
    QVERIFY(origin.x() > 0 && origin.y() > 0);
    const QRect grid(QPoint(20, 20), QPoint(740, 620));
    QCOMPARE(withLabels.copy(grid.translated(origin)).convertToFormat(QImage::Format_RGB32),
        plot.copy(grid).convertToFormat(QImage::Format_RGB32));
    int dark = 0;
    for (int y = origin.y() + plot.height(); y < withLabels.height(); ++y) {
        for (int x = 0; x < withLabels.width(); ++x) {
            dark += qGray(withLabels.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    QVERIFY(dark > 50);
}

void TestRenderPlot::svgShowsTheSamePlot()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plot.svg"));
    QCOMPARE(render({ "plot", "--mode", "time", "--input", "step", "--output", path }).exitCode, 0);
    QSvgRenderer renderer(path);
    QVERIFY(renderer.isValid());
    QCOMPARE(renderer.viewBox(), QRect(0, 0, 760, 640));
    QImage image(760, 640, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    // Blue grid, red axis, white elsewhere, and the step response (the renderer smooths edges, so
    // a line may share its colour between two pixels).
    const auto blue = [&](int x, int y) {
        return qBlue(image.pixel(x, y)) - qGreen(image.pixel(x, y)) > 100
            && qRed(image.pixel(x, y)) < 160;
    };
    const auto red
        = [&](int x, int y) { return qRed(image.pixel(x, y)) - qGreen(image.pixel(x, y)) > 100; };
    QVERIFY(blue(400, 50) || blue(400, 49));
    QVERIFY(blue(56, 600) || blue(55, 600));
    QVERIFY(red(400, 320) || red(400, 319));
    QCOMPARE(image.pixel(400, 40), qRgb(255, 255, 255));
    CVornSimulation simulation = prepared(false, 1, 1000.0, 0);
    CPainterTarget target(nullptr, QSize(760, 640));
    std::vector<CPoint> points;
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, points);
    int onTrace = 0;
    for (std::size_t k = 0; k < points.size(); k += 50) {
        const int x = points[k].x;
        const int y = points[k].y;
        onTrace += red(x, y) || red(x - 1, y) || red(x, y - 1) || red(x - 1, y - 1) ? 1 : 0;
    }
    QCOMPARE(onTrace, static_cast<int>((points.size() + 49) / 50));
}

void TestRenderPlot::labelsAreRound_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<double>("step"); // the labels' step
    QTest::addColumn<double>("perStep"); // grid pixels from one label to the next
    QTest::addColumn<int>("labels");
    // A column is 36 pixels: 100 samples at 44100 Hz, or 1 kHz.
    QTest::newRow("time, every 5 ms") << "time" << 5.0 << 36 * 5 * 44.1 / 100 << 10;
    QTest::newRow("frequency, every 2 kHz") << "freq" << 2.0 << 72.0 << 11;
}

// The labels under the grid are whole multiples of their step from 0, each on its tick, the ticks
// where those values lie on the grid.
void TestRenderPlot::labelsAreRound()
{
    QFETCH(QString, mode);
    QFETCH(double, step);
    QFETCH(double, perStep);
    QFETCH(int, labels);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plot.svg"));
    QCOMPARE(render({ "plot", "--mode", mode, "--labels", "--output", path }).exitCode, 0);
    const SvgFigure figure = readSvgFigure(path);
    QVERIFY(figure.ok);
    double left = HUGE_VAL;
    double bottom = -HUGE_VAL;
    for (const SvgItem& line : figure.of(QStringLiteral("polyline"), QStringLiteral("#0000ff"))) {
        for (const QPointF& point : line.points) {
            left = std::min(left, point.x());
            bottom = std::max(bottom, point.y());
        }
    }
    std::vector<double> ticks;
    for (const SvgItem& line : figure.of(QStringLiteral("polyline"), QStringLiteral("#000000"))) {
        if (line.points.size() == 2 && line.points[0].y() > bottom
            && line.points[0].x() == line.points[1].x()) {
            ticks.push_back(line.points[0].x());
        }
    }
    std::vector<double> values;
    for (const SvgItem& text : figure.of(QStringLiteral("text"))) {
        bool ok = false;
        const double value = figureNumber(text.text, &ok);
        // Below the ticks, and so below the lowest label of the y scale, centred on the grid's
        // bottom line.
        if (ok && text.at.y() > bottom + 10 && text.at.y() < bottom + 40) {
            values.push_back(value);
        }
    }
    std::sort(ticks.begin(), ticks.end());
    QCOMPARE(static_cast<int>(values.size()), labels);
    QCOMPARE(ticks.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        QCOMPARE(values[i], step * static_cast<double>(i));
        QVERIFY(std::fabs(ticks[i] - (left + perStep * static_cast<double>(i))) < 0.01);
    }
}

void TestRenderPlot::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("points without mode") << QStringList { "points" };
    QTest::newRow("unknown mode") << QStringList { "points", "--mode", "spectrum" };
    QTest::newRow("points takes no size")
        << QStringList { "points", "--mode", "time", "--size", "10x10" };
    QTest::newRow("plot without output") << QStringList { "plot", "--mode", "time" };
    QTest::newRow("jpeg") << QStringList { "plot", "--mode", "time", "--output", "OUT.jpg" };
    QTest::newRow("zero size") << QStringList { "plot", "--mode", "time", "--size", "0x10",
        "--output", "OUT.png" };
    QTest::newRow("size without x")
        << QStringList { "plot", "--mode", "time", "--size", "100", "--output", "OUT.png" };
    QTest::newRow("size with junk")
        << QStringList { "plot", "--mode", "time", "--size", "10x10y", "--output", "OUT.png" };
    QTest::newRow("huge size") << QStringList { "plot", "--mode", "time", "--size", "20000x10",
        "--output", "OUT.png" };
    QTest::newRow("bad frequency")
        << QStringList { "plot", "--mode", "time", "--freq", "inf", "--output", "OUT.png" };
    QTest::newRow("bad input") << QStringList { "plot", "--mode", "time", "--input", "square",
        "--output", "OUT.png" };
    QTest::newRow("missing folder")
        << QStringList { "plot", "--mode", "time", "--output", "MISSING/OUT.png" };
}

void TestRenderPlot::badInput()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("OUT"), dir.filePath(QStringLiteral("out")));
        argument.replace(QStringLiteral("MISSING"), dir.filePath(QStringLiteral("missing")));
    }
    const RenderRun run = render(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.startsWith("vorn-render "));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(TestRenderPlot)
#include "tst_renderplot.moc"
