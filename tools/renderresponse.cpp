// vorn-render response: the frequency response of the chain as the program simulates it at a
// given rate, next to its analogue prototype, as a table or a picture.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "figureaxes.h"
#include "figurestyle.h"
#include "filtermodel.h"
#include "numbertext.h"
#include "optionvalues.h"
#include "renderoptions.h"
#include "renderpicture.h"
#include "response.h"
#include "usageerror.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorn {

namespace {

constexpr double kMinHz = 0.001;
constexpr long long kMaxPoints = 1'000'000;

// Every frequency the table shows: at least kMinHz, below half the rate.
void CheckFrequency(const std::string& name, double hz, double rate)
{
    if (!(hz >= kMinHz && hz < rate / 2)) {
        throw UsageError(name + " must lie from 0.001 Hz to below half the rate ("
            + FormatDouble15g(rate / 2) + " Hz), not " + FormatDouble15g(hz));
    }
}

// The frequency grid of the options as parsed, `at` or --points from --from to --to, each
// frequency checked against the rate.
struct Grid
{
    double from = 10.0;
    double to = 20000.0;
    long long points = 200;
    bool linear = false;
    std::vector<double> at;
};

std::vector<double> Frequencies(const Grid& grid, double rate)
{
    if (!grid.at.empty()) {
        for (const double hz : grid.at) {
            CheckFrequency("--at", hz, rate);
        }
        return grid.at;
    }
    CheckFrequency("--from", grid.from, rate);
    CheckFrequency("--to", grid.to, rate);
    if (!(grid.from < grid.to)) {
        throw UsageError("--from must be below --to");
    }
    return FrequencyGrid(grid.from, grid.to, static_cast<std::size_t>(grid.points), !grid.linear);
}

// The table: nine significant digits, as %.9g writes them in the C locale, whatever the locale.
void AppendNumber(std::string& text, double value)
{
    char number[32];
    const auto result
        = std::to_chars(number, number + sizeof number, value, std::chars_format::general, 9);
    text.append(number, result.ptr);
}

constexpr const char* kColumns[]
    = { "hz", "db", "phase_deg", "delay_ms", "analog_db", "analog_phase_deg", "analog_delay_ms" };
// Wide enough for the longest header and for any %.9g number ("-1.23456789e-100").
constexpr std::size_t kTextWidth = 16;

void PrintTable(const std::vector<ResponseRow>& rows, bool csv)
{
    std::string text;
    const auto cell = [&](const std::string& item, bool first) {
        if (csv) {
            text += first ? "" : ",";
            text += item;
        } else {
            text += first ? "" : " ";
            text.append(kTextWidth - std::min(kTextWidth, item.size()), ' ');
            text += item;
        }
    };
    bool first = true;
    for (const char* column : kColumns) {
        cell(column, first);
        first = false;
    }
    text += '\n';
    std::string item;
    for (const ResponseRow& row : rows) {
        const double values[] = { row.hz, row.simulated.db, row.simulated.phaseDeg,
            row.simulated.delayMs, row.analogue.db, row.analogue.phaseDeg, row.analogue.delayMs };
        first = true;
        for (const double value : values) {
            item.clear();
            AppendNumber(item, value);
            cell(item, first);
            first = false;
        }
        text += '\n';
        if (text.size() > (1 << 16)) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// Several designs side by side: the frequency, then a block of the six columns per design, each
// named by its column and its design (quoted, as CSV quotes a field with commas).
void PrintDesignsCsv(
    const std::vector<std::string>& names, const std::vector<std::vector<ResponseRow>>& responses)
{
    std::string text = "hz";
    for (const std::string& name : names) {
        for (std::size_t c = 1; c < std::size(kColumns); ++c) {
            text += ",\"" + std::string(kColumns[c]) + " (" + name + ")\"";
        }
    }
    text += '\n';
    for (std::size_t r = 0; r < responses.front().size(); ++r) {
        AppendNumber(text, responses.front()[r].hz);
        for (const std::vector<ResponseRow>& rows : responses) {
            const ResponseRow& row = rows[r];
            for (const double value :
                { row.simulated.db, row.simulated.phaseDeg, row.simulated.delayMs, row.analogue.db,
                    row.analogue.phaseDeg, row.analogue.delayMs }) {
                text += ',';
                AppendNumber(text, value);
            }
        }
        text += '\n';
        if (text.size() > (1 << 16)) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// The formats other tools import: FRD ('*' comments, then frequency, level and phase in degrees
// within +-180, space-separated) and an audio editor's spectrum export (a header, then frequency
// and level, tab-separated). One of the two responses, simulated or analogue.
void PrintExchange(const std::vector<ResponseRow>& rows, bool frd, bool analogue, double rate,
    const std::string& name)
{
    std::string text;
    if (frd) {
        text += "* Vorn: " + name + ", ";
        text += analogue ? "analogue prototype\n"
                         : "simulated at " + FormatDouble15g(rate) + " Hz\n";
        text += "* frequency [Hz], level [dB], phase [degrees]\n";
    } else {
        text += "Frequency (Hz)\tLevel (dB)\n";
    }
    for (const ResponseRow& row : rows) {
        const ResponseValue& value = analogue ? row.analogue : row.simulated;
        AppendNumber(text, row.hz);
        text += frd ? ' ' : '\t';
        AppendNumber(text, value.db);
        if (frd) {
            // Within (-180, 180], as such files hold it.
            double phase = std::remainder(value.phaseDeg, 360.0);
            phase = phase == -180 ? 180 : phase;
            text += ' ';
            AppendNumber(text, phase + 0.0);
        }
        text += '\n';
        if (text.size() > (1 << 16)) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// --range LOW:HIGH, two decimals in dB, LOW below HIGH.
std::pair<double, double> ReadLevelRange(const std::string& text)
{
    const std::size_t colon = text.find(':');
    const auto refuse = [&text]() -> UsageError {
        return UsageError("--range must be LOW:HIGH in dB with LOW below HIGH, not '" + text + "'");
    };
    if (colon == std::string::npos) {
        throw refuse();
    }
    const double low = ReadDecimal("--range", text.substr(0, colon));
    const double high = ReadDecimal("--range", text.substr(colon + 1));
    if (!(low < high)) {
        throw refuse();
    }
    return { low, high };
}

// The picture: one panel per quantity, one above the other, sharing the frequency axis; above
// them the title and the legend, clear of the curves.
constexpr int kWidth = 1200;
constexpr int kLevelHeight = 330;
constexpr int kPanelHeight = 240;
constexpr int kLeft = 130;
constexpr int kRight = 30;
constexpr int kLegendLine = 30;
constexpr int kLegendText = 48; // where an entry's text starts, right of its stroke
constexpr std::size_t kMarkedPoints = 40;
// The default level axis reaches at most this far below its top, or 20 dB below the lowest
// stop-band floor.
constexpr double kLevelDepth = 100;

QString FrequencyLabel(double hz)
{
    return hz >= 1000 ? FigureNumber(hz / 1000) + QStringLiteral("k") : FigureNumber(hz);
}

struct Panel
{
    QString title;
    std::function<double(const ResponseValue&)> value;
    bool phase = false;
    bool level = false;
};

// One filter's response in the picture, and what its marks say.
struct Curve
{
    QString name;
    std::vector<ResponseRow> rows;
    FilterModel::Corner corner;
    int slope = 0; // the stop band's asymptote, dB per octave
    std::optional<double> floor; // the stop band's, dB
    bool highPass = false;
    std::optional<DesignPlan> plan; // none: the window's chain
};

QString SlopeText(int slope)
{
    return (slope > 0 ? QStringLiteral("+") : QString()) + FigureNumber(slope)
        + QStringLiteral(" dB/octave");
}

// "-36 dB/octave"; where the stop band keeps a level, "stop band -60 dB" (and the slope beyond
// it, for odd orders).
QString StopbandText(const Curve& curve)
{
    if (!curve.floor) {
        return curve.slope != 0 ? SlopeText(curve.slope) : QString();
    }
    QString text = QStringLiteral("stop band %1 dB").arg(FigureNumber(*curve.floor));
    if (curve.slope != 0) {
        text += QStringLiteral(", then ") + SlopeText(curve.slope);
    }
    return text;
}

// The level axis when --range does not give it: from the 10 dB step at least 1 dB above the
// highest level down to the lowest, but at most kLevelDepth below the top (or 20 dB below the
// lowest stop-band floor), so that a steep stop band does not squash the pass band.
std::pair<double, double> DefaultLevelRange(const std::vector<Curve>& curves)
{
    double highest = -HUGE_VAL;
    double lowest = HUGE_VAL;
    for (const Curve& curve : curves) {
        for (const ResponseRow& row : curve.rows) {
            for (const double db : { row.simulated.db, row.analogue.db }) {
                if (std::isfinite(db)) {
                    highest = std::max(highest, db);
                    lowest = std::min(lowest, db);
                }
            }
        }
    }
    if (!(highest >= lowest)) {
        return { -kLevelDepth + 10, 10 };
    }
    const double top = 10 * std::ceil((highest + 1) / 10);
    double depth = kLevelDepth;
    for (const Curve& curve : curves) {
        if (curve.floor) {
            depth = std::max(depth, top - *curve.floor + 20);
        }
    }
    return { std::max(10 * std::floor((lowest - 1) / 10), top - depth), top };
}

class ResponsePicture
{
public:
    // One filter: its simulated response red and its analogue prototype blue, its corner marked
    // and its stop band's slope written along it. Several: one colour each, simulated solid,
    // analogue dashed, each corner a dot in its colour, the slopes in the legend.
    ResponsePicture(
        std::vector<Curve> curves, const ResponseOptions& request, std::vector<Panel> panels)
        : m_curves(std::move(curves))
        , m_panels(std::move(panels))
        , m_rate(request.rate)
        , m_logarithmic(request.logarithmic)
    {
        // The traces run in frequency order, whatever order --at gave.
        for (Curve& curve : m_curves) {
            std::sort(curve.rows.begin(), curve.rows.end(),
                [](const ResponseRow& a, const ResponseRow& b) { return a.hz < b.hz; });
        }
        const std::vector<ResponseRow>& rows = m_curves.front().rows;
        m_frequency = FrequencyScale(rows.front().hz, rows.back().hz, m_logarithmic);
        m_levels = request.levelRange ? *request.levelRange : DefaultLevelRange(m_curves);
        if (m_curves.size() == 1) {
            m_title = m_curves.front().name;
        } else {
            // What the designs share goes in the title, what sets each apart in its entry.
            std::vector<DesignPlan> plans;
            for (const Curve& curve : m_curves) {
                plans.push_back(*curve.plan);
            }
            const DesignNameParts differ = DifferingParts(plans);
            const DesignNameParts shared { !differ.order, !differ.corner, !differ.type,
                !differ.shape, !differ.hold, !differ.dcBlock };
            const QString common = QString::fromStdString(DesignName(plans.front(), shared));
            m_title = QStringLiteral("%1 designs").arg(m_curves.size())
                + (common.isEmpty() ? QString() : QStringLiteral(": ") + common);
            for (std::size_t i = 0; i < m_curves.size(); ++i) {
                QString entry = QString::fromStdString(DesignName(plans[i], differ));
                if (differ.dcBlock && !plans[i].dcBlockHz) {
                    entry += QStringLiteral(", no DC block");
                }
                const QString stopband = StopbandText(m_curves[i]);
                m_entries.push_back(
                    entry + (stopband.isEmpty() ? QString() : QStringLiteral(", ") + stopband));
            }
        }
        if (request.title) {
            m_title = QString::fromStdString(*request.title);
        }
        const QFontMetricsF metrics(FigureFont());
        double widest = 0;
        for (const QString& entry : m_entries) {
            widest = std::max(widest, metrics.horizontalAdvance(entry));
        }
        m_columns = m_curves.size() > 1 && kLegendText + widest + 16 <= LegendWidth() / 2 ? 2 : 1;
    }

    [[nodiscard]] QSize Size() const
    {
        double y = PanelTop(m_panels.size());
        return { kWidth,
            static_cast<int>(std::ceil(y - Gap() + FigurePanel::BelowFrame() + kFigureMargin)) };
    }

    void Draw(QPainter& painter) const
    {
        DrawHeading(painter);
        std::vector<FigurePanel> panels;
        double titleLeft = 0;
        for (std::size_t i = 0; i < m_panels.size(); ++i) {
            panels.push_back(MakePanel(i));
            titleLeft = std::max(titleLeft, panels.back().LabelWidth(painter) + 10);
        }
        for (std::size_t i = 0; i < m_panels.size(); ++i) {
            const FigurePanel& panel = panels[i];
            panel.DrawGrid(painter);
            DrawTraces(painter, panel, m_panels[i]);
            if (m_panels[i].level) {
                DrawLevelMarks(painter, panel);
            }
            panel.DrawFrame(painter, titleLeft);
        }
    }

private:
    [[nodiscard]] static double Gap()
    {
        return std::round(kFigureTick + 4 + QFontMetricsF(FigureFont()).height() + 26);
    }

    // The title and legend take the figure's width, within its margins.
    [[nodiscard]] static double LegendWidth() { return kWidth - 2 * kFigureMargin; }

    [[nodiscard]] int LegendLines() const
    {
        if (m_curves.size() == 1) {
            return 1;
        }
        return 1 + static_cast<int>((m_curves.size() + m_columns - 1) / m_columns);
    }

    [[nodiscard]] double HeadingHeight() const
    {
        const double title
            = m_title.isEmpty() ? 0 : QFontMetricsF(FigureFont(kFigureTitlePx)).height() + 8;
        // Whole pixels, so that the frames are sharp.
        return std::round(kFigureMargin + title + LegendLines() * kLegendLine + 24);
    }

    // The top of panel `index` (of the figure's end for the panel after the last).
    [[nodiscard]] double PanelTop(std::size_t index) const
    {
        double y = HeadingHeight();
        for (std::size_t i = 0; i < index; ++i) {
            y += (m_panels[i].level ? kLevelHeight : kPanelHeight) + Gap();
        }
        return y;
    }

    [[nodiscard]] FigurePanel MakePanel(std::size_t index) const
    {
        const Panel& panel = m_panels[index];
        const double height = panel.level ? kLevelHeight : kPanelHeight;
        const QRectF area(kLeft, PanelTop(index), kWidth - kLeft - kRight, height);
        FigureAxis x { m_frequency, m_logarithmic,
            index + 1 == m_panels.size() ? QStringLiteral("frequency [Hz]") : QString(),
            FrequencyLabel };
        const int intervals = static_cast<int>(height / 32);
        FigureAxis y;
        y.title = panel.title;
        if (panel.level) {
            y.scale = TicksWithin(m_levels.first, m_levels.second, intervals);
        } else {
            double low = HUGE_VAL;
            double high = -HUGE_VAL;
            for (const Curve& curve : m_curves) {
                for (const ResponseRow& row : curve.rows) {
                    for (const ResponseValue* value : { &row.simulated, &row.analogue }) {
                        low = std::min(low, panel.value(*value));
                        high = std::max(high, panel.value(*value));
                    }
                }
            }
            // A little room above and below, so that no trace runs along the frame.
            const double margin = (high - low) * 0.02;
            low -= margin;
            high += margin;
            y.scale = NiceScale(low, high,
                panel.phase ? PhaseSteps(low, high) : DecimalSteps(low, high), intervals);
        }
        return { area, std::move(x), std::move(y) };
    }

    [[nodiscard]] QRgb AnalogueColour(std::size_t curve) const
    {
        return m_curves.size() == 1 ? kFigureAnalogue : kFigureDesigns[curve];
    }

    [[nodiscard]] QRgb SimulatedColour(std::size_t curve) const
    {
        return m_curves.size() == 1 ? kFigureSimulated : kFigureDesigns[curve];
    }

    // The title, then the legend: what each colour (and stroke) is.
    void DrawHeading(QPainter& painter) const
    {
        painter.setPen(QColor(kFigureText));
        double y = kFigureMargin;
        if (!m_title.isEmpty()) {
            painter.setFont(FigureFont(kFigureTitlePx));
            DrawFigureText(
                painter, QPointF(kFigureMargin, y), m_title, Qt::AlignLeft | Qt::AlignTop);
            y += QFontMetricsF(painter.font()).height() + 8;
        }
        painter.setFont(FigureFont());
        const double middle = y + kLegendLine / 2.0;
        if (m_curves.size() == 1) {
            const QString entries[]
                = { QStringLiteral("simulated at %1 Hz").arg(FigureNumber(m_rate, 15)),
                      QStringLiteral("analogue prototype") };
            const QRgb colours[] = { kFigureSimulated, kFigureAnalogue };
            double x = kFigureMargin;
            for (int i = 0; i < 2; ++i) {
                painter.fillRect(QRectF(x, middle - 2, 30, 4), QColor(colours[i]));
                painter.setPen(QColor(kFigureText));
                DrawFigureText(painter, QPointF(x + kLegendText, middle), entries[i],
                    Qt::AlignLeft | Qt::AlignVCenter);
                x += kLegendText + FigureTextWidth(painter, entries[i]) + 40;
            }
            return;
        }
        DrawFigureText(painter, QPointF(kFigureMargin, middle),
            QStringLiteral("solid: simulated at %1 Hz, dashed: analogue prototype, dot: the corner")
                .arg(FigureNumber(m_rate, 15)),
            Qt::AlignLeft | Qt::AlignVCenter);
        const double column = LegendWidth() / static_cast<double>(m_columns);
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            const double x = kFigureMargin + static_cast<double>(i % m_columns) * column;
            const double centre = middle + static_cast<double>(1 + i / m_columns) * kLegendLine;
            const QColor colour(kFigureDesigns[i]);
            painter.fillRect(QRectF(x, centre - 1.5, 16, 3), colour);
            for (int dash = 0; dash < 2; ++dash) {
                painter.fillRect(QRectF(x + 22 + dash * 9, centre - 1.5, 5, 3), colour);
            }
            painter.setPen(QColor(kFigureText));
            DrawFigureText(painter, QPointF(x + kLegendText, centre),
                QFontMetricsF(painter.font())
                    .elidedText(m_entries[i], Qt::ElideRight, column - kLegendText - 16),
                Qt::AlignLeft | Qt::AlignVCenter);
        }
    }

    // The analogue traces first, the simulated ones over them: where they agree, the simulated one
    // shows.
    void DrawTraces(QPainter& painter, const FigurePanel& panel, const Panel& quantity) const
    {
        const bool one = m_curves.size() == 1;
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            DrawTrace(painter, panel, m_curves[i].rows, AnalogueColour(i),
                one ? Qt::SolidLine : Qt::DashLine,
                [&](const ResponseRow& row) { return quantity.value(row.analogue); });
        }
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            DrawTrace(painter, panel, m_curves[i].rows, SimulatedColour(i), Qt::SolidLine,
                [&](const ResponseRow& row) { return quantity.value(row.simulated); });
        }
    }

    static void DrawTrace(QPainter& painter, const FigurePanel& panel,
        const std::vector<ResponseRow>& rows, QRgb colour, Qt::PenStyle style,
        const std::function<double(const ResponseRow&)>& value)
    {
        QPolygonF trace;
        trace.reserve(static_cast<qsizetype>(rows.size()));
        for (const ResponseRow& row : rows) {
            trace.append(panel.Map(row.hz, value(row)));
        }
        painter.setPen(QPen(QColor(colour), kFigureTraceWidth, style, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        panel.DrawClipped(painter, trace);
        // A few frequencies (--at) get a mark each, since a line alone hardly shows them.
        if (rows.size() <= kMarkedPoints) {
            for (const QPointF& point : trace) {
                if (panel.Contains(point)) {
                    painter.fillRect(QRectF(point - QPointF(4, 4), QSizeF(8, 8)), QColor(colour));
                }
            }
        }
    }

    // Each corner as a dot on its analogue curve; for one filter its frequency and level beside
    // it and the stop band's slope (or floor) along the stop band.
    void DrawLevelMarks(QPainter& painter, const FigurePanel& panel) const
    {
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            const FilterModel::Corner& corner = m_curves[i].corner;
            const QPointF at = panel.Map(corner.hz, corner.db);
            if (!panel.Contains(at)) {
                continue;
            }
            painter.setPen(QPen(Qt::white, 2));
            painter.setBrush(QColor(AnalogueColour(i)));
            painter.drawEllipse(at, kFigureDot, kFigureDot);
            if (m_curves.size() == 1) {
                DrawCornerText(painter, panel, m_curves[i], at);
            }
        }
        if (m_curves.size() == 1) {
            const Curve& curve = m_curves.front();
            if (curve.floor) {
                DrawFloor(painter, panel, curve);
            } else if (curve.slope != 0) {
                DrawSlope(painter, panel, curve);
            }
        }
    }

    // What the corner is and where it lies, in two lines on the side of the point away from the
    // curve: below it, towards the pass band.
    static void DrawCornerText(
        QPainter& painter, const FigurePanel& panel, const Curve& curve, QPointF at)
    {
        painter.setFont(FigureFont());
        const QFontMetricsF metrics(painter.font());
        const QString lines[] = { WithMinusSigns(QString::fromStdString(curve.corner.what)),
            QStringLiteral("%1, %2 dB")
                .arg(FigureFrequency(curve.corner.hz), FigureFixed(curve.corner.db, 3)) };
        const double width
            = std::max(metrics.horizontalAdvance(lines[0]), metrics.horizontalAdvance(lines[1]));
        const double height = 2 * metrics.height();
        const QRectF inner = panel.Area().adjusted(4, 4, -4, -4);
        const double away = kFigureDot + 8;
        bool left = !curve.highPass;
        if (left && at.x() - away - width < inner.left()) {
            left = false;
        } else if (!left && at.x() + away + width > inner.right()) {
            left = true;
        }
        double top = at.y() + away;
        if (top + height > inner.bottom()) {
            top = at.y() - away - height;
        }
        const double x = left ? at.x() - away : at.x() + away;
        const Qt::Alignment side = left ? Qt::AlignRight : Qt::AlignLeft;
        painter.setPen(QColor(kFigureText));
        DrawFigureText(painter, QPointF(x, top), lines[0], side | Qt::AlignTop);
        DrawFigureText(painter, QPointF(x, top + metrics.height()), lines[1], side | Qt::AlignTop);
    }

    // The slope along the asymptote, just above the analogue curve, an octave or more into the
    // stop band where the text fits in the panel.
    void DrawSlope(QPainter& painter, const FigurePanel& panel, const Curve& curve) const
    {
        painter.setFont(FigureFont());
        const QFontMetricsF metrics(painter.font());
        const QString text = SlopeText(curve.slope);
        const double width = metrics.horizontalAdvance(text);
        const double gap = 8;
        const QRectF inner = panel.Area().adjusted(4, 4, -4, -4);
        const std::vector<ResponseRow>& rows = curve.rows;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::size_t i = curve.highPass ? rows.size() - 1 - k : k;
            const ResponseRow& row = rows[i];
            const bool beyond
                = curve.highPass ? row.hz <= curve.corner.hz / 2 : row.hz >= curve.corner.hz * 2;
            if (!beyond) {
                continue;
            }
            const QPointF at = panel.Map(row.hz, row.analogue.db);
            double angle = 0;
            if (m_logarithmic) {
                const double perOctave
                    = panel.Area().width() / std::log2(m_frequency.high / m_frequency.low);
                const double perDb = panel.Area().height() / (m_levels.second - m_levels.first);
                angle = std::atan2(-curve.slope * perDb, perOctave);
            } else {
                const std::size_t a = i == 0 ? 0 : i - 1;
                const std::size_t b = std::min(rows.size() - 1, i + 1);
                const QPointF d = panel.Map(rows[b].hz, rows[b].analogue.db)
                    - panel.Map(rows[a].hz, rows[a].analogue.db);
                angle = std::atan2(d.y(), d.x());
            }
            QTransform place;
            place.translate(at.x(), at.y());
            place.rotateRadians(angle);
            const QRectF box(-width / 2, -gap - metrics.height(), width, metrics.height());
            if (!inner.contains(place.mapRect(box)) || Crosses(panel, curve, place, box)) {
                continue;
            }
            painter.save();
            painter.setTransform(place, true);
            painter.setPen(QColor(kFigureText));
            DrawFigureText(painter, QPointF(0, -gap - metrics.descent()), text,
                Qt::AlignHCenter | Qt::AlignBaseline);
            painter.restore();
            return;
        }
    }

    // Whether the simulated trace runs through the text's `box` placed by `place`.
    static bool Crosses(
        const FigurePanel& panel, const Curve& curve, const QTransform& place, const QRectF& box)
    {
        const QTransform back = place.inverted();
        const QRectF clear = box.adjusted(-4, -4, 4, 4);
        return std::any_of(curve.rows.begin(), curve.rows.end(), [&](const ResponseRow& row) {
            return clear.contains(back.map(panel.Map(row.hz, row.simulated.db)));
        });
    }

    // A stop band that keeps a level: a dashed line at it across the stop band, its level above.
    void DrawFloor(QPainter& painter, const FigurePanel& panel, const Curve& curve) const
    {
        const double y = panel.MapY(*curve.floor);
        const QRectF& area = panel.Area();
        if (y < area.top() || y > area.bottom()) {
            return;
        }
        const double corner = std::clamp(panel.MapX(curve.corner.hz), area.left(), area.right());
        const double from = curve.highPass ? area.left() : corner;
        const double to = curve.highPass ? corner : area.right();
        painter.setPen(QPen(QColor(kFigureNote), kFigureLineWidth, Qt::DashLine));
        painter.drawLine(QPointF(from, y), QPointF(to, y));
        painter.setFont(FigureFont());
        painter.setPen(QColor(kFigureText));
        const double above = y - 6 - QFontMetricsF(painter.font()).descent();
        if (curve.highPass) {
            DrawFigureText(painter, QPointF(area.left() + 8, above), StopbandText(curve));
        } else {
            DrawFigureText(painter, QPointF(area.right() - 8, above), StopbandText(curve),
                Qt::AlignRight | Qt::AlignBaseline);
        }
    }

    std::vector<Curve> m_curves;
    std::vector<Panel> m_panels;
    double m_rate;
    bool m_logarithmic;
    Scale m_frequency;
    std::pair<double, double> m_levels;
    QString m_title;
    std::vector<QString> m_entries; // the legend's text per design
    std::size_t m_columns = 1;
};

void WritePicture(const std::string& output, const std::vector<Curve>& curves,
    const ResponseOptions& request, bool withDelay)
{
    std::vector<Panel> panels {
        { QStringLiteral("level [dB]"), [](const ResponseValue& v) { return v.db; }, false, true },
        { QStringLiteral("phase [degrees]"), [](const ResponseValue& v) { return v.phaseDeg; },
            true },
    };
    if (withDelay) {
        panels.push_back({ QStringLiteral("group delay [ms]"),
            [](const ResponseValue& v) { return v.delayMs; }, false });
    }
    const auto application = StartPictureApplication();
    const ResponsePicture picture(curves, request, std::move(panels));
    WriteFigure(output, picture.Size(), QStringLiteral("Vorn frequency response"),
        [&](QPainter& painter) { picture.Draw(painter); });
}

} // namespace

void AddResponseCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<ResponseOptions>();
    auto grid = std::make_shared<Grid>();
    CLI::App* command = line.AddCommand("response",
        "level, phase and group delay per frequency, simulated and analogue",
        { { "[--rate HZ] [--from HZ] [--to HZ] [--points N] [--linear] [--at HZ]... "
            "[--format text|csv]",
              "... --plot FILE.png|FILE.svg [--labels] [--range LOW:HIGH] [--title TEXT]",
              "... --format frd|tsv [--analogue]" },
            "Prints, for each frequency, the level in dB, the phase in degrees and the group delay "
            "in milliseconds of the chain as simulated at --rate, exact from its discrete-time "
            "transfer function, then the same three for its analogue prototype (the 6th-order "
            "Butterworth at 1 kHz with the sections' damping coefficients, and the 1 Hz "
            "first-order high-pass). The frequencies are --points from --from to --to, spaced "
            "logarithmically unless --linear, or exactly those given with --at; each must lie "
            "from 0.001 Hz to below half the rate. The phase is unwrapped along rising "
            "frequency, whatever the order of the list, its value at the lowest frequency within "
            "+-180 degrees.\n"
            "--format csv writes the header "
            "hz,db,phase_deg,delay_ms,analog_db,analog_phase_deg,analog_delay_ms and one row per "
            "frequency, numbers with 9 significant digits; text (the default) aligns the same "
            "columns. --plot writes a picture instead, PNG or SVG by the name's ending: level and "
            "phase against frequency, simulated and analogue as two coloured traces with a legend "
            "and scales, the corner marked on the analogue level with its frequency and level (the "
            "-3 dB point, or the pass-band or stop-band edge that --corner names), and the stop "
            "band's asymptotic slope written along it, or its level where it levels off (even "
            "orders of chebyshev2 and elliptic); --labels adds the group delay as a third panel. "
            "The level axis runs from the 10 dB step at least 1 dB above the highest level down to "
            "the lowest level, but at most 100 dB below its top (or 20 dB below a stop band's "
            "level), so that a steep stop band does not squash the pass band; --range sets it. "
            "The title is the filter's name unless --title gives one. For other tools, "
            "--format frd writes what loudspeaker and room measurement tools import (comment "
            "lines starting with '*', then frequency, level and phase within +-180 degrees per "
            "line) and --format tsv what audio editors export as a spectrum (the header "
            "'Frequency (Hz)<TAB>Level (dB)', then frequency and level per line): the simulated "
            "chain's response, or with --analogue the prototype's.\n"
            "With --plot or --format csv each design option may take a comma-separated list "
            "(--order 2,4,6,8, --type butterworth,bessel): the lists combine into every "
            "combination of their values, at most eight designs. The picture draws each in a "
            "colour of its own, its corner a dot on its analogue curve, and names it in the "
            "legend with its slope; the title holds the words that all the names share." });
    line.SetExamples(command,
        { { "vorn-render response --at 500 --at 1000 --at 2000",
              "level, phase and delay at three frequencies" },
            { "vorn-render response --type butterworth,bessel --order 4 --plot compare.svg",
                "a Butterworth and a Bessel filter of the 4th order in one picture" } });
    AddChainRate(*command, options->rate);
    CLI::Option* from = AddDecimal(
        *command, "--from", grid->from, "HZ", "the lowest frequency of the list; default 10");
    CLI::Option* to = AddDecimal(
        *command, "--to", grid->to, "HZ", "the highest frequency of the list; default 20000");
    CLI::Option* points = AddWhole(*command, "--points", grid->points, 1, kMaxPoints, "N",
        "how many frequencies the list has; default 200");
    CLI::Option* linear = AddFlag(*command, "--linear", grid->linear,
        "spaces the frequencies evenly; without it they are spaced logarithmically");
    AddRepeatedDecimal(*command, "--at", grid->at, "HZ",
        "lists the response at exactly this frequency; give it again for more, in any order")
        ->excludes(from)
        ->excludes(to)
        ->excludes(points)
        ->excludes(linear);
    CLI::Option* format = AddChoice(*command, "--format", options->format,
        Choices<ResponseFormat> { { "text", ResponseFormat::Text }, { "csv", ResponseFormat::Csv },
            { "frd", ResponseFormat::Frd }, { "tsv", ResponseFormat::Tsv } },
        "aligned columns (the default), CSV, or one response for other tools: FRD or TSV");
    CLI::Option* plot = AddPictureFile(*command, "--plot", options->plot,
        "writes the response as a picture instead of printing it")
                            ->excludes(format);
    AddFlag(*command, "--labels", options->labels, "adds the group delay to the picture")
        ->needs(plot);
    AddValue(*command, "--range", "LOW:HIGH",
        "the picture's level axis in dB, LOW below HIGH (-80:10); default from the curves",
        [options](const std::string& text) { options->levelRange = ReadLevelRange(text); })
        ->needs(plot);
    AddValue(*command, "--title", "TEXT", "the picture's title; default the filter's name",
        [options](const std::string& text) { options->title = text; })
        ->needs(plot);
    AddFlag(*command, "--analogue", options->analogue,
        "with --format frd or tsv: the analogue prototype's response instead of the simulated "
        "chain's")
        ->needs(format);
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, grid, design, command, &parsed] {
        options->hz = Frequencies(*grid, options->rate);
        options->logarithmic = !grid->linear;
        const bool exchange
            = options->format == ResponseFormat::Frd || options->format == ResponseFormat::Tsv;
        if (options->analogue && !exchange) {
            throw UsageError("--analogue applies to --format frd or tsv only");
        }
        options->designs = design->Designs(
            !options->plot.empty() || options->format == ResponseFormat::Csv, kDesignListsWhere);
        CheckDesigns(options->designs, options->rate);
        parsed = { command->get_name(), *options };
    });
}

