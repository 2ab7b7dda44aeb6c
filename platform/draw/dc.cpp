#include "dc.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

namespace vorn {

namespace {

QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

std::uint32_t ToPixel(COLORREF color)
{
    return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(color)) << 16)
        | (static_cast<std::uint32_t>(GetGValue(color)) << 8)
        | static_cast<std::uint32_t>(GetBValue(color));
}

// Pixel p (in device pixels) is covered by a span [from, to) when from <= p < to.
int FirstCovered(double from)
{
    // ceil without a library call; positions far off the image are clamped first.
    const double clamped = std::clamp(from, -1e9, 1e9);
    const int truncated = static_cast<int>(clamped);
    return truncated + (clamped > truncated ? 1 : 0);
}

// Direct access to the rows of a 32-bit image, detached once.
class PixelRows
{
public:
    explicit PixelRows(QImage& image)
        : m_bits(image.bits())
        , m_stride(image.bytesPerLine())
        , m_width(image.width())
        , m_height(image.height())
    { }
    [[nodiscard]] int Height() const { return m_height; }

    void FillRow(int y, double from, double to, std::uint32_t pixel)
    {
        const int first = std::max(FirstCovered(from), 0);
        const int end = std::min(FirstCovered(to), m_width);
        if (first >= end) {
            return;
        }
        auto* row
            = reinterpret_cast<std::uint32_t*>(m_bits + static_cast<std::ptrdiff_t>(y) * m_stride);
        if (end - first >= 16) {
            // The C library's wide fill is vectorised; a 32-bit wchar_t stores the pixel as is.
            static_assert(sizeof(wchar_t) == sizeof(std::uint32_t));
            std::wmemset(reinterpret_cast<wchar_t*>(row + first), static_cast<wchar_t>(pixel),
                static_cast<std::size_t>(end - first));
        } else {
            std::fill(row + first, row + end, pixel);
        }
    }

private:
    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
};

void FillDeviceRect(
    QImage& image, double left, double top, double right, double bottom, COLORREF color)
{
    const std::uint32_t pixel = ToPixel(color);
    const int first = std::max(FirstCovered(std::min(top, bottom)), 0);
    const int end = std::min(FirstCovered(std::max(top, bottom)), image.height());
    const int firstColumn = std::max(FirstCovered(std::min(left, right)), 0);
    const int endColumn = std::min(FirstCovered(std::max(left, right)), image.width());
    if (first == 0 && end == image.height() && firstColumn == 0 && endColumn == image.width()) {
        // White is all ones in every 32-bit format: the fastest fill there is.
        if (pixel == 0xFFFFFFFFu && image.bytesPerLine() == image.width() * 4) {
            std::memset(image.bits(), 0xFF, static_cast<std::size_t>(image.sizeInBytes()));
        } else {
            image.fill(pixel);
        }
        return;
    }
    PixelRows rows(image);
    for (int y = first; y < end; ++y) {
        rows.FillRow(y, std::min(left, right), std::max(left, right), pixel);
    }
}

// Sweeps a pen of width x height device pixels, centred on the line, from (x0, y0) to (x1, y1):
// every pixel whose position lies in the swept area is set. Row by row, the part of the segment
// within half the pen's height of the row, widened by half the pen's width.
void SweepPen(QImage& image, double x0, double y0, double x1, double y1, double width,
    double height, COLORREF color)
{
    const std::uint32_t pixel = ToPixel(color);
    PixelRows rows(image);
    const double halfWidth = width / 2;
    const double halfHeight = height / 2;
    // Walk from the upper end down.
    if (y1 < y0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int first = std::max(FirstCovered(y0 - halfHeight), 0);
    const int end = std::min(FirstCovered(y1 + halfHeight), rows.Height());
    const double slope = y1 != y0 ? (x1 - x0) / (y1 - y0) : 0.0;
    for (int y = first; y < end; ++y) {
        // The part of the segment within half the pen's height of this row.
        const double ya = std::max(y - halfHeight, y0);
        const double yb = std::min(y + halfHeight, y1);
        const double xa = y1 != y0 ? x0 + (ya - y0) * slope : x0;
        const double xb = y1 != y0 ? x0 + (yb - y0) * slope : x1;
        rows.FillRow(y, std::min(xa, xb) - halfWidth, std::max(xa, xb) + halfWidth, pixel);
    }
}

} // namespace

