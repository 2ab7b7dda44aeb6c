// vorn-render poles: where the poles and zeros of the analogue prototype and of the chain as the
// program runs it lie, as a list or as a pole-zero figure.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "figureaxes.h"
#include "figurestyle.h"
#include "filtermodel.h"
#include "numbertext.h"
#include "renderoptions.h"
#include "renderpicture.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <numbers>
#include <numeric>
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

// The figure: the s-plane (in rad/s) left and the z-plane right, and below them enlargements of
// the places where marks crowd, lettered A, B ... and outlined where they lie: within a panel the
// marks lie a marker's width apart, or in an enlargement of their own.
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kWidth = 1340;
constexpr double kMainSide = 520;
constexpr double kSmallSide = 180;
constexpr double kMainLeft = 130; // room for the scale left of a panel
constexpr double kSmallLeft = 140;
constexpr std::size_t kPerRow = 4;
constexpr std::size_t kMostEnlargements = 8;
// Marks closer than this (pixels between centres) crowd: a marker's width and a little air.
constexpr double kApart = 2 * kFigureMarker + 4;

// One place in a plane where one or more poles, or zeros, lie.
struct Place
{
    std::complex<double> value; // in rad/s in the s-plane
    bool pole = false;
    int count = 1;
};

// The roots as places, `scale` times their values: equal values of one kind are one place.
std::vector<Place> Places(const std::vector<Root>& roots, double scale)
{
    std::vector<Place> places;
    for (const Root& root : roots) {
        const std::complex<double> value = root.value * scale;
        const auto same = std::find_if(places.begin(), places.end(), [&](const Place& place) {
            return place.pole == root.pole
                && std::abs(place.value - value) <= 1e-9 * std::max(1.0, std::abs(value));
        });
        if (same != places.end()) {
            ++same->count;
        } else {
            places.push_back({ value, root.pole });
        }
    }
    return places;
}

// A panel of the figure: a square window on one of the two planes.
struct PlanePanel
{
    int plane = 0; // 0: s, 1: z
    std::complex<double> centre;
    double half = 1; // the window spans centre +- half on both axes
    QRectF area;
    QString letter; // an enlargement's; empty for the planes themselves
    std::vector<std::size_t> group; // the places an enlargement is for
};

class PoleZeroFigure
{
public:
    explicit PoleZeroFigure(const FilterModel& model)
        : m_title(QString::fromStdString(model.Name()))
        , m_rate(model.Rate())
        , m_cornerHz(model.MarkedCorner().hz)
    {
        m_places[0] = Places(model.AnalogueRootsHz(), kTwoPi);
        m_places[1] = Places(model.DiscreteRoots(), 1.0);
        m_circle[0] = kTwoPi * m_cornerHz;
        m_circle[1] = 1;
        // Each plane wide enough for its circle and every mark.
        for (int plane = 0; plane < 2; ++plane) {
            double reach = 1.25 * m_circle[plane];
            for (const Place& place : m_places[plane]) {
                reach = std::max(reach, 1.1 * std::abs(place.value));
            }
            const double left = plane == 0 ? kFigureMargin + kMainLeft
                                           : m_panels.front().area.right() + kMainLeft;
            m_panels.push_back(
                { plane, 0.0, reach, QRectF(left, Top(), kMainSide, kMainSide), {}, {} });
        }
        // The crowds of every panel, the enlargements' too, each enlarged once.
        for (std::size_t i = 0; i < m_panels.size(); ++i) {
            for (const std::vector<std::size_t>& group : Crowds(m_panels[i])) {
                if (Enlargement(m_panels[i].plane, group) == nullptr
                    && m_panels.size() < 2 + kMostEnlargements) {
                    AddEnlargement(m_panels[i].plane, group);
                }
            }
        }
    }

    [[nodiscard]] QSize Size() const
    {
        double bottom = m_panels.front().area.bottom() + FigurePanel::BelowFrame();
        for (const PlanePanel& panel : m_panels) {
            bottom = std::max(bottom, panel.area.bottom() + FigurePanel::BelowFrame());
        }
        return { static_cast<int>(kWidth), static_cast<int>(std::ceil(bottom + kFigureMargin)) };
    }

