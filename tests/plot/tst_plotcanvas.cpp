// The plot canvas: coordinates and their truncation, the drawing sequence of Draw and repaint as
// recorded by the drawing context, the width threshold, the replay rule, and the pixels of a
// 760 x 640 picture.
#include "plotcanvas.h"
#include "vornsimulation.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace vorn;

namespace {

constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kWhite = 0xFFFFFFFF;

std::vector<DcOp> lineOps(const std::vector<DcOp>& ops)
{
    std::vector<DcOp> lines;
    std::copy_if(ops.begin(), ops.end(), std::back_inserter(lines),
        [](const DcOp& op) { return op.kind == DcOp::MoveTo || op.kind == DcOp::LineTo; });
    return lines;
}

// The grid and axis as MoveTo/LineTo pairs, in drawing order.
std::vector<DcOp> gridAndAxisLines()
{
    std::vector<DcOp> lines;
    for (int y = 20; y <= 620; y += 30) {
        lines.push_back({ DcOp::MoveTo, 20, y });
        lines.push_back({ DcOp::LineTo, 740, y });
    }
    for (int x = 20; x <= 740; x += 36) {
        lines.push_back({ DcOp::MoveTo, x, 20 });
        lines.push_back({ DcOp::LineTo, x, 620 });
    }
    lines.push_back({ DcOp::MoveTo, 20, 320 });
    lines.push_back({ DcOp::LineTo, 740, 320 });
    return lines;
}

// A simulation whose next block is all zeros: a sine of 0 Hz starts at phase 0 and stays there.
CVornSimulation silentSimulation()
{
    CVornSimulation simulation;
    simulation.m_dFreq = 0.0;
    return simulation;
}

struct Recording
{
    std::vector<DcOp> ops;
    std::vector<CPoint> points;
};

Recording recordDraw(CVornSimulation& simulation, int width, int height = 640)
{
    Recording recording;
    CPainterTarget target(nullptr, QSize(width, height));
    target.SetLog(&recording.ops);
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, recording.points);
    return recording;
}

std::vector<DcOp> recordRepaint(const std::vector<CPoint>& points, int width, int height = 640)
{
    std::vector<DcOp> ops;
    CPainterTarget target(nullptr, QSize(width, height));
    target.SetLog(&ops);
    PaintRecordedTrace(target, points);
    return ops;
}

QImage paintDraw(CVornSimulation& simulation, std::vector<CPoint>& points, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    CImageTarget target(image);
    DrawTrace(target, simulation.PrepareDrawBlock(), simulation.m_bFreqMode != 0, points);
    return image;
}

} // namespace

class TestPlotCanvas : public QObject
{
    Q_OBJECT

private slots:
    void canvasPoint_data();
    void canvasPoint();
    void drawSequence();
    void silentBlockAlongTheAxis();
    void widthThreshold_data();
    void widthThreshold();
    void frequencyTrace();
    void frequencyModeKeepsTheSpectrum();
    void repeatedDraws();
    void repaintBeforeAnyDraw();
    void repaintReplaysTheRecordedTrace();
    void replayBreaks_data();
    void replayBreaks();
    void pixelsOf760x640();
    void repaintAfterResizeStretches();
    void thinLinesKeepOnePixel();
    void linesEquallyThickAtAnyScale_data();
    void linesEquallyThickAtAnyScale();
};