CDrawTarget::~CDrawTarget() = default;

CDC::CDC(CDrawTarget& target)
    : m_target(target)
{ }

CDC::~CDC() = default;

void CDC::Record(const DcOp& op)
{
    if (std::vector<DcOp>* log = m_target.Log()) {
        log->push_back(op);
    }
}

int CDC::SetMapMode(int nMapMode)
{
    Record({ DcOp::SetMapMode, nMapMode });
    const int previous = m_nMapMode;
    m_nMapMode = nMapMode;
    m_bPainterStale = true;
    return previous;
}

CSize CDC::SetWindowExt(int cx, int cy)
{
    Record({ DcOp::SetWindowExt, cx, cy });
    const CSize previous = m_windowExt;
    // Extents only take effect in the anisotropic mode; a zero extent is refused.
    if (m_nMapMode == MM_ANISOTROPIC && cx != 0 && cy != 0) {
        m_windowExt = { cx, cy };
        m_bPainterStale = true;
    }
    return previous;
}

CSize CDC::SetViewportExt(int cx, int cy)
{
    Record({ DcOp::SetViewportExt, cx, cy });
    const CSize previous = m_viewportExt;
    if (m_nMapMode == MM_ANISOTROPIC && cx != 0 && cy != 0) {
        m_viewportExt = { cx, cy };
        m_bPainterStale = true;
    }
    return previous;
}

CPen* CDC::SelectObject(CPen* pPen)
{
    CPen* previous = m_pPen;
    if (pPen == nullptr) {
        return nullptr;
    }
    Record({ DcOp::SelectPen, pPen->m_nStyle, pPen->m_nWidth, 0, 0, pPen->m_color });
    m_pPen = pPen;
    m_bPainterStale = true;
    return previous;
}

int CDC::SelectStockObject(int nIndex)
{
    Record({ DcOp::SelectStockObject, nIndex });
    const int previous = m_nBrush;
    m_nBrush = nIndex;
    return previous;
}

double CDC::ScaleX() const
{
    const double ratio = m_surface.image != nullptr ? m_surface.image->devicePixelRatio() : 1.0;
    return m_nMapMode == MM_ANISOTROPIC ? ratio * m_viewportExt.cx / m_windowExt.cx : ratio;
}

double CDC::ScaleY() const
{
    const double ratio = m_surface.image != nullptr ? m_surface.image->devicePixelRatio() : 1.0;
    return m_nMapMode == MM_ANISOTROPIC ? ratio * m_viewportExt.cy / m_windowExt.cy : ratio;
}

bool CDC::PreparePainter()
{
    QPainter* painter = m_surface.painter;
    if (painter == nullptr) {
        return false;
    }
    // Contexts open at the same time share one painter: whoever draws brings its own mapping
    // and pen along.
    if (m_target.m_pPainterOwner == this && !m_bPainterStale) {
        return true;
    }
    const QPoint origin = m_surface.origin;
    if (m_nMapMode == MM_ANISOTROPIC) {
        painter->setWindow(0, 0, m_windowExt.cx, m_windowExt.cy);
        painter->setViewport(origin.x(), origin.y(), m_viewportExt.cx, m_viewportExt.cy);
    } else {
        // One logical unit is one pixel, from the client area's origin.
        painter->setWindow(0, 0, 1, 1);
        painter->setViewport(origin.x(), origin.y(), 1, 1);
    }
    painter->setViewTransformEnabled(true);
    QPen pen(ToQColor(m_pPen->m_color));
    // The width is in logical units and stretches with the mapping, x and y independently; but a
    // line is never thinner than one device pixel, and width 0 is always one device pixel.
    const double ratio = painter->device()->devicePixelRatioF();
    const bool cosmetic = m_pPen->m_nWidth == 0
        || std::abs(ScaleX() * ratio) * m_pPen->m_nWidth < 1.0
        || std::abs(ScaleY() * ratio) * m_pPen->m_nWidth < 1.0;
    pen.setWidth(cosmetic ? 0 : m_pPen->m_nWidth);
    pen.setCosmetic(cosmetic);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    m_target.m_pPainterOwner = this;
    m_bPainterStale = false;
    return true;
}

