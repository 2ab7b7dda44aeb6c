// vorn-render poles: where the poles and zeros of the analogue prototype and of the chain as the
// program runs it lie, as a list or as a pole-zero figure.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "filtermodel.h"
#include "numbertext.h"
#include "renderoptions.h"
#include "renderpicture.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vorn {

namespace {

std::string Number(double value)
{
    return FormatGeneral(value + 0.0, 12);
}

std::string PoleList(const FilterModel& model)
{
    const double twoPi = std::atan(1.0) * 8;
    const double rate = model.Rate();
    std::string text = model.IsWindowChain() ? std::string() : "# " + model.Name() + '\n';
    text += "# analogue prototype, s-plane in Hz (s / 2 pi): kind stage real imaginary"
            " [natural_frequency_hz q]\n";
    for (const Root& root : model.AnalogueRootsHz()) {
        text += std::string("analogue ") + (root.pole ? "pole " : "zero ")
            + model.StageName(root.stage) + ' ' + Number(root.value.real()) + ' '
            + Number(root.value.imag());
        if (root.pole && root.value.imag() != 0) {
            // |s| and |s| / (2 |Re s|) of the pair: its natural frequency and Q (1000 Hz and 1/k
            // for the window's sections).
            const double natural = std::abs(root.value);
            text += ' ' + Number(natural) + ' ' + Number(natural / (-2 * root.value.real()));
        }
        text += '\n';
    }
    text += "# simulated at " + FormatDouble15g(rate)
        + " Hz, z-plane: kind stage magnitude angle_rad angle_hz\n";
    for (const Root& root : model.DiscreteRoots()) {
        const double angle = std::arg(root.value);
        text += std::string("discrete ") + (root.pole ? "pole " : "zero ")
            + model.StageName(root.stage) + ' ' + Number(std::abs(root.value)) + ' ' + Number(angle)
            + ' ' + Number(angle * rate / twoPi) + '\n';
    }
    return text;
}

// The figure: two square panels side by side, the s-plane in Hz left, the z-plane right.
constexpr int kPanel = 400;
constexpr int kLeft = 70;
constexpr int kGap = 100;
constexpr int kRight = 24;
constexpr int kTop = 56;
constexpr int kBottom = 56;
constexpr QRgb kPoleColour = qRgb(200, 30, 30);
constexpr QRgb kZeroColour = qRgb(20, 90, 200);
constexpr QRgb kCircleColour = qRgb(150, 150, 150);
constexpr QRgb kAxisColour = qRgb(200, 200, 200);
constexpr QRgb kFrameColour = qRgb(110, 110, 110);
constexpr double kMarker = 6;

struct Plane
{
    QString title;
    QString xTitle;
    QString yTitle;
    double half = 1; // the panel spans [-half, half] on both axes
    double circle = 1; // radius of the reference circle
    std::vector<double> ticks;
    std::vector<Root> roots;
};

class PoleZeroPicture
{
public:
    static QSize Size() { return { kLeft + 2 * kPanel + kGap + kRight, kTop + kPanel + kBottom }; }

    static void Draw(QPainter& painter, const Plane (&planes)[2])
    {
        painter.fillRect(QRect(QPoint(0, 0), Size()), Qt::white);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        for (int i = 0; i < 2; ++i) {
            const QRectF area(kLeft + i * (kPanel + kGap), kTop, kPanel, kPanel);
            DrawPlane(painter, area, planes[i]);
        }
    }

private:
    static QPointF Map(const QRectF& area, const Plane& plane, std::complex<double> value)
    {
        const double scale = area.width() / (2 * plane.half);
        return { area.center().x() + value.real() * scale,
            area.center().y() - value.imag() * scale };
    }

    static void DrawPlane(QPainter& painter, const QRectF& area, const Plane& plane)
    {
        const QFontMetricsF metrics(painter.font());
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(kAxisColour), 1));
        painter.drawLine(
            QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
        painter.drawLine(
            QPointF(area.center().x(), area.top()), QPointF(area.center().x(), area.bottom()));
        painter.setPen(QPen(QColor(kFrameColour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area);

        painter.setPen(Qt::black);
        for (const double tick : plane.ticks) {
            const QString text = QString::number(tick, 'g', 6);
            const QPointF x = Map(area, plane, { tick, 0 });
            painter.drawText(QPointF(x.x() - metrics.horizontalAdvance(text) / 2,
                                 area.bottom() + 4 + metrics.ascent()),
                text);
            const QPointF y = Map(area, plane, { 0, tick });
            painter.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(text),
                                 y.y() + metrics.ascent() / 2 - 1),
                text);
        }
        painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(plane.xTitle) / 2,
                             area.bottom() + 8 + 2 * metrics.height()),
            plane.xTitle);
        painter.drawText(QPointF(area.left(), area.top() - 12), plane.title);
        painter.save();
        painter.translate(
            area.left() - 44, area.center().y() + metrics.horizontalAdvance(plane.yTitle) / 2);
        painter.rotate(-90);
        painter.drawText(QPointF(0, 0), plane.yTitle);
        painter.restore();

        // The reference circle, then the marks: x for a pole, o for a zero, with the count
        // beside a place that several share.
        painter.setRenderHint(QPainter::Antialiasing, true);
        const double radius = plane.circle * area.width() / (2 * plane.half);
        painter.setPen(QPen(QColor(kCircleColour), 1, Qt::DashLine));
        painter.drawEllipse(area.center(), radius, radius);
        for (std::size_t i = 0; i < plane.roots.size(); ++i) {
            const Root& root = plane.roots[i];
            const QPointF at = Map(area, plane, root.value);
            if (root.pole) {
                painter.setPen(QPen(QColor(kPoleColour), 2));
                painter.drawLine(at + QPointF(-kMarker, -kMarker), at + QPointF(kMarker, kMarker));
                painter.drawLine(at + QPointF(-kMarker, kMarker), at + QPointF(kMarker, -kMarker));
            } else {
                painter.setPen(QPen(QColor(kZeroColour), 2));
                painter.drawEllipse(at, kMarker, kMarker);
            }
            int same = 0;
            bool first = true;
            for (std::size_t j = 0; j < plane.roots.size(); ++j) {
                const Root& other = plane.roots[j];
                if (other.pole == root.pole && other.value == root.value) {
                    ++same;
                    first = first && j >= i;
                }
            }
            if (same > 1 && first) {
                painter.drawText(at + QPointF(kMarker + 2, -kMarker - 2), QString::number(same));
            }
        }
    }
};

