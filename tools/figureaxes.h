#pragma once

// The scales and panels of the renderer's figures: round ticks for a range, a framed panel that
// maps values to pixels with its grid, tick marks, labels and axis titles in the figures' style,
// and polylines cut to the panel (the SVG generator does not clip).
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace vorn {

// A scale: its range, and where its ticks and labels go.
struct Scale
{
    double low = 0.0;
    double high = 1.0;
    std::vector<double> ticks; // labelled
    std::vector<double> minorTicks; // grid lines only
    double step = 0; // the ticks' round step, which their labels show; 0: none
};

// The smallest step of `steps` that covers [low, high] in at most `intervals` intervals, and the
// range rounded out to whole steps. `steps` grows and its last entry always fits.
[[nodiscard]] Scale NiceScale(
    double low, double high, const std::vector<double>& steps, int intervals = 12);
// NiceScale's ticks within [low, high], the range kept as it is.
[[nodiscard]] Scale TicksWithin(double low, double high, int intervals);
// TicksWithin's, every second (or fifth) of them kept where the labels (as wide as `widest` says
// of a scale) would not fit `pixels` with room between them.
[[nodiscard]] Scale FitTicks(double low, double high, int intervals, double pixels,
    const std::function<double(const Scale&)>& widest);
// A tick's label with as many decimals as its step needs ("0.5", "1.0"; "0.99985"), a real minus.
[[nodiscard]] QString TickLabel(double value, double step);
// 1, 2, 5 times the powers of ten that can matter for a range of this size.
[[nodiscard]] std::vector<double> DecimalSteps(double low, double high);
// Phase steps: decimal below 45 degrees, then 45, 90 and doublings of 90.
[[nodiscard]] std::vector<double> PhaseSteps(double low, double high);
// The frequency scale: on a log axis the decades labelled, with 2 and 5 as well over two decades
// or less, and every whole multiple of a decade as a grid line; on a linear axis decimal steps.
[[nodiscard]] Scale FrequencyScale(double low, double high, bool logarithmic);

struct FigureAxis
{
    Scale scale;
    bool logarithmic = false;
    QString title;
    std::function<QString(double)> label; // TickLabel when empty
};

// A framed rectangle of a figure with its two axes.
class FigurePanel
{
public:
    FigurePanel(const QRectF& area, FigureAxis x, FigureAxis y);

    [[nodiscard]] const QRectF& Area() const { return m_area; }
    [[nodiscard]] const FigureAxis& X() const { return m_x; }
    [[nodiscard]] const FigureAxis& Y() const { return m_y; }
    [[nodiscard]] double MapX(double x) const;
    [[nodiscard]] double MapY(double y) const;
    [[nodiscard]] QPointF Map(double x, double y) const { return { MapX(x), MapY(y) }; }
    [[nodiscard]] bool Contains(QPointF point) const;

    // Light lines at every tick, the minor ones included.
    void DrawGrid(QPainter& painter) const;
    // The frame, the tick marks outside it, the labels, and the axis titles: the x title below
    // the labels, the y title turned along the left edge, `yTitleLeft` pixels left of the frame
    // (0: just left of the labels).
    void DrawFrame(QPainter& painter, double yTitleLeft = 0) const;
    // How far left of the frame the y labels reach, and how far below it the x title does.
    [[nodiscard]] double LabelWidth(const QPainter& painter) const;
    [[nodiscard]] static double BelowFrame();

    // The parts of `line` inside the panel, cut where it leaves and enters it.
    [[nodiscard]] std::vector<QPolygonF> Clip(const QPolygonF& line) const;
    // Draws `line` cut to the panel in the painter's pen.
    void DrawClipped(QPainter& painter, const QPolygonF& line) const;

private:
    [[nodiscard]] QString XLabel(double value) const;
    [[nodiscard]] QString YLabel(double value) const;

    QRectF m_area;
    FigureAxis m_x;
    FigureAxis m_y;
};

// The parts of `line` inside `area`.
[[nodiscard]] std::vector<QPolygonF> ClipPolyline(const QPolygonF& line, const QRectF& area);

} // namespace vorn