void CDC::FillSolidRect(const CRect& rect, COLORREF color)
{
    Record({ DcOp::FillSolidRect, rect.left, rect.top, rect.right, rect.bottom, color });
    if (m_surface.image != nullptr) {
        const double sx = ScaleX();
        const double sy = ScaleY();
        FillDeviceRect(*m_surface.image, rect.left * sx, rect.top * sy, rect.right * sx,
            rect.bottom * sy, color);
    } else if (PreparePainter()) {
        m_surface.painter->fillRect(
            QRect(QPoint(rect.left, rect.top), QSize(rect.Width(), rect.Height())),
            ToQColor(color));
    }
}

CPoint CDC::MoveTo(int x, int y)
{
    Record({ DcOp::MoveTo, x, y });
    const CPoint previous = m_position;
    m_position = { x, y };
    return previous;
}

bool CDC::LineTo(int x, int y)
{
    Record({ DcOp::LineTo, x, y });
    if (m_surface.image != nullptr) {
        const double sx = ScaleX();
        const double sy = ScaleY();
        // The pen covers its logical width around the line, rounded to whole device pixels (one
        // at the least) so that every line of a picture is equally thick: a device pen of w x h
        // pixels swept along the mapped segment.
        const double width = m_pPen->m_nWidth == 0
            ? 1.0
            : std::max(1.0, std::round(std::abs(sx) * m_pPen->m_nWidth));
        const double height = m_pPen->m_nWidth == 0
            ? 1.0
            : std::max(1.0, std::round(std::abs(sy) * m_pPen->m_nWidth));
        SweepPen(*m_surface.image, m_position.x * sx, m_position.y * sy, x * sx, y * sy, width,
            height, m_pPen->m_color);
    } else if (PreparePainter()) {
        m_surface.painter->drawLine(QPoint(m_position.x, m_position.y), QPoint(x, y));
    }
    m_position = { x, y };
    return true;
}

CClientDC::CClientDC(CDrawTarget& target)
    : CDC(target)
{
    m_surface = target.Acquire();
}

CClientDC::~CClientDC()
{
    m_target.Release(true);
}

CPaintDC::CPaintDC(CDrawTarget& target)
    : CDC(target)
{
    m_surface = target.Acquire();
    target.EraseBackground();
}

CPaintDC::~CPaintDC()
{
    m_target.Release(false);
    m_target.EndPaint();
}

CPainterTarget::CPainterTarget(QPainter* painter, QSize clientSize, QPoint origin)
    : m_pPainter(painter)
    , m_size(clientSize)
    , m_origin(origin)
{ }

CRect CPainterTarget::GetClientRect() const
{
    return { 0, 0, m_size.width(), m_size.height() };
}

DrawSurface CPainterTarget::Acquire()
{
    ++m_nOpen;
    return { m_pPainter, nullptr, m_origin };
}

void CPainterTarget::Release(bool)
{
    if (--m_nOpen == 0) {
        m_pPainterOwner = nullptr;
    }
}

void CPainterTarget::EraseBackground()
{
    if (m_pPainter != nullptr) {
        m_pPainter->save();
        m_pPainter->setViewTransformEnabled(false);
        m_pPainter->setWorldMatrixEnabled(false);
        m_pPainter->fillRect(QRect(m_origin, m_size), Qt::white);
        m_pPainter->restore();
        m_pPainterOwner = nullptr;
    }
}

CImageTarget::CImageTarget(QImage& image)
    : m_image(image)
{
    if (m_image.format() != QImage::Format_RGB32) {
        m_image.convertTo(QImage::Format_RGB32);
    }
}

CRect CImageTarget::GetClientRect() const
{
    const QSize size = (QSizeF(m_image.size()) / m_image.devicePixelRatio()).toSize();
    return { 0, 0, size.width(), size.height() };
}

DrawSurface CImageTarget::Acquire()
{
    return { nullptr, &m_image, QPoint() };
}

void CImageTarget::EraseBackground()
{
    FillDeviceRect(m_image, 0, 0, m_image.width(), m_image.height(), 0xFFFFFF);
}

void FillImage(QImage& image, COLORREF color)
{
    FillDeviceRect(image, 0, 0, image.width(), image.height(), color);
}

} // namespace vorn