// Golden values: the reference points of the canvas conversion (the evaluation-order cases among
// them), the others computed by hand from x = u 240 + 20 and y = v 30 + 20, truncated toward zero.
void TestPlotCanvas::canvasPoint_data()
{
    QTest::addColumn<bool>("frequency");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    QTest::newRow("time s=10000") << false << 0 << 10000 << 20 << 170;
    QTest::newRow("time s=-10000") << false << 0 << -10000 << 20 << 470;
    QTest::newRow("time s=20000 on the top line") << false << 0 << 20000 << 20 << 20;
    QTest::newRow("time s=-20000 on the bottom line") << false << 0 << -20000 << 20 << 620;
    QTest::newRow("time s=1 truncates up") << false << 0 << 1 << 20 << 319;
    QTest::newRow("time s=-1 truncates to the axis") << false << 0 << -1 << 20 << 320;
    QTest::newRow("time order s=1200") << false << 0 << 1200 << 20 << 301;
    QTest::newRow("time order s=-20200") << false << 0 << -20200 << 20 << 622;
    QTest::newRow("time s=21266") << false << 0 << 21266 << 20 << 1;
    QTest::newRow("time s=21267 truncates to 0") << false << 0 << 21267 << 20 << 0;
    QTest::newRow("time s=21399 truncates to 0") << false << 0 << 21399 << 20 << 0;
    QTest::newRow("time s=21400 negative") << false << 0 << 21400 << 20 << -1;
    QTest::newRow("time s=32767 above the canvas") << false << 0 << 32767 << 20 << -171;
    QTest::newRow("time s=-32768 below the canvas") << false << 0 << -32768 << 20 << 811;
    QTest::newRow("time index 100 on the second column") << false << 100 << 0 << 56 << 320;
    QTest::newRow("time index 1999") << false << 1999 << 0 << 739 << 320;
    QTest::newRow("freq 0 dB") << true << 0 << 0 << 20 << 320;
    QTest::newRow("freq 20 dB") << true << 0 << 20 << 20 << 260;
    QTest::newRow("freq -3 dB") << true << 0 << -3 << 20 << 329;
    QTest::newRow("freq -60 dB") << true << 0 << -60 << 20 << 500;
    QTest::newRow("freq -84 dB") << true << 0 << -84 << 20 << 572;
    QTest::newRow("freq -100 dB") << true << 0 << -100 << 20 << 620;
    QTest::newRow("freq order 6 dB") << true << 0 << 6 << 20 << 301;
    QTest::newRow("freq order -13 dB") << true << 0 << -13 << 20 << 358;
    QTest::newRow("freq order -19 dB") << true << 0 << -19 << 20 << 376;
    QTest::newRow("freq order -36 dB") << true << 0 << -36 << 20 << 427;
    QTest::newRow("freq bin 50 (1 kHz)") << true << 50 << 0 << 56 << 320;
    QTest::newRow("freq bin 1000 (20 kHz)") << true << 1000 << 0 << 740 << 320;
}

void TestPlotCanvas::canvasPoint()
{
    QFETCH(bool, frequency);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(int, x);
    QFETCH(int, y);
    const PlotPoint point
        = frequency ? FrequencyTracePoint(index, value) : TimeTracePoint(index, value);
    QCOMPARE(ToCanvasPoint(point.u, point.v), (CPoint { x, y }));
}

