#include "plotcanvas.h"

#include <cstdint>

namespace vorn {

PlotPoint TimeTracePoint(int i, double s)
{
    // Evaluated exactly as written: with the truncation that follows, a reordered or fused form
    // moves some points by one unit.
    return { (i * 3.0) / 2000.0, (1.0 - s * 0.00005) * 10.0 };
}

PlotPoint FrequencyTracePoint(int i, double s)
{
    return { (i * 6.0) / 2000.0, (1.0 - s * 0.01) * 10.0 };
}

CPoint ToCanvasPoint(double u, double v)
{
    // The casts truncate toward zero, for negative values too.
    return { static_cast<std::int32_t>(u * 240 + 20), static_cast<std::int32_t>(v * 30 + 20) };
}

void PrepareCanvasMapping(CDC& dc, const CRect& client)
{
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(kCanvasWidth, kCanvasHeight);
    dc.SetViewportExt(client.Width(), client.Height());
}

void DrawGrid(CDC& dc)
{
    for (int k = 0; k <= 20; ++k) {
        const int y = 20 + 30 * k;
        dc.MoveTo(20, y);
        dc.LineTo(740, y);
    }
    for (int k = 0; k <= 20; ++k) {
        const int x = 20 + 36 * k;
        dc.MoveTo(x, 20);
        dc.LineTo(x, 620);
    }
}

void DrawAxis(CDC& dc)
{
    dc.MoveTo(20, 320);
    dc.LineTo(740, 320);
}

void DrawTrace(
    CDrawTarget& window, const SampleBlock& block, bool bFreqMode, std::vector<CPoint>& points)
{
    CClientDC dc(window);
    const CRect client = window.GetClientRect();
    const bool wideEnough = client.Width() >= kMinPlotWidth;

    // Device pixels, before any mapping: the whole client area, at any width.
    dc.FillSolidRect(client, kBackgroundColour);
    std::vector<CPoint>().swap(points);

    PrepareCanvasMapping(dc, client);
    CPen redPen(PS_SOLID, 1, kTraceColour);
    CPen bluePen(PS_SOLID, 1, kGridColour);
    CPen* oldPen = dc.SelectObject(&bluePen);
    DrawGrid(dc);
    dc.SelectStockObject(NULL_BRUSH);
    dc.SelectObject(&redPen);
    DrawAxis(dc);

    if (wideEnough) {
        PlotPoint previous;
        for (int i = 0; i < kBlockSamples; ++i) {
            // The spectrum is plotted up to bin 1000 (20 kHz) inclusive.
            if (bFreqMode && i > 1000) {
                break;
            }
            const double s = block[static_cast<std::size_t>(i)];
            const PlotPoint point = bFreqMode ? FrequencyTracePoint(i, s) : TimeTracePoint(i, s);
            if (i > 0) {
                DrawSegment(window, points, previous.u, previous.v, point.u, point.v);
            }
            previous = point;
        }
    }
    dc.SelectObject(oldPen);
}

void DrawSegment(CDrawTarget& window, std::vector<CPoint>& points, double uStart, double vStart,
    double uEnd, double vEnd)
{
    CClientDC dc(window);
    PrepareCanvasMapping(dc, window.GetClientRect());
    CPen redPen(PS_SOLID, 1, kTraceColour);
    dc.SelectStockObject(NULL_BRUSH);
    CPen* oldPen = dc.SelectObject(&redPen);

    const CPoint start = ToCanvasPoint(uStart, vStart);
    dc.MoveTo(start);
    points.push_back(start);
    const CPoint end = ToCanvasPoint(uEnd, vEnd);
    dc.LineTo(end);
    points.push_back(end);

    dc.SelectObject(oldPen);
}

void PaintRecordedTrace(CDrawTarget& window, const std::vector<CPoint>& points)
{
    CPaintDC dc(window);
    const CRect client = window.GetClientRect();
    if (client.Width() < kMinPlotWidth) {
        return;
    }
    PrepareCanvasMapping(dc, client);
    CPen redPen(PS_SOLID, 1, kTraceColour);
    CPen bluePen(PS_SOLID, 1, kGridColour);
    CPen* oldPen = dc.SelectObject(&bluePen);
    DrawGrid(dc);
    dc.SelectObject(&redPen);
    DrawAxis(dc);

    // A point with x or y 0 lifts the pen; the next drawable point starts a new line.
    bool penDown = false;
    for (const CPoint& point : points) {
        if (point.x == 0 || point.y == 0) {
            penDown = false;
        } else if (!penDown) {
            dc.MoveTo(point);
            penDown = true;
        } else {
            dc.LineTo(point);
        }
    }
    dc.SelectObject(oldPen);
}

} // namespace vorn
