// vorn-render points and plot: what one Draw records and shows, from the program's own drawing
// code, for scripts and teaching material.
#include "rendercommands.h"

#include "dc.h"
#include "plotcanvas.h"
#include "renderargs.h"
#include "renderpicture.h"
#include "vornsimulation.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace vorn {

namespace {

constexpr int kMaxSide = 10000;
constexpr long long kMaxSkipBlocks = 10'000'000;

// Pixels around the plot that --labels adds for the scale texts.
constexpr int kLabelLeft = 64;
constexpr int kLabelTop = 14;
constexpr int kLabelRight = 28;
constexpr int kLabelBottom = 40;

struct PlotRequest
{
    bool frequencyMode = false;
    CVornSimulation simulation;
};

// Reads --mode, --input, --freq and --skip, and brings a fresh simulation to the state in which
// the Draw happens: time mode after K blocks; frequency mode after the analysis.
void Prepare(const RenderArgs& options, PlotRequest& request)
{
    const std::string mode = options.Required("mode");
    if (mode != "time" && mode != "freq") {
        throw UsageError("--mode must be 'time' or 'freq', not '" + mode + "'");
    }
    request.frequencyMode = mode == "freq";
    request.simulation.m_nInput = options.Input();
    request.simulation.m_dFreq = options.Frequency();
    const long long skip = options.Count("skip", 0, kMaxSkipBlocks);
    for (long long i = 0; i < skip; ++i) {
        request.simulation.GenerateBlock(0);
    }
    if (request.frequencyMode) {
        request.simulation.RunFrequencyAnalysis(request.simulation.AnalysisPhaseStep());
    }
}

QSize ParseSize(const std::string& text)
{
    const auto fail = [&text]() -> UsageError {
        return UsageError("--size must be WxH with whole numbers from 1 to "
            + std::to_string(kMaxSide) + ", not '" + text + "'");
    };
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        throw fail();
    }
    int width = 0;
    int height = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto w = std::from_chars(begin, begin + x, width);
    const auto h = std::from_chars(begin + x + 1, end, height);
    if (x == 0 || w.ec != std::errc() || w.ptr != begin + x || h.ec != std::errc() || h.ptr != end
        || x + 1 == text.size() || width < 1 || height < 1 || width > kMaxSide
        || height > kMaxSide) {
        throw fail();
    }
    return { width, height };
}

QString Number(double value)
{
    return QString::number(value, 'g', 3);
}

// The scale texts around a plot whose client area starts at origin and has the given size:
// below the grid the x scale, left of it the y scale, and the units.
void DrawLabels(QPainter& painter, QPoint origin, QSize client, bool frequencyMode)
{
    const double sx = client.width() / double(kCanvasWidth);
    const double sy = client.height() / double(kCanvasHeight);
    const auto mapX = [&](int canvasX) { return origin.x() + canvasX * sx; };
    const auto mapY = [&](int canvasY) { return origin.y() + canvasY * sy; };
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font);

    // Columns: time mode every 4 columns (400 samples), frequency mode every 2 (2 kHz).
    const int columnStep = frequencyMode ? 2 : 4;
    for (int column = 0; column <= 20; column += columnStep) {
        QString text;
        if (frequencyMode) {
            text = Number(column);
        } else {
            text = Number(column * 100 * 1000.0 / kPlaybackRate);
        }
        const double x = mapX(20 + 36 * column);
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(x - width / 2, mapY(620) + 4 + metrics.ascent()), text);
    }
    // Rows: every 2 rows; time mode in sample units, frequency mode in dB.
    for (int row = 0; row <= 20; row += 2) {
        const int value = frequencyMode ? (10 - row) * 10 : (10 - row) * 2000;
        const QString text = QString::number(value);
        const double y = mapY(20 + 30 * row);
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(mapX(20) - 6 - width, y + metrics.ascent() / 2 - 1), text);
    }
    const QString xUnit = frequencyMode ? QStringLiteral("frequency [kHz]")
                                        : QStringLiteral("time [ms] (100 samples per column)");
    const QString yUnit
        = frequencyMode ? QStringLiteral("level [dB]") : QStringLiteral("sample value");
    painter.drawText(QPointF(mapX(380) - metrics.horizontalAdvance(xUnit) / 2,
                         mapY(620) + 8 + 2 * metrics.height()),
        xUnit);
    painter.save();
    painter.translate(origin.x() - kLabelLeft + metrics.ascent() + 2,
        mapY(320) + metrics.horizontalAdvance(yUnit) / 2);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), yUnit);
    painter.restore();
}

// One Draw of the view: the simulation's block (generated first in time mode), then the picture.
void DrawOnce(CDrawTarget& target, CVornSimulation& simulation, std::vector<CPoint>& points)
{
    const SampleBlock& block = simulation.PrepareDrawBlock();
    DrawTrace(target, block, simulation.m_bFreqMode != 0, points);
}

} // namespace

void RenderPoints(const std::vector<std::string>& args)
{
    const RenderArgs options(args, { "mode", "input", "freq", "skip" });
    PlotRequest request;
    Prepare(options, request);
    CPainterTarget target(nullptr, QSize(kCanvasWidth, kCanvasHeight));
    std::vector<CPoint> points;
    DrawOnce(target, request.simulation, points);

    std::string text;
    text.reserve(points.size() * 9);
    char number[16];
    for (const CPoint& point : points) {
        text.append(number, std::to_chars(number, number + sizeof number, point.x).ptr);
        text.push_back(' ');
        text.append(number, std::to_chars(number, number + sizeof number, point.y).ptr);
        text.push_back('\n');
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void RenderPlot(const std::vector<std::string>& args)
{
    const RenderArgs options(
        args, { "mode", "input", "freq", "skip", "size", "output" }, { "labels" });
    PlotRequest request;
    Prepare(options, request);
    const QSize client = options.Has("size") ? ParseSize(*options.Value("size"))
                                             : QSize(kCanvasWidth, kCanvasHeight);
    const std::string output = options.Required("output");
    const bool svg = HasSuffix(output, ".svg");
    if (!svg && !HasSuffix(output, ".png")) {
        throw UsageError("--output must name a .png or .svg file, not '" + output + "'");
    }
    const bool labels = options.Has("labels");
    const QPoint origin = labels ? QPoint(kLabelLeft, kLabelTop) : QPoint();
    const QSize whole
        = labels ? client + QSize(kLabelLeft + kLabelRight, kLabelTop + kLabelBottom) : client;
    const auto application = StartPictureApplication();

    std::vector<CPoint> points;
    QByteArray bytes;
    if (svg) {
        bytes = PaintSvg(whole, QStringLiteral("Vorn plot"), [&](QPainter& painter) {
            painter.fillRect(QRect(QPoint(0, 0), whole), Qt::white);
            {
                CPainterTarget target(&painter, client, origin);
                DrawOnce(target, request.simulation, points);
            }
            painter.setViewTransformEnabled(false);
            if (labels) {
                DrawLabels(painter, origin, client, request.frequencyMode);
            }
        });
    } else {
        QImage plot(client, QImage::Format_RGB32);
        {
            CImageTarget target(plot);
            DrawOnce(target, request.simulation, points);
        }
        QImage picture = plot;
        if (labels) {
            picture = QImage(whole, QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter painter(&picture);
            painter.drawImage(origin, plot);
            DrawLabels(painter, origin, client, request.frequencyMode);
        }
        bytes = EncodePng(picture);
    }
    WriteFileAtomically(output, ToStdString(bytes));
}

} // namespace vorn
