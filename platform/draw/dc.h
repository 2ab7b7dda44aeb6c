#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

namespace vorn {

// 0x00BBGGRR: 255 is red, 0xFF0000 is blue.
using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>(r & 0xFF) | (static_cast<COLORREF>(g & 0xFF) << 8)
        | (static_cast<COLORREF>(b & 0xFF) << 16);
}
constexpr int GetRValue(COLORREF c)
{
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

inline constexpr int MM_TEXT = 1;
inline constexpr int MM_ANISOTROPIC = 8;
inline constexpr int PS_SOLID = 0;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int WHITE_BRUSH = 0;

struct CPoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct CSize
{
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    friend bool operator==(const CSize&, const CSize&) = default;
};

struct CRect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    [[nodiscard]] std::int32_t Width() const { return right - left; }
    [[nodiscard]] std::int32_t Height() const { return bottom - top; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

// A pen: style, width in logical units (0 = one device pixel whatever the mapping) and colour.
class CPen
{
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF crColor)
        : m_nStyle(nPenStyle)
        , m_nWidth(nWidth)
        , m_color(crColor)
    { }
    int m_nStyle = PS_SOLID;
    int m_nWidth = 0;
    COLORREF m_color = 0;
};

// One operation on a drawing context, as recorded for inspection. The meaning of a..d depends
// on the kind: SetMapMode a; SetWindowExt/SetViewportExt a, b; FillSolidRect a, b, c, d (left,
// top, right, bottom) and color; SelectPen a = style, b = width, color; SelectStockObject a;
// MoveTo/LineTo a, b.
struct DcOp
{
    enum Kind {
        SetMapMode,
        SetWindowExt,
        SetViewportExt,
        FillSolidRect,
        SelectPen,
        SelectStockObject,
        MoveTo,
        LineTo
    };
    Kind kind = MoveTo;
    int a = 0;
    int b = 0;
    int c = 0;
    int d = 0;
    COLORREF color = 0;
    friend bool operator==(const DcOp&, const DcOp&) = default;
};

class CDC;

// Where a context draws: straight into the pixels of an image (32-bit RGB, device pixels, its
// device pixel ratio applied), or through a painter (any paint device: SVG, printer, ...).
struct DrawSurface
{
    QPainter* painter = nullptr;
    QImage* image = nullptr;
    // Where the client area's origin lies on the painter's device.
    QPoint origin;
};

// The drawable client area of a window as its drawing contexts see it: its client rectangle,
// the surface they draw on (shared by all contexts open at the same time, so that opening a
// context is cheap) and, optionally, a log that records every operation. UI thread only.
class CDrawTarget
{
public:
    CDrawTarget() = default;
    CDrawTarget(const CDrawTarget&) = delete;
    CDrawTarget& operator=(const CDrawTarget&) = delete;
    virtual ~CDrawTarget();

    // The client rectangle in (device independent) pixels, origin 0, 0.
    [[nodiscard]] virtual CRect GetClientRect() const = 0;

    // Records every operation of every context opened from now on into log (nullptr: stop).
    void SetLog(std::vector<DcOp>* log) { m_pLog = log; }
    [[nodiscard]] std::vector<DcOp>* Log() const { return m_pLog; }

protected:
    friend class CDC;
    friend class CClientDC;
    friend class CPaintDC;
    // The surface of the contexts; empty when the target only records. Every Acquire is matched
    // by one Release; bShow asks the window to show what was drawn (client contexts do, paint
    // contexts are already being shown).
    virtual DrawSurface Acquire() = 0;
    virtual void Release(bool bShow) = 0;
    // A paint context begins by erasing the client area with the window's background, and
    // validates the client area when it ends.
    virtual void EraseBackground() { }
    virtual void EndPaint() { }

    // The context whose mapping and pen a shared painter currently holds.
    const CDC* m_pPainterOwner = nullptr;

private:
    std::vector<DcOp>* m_pLog = nullptr;
};

// A device context: mapping mode with window and viewport extents (origins stay at 0, 0), a
// selected pen, a current position; lines and solid fills. Draws through its target's painter
// and records into its target's log.
class CDC
{
public:
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    int SetMapMode(int nMapMode);
    CSize SetWindowExt(int cx, int cy);
    CSize SetViewportExt(int cx, int cy);
    // Fills in logical units of the current mapping; the pen and the position are untouched.
    void FillSolidRect(const CRect& rect, COLORREF color);
    // Returns the pen selected before; the context keeps a pointer, so the pen must outlive its
    // selection.
    CPen* SelectObject(CPen* pPen);
    // Only NULL_BRUSH and WHITE_BRUSH exist; nothing here fills with the brush. Returns the
    // previous stock brush.
    int SelectStockObject(int nIndex);
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(CPoint point) { return MoveTo(point.x, point.y); }
    // Draws from the current position to (x, y), which becomes the current position.
    bool LineTo(int x, int y);
    bool LineTo(CPoint point) { return LineTo(point.x, point.y); }

protected:
    explicit CDC(CDrawTarget& target);

    CDrawTarget& m_target;
    DrawSurface m_surface;

private:
    void Record(const DcOp& op);
    bool PreparePainter();
    // Logical to device pixels of the image surface, and the pen's extent there.
    [[nodiscard]] double ScaleX() const;
    [[nodiscard]] double ScaleY() const;
    CPen m_defaultPen { PS_SOLID, 0, 0 };
    CPen* m_pPen = &m_defaultPen;
    int m_nBrush = WHITE_BRUSH;
    int m_nMapMode = MM_TEXT;
    CSize m_windowExt { 1, 1 };
    CSize m_viewportExt { 1, 1 };
    CPoint m_position;
    bool m_bPainterStale = true;
};

// A context on a window's client area that paints at once (the window shows the result
// without a repaint).
class CClientDC : public CDC
{
public:
    explicit CClientDC(CDrawTarget& target);
    ~CClientDC() override;
};

// The context of a repaint: erases the client area with the window's background first.
class CPaintDC : public CDC
{
public:
    explicit CPaintDC(CDrawTarget& target);
    ~CPaintDC() override;
};

// A target over a painter that somebody else has begun (an SVG generator, a printer, ...), with
// a fixed client size. painter may be nullptr for a target that only records.
class CPainterTarget : public CDrawTarget
{
public:
    CPainterTarget(QPainter* painter, QSize clientSize, QPoint origin = {});
    [[nodiscard]] CRect GetClientRect() const override;

protected:
    DrawSurface Acquire() override;
    void Release(bool bShow) override;
    void EraseBackground() override;

private:
    QPainter* m_pPainter;
    QSize m_size;
    QPoint m_origin;
    int m_nOpen = 0;
};

// A target over an image: the client area is the image's size divided by its device pixel
// ratio. The image is converted to 32-bit RGB if it is not already.
class CImageTarget : public CDrawTarget
{
public:
    explicit CImageTarget(QImage& image);
    [[nodiscard]] CRect GetClientRect() const override;

protected:
    DrawSurface Acquire() override;
    void Release(bool) override { }
    void EraseBackground() override;

private:
    QImage& m_image;
};

// Fills the whole image (device pixels) with a colour.
void FillImage(QImage& image, COLORREF color);

} // namespace vorn