void TestPlotCanvas::drawSequence()
{
    CVornSimulation simulation;
    const Recording recording = recordDraw(simulation, 760, 640);
    const std::vector<DcOp>& ops = recording.ops;
    QVERIFY(ops.size() > 10);

    // Cleared in device pixels before any mapping, then mapped, then the blue grid.
    QCOMPARE(ops[0], (DcOp { DcOp::FillSolidRect, 0, 0, 760, 640, 0xFFFFFF }));
    QCOMPARE(ops[1], (DcOp { DcOp::SetMapMode, MM_ANISOTROPIC }));
    QCOMPARE(ops[2], (DcOp { DcOp::SetWindowExt, 760, 640 }));
    QCOMPARE(ops[3], (DcOp { DcOp::SetViewportExt, 760, 640 }));
    QCOMPARE(ops[4], (DcOp { DcOp::SelectPen, PS_SOLID, 1, 0, 0, 0xFF0000 }));
    // 42 grid lines, then the null brush, the red pen and the axis.
    QCOMPARE(ops[4 + 85], (DcOp { DcOp::SelectStockObject, NULL_BRUSH }));
    QCOMPARE(ops[4 + 86], (DcOp { DcOp::SelectPen, PS_SOLID, 1, 0, 0, 255 }));
    const std::vector<DcOp> lines = lineOps(ops);
    const std::vector<DcOp> gridAndAxis = gridAndAxisLines();
    QVERIFY(std::equal(gridAndAxis.begin(), gridAndAxis.end(), lines.begin()));

    // Each segment on a context of its own: mapping, null brush, red pen, move, line, old pen.
    const std::vector<DcOp> segment(ops.begin() + 4 + 89, ops.begin() + 4 + 89 + 9);
    QCOMPARE(segment[0], (DcOp { DcOp::SetMapMode, MM_ANISOTROPIC }));
    QCOMPARE(segment[1], (DcOp { DcOp::SetWindowExt, 760, 640 }));
    QCOMPARE(segment[2], (DcOp { DcOp::SetViewportExt, 760, 640 }));
    QCOMPARE(segment[3], (DcOp { DcOp::SelectStockObject, NULL_BRUSH }));
    QCOMPARE(segment[4], (DcOp { DcOp::SelectPen, PS_SOLID, 1, 0, 0, 255 }));
    QCOMPARE(segment[5].kind, DcOp::MoveTo);
    QCOMPARE(segment[6].kind, DcOp::LineTo);
    QCOMPARE(segment[7].kind, DcOp::SelectPen);
    QCOMPARE(segment[8].kind, DcOp::SetMapMode);

    // The recorded points are exactly the drawn end points, and the pen selected first is back.
    QCOMPARE(recording.points.size(), std::size_t { 3998 });
    const std::vector<DcOp> traceLines(
        lines.begin() + static_cast<std::ptrdiff_t>(gridAndAxis.size()), lines.end());
    QCOMPARE(traceLines.size(), std::size_t { 3998 });
    for (std::size_t k = 0; k < traceLines.size(); ++k) {
        QCOMPARE((CPoint { traceLines[k].a, traceLines[k].b }), recording.points[k]);
        QCOMPARE(traceLines[k].kind, k % 2 == 0 ? DcOp::MoveTo : DcOp::LineTo);
    }
    QCOMPARE(ops.back(), (DcOp { DcOp::SelectPen, PS_SOLID, 0, 0, 0, 0 }));

    // The points are those of the block that this Draw generated.
    CVornSimulation reference;
    reference.GenerateBlock(0);
    QCOMPARE(simulation.m_samples[0], reference.m_samples[0]);
    for (int i = 1; i < kBlockSamples; ++i) {
        const PlotPoint point
            = TimeTracePoint(i, reference.m_samples[0][static_cast<std::size_t>(i)]);
        QCOMPARE(
            recording.points[static_cast<std::size_t>(2 * i - 1)], ToCanvasPoint(point.u, point.v));
    }
}

void TestPlotCanvas::silentBlockAlongTheAxis()
{
    CVornSimulation simulation = silentSimulation();
    const Recording recording = recordDraw(simulation, 760);
    QVERIFY(std::all_of(simulation.m_samples[0].begin(), simulation.m_samples[0].end(),
        [](auto s) { return s == 0; }));
    QCOMPARE(recording.points.size(), std::size_t { 3998 });
    QCOMPARE(recording.points.front(), (CPoint { 20, 320 }));
    QCOMPARE(recording.points.back(), (CPoint { 739, 320 }));
    // Consecutive segments share their end points.
    for (std::size_t k = 1; k + 1 < recording.points.size(); k += 2) {
        QCOMPARE(recording.points[k], recording.points[k + 1]);
    }
}

void TestPlotCanvas::widthThreshold_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("plotted");
    QTest::newRow("199 wide") << 199 << 640 << false;
    QTest::newRow("200 wide") << 200 << 640 << true;
    QTest::newRow("200 wide, 1 high") << 200 << 1 << true;
    QTest::newRow("0 wide") << 0 << 0 << false;
}

void TestPlotCanvas::widthThreshold()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, plotted);

    CVornSimulation simulation;
    simulation.m_nInput = 1;
    const Recording recording = recordDraw(simulation, width, height);
    // Cleared, grid and axis at any width; the trace only when wide enough.
    QCOMPARE(recording.ops.front(), (DcOp { DcOp::FillSolidRect, 0, 0, width, height, 0xFFFFFF }));
    const std::vector<DcOp> lines = lineOps(recording.ops);
    QCOMPARE(lines.size(), std::size_t { 86 } + (plotted ? 3998 : 0));
    QCOMPARE(recording.points.size(), std::size_t { plotted ? 3998u : 0u });

    // The block advanced all the same.
    CVornSimulation reference;
    reference.m_nInput = 1;
    reference.GenerateBlock(0);
    QCOMPARE(simulation.m_samples[0], reference.m_samples[0]);
    QCOMPARE(simulation.m_filter, reference.m_filter);

    // A repaint at that width draws the grid, axis and trace, or nothing at all.
    std::vector<CPoint> points = { { 20, 320 }, { 56, 100 } };
    const std::vector<DcOp> repaint = recordRepaint(points, width, height);
    QCOMPARE(lineOps(repaint).size(), plotted ? std::size_t { 88 } : std::size_t { 0 });
    if (!plotted) {
        QVERIFY(repaint.empty());
    }
}