    void Draw(QPainter& painter) const
    {
        painter.setPen(QColor(kFigureText));
        painter.setFont(FigureFont(kFigureTitlePx));
        DrawFigureText(
            painter, QPointF(kFigureMargin, kFigureMargin), m_title, Qt::AlignLeft | Qt::AlignTop);
        DrawLegend(painter);
        for (const PlanePanel& panel : m_panels) {
            DrawPanel(painter, panel);
        }
    }

private:
    [[nodiscard]] static double LineHeight(int pixels = kFigureTextPx)
    {
        return QFontMetricsF(FigureFont(pixels)).height();
    }

    // The top of the two planes' panels: below the title, the legend and the panels' titles.
    [[nodiscard]] static double Top()
    {
        return std::round(
            kFigureMargin + LineHeight(kFigureTitlePx) + 8 + 30 + 16 + LineHeight() + 8);
    }

    [[nodiscard]] static double PixelsPerUnit(const PlanePanel& panel)
    {
        return panel.area.width() / (2 * panel.half);
    }

    [[nodiscard]] static QPointF Map(const PlanePanel& panel, std::complex<double> value)
    {
        const double scale = PixelsPerUnit(panel);
        return { panel.area.center().x() + (value.real() - panel.centre.real()) * scale,
            panel.area.center().y() - (value.imag() - panel.centre.imag()) * scale };
    }

    [[nodiscard]] std::vector<std::size_t> InView(const PlanePanel& panel) const
    {
        std::vector<std::size_t> shown;
        const std::vector<Place>& places = m_places[static_cast<std::size_t>(panel.plane)];
        for (std::size_t i = 0; i < places.size(); ++i) {
            if (panel.area.contains(Map(panel, places[i].value))) {
                shown.push_back(i);
            }
        }
        return shown;
    }

    // The places of the panel whose marks crowd, in groups: each place closer than kApart to
    // another of its group (chained), the groups in the order of their leftmost place.
    [[nodiscard]] std::vector<std::vector<std::size_t>> Crowds(const PlanePanel& panel) const
    {
        const std::vector<Place>& places = m_places[static_cast<std::size_t>(panel.plane)];
        const std::vector<std::size_t> shown = InView(panel);
        std::vector<std::size_t> root(shown.size());
        std::iota(root.begin(), root.end(), std::size_t { 0 });
        const auto find = [&](std::size_t i) {
            while (root[i] != i) {
                i = root[i] = root[root[i]];
            }
            return i;
        };
        for (std::size_t a = 0; a < shown.size(); ++a) {
            for (std::size_t b = a + 1; b < shown.size(); ++b) {
                const QPointF d
                    = Map(panel, places[shown[a]].value) - Map(panel, places[shown[b]].value);
                if (std::hypot(d.x(), d.y()) < kApart) {
                    root[find(a)] = find(b);
                }
            }
        }
        std::vector<std::vector<std::size_t>> groups;
        for (std::size_t a = 0; a < shown.size(); ++a) {
            std::vector<std::size_t> group;
            for (std::size_t b = 0; b < shown.size(); ++b) {
                if (find(b) == a) {
                    group.push_back(shown[b]);
                }
            }
            if (group.size() > 1) {
                groups.push_back(group);
            }
        }
        const auto left = [&](const std::vector<std::size_t>& group) {
            double x = HUGE_VAL;
            for (const std::size_t i : group) {
                x = std::min(x, places[i].value.real());
            }
            return x;
        };
        std::sort(groups.begin(), groups.end(),
            [&](const auto& a, const auto& b) { return left(a) < left(b); });
        return groups;
    }

    [[nodiscard]] const PlanePanel* Enlargement(
        int plane, const std::vector<std::size_t>& group) const
    {
        for (const PlanePanel& panel : m_panels) {
            if (panel.plane == plane && panel.group == group) {
                return &panel;
            }
        }
        return nullptr;
    }

