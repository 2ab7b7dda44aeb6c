// vorn-render metrics: the step and impulse figures of the chain as the program runs it at a
// given rate, next to the analogue prototype's, or the step response's figure.
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
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorn {

namespace {

std::string MetricsTable(const FilterModel& model)
{
    const double rate = model.Rate();
    const StepMetrics simulated = model.SimulatedMetrics();
    const StepMetrics analogue = model.AnalogueMetrics();
    struct Line
    {
        const char* name;
        double StepMetrics::*member;
        double scale;
    };
    const Line lines[] = {
        { "rise_time_ms", &StepMetrics::riseTime, 1e3 },
        { "overshoot_percent", &StepMetrics::overshootPercent, 1 },
        { "peak_time_ms", &StepMetrics::peakTime, 1e3 },
        { "settling_time_ms", &StepMetrics::settlingTime, 1e3 },
        { "impulse_peak_per_ms", &StepMetrics::impulsePeak, 1e-3 },
        { "impulse_peak_time_ms", &StepMetrics::impulsePeakTime, 1e3 },
        { "chain_overshoot_percent", &StepMetrics::chainOvershootPercent, 1 },
        { "chain_peak_time_ms", &StepMetrics::chainPeakTime, 1e3 },
    };
    std::string text = model.IsWindowChain()
        ? "# The low-pass's step (10-90 % rise, 2 % settling) and impulse response, simulated at "
            + FormatDouble15g(rate)
            + " Hz (sample n at n / rate)\n"
              "# and analogue; chain_*: the whole chain's step response, high-pass included.\n"
        : "# " + model.Name()
            + "\n# Its step (10-90 % rise, 2 % settling, relative to its final "
              "value) and impulse response, simulated at "
            + FormatDouble15g(rate)
            + " Hz (sample n at n / rate)\n# and analogue; chain_*: with the DC block; nan: none "
              "(no peak, or not settled within the figures' span).\n";
    if (model.MeasuresComplement()) {
        text += "# A high-pass: every figure is that of the complement, its gain at high "
                "frequencies minus its step\n# response: the rise is its output's fall from the "
                "first jump, the overshoot its undershoot below 0.\n";
    }
    const auto pad = [](std::string item, std::size_t width) {
        item.resize(std::max(width, item.size()), ' ');
        return item;
    };
    text += pad("quantity", 24) + pad("simulated", 18) + "analogue\n";
    for (const Line& line : lines) {
        text += pad(line.name, 24) + pad(FormatGeneral(simulated.*line.member * line.scale, 9), 18)
            + FormatGeneral(analogue.*line.member * line.scale, 9) + '\n';
    }
    return text;
}

// The step figure: the measured step response against time, simulated samples and the analogue
// curve, with the analogue prototype's rise, overshoot and settling marked.
constexpr int kWidth = 1200;
constexpr int kPanelHeight = 560;
constexpr int kLeft = 130;
constexpr int kRight = 44;
constexpr std::size_t kMostSamples = std::size_t { 1 } << 20;
constexpr double kBand = 2; // the settling band, +- percent

// What the figure says it shows: the step response of what, relative to what.
QString StepSubtitle(const FilterModel& model)
{
    QString before;
    if (model.IsWindowChain()) {
        before = QStringLiteral(" of the low-pass, before the 1 Hz high-pass");
    } else if (model.Design()->dcBlock) {
        before = QStringLiteral(", before the DC block");
    }
    if (model.MeasuresComplement()) {
        return QStringLiteral("Complement of the step response (the gain at high frequencies "
                              "minus it)%1")
            .arg(before);
    }
    return QStringLiteral("Step response%1").arg(before);
}

class StepPicture
{
public:
    explicit StepPicture(const FilterModel& model)
        : m_model(model)
        , m_title(QString::fromStdString(model.Name()))
        , m_subtitle(StepSubtitle(model))
        , m_metrics(model.AnalogueMetrics())
    {
        // Long enough to see it settle: twice the settling time (the whole span the figures are
        // looked for without one), in round milliseconds.
        double end = model.StepSpan();
        if (std::isfinite(m_metrics.settlingTime)) {
            end = std::min(end, std::max(2 * m_metrics.settlingTime, 1.5 * m_metrics.peakTime));
        }
        const Scale time = NiceScale(0, end * 1e3, DecimalSteps(0, end * 1e3), 10);
        m_endMs = time.high;
        const auto count = std::min(kMostSamples,
            static_cast<std::size_t>(std::floor(m_endMs * 1e-3 * model.Rate() * (1 + 1e-12))) + 1);
        m_samples = model.SimulatedStep(count);
        constexpr int kCurvePoints = 2000;
        for (int i = 0; i <= kCurvePoints; ++i) {
            const double t = m_endMs * 1e-3 * i / kCurvePoints;
            m_curve.emplace_back(t * 1e3, model.AnalogueStep(t) * 100);
        }
        double low = 0;
        double high = 100 + kBand;
        for (const double value : m_samples) {
            low = std::min(low, value * 100);
            high = std::max(high, value * 100);
        }
        for (const QPointF& point : m_curve) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        // Room above the peak for its two lines of text.
        const double margin = (high - low) * 0.03;
        const double room = 2 * QFontMetricsF(FigureFont()).height() + kFigureDot + 14;
        double top = high + margin;
        for (int i = 0; i < 3; ++i) {
            m_levels = NiceScale(low - margin, top, DecimalSteps(low, top), 12);
            const double needed = high + room * (m_levels.high - m_levels.low) / kPanelHeight;
            if (!std::isfinite(m_metrics.peakTime) || m_levels.high >= needed) {
                break;
            }
            top = needed;
        }
        m_time = time;
        const double spacing = (kWidth - kLeft - kRight) * 1e3 / model.Rate() / m_endMs;
        m_dots = spacing >= 3 * kFigureSampleDot;
    }

    [[nodiscard]] QSize Size() const
    {
        return { kWidth,
            static_cast<int>(
                std::ceil(Top() + kPanelHeight + FigurePanel::BelowFrame() + kFigureMargin)) };
    }

    void Draw(QPainter& painter) const
    {
        DrawHeading(painter);
        const QString units = m_model.MeasuresComplement()
            ? QStringLiteral("% of the gain at high frequencies")
            : QStringLiteral("% of the final value");
        const FigurePanel panel(QRectF(kLeft, Top(), kWidth - kLeft - kRight, kPanelHeight),
            { m_time, false, QStringLiteral("time [ms]"), {} }, { m_levels, false, units, {} });
        panel.DrawGrid(painter);
        const QRectF& area = panel.Area();
        // The settling band first, under everything.
        const double bandTop = std::max(area.top(), panel.MapY(100 + kBand));
        const double bandBottom = std::min(area.bottom(), panel.MapY(100 - kBand));
        painter.fillRect(QRectF(QPointF(area.left(), bandTop), QPointF(area.right(), bandBottom)),
            QColor(kFigureBand));

        painter.setPen(QPen(QColor(kFigureAnalogue), kFigureTraceWidth, Qt::SolidLine, Qt::RoundCap,
            Qt::RoundJoin));
        QPolygonF curve;
        for (const QPointF& point : m_curve) {
            curve.append(panel.Map(point.x(), point.y()));
        }
        panel.DrawClipped(painter, curve);
        DrawSamples(painter, panel);
        DrawMarks(painter, panel);
        panel.DrawFrame(painter);
    }

private:
    [[nodiscard]] static double Top()
    {
        return std::round(kFigureMargin + QFontMetricsF(FigureFont(kFigureTitlePx)).height() + 8
            + 2 * QFontMetricsF(FigureFont()).height() + 8 + 24);
    }

    // The title, what is drawn, and the legend.
    void DrawHeading(QPainter& painter) const
    {
        painter.setPen(QColor(kFigureText));
        painter.setFont(FigureFont(kFigureTitlePx));
        double y = kFigureMargin;
        DrawFigureText(painter, QPointF(kFigureMargin, y), m_title, Qt::AlignLeft | Qt::AlignTop);
        y += QFontMetricsF(painter.font()).height() + 8;
        painter.setFont(FigureFont());
        const double line = QFontMetricsF(painter.font()).height();
        DrawFigureText(
            painter, QPointF(kFigureMargin, y), m_subtitle, Qt::AlignLeft | Qt::AlignTop);
        y += line + 8;
        const double middle = y + line / 2;
        double x = kFigureMargin;
        if (m_dots) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(kFigureSimulated));
            for (int i = 0; i < 3; ++i) {
                painter.drawEllipse(
                    QPointF(x + 4 + 13 * i, middle), kFigureSampleDot, kFigureSampleDot);
            }
        } else {
            painter.fillRect(QRectF(x, middle - 1, 30, 2), QColor(kFigureSimulated));
        }
        painter.setPen(QColor(kFigureText));
        const auto entry = [&](const QString& text) {
            DrawFigureText(
                painter, QPointF(x + 48, middle), text, Qt::AlignLeft | Qt::AlignVCenter);
            x += 48 + FigureTextWidth(painter, text) + 36;
        };
        entry(QStringLiteral("simulated at %1 Hz%2")
                  .arg(FigureNumber(m_model.Rate(), 15),
                      m_dots ? QStringLiteral(", its samples") : QString()));
        painter.fillRect(QRectF(x, middle - 1.5, 30, 3), QColor(kFigureAnalogue));
        entry(QStringLiteral("analogue prototype, its figures marked"));
        if (!std::isfinite(m_metrics.peakTime)) {
            entry(QStringLiteral("(no overshoot)"));
        }
    }

    // The samples as dots where they lie apart, as a line where they crowd.
    void DrawSamples(QPainter& painter, const FigurePanel& panel) const
    {
        const double period = 1e3 / m_model.Rate();
        QPolygonF line;
        for (std::size_t n = 0; n < m_samples.size(); ++n) {
            line.append(panel.Map(static_cast<double>(n) * period, m_samples[n] * 100));
        }
        if (!m_dots) {
            painter.setPen(QPen(QColor(kFigureSimulated), 1.5));
            panel.DrawClipped(painter, line);
            return;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(kFigureSimulated));
        for (const QPointF& point : line) {
            if (panel.Contains(point)) {
                painter.drawEllipse(point, kFigureSampleDot, kFigureSampleDot);
            }
        }
    }

    // Whether a curve or one of the marks' `lines` runs through `box`.
    [[nodiscard]] bool Blocked(
        const FigurePanel& panel, const QRectF& box, const std::vector<QLineF>& lines) const
    {
        const QRectF clear = box.adjusted(-3, -3, 3, 3);
        for (const QLineF& line : lines) {
            const QRectF bounds = QRectF(line.p1(), line.p2()).normalized();
            if (bounds.right() >= clear.left() && bounds.left() <= clear.right()
                && bounds.bottom() >= clear.top() && bounds.top() <= clear.bottom()) {
                return true;
            }
        }
        for (const QPointF& point : m_curve) {
            if (clear.contains(panel.Map(point.x(), point.y()))) {
                return true;
            }
        }
        const double period = 1e3 / m_model.Rate();
        for (std::size_t n = 0; n < m_samples.size(); ++n) {
            if (clear.contains(panel.Map(static_cast<double>(n) * period, m_samples[n] * 100))) {
                return true;
            }
        }
        return false;
    }

    // Draws `lines` left-aligned in the first of the boxes whose top left corners are `corners`
    // that lies in the panel clear of the curves and of `marks`, or in the first one inside it.
    void DrawNote(QPainter& painter, const FigurePanel& panel, const QStringList& lines,
        std::initializer_list<QPointF> corners, const std::vector<QLineF>& marks = {}) const
    {
        const QFontMetricsF metrics(painter.font());
        double width = 0;
        for (const QString& line : lines) {
            width = std::max(width, metrics.horizontalAdvance(line));
        }
        const QSizeF size(width, metrics.height() * static_cast<double>(lines.size()));
        const QRectF inner = panel.Area().adjusted(2, 2, -2, -2);
        std::optional<QPointF> chosen;
        for (const QPointF& corner : corners) {
            const QRectF box(corner, size);
            if (!inner.contains(box)) {
                continue;
            }
            if (!Blocked(panel, box, marks)) {
                chosen = corner;
                break;
            }
            chosen = chosen ? chosen : corner;
        }
        const QPointF at = chosen.value_or(*corners.begin());
        painter.setPen(QColor(kFigureText));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            DrawFigureText(painter, at + QPointF(0, static_cast<double>(i) * metrics.height()),
                lines[i], Qt::AlignLeft | Qt::AlignTop);
        }
    }

    void DrawMarks(QPainter& painter, const FigurePanel& panel) const
    {
        const QRectF& area = panel.Area();
        const QPen note(QColor(kFigureNote), kFigureLineWidth, Qt::DashLine);
        painter.setFont(FigureFont());
        const QFontMetricsF metrics(painter.font());
        const double line = metrics.height();
        const StepMetrics& m = m_metrics;
        const double arrowY = area.bottom() - line / 2 - 6;
        // The upright lines of the marks, which the notes keep clear of.
        std::vector<QLineF> marks;
        const bool rise = std::isfinite(m.riseStart) && std::isfinite(m.riseTime);
        const double times[] = { m.riseStart * 1e3, (m.riseStart + m.riseTime) * 1e3 };
        const double levels[] = { 10, 90 };
        if (rise) {
            for (int i = 0; i < 2; ++i) {
                const QPointF at = panel.Map(times[i], levels[i]);
                marks.emplace_back(at, QPointF(at.x(), arrowY));
            }
        }
        const bool settles = std::isfinite(m.settlingTime);
        const double settlingX = panel.MapX(m.settlingTime * 1e3);
        if (settles) {
            marks.emplace_back(
                QPointF(settlingX, panel.MapY(m_model.AnalogueStep(m.settlingTime) * 100)),
                QPointF(settlingX, area.bottom()));
        }

        // The rise: the 10 % and 90 % levels up to their first crossings, down from there to an
        // arrow over the interval, just above the time axis.
        if (rise) {
            QPointF at[2];
            for (int i = 0; i < 2; ++i) {
                at[i] = panel.Map(times[i], levels[i]);
                painter.setPen(note);
                painter.drawLine(QPointF(area.left(), at[i].y()), at[i]);
                painter.drawLine(at[i], QPointF(at[i].x(), arrowY));
            }
            const double left = panel.MapX(times[0]);
            const double right = panel.MapX(times[1]);
            painter.setPen(QPen(QColor(kFigureText), kFigureLineWidth));
            painter.drawLine(QPointF(left, arrowY), QPointF(right, arrowY));
            for (const auto& [tip, side] : { std::pair(left, 1.0), std::pair(right, -1.0) }) {
                painter.drawLine(QPointF(tip, arrowY), QPointF(tip + side * 8, arrowY - 5));
                painter.drawLine(QPointF(tip, arrowY), QPointF(tip + side * 8, arrowY + 5));
            }
            const QString riseText
                = QStringLiteral("rise time %1 ms").arg(FigureFixed(m.riseTime * 1e3, 3));
            DrawNote(painter, panel, { riseText },
                { QPointF(right + 10, arrowY - line / 2),
                    QPointF((left + right - metrics.horizontalAdvance(riseText)) / 2,
                        arrowY - line - 6),
                    QPointF(left - 10 - metrics.horizontalAdvance(riseText), arrowY - line / 2),
                    QPointF(std::max(right, settles ? settlingX : right) + 10, arrowY - line / 2) },
                marks);
            // Each level's name above its line at the left, or below it right of the crossing.
            for (int i = 0; i < 2; ++i) {
                DrawNote(painter, panel, { QStringLiteral("%1 %").arg(levels[i]) },
                    { QPointF(area.left() + 6, at[i].y() - 2 - line),
                        QPointF(at[i].x() + 8, at[i].y() + 2),
                        QPointF(area.left() + 6, at[i].y() + 2) },
                    marks);
            }
        }

        // The settling: the band's name at its right end, a line at the moment from which the
        // curve stays in it, and the time beside the line.
        painter.setPen(QColor(kFigureText));
        DrawFigureText(painter, QPointF(area.right() - 8, panel.MapY(100 + kBand) - 4),
            QStringLiteral("\u00b12 % band"), Qt::AlignRight | Qt::AlignBaseline);
        if (settles) {
            const double x = settlingX;
            painter.setPen(note);
            painter.drawLine(marks.back());
            DrawNote(painter, panel,
                { QStringLiteral("settling time"),
                    QStringLiteral("%1 ms").arg(FigureFixed(m.settlingTime * 1e3, 3)) },
                { QPointF(x + 8, panel.MapY(55) - line), QPointF(x + 8, panel.MapY(30) - line),
                    QPointF(x + 8, panel.MapY(75) - line) },
                marks);
        }

        // The peak: a dot, the overshoot and its time beside it.
        if (std::isfinite(m.peakTime)) {
            const QPointF at = panel.Map(m.peakTime * 1e3, 100 + m.overshootPercent);
            painter.setPen(QPen(Qt::white, 2));
            painter.setBrush(QColor(kFigureAnalogue));
            painter.drawEllipse(at, kFigureDot, kFigureDot);
            const double away = kFigureDot + 6;
            DrawNote(painter, panel,
                { QStringLiteral("overshoot %1 %").arg(FigureFixed(m.overshootPercent, 3)),
                    QStringLiteral("peak at %1 ms").arg(FigureFixed(m.peakTime * 1e3, 3)) },
                { at + QPointF(away, -away - 2 * line), at + QPointF(2 * away, -line),
                    at + QPointF(away, away) },
                marks);
        }
    }

    const FilterModel& m_model;
    QString m_title;
    QString m_subtitle;
    StepMetrics m_metrics;
    double m_endMs = 10;
    bool m_dots = true; // the samples as dots, or where they crowd as a line
    std::vector<double> m_samples;
    std::vector<QPointF> m_curve; // ms, percent
    Scale m_time;
    Scale m_levels;
};

