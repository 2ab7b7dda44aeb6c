#include "figureaxes.h"

#include "figurestyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vorn {

namespace {

// The step between a scale's ticks; 1 with fewer than two.
double TickStep(const Scale& scale)
{
    if (scale.step > 0) {
        return scale.step;
    }
    return scale.ticks.size() < 2 ? 1.0 : std::fabs(scale.ticks[1] - scale.ticks[0]);
}

} // namespace

Scale NiceScale(double low, double high, const std::vector<double>& steps, int intervals)
{
    double step = steps.back();
    for (const double candidate : steps) {
        if (std::ceil(high / candidate) - std::floor(low / candidate) <= intervals) {
            step = candidate;
            break;
        }
    }
    Scale scale;
    scale.step = step;
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

Scale TicksWithin(double low, double high, int intervals)
{
    // The smallest step with at most `intervals` intervals between the ticks that fall within.
    const double slack = (high - low) * 1e-9;
    const std::vector<double> steps = DecimalSteps(low, high);
    double step = steps.back();
    for (const double candidate : steps) {
        const double first = std::ceil((low - slack) / candidate);
        const double last = std::floor((high + slack) / candidate);
        if (last - first <= intervals) {
            step = candidate;
            break;
        }
    }
    Scale scale;
    scale.low = low;
    scale.high = high;
    scale.step = step;
    for (double k = std::ceil((low - slack) / step); k * step <= high + slack; ++k) {
        // + 0.0 turns -0 into 0 for the label.
        scale.ticks.push_back(k * step + 0.0);
    }
    return scale;
}

Scale FitTicks(double low, double high, int intervals, double pixels,
    const std::function<double(const Scale&)>& widest)
{
    const Scale all = TicksWithin(low, high, intervals);
    Scale scale = all;
    for (const std::size_t every : { 2, 5 }) {
        const double spacing = std::fabs(scale.ticks.size() < 2
                ? pixels
                : (scale.ticks[1] - scale.ticks[0]) / (high - low) * pixels);
        if (spacing >= widest(scale) + 12) {
            break;
        }
        // Of the ticks `every` steps apart, those that are most, and of those the ones on whole
        // multiples of the wider step (0, not -2 and 2).
        scale.ticks.clear();
        const auto count
            = [&](std::size_t start) { return (all.ticks.size() - start + every - 1) / every; };
        const auto round = [&](std::size_t start) {
            const double wide = static_cast<double>(every) * all.step;
            const double k = all.ticks[start] / wide;
            return std::fabs(k - std::round(k)) < 1e-6;
        };
        std::size_t best = 0;
        for (std::size_t start = 1; start < every && start < all.ticks.size(); ++start) {
            if (count(start) > count(best)
                || (count(start) == count(best) && round(start) && !round(best))) {
                best = start;
            }
        }
        for (std::size_t i = best; i < all.ticks.size(); i += every) {
            scale.ticks.push_back(all.ticks[i]);
        }
    }
    return scale;
}

QString TickLabel(double value, double step)
{
    if (value == 0) {
        return QStringLiteral("0");
    }
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 15);
    // Small numbers near 0 in powers of ten ("5e−07"), the rest with a fixed point.
    if (decimals > 5 && std::fabs(value) < 1e-3) {
        return FigureNumber(value, 3);
    }
    return FigureFixedDecimals(value, decimals);
}

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

Scale FrequencyScale(double low, double high, bool logarithmic)
{
    if (low == high) {
        // One frequency: half of it to twice it, or one and a half times it.
        low /= 2;
        high *= logarithmic ? 2 : 1.5;
    }
    if (!logarithmic) {
        return TicksWithin(low, high, 12);
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
        scale.ticks = TicksWithin(low, high, 12).ticks;
    }
    return scale;
}

FigurePanel::FigurePanel(const QRectF& area, FigureAxis x, FigureAxis y)
    : m_area(area)
    , m_x(std::move(x))
    , m_y(std::move(y))
{ }

double FigurePanel::MapX(double x) const
{
    const Scale& s = m_x.scale;
    const double t = m_x.logarithmic ? std::log(x / s.low) / std::log(s.high / s.low)
                                     : (x - s.low) / (s.high - s.low);
    return m_area.left() + t * m_area.width();
}

double FigurePanel::MapY(double y) const
{
    const Scale& s = m_y.scale;
    return m_area.bottom() - (y - s.low) / (s.high - s.low) * m_area.height();
}

bool FigurePanel::Contains(QPointF point) const
{
    return point.x() >= m_area.left() - 1e-9 && point.x() <= m_area.right() + 1e-9
        && point.y() >= m_area.top() - 1e-9 && point.y() <= m_area.bottom() + 1e-9;
}

QString FigurePanel::XLabel(double value) const
{
    return m_x.label ? m_x.label(value) : TickLabel(value, TickStep(m_x.scale));
}

QString FigurePanel::YLabel(double value) const
{
    return m_y.label ? m_y.label(value) : TickLabel(value, TickStep(m_y.scale));
}