    // A square window around the group, with room for the marks and their counts at its edges.
    void AddEnlargement(int plane, const std::vector<std::size_t>& group)
    {
        const std::vector<Place>& places = m_places[static_cast<std::size_t>(plane)];
        double left = HUGE_VAL;
        double right = -HUGE_VAL;
        double bottom = HUGE_VAL;
        double top = -HUGE_VAL;
        for (const std::size_t i : group) {
            left = std::min(left, places[i].value.real());
            right = std::max(right, places[i].value.real());
            bottom = std::min(bottom, places[i].value.imag());
            top = std::max(top, places[i].value.imag());
        }
        const double pad = 3 * kFigureMarker;
        const double half = std::max(right - left, top - bottom) / 2 / (1 - 2 * pad / kSmallSide);
        const std::size_t index = m_panels.size() - 2;
        const double x = kFigureMargin + kSmallLeft
            + static_cast<double>(index % kPerRow) * (kSmallLeft + kSmallSide);
        const double y = std::round(m_panels.front().area.bottom() + FigurePanel::BelowFrame() + 24
            + LineHeight() + 8
            + static_cast<double>(index / kPerRow)
                * (kSmallSide + FigurePanel::BelowFrame() + 24 + LineHeight() + 8));
        m_panels.push_back({ plane, { (left + right) / 2, (bottom + top) / 2 }, half,
            QRectF(x, y, kSmallSide, kSmallSide),
            QString(QChar(static_cast<char16_t>(u'A' + index))), group });
    }

    // The s-plane's scale in rad/s, in thousands or millions where its numbers grow long; as many
    // ticks as their labels leave room for.
    [[nodiscard]] FigurePanel Axes(const PlanePanel& panel) const
    {
        const int intervals = panel.letter.isEmpty() ? 8 : 3;
        const double largest
            = std::max(std::fabs(panel.centre.real()), std::fabs(panel.centre.imag())) + panel.half;
        double unit = 1;
        QString units = QStringLiteral("rad/s");
        if (panel.plane == 0 && largest >= 1e6) {
            unit = 1e6;
            units = QStringLiteral("10\u2076 rad/s");
        } else if (panel.plane == 0 && largest >= 1e3) {
            unit = 1e3;
            units = QStringLiteral("10\u00b3 rad/s");
        }
        const QFontMetricsF metrics(FigureFont());
        const auto label = [unit](const Scale& scale) {
            return [unit, step = scale.step](
                       double value) { return TickLabel(value / unit, step / unit); };
        };
        const auto widest = [&](const Scale& scale) {
            double width = 0;
            for (const double tick : scale.ticks) {
                width = std::max(width, metrics.horizontalAdvance(label(scale)(tick)));
            }
            return width;
        };
        const Scale x = FitTicks(panel.centre.real() - panel.half, panel.centre.real() + panel.half,
            intervals, panel.area.width(), widest);
        const Scale y = TicksWithin(
            panel.centre.imag() - panel.half, panel.centre.imag() + panel.half, intervals);
        if (panel.plane == 1) {
            return { panel.area, { x, false, QStringLiteral("Re z"), label(x) },
                { y, false, QStringLiteral("Im z"), label(y) } };
        }
        return { panel.area, { x, false, QStringLiteral("\u03c3 [%1]").arg(units), label(x) },
            { y, false, QStringLiteral("j\u03c9 [%1]").arg(units), label(y) } };
    }