void TestPlotCanvas::frequencyTrace()
{
    CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    const SampleBlock spectrum = simulation.m_samples[0];
    const FilterState state = simulation.m_filter;
    const Recording recording = recordDraw(simulation, 760);

    // Nothing generated: block 0 and the filter state are untouched.
    QCOMPARE(simulation.m_samples[0], spectrum);
    QCOMPARE(simulation.m_filter, state);
    QCOMPARE(recording.points.size(), std::size_t { 2000 });
    QCOMPARE(recording.points.front(), (CPoint { 20, 320 }));
    // Bin 50 (1 kHz, -3 dB) starts the segment at x 56; bin 1000 (20 kHz, -84 dB) ends the trace.
    QCOMPARE(recording.points[2 * 50], (CPoint { 56, 329 }));
    QCOMPARE(recording.points.back(), (CPoint { 740, 572 }));
    for (int i = 1; i <= 1000; ++i) {
        const PlotPoint point = FrequencyTracePoint(i, spectrum[static_cast<std::size_t>(i)]);
        QCOMPARE(
            recording.points[static_cast<std::size_t>(2 * i - 1)], ToCanvasPoint(point.u, point.v));
    }
}

void TestPlotCanvas::frequencyModeKeepsTheSpectrum()
{
    // The stream refills block 0 with time samples after the analysis; a Draw in frequency mode
    // still plots the spectrum.
    CVornSimulation simulation;
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    const Recording before = recordDraw(simulation, 760);
    simulation.GenerateBlock(0);
    const SampleBlock refilled = simulation.m_samples[0];
    const Recording after = recordDraw(simulation, 760);
    QCOMPARE(after.points, before.points);
    QCOMPARE(simulation.m_samples[0], refilled);
}

void TestPlotCanvas::repeatedDraws()
{
    // Time mode: consecutive stretches of one signal.
    CVornSimulation simulation;
    const Recording first = recordDraw(simulation, 760);
    const Recording second = recordDraw(simulation, 760);
    CVornSimulation reference;
    reference.GenerateBlock(0);
    reference.GenerateBlock(0);
    QCOMPARE(simulation.m_samples[0], reference.m_samples[0]);
    QVERIFY(first.points != second.points);
    QCOMPARE(second.points.size(), std::size_t { 3998 });

    // Frequency mode: the same picture every time.
    simulation.RunFrequencyAnalysis(simulation.AnalysisPhaseStep());
    const Recording spectrumFirst = recordDraw(simulation, 760);
    const Recording spectrumSecond = recordDraw(simulation, 760);
    QCOMPARE(spectrumSecond.ops, spectrumFirst.ops);
    QCOMPARE(spectrumSecond.points, spectrumFirst.points);
}

void TestPlotCanvas::repaintBeforeAnyDraw()
{
    const std::vector<DcOp> ops = recordRepaint({}, 760);
    QCOMPARE(lineOps(ops), gridAndAxisLines());
    QCOMPARE(ops[0], (DcOp { DcOp::SetMapMode, MM_ANISOTROPIC }));
    QCOMPARE(ops[1], (DcOp { DcOp::SetWindowExt, 760, 640 }));
    QCOMPARE(ops[2], (DcOp { DcOp::SetViewportExt, 760, 640 }));
    QCOMPARE(ops[3], (DcOp { DcOp::SelectPen, PS_SOLID, 1, 0, 0, 0xFF0000 }));
    QCOMPARE(ops[4 + 84], (DcOp { DcOp::SelectPen, PS_SOLID, 1, 0, 0, 255 }));
}