void WriteStepPicture(const std::string& output, const FilterModel& model)
{
    const auto application = StartPictureApplication();
    const StepPicture picture(model);
    WriteFigure(output, picture.Size(), QStringLiteral("Vorn step response"),
        [&](QPainter& painter) { picture.Draw(painter); });
}

} // namespace

void AddMetricsCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<MetricsOptions>();
    CLI::App* command = line.AddCommand("metrics",
        "step and impulse response figures, simulated and analogue",
        { { "[--rate HZ] [--plot FILE.png|FILE.svg]" },
            "Prints the low-pass's step response figures (rise time from 10 to 90 %, overshoot, "
            "peak time, settling time to within 2 % of the final value) and impulse response "
            "figures (peak and its time), and the whole chain's overshoot and peak time, for the "
            "chain simulated at --rate (sample n at n / rate) next to those of the analogue "
            "prototype.\n"
            "With design options, the design's figures relative to its final value (below 1 for "
            "even orders of Chebyshev I and elliptic filters), the chain's with the DC block. For "
            "a high-pass they are those of its gain at high frequencies minus its step response: "
            "the rise is the fall of its output from the first jump, the overshoot its undershoot "
            "below 0.\n"
            "--plot writes the step response's figure instead, PNG or SVG by the name's ending: "
            "the simulated samples (sample n at n / rate) and the analogue prototype's curve in "
            "percent of the final value (for a high-pass its complement, in percent of its gain at "
            "high frequencies), until about twice the settling time, with the analogue prototype's "
            "figures marked: the 10 % and 90 % levels and the rise time between their first "
            "crossings, the peak with its overshoot and time, and the 2 % band with the settling "
            "time." });
    line.SetExamples(command,
        { { "vorn-render metrics --plot step.png",
              "the step response with its rise time, overshoot and settling time marked" },
            { "vorn-render metrics --type bessel --order 6",
                "a Bessel filter's figures: next to no overshoot" } });
    AddChainRate(*command, options->rate);
    AddPictureFile(*command, "--plot", options->plot,
        "writes the step response's figure instead of printing the table");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->rate);
        parsed = { command->get_name(), *options };
    });
}

void RunMetrics(const MetricsOptions& options)
{
    const FilterModel model(OneDesign(options.designs), options.rate);
    if (!options.plot.empty()) {
        WriteStepPicture(options.plot, model);
        return;
    }
    const std::string text = MetricsTable(model);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace vorn