    void DrawLegend(QPainter& painter) const
    {
        painter.setFont(FigureFont());
        const double middle = kFigureMargin + LineHeight(kFigureTitlePx) + 8 + 15;
        double x = kFigureMargin + kFigureMarker;
        DrawPoleMark(painter, QPointF(x, middle));
        painter.setPen(QColor(kFigureText));
        const auto entry = [&](const QString& text) {
            DrawFigureText(painter, QPointF(x, middle), text, Qt::AlignLeft | Qt::AlignVCenter);
            x += FigureTextWidth(painter, text) + 36;
        };
        x += kFigureMarker + 10;
        entry(QStringLiteral("pole"));
        x += kFigureMarker;
        DrawZeroMark(painter, QPointF(x, middle));
        painter.setPen(QColor(kFigureText));
        x += kFigureMarker + 10;
        entry(QStringLiteral("zero"));
        entry(QStringLiteral("(n): n of them at one place"));
        if (m_panels.size() > 2) {
            painter.setPen(QPen(QColor(kFigureNote), kFigureLineWidth, Qt::DashLine));
            painter.drawRect(QRectF(x, middle - 9, 26, 18));
            painter.setPen(QColor(kFigureText));
            x += 36;
            entry(QStringLiteral("A%1: a region enlarged below")
                      .arg(m_panels.size() > 3 ? QStringLiteral(", B \u2026") : QString()));
        }
    }