void TestPlotCanvas::repaintReplaysTheRecordedTrace()
{
    CVornSimulation simulation;
    const Recording recording = recordDraw(simulation, 760);
    const std::vector<DcOp> ops = recordRepaint(recording.points, 1234);
    QCOMPARE(ops[2], (DcOp { DcOp::SetViewportExt, 1234, 640 }));
    const std::vector<DcOp> lines = lineOps(ops);
    const std::vector<DcOp> replay(lines.begin() + 86, lines.end());
    // One MoveTo to the first point, then a LineTo to every other one (shared points included).
    QCOMPARE(replay.size(), recording.points.size());
    QCOMPARE(replay.front(), (DcOp { DcOp::MoveTo, 20, recording.points.front().y }));
    for (std::size_t k = 1; k < replay.size(); ++k) {
        QCOMPARE(replay[k], (DcOp { DcOp::LineTo, recording.points[k].x, recording.points[k].y }));
    }
    // Replaying reads nothing but the points.
    QCOMPARE(simulation.m_samples[0], [] {
        CVornSimulation reference;
        reference.GenerateBlock(0);
        return reference.m_samples[0];
    }());
}

void TestPlotCanvas::replayBreaks_data()
{
    QTest::addColumn<std::vector<CPoint>>("points");
    QTest::addColumn<std::vector<DcOp>>("expected");

    // A trace point with y 0 sits between two segments: both are missing on replay.
    QTest::newRow("y 0 in the middle")
        << std::vector<CPoint> { { 20, 320 }, { 56, 100 }, { 56, 100 }, { 92, 0 }, { 92, 0 },
               { 128, 200 }, { 128, 200 }, { 164, 300 } }
        << std::vector<DcOp> { { DcOp::MoveTo, 20, 320 }, { DcOp::LineTo, 56, 100 },
               { DcOp::LineTo, 56, 100 }, { DcOp::MoveTo, 128, 200 }, { DcOp::LineTo, 128, 200 },
               { DcOp::LineTo, 164, 300 } };
    QTest::newRow("x 0 breaks too") << std::vector<CPoint> { { 20, 320 }, { 0, 300 }, { 0, 300 },
        { 92, 310 } } << std::vector<DcOp> { { DcOp::MoveTo, 20, 320 }, { DcOp::MoveTo, 92, 310 } };
    QTest::newRow("first point a break")
        << std::vector<CPoint> { { 20, 0 }, { 56, 100 }, { 56, 100 }, { 92, 200 } }
        << std::vector<DcOp> { { DcOp::MoveTo, 56, 100 }, { DcOp::LineTo, 56, 100 },
               { DcOp::LineTo, 92, 200 } };
    QTest::newRow("negative y is drawn")
        << std::vector<CPoint> { { 20, -1 }, { 56, -171 } }
        << std::vector<DcOp> { { DcOp::MoveTo, 20, -1 }, { DcOp::LineTo, 56, -171 } };
}

void TestPlotCanvas::replayBreaks()
{
    QFETCH(std::vector<CPoint>, points);
    QFETCH(std::vector<DcOp>, expected);
    const std::vector<DcOp> lines = lineOps(recordRepaint(points, 760));
    QCOMPARE(std::vector<DcOp>(lines.begin() + 86, lines.end()), expected);
}

// Golden values: pixel positions read off the grid geometry by hand (a 760 x 640 client area maps
// one canvas unit to one pixel).
void TestPlotCanvas::pixelsOf760x640()
{
    CVornSimulation simulation;
    simulation.m_nInput = 1;
    std::vector<CPoint> points;
    const QImage image = paintDraw(simulation, points, QSize(760, 640));

    // The whole client area is cleared: the corners are white.
    QCOMPARE(image.pixel(0, 0), kWhite);
    QCOMPARE(image.pixel(759, 639), kWhite);
    QCOMPARE(image.pixel(10, 320), kWhite);
    // Blue grid: horizontal lines at 20 + 30k, vertical ones at 20 + 36k, nothing between.
    for (const int y : { 20, 50, 290, 350, 620 }) {
        QCOMPARE(image.pixel(400, y), kBlue);
        QCOMPARE(image.pixel(400, y + 2), kWhite);
    }
    for (const int x : { 20, 56, 380, 740 }) {
        QCOMPARE(image.pixel(x, 600), kBlue);
        QCOMPARE(image.pixel(x + 2, 600), kWhite);
    }
    QCOMPARE(image.pixel(10, 20), kWhite);
    QCOMPARE(image.pixel(750, 620), kWhite);
    // The axis is red over the middle grid line, also where it crosses the vertical lines.
    QCOMPARE(image.pixel(400, 320), kRed);
    QCOMPARE(image.pixel(380, 320), kRed);
    // The step response: every trace point is red.
    int red = 0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        red += image.pixel(points[k].x, points[k].y) == kRed ? 1 : 0;
    }
    QCOMPARE(red, static_cast<int>(points.size()));
    QCOMPARE(image.pixel(700, 250), kWhite);
}