// The s-plane's half width, from the corner's circle out to the farthest pole or zero (the DC
// block's, next to the origin, aside), and its ticks: a round step, two of them to each side.
void FitSPlane(Plane& plane, double cornerHz)
{
    double reach = cornerHz * 1.25;
    for (const Root& root : plane.roots) {
        reach = std::max(reach, std::abs(root.value) * 1.1);
    }
    const double raw = reach / 2.5;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    const double step = raw <= decade ? decade
        : raw <= 2 * decade           ? 2 * decade
        : raw <= 5 * decade           ? 5 * decade
                                      : 10 * decade;
    plane.half = std::max(reach, 2.5 * step);
    plane.circle = cornerHz;
    plane.ticks = { -2 * step, -step, 0, step, 2 * step };
}

void WritePicture(const std::string& output, const FilterModel& model)
{
    const auto application = StartPictureApplication();
    Plane planes[2] = {
        { QStringLiteral("s-plane: analogue prototype"), QStringLiteral("real part [Hz]"),
            QStringLiteral("imaginary part [Hz]"), 1250, 1000, { -1000, -500, 0, 500, 1000 },
            model.AnalogueRootsHz() },
        { QStringLiteral("z-plane: simulated at %1 Hz").arg(model.Rate(), 0, 'g', 15),
            QStringLiteral("real part"), QStringLiteral("imaginary part"), 1.25, 1,
            { -1, -0.5, 0, 0.5, 1 }, model.DiscreteRoots() },
    };
    if (!model.IsWindowChain()) {
        FitSPlane(planes[0], model.MarkedCorner().hz);
        // Sampling zeros may lie out on the negative real axis.
        for (const Root& root : planes[1].roots) {
            planes[1].half = std::max(planes[1].half, std::abs(root.value) * 1.1);
        }
    }
    QByteArray bytes;
    if (HasSuffix(output, ".svg")) {
        bytes = PaintSvg(PoleZeroPicture::Size(), QStringLiteral("Vorn poles and zeros"),
            [&](QPainter& painter) { PoleZeroPicture::Draw(painter, planes); });
    } else {
        QImage image(PoleZeroPicture::Size(), QImage::Format_RGB32);
        {
            QPainter painter(&image);
            PoleZeroPicture::Draw(painter, planes);
        }
        bytes = EncodePng(image);
    }
    WriteFileAtomically(output, ToStdString(bytes));
}

} // namespace

void AddPolesCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<PolesOptions>();
    CLI::App* command = line.AddCommand("poles", "the poles and zeros, as a list or a figure",
        { { "[--rate HZ] [--plot FILE.png|FILE.svg]" },
            "Prints the poles and zeros of the analogue prototype in the s-plane (in Hz, with "
            "each section's natural frequency and Q) and those of the chain as simulated at "
            "--rate in the z-plane (magnitude, and the angle in radians and in Hz), one per line. "
            "With --plot it writes the pole-zero figure instead: the s-plane left, the z-plane "
            "with the unit circle right, poles as crosses and zeros as circles.\n"
            "With design options, the design's: its analogue sections' poles (and zeros), the DC "
            "block's zero and pole, and the discrete ones; sampled as a whole, the discrete zeros "
            "are those of the whole filter, found numerically." });
    AddChainRate(*command, options->rate);
    AddPictureFile(
        *command, "--plot", options->plot, "writes the pole-zero figure instead of the list");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->rate);
        parsed = { command->get_name(), *options };
    });
}

void RunPoles(const PolesOptions& options)
{
    const FilterModel model(OneDesign(options.designs), options.rate);
    if (!options.plot.empty()) {
        WritePicture(options.plot, model);
    } else {
        const std::string text = PoleList(model);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

} // namespace vorn