    void DrawPanel(QPainter& painter, const PlanePanel& panel) const
    {
        const FigurePanel axes = Axes(panel);
        axes.DrawGrid(painter);
        const QRectF& area = panel.area;
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(kFigureAxis), 1));
        const QPointF origin = Map(panel, 0.0);
        if (origin.y() >= area.top() && origin.y() <= area.bottom()) {
            painter.drawLine(QPointF(area.left(), origin.y()), QPointF(area.right(), origin.y()));
        }
        if (origin.x() >= area.left() && origin.x() <= area.right()) {
            painter.drawLine(QPointF(origin.x(), area.top()), QPointF(origin.x(), area.bottom()));
        }
        painter.setRenderHint(QPainter::Antialiasing, true);
        DrawCircle(painter, panel);

        const std::vector<Place>& places = m_places[static_cast<std::size_t>(panel.plane)];
        const std::vector<std::vector<std::size_t>> crowds = Crowds(panel);
        std::vector<bool> crowded(places.size(), false);
        for (const std::vector<std::size_t>& group : crowds) {
            for (const std::size_t i : group) {
                crowded[i] = true;
            }
            if (const PlanePanel* enlarged = Enlargement(panel.plane, group)) {
                DrawOutline(painter, panel, *enlarged);
            }
        }
        painter.setFont(FigureFont());
        for (const std::size_t i : InView(panel)) {
            const QPointF at = Map(panel, places[i].value);
            if (places[i].pole) {
                DrawPoleMark(painter, at);
            } else {
                DrawZeroMark(painter, at);
            }
            if (places[i].count > 1 && !crowded[i]) {
                painter.setPen(QColor(places[i].pole ? kFigurePole : kFigureZero));
                DrawFigureText(painter, at + QPointF(kFigureMarker + 3, -kFigureMarker - 1),
                    QStringLiteral("(%1)").arg(places[i].count), Qt::AlignLeft | Qt::AlignBottom);
            }
        }
        axes.DrawFrame(painter);

        painter.setPen(QColor(kFigureText));
        painter.setFont(FigureFont());
        QString title;
        if (panel.letter.isEmpty()) {
            title = panel.plane == 0
                ? QStringLiteral("s-plane: analogue prototype")
                : QStringLiteral("z-plane: simulated at %1 Hz").arg(FigureNumber(m_rate, 15));
        } else {
            // How much larger than in its plane's own panel, to two digits: "x2.7", "x4900".
            const double factor = PixelsPerUnit(panel)
                / PixelsPerUnit(m_panels[static_cast<std::size_t>(panel.plane)]);
            const double digit = std::pow(10.0, std::floor(std::log10(factor)) - 1);
            const double rounded = std::round(factor / digit) * digit;
            title = QStringLiteral("%1: %2-plane \u00d7%3")
                        .arg(panel.letter,
                            panel.plane == 0 ? QStringLiteral("s") : QStringLiteral("z"),
                            QString::number(rounded, 'f', rounded >= 10 ? 0 : 1));
        }
        DrawFigureText(
            painter, QPointF(area.left(), area.top() - 8), title, Qt::AlignLeft | Qt::AlignBottom);
    }

    // The reference circle: the corner's |s| = 2 pi f in the s-plane, |z| = 1 in the z-plane,
    // named in the planes' own panels; cut to an enlargement.
    void DrawCircle(QPainter& painter, const PlanePanel& panel) const
    {
        const double radius = m_circle[static_cast<std::size_t>(panel.plane)];
        painter.setPen(QPen(QColor(kFigureCircle), kFigureLineWidth, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        if (panel.letter.isEmpty()) {
            const QPointF centre = Map(panel, 0.0);
            painter.drawEllipse(
                centre, radius * PixelsPerUnit(panel), radius * PixelsPerUnit(panel));
            // In the lower right corner, clear of the circle.
            const QString name = panel.plane == 0
                ? QStringLiteral("circle: |s| = 2\u03c0 \u00d7 %1")
                      .arg(WithMinusSigns(QString::fromStdString(FrequencyName(m_cornerHz))))
                : QStringLiteral("circle: |z| = 1");
            painter.setPen(QColor(kFigureNote));
            painter.setFont(FigureFont());
            DrawFigureText(painter, panel.area.bottomRight() + QPointF(-6, -6), name,
                Qt::AlignRight | Qt::AlignBottom);
            return;
        }
        constexpr int kSteps = 4096;
        QPolygonF circle;
        for (int k = 0; k <= kSteps; ++k) {
            circle.append(Map(panel, std::polar(radius, kTwoPi * k / kSteps)));
        }
        for (const QPolygonF& part : ClipPolyline(circle, panel.area)) {
            painter.drawPolyline(part);
        }
    }

    // Where `enlarged` lies in `panel`: its window outlined (at least a little larger than a
    // mark), and its letter beside it.
    static void DrawOutline(QPainter& painter, const PlanePanel& panel, const PlanePanel& enlarged)
    {
        const QPointF centre = Map(panel, enlarged.centre);
        const double side
            = std::max(2 * enlarged.half * PixelsPerUnit(panel), 2 * kFigureMarker + 12);
        const QRectF outline
            = QRectF(centre - QPointF(side, side) / 2, QSizeF(side, side)).intersected(panel.area);
        painter.setPen(QPen(QColor(kFigureNote), kFigureLineWidth, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(outline);
        painter.setPen(QColor(kFigureText));
        painter.setFont(FigureFont());
        const bool right = outline.right() + 24 < panel.area.right();
        DrawFigureText(painter,
            right ? QPointF(outline.right() + 4, outline.top())
                  : QPointF(outline.left() - 4, outline.top()),
            enlarged.letter, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop);
    }

    QString m_title;
    double m_rate;
    double m_cornerHz;
    std::vector<Place> m_places[2];
    double m_circle[2] = { 1, 1 };
    std::vector<PlanePanel> m_panels; // the s-plane, the z-plane, then the enlargements
};

void WritePicture(const std::string& output, const FilterModel& model)
{
    const auto application = StartPictureApplication();
    const PoleZeroFigure figure(model);
    WriteFigure(output, figure.Size(), QStringLiteral("Vorn poles and zeros"),
        [&](QPainter& painter) { figure.Draw(painter); });
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
            "With --plot it writes the pole-zero figure instead: the s-plane left, in rad/s (the "
            "s of e^(st)), with the circle |s| = 2 pi times the corner; the z-plane with the unit "
            "circle right; poles as crosses and zeros as circles, a count such as (3) beside a "
            "place where three lie. Below them, lettered and outlined where they lie, enlargements "
            "of the "
            "places where marks would overlap, so that every pole and zero lies a marker's width "
            "from the others in some panel.\n"
            "With design options, the design's: its analogue sections' poles (and zeros), the DC "
            "block's zero and pole, and the discrete ones; sampled as a whole, the discrete zeros "
            "are those of the whole filter, found numerically." });
    line.SetExamples(command,
        { { "vorn-render poles --plot poles.png",
              "the poles and zeros of the window's chain, analogue and sampled" },
            { "vorn-render poles --type chebyshev2 --order 5",
                "a Chebyshev II filter's roots as a list: its zeros lie on the imaginary axis" } });
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
