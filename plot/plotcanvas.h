#pragma once

#include "constants.h"
#include "dc.h"

#include <vector>

namespace vorn {

// The plot: a logical canvas of 760 x 640 units stretched over the whole client area (x and y
// independently), a 20 x 20 grid with a red centre axis, and the trace of one sample block.
// Everything here runs on the thread that owns the window.

inline constexpr int kCanvasWidth = 760;
inline constexpr int kCanvasHeight = 640;
// Narrower client areas get no trace, and their repaint draws nothing.
inline constexpr int kMinPlotWidth = 200;

inline constexpr COLORREF kBackgroundColour = 0xFFFFFF;
inline constexpr COLORREF kGridColour = 0xFF0000;
inline constexpr COLORREF kTraceColour = 255;

// A trace point in plot coordinates: u is 0 at the grid's left edge and 3 at its right edge;
// v is 0 at the top edge, 10 on the axis and 20 at the bottom edge.
struct PlotPoint
{
    double u = 0.0;
    double v = 0.0;
};

// The trace point of index i holding the value s (a sample, or a level in whole dB).
PlotPoint TimeTracePoint(int i, double s);
PlotPoint FrequencyTracePoint(int i, double s);

// Plot coordinates to canvas units, truncated toward zero and never clamped.
CPoint ToCanvasPoint(double u, double v);

// Anisotropic mapping of the 760 x 640 canvas onto the client rectangle.
void PrepareCanvasMapping(CDC& dc, const CRect& client);

// The 21 horizontal then 21 vertical grid lines with the selected pen.
void DrawGrid(CDC& dc);
// The axis along the middle grid line with the selected pen.
void DrawAxis(CDC& dc);

// The drawing of the Draw command: clears the client area, draws grid and axis, then plots the
// block (time samples, or with bFreqMode the whole-dB spectrum up to bin 1000) segment by segment,
// each through DrawSegment, into points when the client area is wide enough.
void DrawTrace(
    CDrawTarget& window, const SampleBlock& block, bool bFreqMode, std::vector<CPoint>& points);

// One red segment on a context of its own; appends both end points to points.
void DrawSegment(CDrawTarget& window, std::vector<CPoint>& points, double uStart, double vStart,
    double uEnd, double vEnd);

// The repaint: grid, axis and the replay of points on a paint context. A point with x or y 0
// breaks the line.
void PaintRecordedTrace(CDrawTarget& window, const std::vector<CPoint>& points);

} // namespace vorn