void FigurePanel::DrawGrid(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(kFigureGrid), 1));
    for (const std::vector<double>* ticks : { &m_x.scale.minorTicks, &m_x.scale.ticks }) {
        for (const double x : *ticks) {
            painter.drawLine(QPointF(MapX(x), m_area.top()), QPointF(MapX(x), m_area.bottom()));
        }
    }
    for (const std::vector<double>* ticks : { &m_y.scale.minorTicks, &m_y.scale.ticks }) {
        for (const double y : *ticks) {
            painter.drawLine(QPointF(m_area.left(), MapY(y)), QPointF(m_area.right(), MapY(y)));
        }
    }
    painter.restore();
}

double FigurePanel::LabelWidth(const QPainter& painter) const
{
    double widest = 0;
    for (const double y : m_y.scale.ticks) {
        widest = std::max(widest, FigureTextWidth(painter, YLabel(y)));
    }
    return kFigureTick + 6 + widest;
}

double FigurePanel::BelowFrame()
{
    const QFontMetricsF metrics(FigureFont());
    return kFigureTick + 4 + 2 * metrics.height() + 6;
}

void FigurePanel::DrawFrame(QPainter& painter, double yTitleLeft) const
{
    painter.save();
    painter.setFont(FigureFont());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(kFigureFrame), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m_area);
    for (const double x : m_x.scale.ticks) {
        painter.drawLine(
            QPointF(MapX(x), m_area.bottom() + 1), QPointF(MapX(x), m_area.bottom() + kFigureTick));
    }
    for (const double y : m_y.scale.ticks) {
        painter.drawLine(
            QPointF(m_area.left() - kFigureTick, MapY(y)), QPointF(m_area.left() - 1, MapY(y)));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QColor(kFigureText));
    const QFontMetricsF metrics(painter.font());
    for (const double x : m_x.scale.ticks) {
        DrawFigureText(painter, QPointF(MapX(x), m_area.bottom() + kFigureTick + 4), XLabel(x),
            Qt::AlignHCenter | Qt::AlignTop);
    }
    for (const double y : m_y.scale.ticks) {
        DrawFigureText(painter, QPointF(m_area.left() - kFigureTick - 6, MapY(y)), YLabel(y),
            Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!m_x.title.isEmpty()) {
        DrawFigureText(painter,
            QPointF(m_area.center().x(), m_area.bottom() + kFigureTick + 4 + metrics.height() + 6),
            m_x.title, Qt::AlignHCenter | Qt::AlignTop);
    }
    if (!m_y.title.isEmpty()) {
        const double left = yTitleLeft > 0 ? yTitleLeft : LabelWidth(painter) + 10;
        painter.translate(m_area.left() - left - metrics.descent(), m_area.center().y());
        painter.rotate(-90);
        DrawFigureText(painter, QPointF(0, 0), m_y.title, Qt::AlignHCenter | Qt::AlignBaseline);
    }
    painter.restore();
}

std::vector<QPolygonF> ClipPolyline(const QPolygonF& line, const QRectF& area)
{
    std::vector<QPolygonF> parts;
    const auto inside = [&](QPointF p) {
        return p.x() >= area.left() && p.x() <= area.right() && p.y() >= area.top()
            && p.y() <= area.bottom();
    };
    if (line.size() == 1) {
        if (inside(line.front())) {
            parts.push_back(line);
        }
        return parts;
    }
    QPolygonF part;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1];
        const QPointF b = line[i];
        const QPointF d = b - a;
        // Liang-Barsky: the parameters t in [0, 1] of a + t d inside each edge's half-plane.
        double t0 = 0.0;
        double t1 = 1.0;
        bool visible = true;
        const double p[] = { -d.x(), d.x(), -d.y(), d.y() };
        const double q[] = { a.x() - area.left(), area.right() - a.x(), a.y() - area.top(),
            area.bottom() - a.y() };
        for (int k = 0; k < 4 && visible; ++k) {
            if (p[k] == 0) {
                visible = q[k] >= 0;
            } else if (p[k] < 0) {
                t0 = std::max(t0, q[k] / p[k]);
            } else {
                t1 = std::min(t1, q[k] / p[k]);
            }
        }
        if (!visible || t0 > t1) {
            if (!part.isEmpty()) {
                parts.push_back(part);
                part.clear();
            }
            continue;
        }
        if (part.isEmpty()) {
            part.append(t0 == 0 ? a : a + t0 * d);
        }
        part.append(t1 == 1 ? b : a + t1 * d);
        if (t1 < 1) {
            parts.push_back(part);
            part.clear();
        }
    }
    if (!part.isEmpty()) {
        parts.push_back(part);
    }
    return parts;
}

std::vector<QPolygonF> FigurePanel::Clip(const QPolygonF& line) const
{
    return ClipPolyline(line, m_area);
}

void FigurePanel::DrawClipped(QPainter& painter, const QPolygonF& line) const
{
    for (const QPolygonF& part : Clip(line)) {
        painter.drawPolyline(part);
    }
}

} // namespace vorn