void RunResponse(const ResponseOptions& options)
{
    // The window's chain, or each design.
    std::vector<FilterModel> models;
    if (options.designs.empty()) {
        models.emplace_back(std::nullopt, options.rate);
    }
    for (const DesignPlan& design : options.designs) {
        models.emplace_back(design, options.rate);
    }
    std::vector<std::vector<ResponseRow>> responses;
    std::vector<std::string> names;
    for (const FilterModel& model : models) {
        responses.push_back(model.Response(options.hz));
        names.push_back(model.Name());
    }
    if (!options.plot.empty()) {
        std::vector<Curve> curves;
        for (std::size_t i = 0; i < models.size(); ++i) {
            const FilterModel& model = models[i];
            curves.push_back({ QString::fromStdString(names[i]), responses[i], model.MarkedCorner(),
                model.StopbandSlopeDbPerOctave(), model.StopbandFloorDb(), model.IsHighPass(),
                model.IsWindowChain() ? std::nullopt : std::optional(model.Design()->plan) });
        }
        WritePicture(options.plot, curves, options, options.labels);
    } else if (options.format == ResponseFormat::Frd || options.format == ResponseFormat::Tsv) {
        PrintExchange(responses.front(), options.format == ResponseFormat::Frd, options.analogue,
            options.rate, names.front());
    } else if (models.size() > 1) {
        PrintDesignsCsv(names, responses);
    } else {
        if (options.format == ResponseFormat::Text && !models.front().IsWindowChain()) {
            const std::string title = "# " + names.front() + ", simulated at "
                + FormatDouble15g(options.rate) + " Hz\n";
            std::fwrite(title.data(), 1, title.size(), stdout);
        }
        PrintTable(responses.front(), options.format == ResponseFormat::Csv);
    }
}

} // namespace vorn
