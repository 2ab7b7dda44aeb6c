// vorn-render response: the frequency response of the chain as the program simulates it at a
// given rate, next to its analogue prototype, as a table or a picture.
#include "rendercommands.h"

#include "commandline.h"
#include "designoptions.h"
#include "filtermodel.h"
#include "numbertext.h"
#include "optionvalues.h"
#include "renderoptions.h"
#include "renderpicture.h"
#include "response.h"
#include "usageerror.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
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

// The picture: one panel per quantity, one above the other, sharing the frequency axis.
constexpr int kWidth = 960;
constexpr int kPanelHeight = 230;
constexpr int kLeft = 84;
constexpr int kRight = 24;
constexpr int kTop = 44;
constexpr int kGap = 46;
constexpr int kBottom = 58;
constexpr QRgb kSimulatedColour = qRgb(200, 30, 30);
constexpr QRgb kAnalogueColour = qRgb(20, 90, 200);
constexpr QRgb kGridColour = qRgb(222, 222, 222);
constexpr QRgb kFrameColour = qRgb(110, 110, 110);
constexpr std::size_t kMarkedPoints = 40;

// A scale: its range, and where its ticks and labels go.
struct Scale
{
    double low = 0.0;
    double high = 1.0;
    std::vector<double> ticks; // labelled
    std::vector<double> minorTicks; // grid lines only
};

// The smallest step of `steps` that covers [low, high] in at most twelve intervals, and the range
// rounded out to whole steps. `steps` grows and its last entry always fits.
Scale NiceScale(double low, double high, const std::vector<double>& steps)
{
    double step = steps.back();
    for (const double candidate : steps) {
        if (std::ceil(high / candidate) - std::floor(low / candidate) <= 12) {
            step = candidate;
            break;
        }
    }
    Scale scale;
    scale.low = std::floor(low / step) * step;
    scale.high = std::ceil(high / step) * step;
    if (scale.high - scale.low < step / 2) {
        scale.low -= step;
        scale.high += step;
    }
    const long long count = std::llround((scale.high - scale.low) / step);
    for (long long i = 0; i <= count; ++i) {
        // + 0.0 turns -0 into 0 for the label.
        scale.ticks.push_back(scale.low + static_cast<double>(i) * step + 0.0);
    }
    return scale;
}

// 1, 2, 5 times the powers of ten that can matter for a range of this size.
std::vector<double> DecimalSteps(double low, double high)
{
    const double span = std::max({ high - low, std::fabs(high) * 1e-9, 1e-12 });
    std::vector<double> steps;
    for (double decade = std::pow(10.0, std::floor(std::log10(span)) - 2); steps.size() < 12;
         decade *= 10) {
        for (const double m : { 1.0, 2.0, 5.0 }) {
            steps.push_back(m * decade);
        }
    }
    return steps;
}

// Phase steps: decimal below 45 degrees, then 45, 90 and doublings of 90.
std::vector<double> PhaseSteps(double low, double high)
{
    std::vector<double> steps;
    for (const double step : DecimalSteps(low, high)) {
        if (step < 45) {
            steps.push_back(step);
        }
    }
    for (double step = 45; step <= 45 * 1024; step *= 2) {
        steps.push_back(step);
    }
    return steps;
}

// The frequency scale: on a log axis the decades labelled, with 2 and 5 as well over two decades
// or less, and every whole multiple of a decade as a grid line; on a linear axis decimal steps.
Scale FrequencyScale(double low, double high, bool logarithmic)
{
    if (low == high) {
        // One frequency: half of it to twice it, or one and a half times it.
        low /= 2;
        high *= logarithmic ? 2 : 1.5;
    }
    if (!logarithmic) {
        Scale scale = NiceScale(low, high, DecimalSteps(low, high));
        scale.low = low;
        scale.high = high;
        std::erase_if(scale.ticks, [&](double tick) { return tick < low || tick > high; });
        return scale;
    }
    Scale scale;
    scale.low = low;
    scale.high = high;
    const bool fewDecades = high / low <= 100;
    for (int decade = static_cast<int>(std::floor(std::log10(low)));
         decade <= static_cast<int>(std::ceil(std::log10(high))); ++decade) {
        for (int m = 1; m <= 9; ++m) {
            const double hz = m * std::pow(10.0, decade);
            if (hz < low * (1 - 1e-12) || hz > high * (1 + 1e-12)) {
                continue;
            }
            const bool labelled = m == 1 || (fewDecades && (m == 2 || m == 5));
            (labelled ? scale.ticks : scale.minorTicks).push_back(hz);
        }
    }
    if (scale.ticks.size() < 2) {
        // Less than a decade with hardly a round number in it: decimal steps, placed on the log
        // axis.
        scale.minorTicks.clear();
        Scale decimal = NiceScale(low, high, DecimalSteps(low, high));
        scale.ticks.clear();
        for (const double tick : decimal.ticks) {
            if (tick >= low && tick <= high) {
                scale.ticks.push_back(tick);
            }
        }
    }
    return scale;
}

