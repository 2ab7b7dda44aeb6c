// vorn-render plot: the picture that one Draw shows, from the program's own drawing code, for
// scripts and teaching material.
#include "rendercommands.h"

#include "commandline.h"
#include "dc.h"
#include "figurestyle.h"
#include "optionvalues.h"
#include "plotcanvas.h"
#include "renderdraw.h"
#include "renderoptions.h"
#include "renderpicture.h"
#include "usageerror.h"
#include "vornsimulation.h"

#include <QByteArray>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn {

namespace {

constexpr int kMaxSide = 10000;
// The time scale's labels fall on whole multiples of this many milliseconds, the grid's columns
// (100 samples, 2.27 ms) on none.
constexpr double kTimeStepMs = 5;

// The room around the plot that --labels adds for the scale texts, and their size: the figures'
// font, at a 48th of the plot's width (16 px for the window's 760 pixels), from 11 to the
// figures' text size.
struct LabelLayout
{
    int pixels = kFigureTextPx;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

LabelLayout Layout(QSize client)
{
    LabelLayout layout;
    layout.pixels
        = std::clamp(static_cast<int>(std::lround(client.width() / 48.0)), 11, kFigureTextPx);
    const QFontMetricsF metrics(FigureFont(layout.pixels));
    const double line = metrics.height();
    layout.left
        = static_cast<int>(std::ceil(metrics.horizontalAdvance(FigureNumber(-20000)) + line + 24));
    layout.top = static_cast<int>(std::ceil(line / 2 + 4));
    layout.right = static_cast<int>(std::ceil(metrics.horizontalAdvance(QStringLiteral("45")) + 8));
    layout.bottom = static_cast<int>(std::ceil(2 * line + 16));
    return layout;
}

// --size WxH: two whole numbers of pixels from 1 to kMaxSide.
QSize ReadSize(const std::string& text)
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

// The scale texts around a plot whose client area starts at origin and has the given size:
// below the grid the x scale with a short tick at each label, left of it the y scale, and the
// units. In time mode the labels fall on round milliseconds.
void DrawLabels(QPainter& painter, QPoint origin, QSize client, bool frequencyMode, int pixels)
{
    const double sx = client.width() / double(kCanvasWidth);
    const double sy = client.height() / double(kCanvasHeight);
    const auto mapX = [&](double canvasX) { return origin.x() + canvasX * sx; };
    const auto mapY = [&](double canvasY) { return origin.y() + canvasY * sy; };
    painter.setFont(FigureFont(pixels));
    painter.setPen(QColor(kFigureText));
    const QFontMetricsF metrics(painter.font());
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // Columns are 36 canvas pixels from x = 20: 100 samples each in time mode, 1 kHz in
    // frequency mode (labelled every 2).
    std::vector<std::pair<double, QString>> columns;
    if (frequencyMode) {
        for (int khz = 0; khz <= 20; khz += 2) {
            columns.emplace_back(20 + 36 * khz, FigureNumber(khz));
        }
    } else {
        const double lastMs = 20 * 100 * 1000.0 / kPlaybackRate;
        for (double ms = 0; ms <= lastMs; ms += kTimeStepMs) {
            columns.emplace_back(20 + 36 * (ms * kPlaybackRate / 1000 / 100), FigureNumber(ms));
        }
    }
    // The ticks start below the grid's last row and leave it as it is.
    painter.setPen(QPen(QColor(kFigureText), 1, Qt::SolidLine, Qt::FlatCap));
    for (const auto& [canvasX, text] : columns) {
        const double x = mapX(canvasX);
        painter.drawLine(QPointF(x, mapY(620) + 2), QPointF(x, mapY(620) + 6));
        DrawFigureText(painter, QPointF(x, mapY(620) + 7), text, Qt::AlignHCenter | Qt::AlignTop);
    }
    // Rows: every 2 rows; time mode in sample units, frequency mode in dB.
    for (int row = 0; row <= 20; row += 2) {
        const int value = frequencyMode ? (10 - row) * 10 : (10 - row) * 2000;
        DrawFigureText(painter, QPointF(mapX(20) - 6, mapY(20 + 30 * row)), FigureNumber(value),
            Qt::AlignRight | Qt::AlignVCenter);
    }
    const QString xUnit = frequencyMode ? QStringLiteral("frequency [kHz]")
                                        : QStringLiteral("time [ms] (100 samples per column)");
    const QString yUnit
        = frequencyMode ? QStringLiteral("level [dB]") : QStringLiteral("sample value");
    DrawFigureText(painter, QPointF(mapX(380), mapY(620) + 10 + metrics.height()), xUnit,
        Qt::AlignHCenter | Qt::AlignTop);
    painter.save();
    painter.translate(metrics.ascent() + 4, mapY(320));
    painter.rotate(-90);
    DrawFigureText(painter, QPointF(0, 0), yUnit, Qt::AlignHCenter | Qt::AlignBaseline);
    painter.restore();
}

} // namespace

void AddPlotCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<PlotOptions>();
    CLI::App* command = line.AddCommand("plot", "the window's plot as a picture, PNG or SVG",
        { { "--mode time|freq [--input sine|step] [--freq HZ] [--skip K] [--size WxH] [--labels] "
            "--output FILE.png|FILE.svg" },
            "Writes the picture the Vorn window's plot shows (one block of the signal, or the "
            "spectrum of its frequency-response analysis) in a client area of W x H pixels as a "
            "PNG or SVG file; --labels adds the scales around it (milliseconds and sample units, "
            "or "
            "kilohertz and decibels), the time labelled every 5 ms. The picture itself is the "
            "window's, pixel for pixel." });
    line.SetExamples(command,
        { { "vorn-render plot --mode freq --labels --output window.png",
            "the window's frequency-response plot, with its scales" } });
    AddDrawOptions(*command, options->draw);
    AddValue(*command, "--size", "WxH",
        "the client area in pixels, each side from 1 to " + std::to_string(kMaxSide)
            + "; default 760x640",
        [target = options](const std::string& text) {
            const QSize size = ReadSize(text);
            target->width = size.width();
            target->height = size.height();
        });
    AddFlag(*command, "--labels", options->labels,
        "the scales around the plot: milliseconds and sample units, or kilohertz and decibels");
    AddPictureFile(*command, "--output", options->output, "the picture to write")->required();
    command->callback([options, command, &parsed] { parsed = { command->get_name(), *options }; });
}

