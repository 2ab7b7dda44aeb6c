// vorn-render plot: the picture that one Draw shows, from the program's own drawing code, for
// scripts and teaching material.
#include "rendercommands.h"

#include "commandline.h"
#include "dc.h"
#include "optionvalues.h"
#include "plotcanvas.h"
#include "renderdraw.h"
#include "renderoptions.h"
#include "renderpicture.h"
#include "usageerror.h"
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
#include <vector>

namespace vorn {

namespace {

constexpr int kMaxSide = 10000;
// Pixels around the plot that --labels adds for the scale texts.
constexpr int kLabelLeft = 64;
constexpr int kLabelTop = 14;
constexpr int kLabelRight = 28;
constexpr int kLabelBottom = 40;

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

} // namespace

void AddPlotCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<PlotOptions>();
    CLI::App* command = line.AddCommand("plot", "the picture that one Draw shows, as PNG or SVG",
        { { "--mode time|freq [--input sine|step] [--freq HZ] [--skip K] [--size WxH] [--labels] "
            "--output FILE.png|FILE.svg" },
            "Writes the picture that Draw shows in a client area of W x H pixels as a PNG or SVG "
            "file; --labels adds the scales around it (milliseconds and sample units, or "
            "kilohertz and decibels)." });
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
    const QPoint origin = labels ? QPoint(kLabelLeft, kLabelTop) : QPoint();
    const QSize whole
        = labels ? client + QSize(kLabelLeft + kLabelRight, kLabelTop + kLabelBottom) : client;
    const bool frequencyMode = options.draw.frequencyMode;
    const auto application = StartPictureApplication();

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
                DrawLabels(painter, origin, client, frequencyMode);
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
            DrawLabels(painter, origin, client, frequencyMode);
        }
        bytes = EncodePng(picture);
    }
    WriteFileAtomically(options.output, ToStdString(bytes));
}

} // namespace vorn