QString Label(double value)
{
    return QString::number(value, 'g', 6);
}

QString FrequencyLabel(double hz)
{
    return hz >= 1000 ? Label(hz / 1000) + QStringLiteral("k") : Label(hz);
}

struct Panel
{
    QString title;
    std::function<double(const ResponseValue&)> value;
    bool phase = false;
};

// One filter's response in the picture: its name and rows, in frequency order.
struct Curve
{
    QString name;
    std::vector<ResponseRow> rows;
};

// The colours of the designs compared, one each (the Okabe-Ito palette, told apart by people
// who cannot tell red from green), and the pixels the legend takes per line of designs.
constexpr QRgb kDesignColours[]
    = { qRgb(0, 114, 178), qRgb(213, 94, 0), qRgb(0, 158, 115), qRgb(204, 121, 167),
          qRgb(230, 159, 0), qRgb(86, 180, 233), qRgb(0, 0, 0), qRgb(120, 120, 120) };
constexpr int kLegendLine = 18;

class ResponsePicture
{
public:
    // One filter: its simulated response red and its analogue prototype blue. Several: one colour
    // each, simulated solid, analogue dashed, named in a legend above the panels.
    ResponsePicture(std::vector<Curve> curves, double rate, bool logarithmic)
        : m_curves(std::move(curves))
        , m_rate(rate)
        , m_logarithmic(logarithmic)
    {
        // The traces run in frequency order, whatever order --at gave.
        for (Curve& curve : m_curves) {
            std::sort(curve.rows.begin(), curve.rows.end(),
                [](const ResponseRow& a, const ResponseRow& b) { return a.hz < b.hz; });
        }
        const std::vector<ResponseRow>& rows = m_curves.front().rows;
        m_frequency = FrequencyScale(rows.front().hz, rows.back().hz, logarithmic);
    }

    // The top margin: the title and the legend of one filter, or the title and a line per two
    // designs.
    [[nodiscard]] int Top() const
    {
        const auto curves = static_cast<int>(m_curves.size());
        return curves == 1 ? kTop : kTop + kLegendLine * ((curves + 1) / 2);
    }

    [[nodiscard]] QSize Size(int panels) const
    {
        return { kWidth, Top() + panels * kPanelHeight + (panels - 1) * kGap + kBottom };
    }

    void Draw(QPainter& painter, const std::vector<Panel>& panels) const
    {
        const QSize size = Size(static_cast<int>(panels.size()));
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        for (std::size_t i = 0; i < panels.size(); ++i) {
            const QRectF area(kLeft, Top() + static_cast<double>(i) * (kPanelHeight + kGap),
                kWidth - kLeft - kRight, kPanelHeight);
            DrawPanel(painter, area, panels[i]);
        }
        const QFontMetricsF metrics(painter.font());
        painter.setPen(Qt::black);
        const QString xTitle = QStringLiteral("frequency [Hz]");
        painter.drawText(
            QPointF(kLeft + (kWidth - kLeft - kRight - metrics.horizontalAdvance(xTitle)) / 2,
                size.height() - 12),
            xTitle);
        DrawLegend(painter, metrics);
    }

private:
    double MapX(const QRectF& area, double hz) const
    {
        const double t = m_logarithmic
            ? std::log(hz / m_frequency.low) / std::log(m_frequency.high / m_frequency.low)
            : (hz - m_frequency.low) / (m_frequency.high - m_frequency.low);
        return area.left() + t * area.width();
    }

