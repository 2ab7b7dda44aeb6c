// vorn-render response: the frequency response of the chain as the program simulates it at a
// given rate, next to its analogue prototype, as a table or a picture.
#include "rendercommands.h"

#include "numbertext.h"
#include "renderargs.h"
#include "renderpicture.h"
#include "response.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vorn {

namespace {

constexpr double kDefaultRate = 44100.0;
constexpr double kMinHz = 0.001;
constexpr long long kDefaultPoints = 200;
constexpr long long kMaxPoints = 1'000'000;

struct Request
{
    double rate = kDefaultRate;
    std::vector<double> hz;
    bool logarithmic = true;
};

double Number(const RenderArgs& options, const std::string& name, double fallback)
{
    const auto text = options.Value(name);
    if (!text) {
        return fallback;
    }
    const auto value = ParseFiniteDecimal(*text);
    if (!value) {
        throw UsageError("--" + name + " must be a finite decimal number, not '" + *text + "'");
    }
    return *value;
}

// Every frequency the table shows: at least kMinHz, below half the rate.
void CheckFrequency(const std::string& name, double hz, double rate)
{
    if (!(hz >= kMinHz && hz < rate / 2)) {
        throw UsageError("--" + name + " must lie from 0.001 Hz to below half the rate ("
            + FormatDouble15g(rate / 2) + " Hz), not " + FormatDouble15g(hz));
    }
}

Request ReadRequest(const RenderArgs& options)
{
    Request request;
    request.rate = options.Rate();
    request.logarithmic = !options.Has("linear");

    const std::vector<std::string> at = options.Values("at");
    if (!at.empty()) {
        for (const char* grid : { "from", "to", "points", "linear" }) {
            if (options.Has(grid)) {
                throw UsageError(std::string("--at and --") + grid + " exclude each other");
            }
        }
        for (const std::string& text : at) {
            const auto hz = ParseFiniteDecimal(text);
            if (!hz) {
                throw UsageError("--at must be a finite decimal number, not '" + text + "'");
            }
            CheckFrequency("at", *hz, request.rate);
            request.hz.push_back(*hz);
        }
        return request;
    }

    const double from = Number(options, "from", 10.0);
    const double to = Number(options, "to", 20000.0);
    CheckFrequency("from", from, request.rate);
    CheckFrequency("to", to, request.rate);
    if (!(from < to)) {
        throw UsageError("--from must be below --to");
    }
    long long points = 0;
    try {
        points = options.Count("points", kDefaultPoints, kMaxPoints);
    } catch (const UsageError&) {
        points = 0;
    }
    if (points < 1) {
        throw UsageError("--points must be a whole number from 1 to 1000000, not '"
            + options.Value("points").value_or("") + "'");
    }
    request.hz = FrequencyGrid(from, to, static_cast<std::size_t>(points), request.logarithmic);
    return request;
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

// The formats other tools import: FRD ('*' comments, then frequency, level and phase in degrees
// within +-180, space-separated) and an audio editor's spectrum export (a header, then frequency
// and level, tab-separated). One of the two responses, simulated or analogue.
void PrintExchange(const std::vector<ResponseRow>& rows, bool frd, bool analogue, double rate)
{
    std::string text;
    if (frd) {
        text += "* Vorn: 6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass, ";
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

class ResponsePicture
{
public:
    ResponsePicture(const std::vector<ResponseRow>& rows, double rate, bool logarithmic)
        : m_rows(rows)
        , m_rate(rate)
        , m_logarithmic(logarithmic)
    {
        // The traces run in frequency order, whatever order --at gave.
        std::sort(m_rows.begin(), m_rows.end(),
            [](const ResponseRow& a, const ResponseRow& b) { return a.hz < b.hz; });
        m_frequency = FrequencyScale(m_rows.front().hz, m_rows.back().hz, logarithmic);
    }

    static QSize Size(int panels)
    {
        return { kWidth, kTop + panels * kPanelHeight + (panels - 1) * kGap + kBottom };
    }

    void Draw(QPainter& painter, const std::vector<Panel>& panels) const
    {
        const QSize size = Size(static_cast<int>(panels.size()));
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        for (std::size_t i = 0; i < panels.size(); ++i) {
            const QRectF area(kLeft, kTop + static_cast<double>(i) * (kPanelHeight + kGap),
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
        for (const ResponseRow& row : m_rows) {
            for (const ResponseValue* value : { &row.simulated, &row.analogue }) {
                low = std::min(low, panel.value(*value));
                high = std::max(high, panel.value(*value));
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

        // The analogue trace first, the simulated one over it: where they agree, the simulated
        // one shows.
        DrawTrace(painter, area, scale, kAnalogueColour,
            [&](const ResponseRow& row) { return panel.value(row.analogue); });
        DrawTrace(painter, area, scale, kSimulatedColour,
            [&](const ResponseRow& row) { return panel.value(row.simulated); });
    }

    // The scale covers every value of the trace, so nothing needs clipping.
    void DrawTrace(QPainter& painter, const QRectF& area, const Scale& scale, QRgb colour,
        const std::function<double(const ResponseRow&)>& value) const
    {
        QPolygonF trace;
        trace.reserve(static_cast<qsizetype>(m_rows.size()));
        for (const ResponseRow& row : m_rows) {
            trace.append(QPointF(MapX(area, row.hz), MapY(area, scale, value(row))));
        }
        painter.setPen(QPen(QColor(colour), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(trace);
        // A few frequencies (--at) get a mark each, since a line alone hardly shows them.
        if (m_rows.size() <= kMarkedPoints) {
            for (const QPointF& point : trace) {
                painter.fillRect(QRectF(point - QPointF(3, 3), QSizeF(6, 6)), QColor(colour));
            }
        }
    }

    void DrawLegend(QPainter& painter, const QFontMetricsF& metrics) const
    {
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
        const QString title
            = QStringLiteral("6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass");
        painter.drawText(QPointF(kLeft, kTop / 2 + metrics.ascent() / 2 - 1), title);
    }

    std::vector<ResponseRow> m_rows;
    double m_rate;
    bool m_logarithmic;
    Scale m_frequency;
};

void WritePicture(const std::string& output, const std::vector<ResponseRow>& rows,
    const Request& request, bool withDelay)
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
    const QSize size = ResponsePicture::Size(static_cast<int>(panels.size()));
    const auto application = StartPictureApplication();
    const ResponsePicture picture(rows, request.rate, request.logarithmic);

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

void RenderResponse(const std::vector<std::string>& args)
{
    const RenderArgs options(args, { "rate", "from", "to", "points", "at", "format", "plot" },
        { "linear", "labels", "analogue" });
    const Request request = ReadRequest(options);

    const auto plot = options.Value("plot");
    if (plot) {
        if (options.Has("format")) {
            throw UsageError("--format applies to the table, not to --plot");
        }
        if (!HasSuffix(*plot, ".png") && !HasSuffix(*plot, ".svg")) {
            throw UsageError("--plot must name a .png or .svg file, not '" + *plot + "'");
        }
    } else if (options.Has("labels")) {
        throw UsageError("--labels applies to --plot only");
    }
    const std::string format = options.Value("format").value_or("text");
    if (format != "text" && format != "csv" && format != "frd" && format != "tsv") {
        throw UsageError("--format must be 'text', 'csv', 'frd' or 'tsv', not '" + format + "'");
    }
    const bool exchange = format == "frd" || format == "tsv";
    if (options.Has("analogue") && !exchange) {
        throw UsageError("--analogue applies to --format frd or tsv only");
    }

    const std::vector<ResponseRow> rows = ChainResponse(request.rate, request.hz);
    if (plot) {
        WritePicture(*plot, rows, request, options.Has("labels"));
    } else if (exchange) {
        PrintExchange(rows, format == "frd", options.Has("analogue"), request.rate);
    } else {
        PrintTable(rows, format == "csv");
    }
}

} // namespace vorn