void TestPlotCanvas::repaintAfterResizeStretches()
{
    // The same trace at twice the size: a canvas unit is two pixels, lines are two pixels wide.
    CVornSimulation simulation;
    std::vector<CPoint> points;
    paintDraw(simulation, points, QSize(760, 640));
    QImage image(QSize(1520, 1280), QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        CImageTarget target(image);
        PaintRecordedTrace(target, points);
    }
    QCOMPARE(image.pixel(0, 0), kWhite);
    QCOMPARE(image.pixel(110, 1010), kWhite);
    QCOMPARE(image.pixel(111, 1010), kBlue);
    QCOMPARE(image.pixel(112, 1010), kBlue);
    QCOMPARE(image.pixel(113, 1010), kWhite);
    QCOMPARE(image.pixel(1200, 638), kWhite);
    QCOMPARE(image.pixel(1200, 639), kRed);
    QCOMPARE(image.pixel(1200, 640), kRed);
    QCOMPARE(image.pixel(1200, 641), kWhite);
    for (std::size_t k = 0; k < points.size(); k += 97) {
        const int x = points[k].x * 2;
        const int y = points[k].y * 2;
        QVERIFY(image.pixel(x, y) == kRed || image.pixel(x - 1, y - 1) == kRed);
    }
}

void TestPlotCanvas::thinLinesKeepOnePixel()
{
    // Squeezed below one pixel per canvas unit, a line still covers one pixel.
    std::vector<CPoint> points;
    QImage image(QSize(380, 213), QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        CImageTarget target(image);
        PaintRecordedTrace(target, points);
    }
    // Canvas x 220 (between grid columns) maps to 110: 20 blue rows and the red axis cross it.
    int blueRows = 0;
    int redRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        blueRows += image.pixel(110, y) == kBlue ? 1 : 0;
        redRows += image.pixel(110, y) == kRed ? 1 : 0;
    }
    QCOMPARE(blueRows, 20);
    QCOMPARE(redRows, 1);
    // Canvas y 305 maps to 101.7: 21 blue columns.
    int blueColumns = 0;
    for (int x = 0; x < image.width(); ++x) {
        blueColumns += image.pixel(x, 101) == kBlue ? 1 : 0;
    }
    QCOMPARE(blueColumns, 21);
}

void TestPlotCanvas::linesEquallyThickAtAnyScale_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("thickness");
    QTest::newRow("860x700") << QSize(860, 700) << 1;
    QTest::newRow("1000x700") << QSize(1000, 700) << 1;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 3;
}

void TestPlotCanvas::linesEquallyThickAtAnyScale()
{
    // A one-unit pen at a fractional scale still draws every grid line equally thick.
    QFETCH(QSize, size);
    QFETCH(int, thickness);
    QImage image(size, QImage::Format_RGB32);
    CImageTarget target(image);
    PaintRecordedTrace(target, {});
    const int row = size.height() * 35 / 640; // between the first two horizontal lines
    std::vector<int> runs;
    int run = 0;
    for (int x = 0; x < size.width(); ++x) {
        if (image.pixel(x, row) == kBlue) {
            ++run;
        } else if (run > 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    QCOMPARE(runs.size(), std::size_t { 21 });
    QVERIFY(std::all_of(runs.begin(), runs.end(), [&](int r) { return r == thickness; }));
}

QTEST_MAIN(TestPlotCanvas)
#include "tst_plotcanvas.moc"