    static double MapY(const QRectF& area, const Scale& scale, double value)
    {
        return area.bottom() - (value - scale.low) / (scale.high - scale.low) * area.height();
    }

    void DrawPanel(QPainter& painter, const QRectF& area, const Panel& panel) const
    {
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
        const Scale scale
            = NiceScale(low, high, panel.phase ? PhaseSteps(low, high) : DecimalSteps(low, high));

        // Grid, frame, scale labels.
        const QFontMetricsF metrics(painter.font());
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(QColor(kGridColour), 1));
        for (const double hz : m_frequency.minorTicks) {
            painter.drawLine(
                QPointF(MapX(area, hz), area.top()), QPointF(MapX(area, hz), area.bottom()));
        }
        for (const double hz : m_frequency.ticks) {
            painter.drawLine(
                QPointF(MapX(area, hz), area.top()), QPointF(MapX(area, hz), area.bottom()));
        }
        for (const double tick : scale.ticks) {
            const double y = MapY(area, scale, tick);
            painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        }
        painter.setPen(QPen(QColor(kFrameColour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area);
        painter.setPen(Qt::black);
        for (const double hz : m_frequency.ticks) {
            const QString text = FrequencyLabel(hz);
            painter.drawText(QPointF(MapX(area, hz) - metrics.horizontalAdvance(text) / 2,
                                 area.bottom() + 4 + metrics.ascent()),
                text);
        }
        for (const double tick : scale.ticks) {
            const QString text = Label(tick);
            painter.drawText(QPointF(area.left() - 6 - metrics.horizontalAdvance(text),
                                 MapY(area, scale, tick) + metrics.ascent() / 2 - 1),
                text);
        }
        painter.save();
        painter.translate(
            14 + metrics.ascent(), area.center().y() + metrics.horizontalAdvance(panel.title) / 2);
        painter.rotate(-90);
        painter.drawText(QPointF(0, 0), panel.title);
        painter.restore();

        // The analogue traces first, the simulated ones over them: where they agree, the
        // simulated one shows.
        const bool one = m_curves.size() == 1;
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            DrawTrace(painter, area, scale, m_curves[i].rows,
                one ? kAnalogueColour : kDesignColours[i], one ? Qt::SolidLine : Qt::DashLine,
                [&](const ResponseRow& row) { return panel.value(row.analogue); });
        }
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            DrawTrace(painter, area, scale, m_curves[i].rows,
                one ? kSimulatedColour : kDesignColours[i], Qt::SolidLine,
                [&](const ResponseRow& row) { return panel.value(row.simulated); });
        }
    }

    // The scale covers every value of the trace, so nothing needs clipping.
    void DrawTrace(QPainter& painter, const QRectF& area, const Scale& scale,
        const std::vector<ResponseRow>& rows, QRgb colour, Qt::PenStyle style,
        const std::function<double(const ResponseRow&)>& value) const
    {
        QPolygonF trace;
        trace.reserve(static_cast<qsizetype>(rows.size()));
        for (const ResponseRow& row : rows) {
            trace.append(QPointF(MapX(area, row.hz), MapY(area, scale, value(row))));
        }
        painter.setPen(QPen(QColor(colour), 2, style, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(trace);
        // A few frequencies (--at) get a mark each, since a line alone hardly shows them.
        if (rows.size() <= kMarkedPoints) {
            for (const QPointF& point : trace) {
                painter.fillRect(QRectF(point - QPointF(3, 3), QSizeF(6, 6)), QColor(colour));
            }
        }
    }

    void DrawLegend(QPainter& painter, const QFontMetricsF& metrics) const
    {
        if (m_curves.size() > 1) {
            DrawDesignLegend(painter, metrics);
            return;
        }
        const QString entries[] = {
            QStringLiteral("simulated at %1 Hz").arg(Label(m_rate)),
            QStringLiteral("analogue prototype"),
        };
        const QRgb colours[] = { kSimulatedColour, kAnalogueColour };
        double x = kWidth - kRight;
        for (int i = 1; i >= 0; --i) {
            x -= metrics.horizontalAdvance(entries[i]);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(x, kTop / 2 + metrics.ascent() / 2 - 1), entries[i]);
            x -= 30;
            painter.fillRect(QRectF(x, kTop / 2 - 2, 24, 4), QColor(colours[i]));
            x -= 20;
        }
        painter.drawText(
            QPointF(kLeft, kTop / 2 + metrics.ascent() / 2 - 1), m_curves.front().name);
    }

    // The title line (what is solid and what dashed), then the designs two to a line, each with
    // a solid and a dashed stroke of its colour.
    void DrawDesignLegend(QPainter& painter, const QFontMetricsF& metrics) const
    {
        painter.setPen(Qt::black);
        const double baseline = kTop / 2 + metrics.ascent() / 2 - 1;
        painter.drawText(QPointF(kLeft, baseline),
            QStringLiteral("%1 designs: solid simulated at %2 Hz, dashed analogue")
                .arg(m_curves.size())
                .arg(Label(m_rate)));
        const double column = (kWidth - kLeft - kRight) / 2.0;
        for (std::size_t i = 0; i < m_curves.size(); ++i) {
            const double x = kLeft + static_cast<double>(i % 2) * column;
            const double y = kTop + static_cast<double>(i / 2) * kLegendLine;
            painter.setPen(QPen(QColor(kDesignColours[i]), 2, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(x, y - 4), QPointF(x + 16, y - 4));
            painter.setPen(QPen(QColor(kDesignColours[i]), 2, Qt::DashLine, Qt::FlatCap));
            painter.drawLine(QPointF(x + 20, y - 4), QPointF(x + 40, y - 4));
            painter.setPen(Qt::black);
            painter.drawText(QPointF(x + 48, y - 4 + metrics.ascent() / 2 - 1),
                metrics.elidedText(m_curves[i].name, Qt::ElideRight, column - 56));
        }
    }

    std::vector<Curve> m_curves;
    double m_rate;
    bool m_logarithmic;
    Scale m_frequency;
};

void WritePicture(const std::string& output, const std::vector<Curve>& curves,
    const ResponseOptions& request, bool withDelay)
{
    const bool svg = HasSuffix(output, ".svg");
    std::vector<Panel> panels {
        { QStringLiteral("level [dB]"), [](const ResponseValue& v) { return v.db; }, false },
        { QStringLiteral("phase [degrees]"), [](const ResponseValue& v) { return v.phaseDeg; },
            true },
    };
    if (withDelay) {
        panels.push_back({ QStringLiteral("group delay [ms]"),
            [](const ResponseValue& v) { return v.delayMs; }, false });
    }
    const auto application = StartPictureApplication();
    const ResponsePicture picture(curves, request.rate, request.logarithmic);
    const QSize size = picture.Size(static_cast<int>(panels.size()));

    QByteArray bytes;
    if (svg) {
        bytes = PaintSvg(size, QStringLiteral("Vorn frequency response"),
            [&](QPainter& painter) { picture.Draw(painter, panels); });
    } else {
        QImage image(size, QImage::Format_RGB32);
        {
            QPainter painter(&image);
            picture.Draw(painter, panels);
        }
        bytes = EncodePng(image);
    }
    WriteFileAtomically(output, ToStdString(bytes));
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
              "... --plot FILE.png|FILE.svg [--labels]", "... --format frd|tsv [--analogue]" },
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
            "and scales; --labels adds the group delay as a third panel. For other tools, "
            "--format frd writes what loudspeaker and room measurement tools import (comment "
            "lines starting with '*', then frequency, level and phase within +-180 degrees per "
            "line) and --format tsv what audio editors export as a spectrum (the header "
            "'Frequency (Hz)<TAB>Level (dB)', then frequency and level per line): the simulated "
            "chain's response, or with --analogue the prototype's.\n"
            "With --plot or --format csv each design option may take a comma-separated list "
            "(--order 2,4,6,8, --type butterworth,bessel): the lists combine into every "
            "combination of their values, at most eight designs." });
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
    for (const DesignSpec& design : options.designs) {
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
            curves.push_back({ QString::fromStdString(names[i]), responses[i] });
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