void RunPlot(const PlotOptions& options)
{
    CVornSimulation simulation;
    PrepareDraw(options.draw, simulation);
    const QSize client(options.width, options.height);
    const bool svg = HasSuffix(options.output, ".svg");
    const bool labels = options.labels;
    const auto application = StartPictureApplication();
    const LabelLayout layout = Layout(client);
    const QPoint origin = labels ? QPoint(layout.left, layout.top) : QPoint();
    const QSize whole
        = labels ? client + QSize(layout.left + layout.right, layout.top + layout.bottom) : client;
    const bool frequencyMode = options.draw.frequencyMode;

    std::vector<CPoint> points;
    QByteArray bytes;
    if (svg) {
        bytes = PaintSvg(whole, QStringLiteral("Vorn plot"), [&](QPainter& painter) {
            painter.fillRect(QRect(QPoint(0, 0), whole), Qt::white);
            {
                CPainterTarget target(&painter, client, origin);
                DrawOnce(target, simulation, points);
            }
            painter.setViewTransformEnabled(false);
            if (labels) {
                DrawLabels(painter, origin, client, frequencyMode, layout.pixels);
            }
        });
    } else {
        QImage plot(client, QImage::Format_RGB32);
        {
            CImageTarget target(plot);
            DrawOnce(target, simulation, points);
        }
        QImage picture = plot;
        if (labels) {
            picture = QImage(whole, QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter painter(&picture);
            painter.drawImage(origin, plot);
            DrawLabels(painter, origin, client, frequencyMode, layout.pixels);
        }
        bytes = EncodePng(picture);
    }
    WriteFileAtomically(options.output, ToStdString(bytes));
}

} // namespace vorn
