#include "dc.h"

#include <QPainter>
#include <QWidget>

#include <cmath>

namespace vorn {

namespace {

QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

// Fills the whole client area in device independent pixels, whatever mapping the painter holds.
void FillClientArea(QPainter& painter, QSize size, const QColor& color)
{
    painter.save();
    painter.setViewTransformEnabled(false);
    painter.setWorldMatrixEnabled(false);
    painter.fillRect(QRect(QPoint(0, 0), size), color);
    painter.restore();
}

} // namespace

CDrawTarget::~CDrawTarget() = default;

CDC::CDC(CDrawTarget& target)
    : m_target(target)
{
}

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

bool CDC::PreparePainter()
{
    if (m_pPainter == nullptr) {
        return false;
    }
    // Contexts open at the same time share one painter: whoever draws brings its own mapping
    // and pen along.
    if (m_target.m_pPainterOwner == this && !m_bPainterStale) {
        return true;
    }
    if (m_nMapMode == MM_ANISOTROPIC) {
        m_pPainter->setWindow(0, 0, m_windowExt.cx, m_windowExt.cy);
        m_pPainter->setViewport(0, 0, m_viewportExt.cx, m_viewportExt.cy);
        m_pPainter->setViewTransformEnabled(true);
    } else {
        m_pPainter->setViewTransformEnabled(false);
    }
    QPen pen(ToQColor(m_pPen->m_color));
    // The width is in logical units and stretches with the mapping, x and y independently; but a
    // line is never thinner than one device pixel, and width 0 is always one device pixel.
    bool cosmetic = m_pPen->m_nWidth == 0;
    if (!cosmetic && m_nMapMode == MM_ANISOTROPIC) {
        const double ratio = m_pPainter->device()->devicePixelRatioF();
        const double scaleX = ratio * m_viewportExt.cx / m_windowExt.cx;
        const double scaleY = ratio * m_viewportExt.cy / m_windowExt.cy;
        cosmetic = std::abs(scaleX) * m_pPen->m_nWidth < 1.0 || std::abs(scaleY) * m_pPen->m_nWidth < 1.0;
    }
    pen.setWidth(cosmetic ? 0 : m_pPen->m_nWidth);
    pen.setCosmetic(cosmetic);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    m_pPainter->setPen(pen);
    m_pPainter->setBrush(Qt::NoBrush);
    m_target.m_pPainterOwner = this;
    m_bPainterStale = false;
    return true;
}

void CDC::FillSolidRect(const CRect& rect, COLORREF color)
{
    Record({ DcOp::FillSolidRect, rect.left, rect.top, rect.right, rect.bottom, color });
    if (PreparePainter()) {
        m_pPainter->fillRect(QRect(QPoint(rect.left, rect.top), QSize(rect.Width(), rect.Height())), ToQColor(color));
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
    if (PreparePainter()) {
        m_pPainter->drawLine(QPoint(m_position.x, m_position.y), QPoint(x, y));
    }
    m_position = { x, y };
    return true;
}

CClientDC::CClientDC(CDrawTarget& target)
    : CDC(target)
{
    m_pPainter = target.AcquirePainter();
}

CClientDC::~CClientDC()
{
    m_target.ReleasePainter(true);
}

CPaintDC::CPaintDC(CDrawTarget& target)
    : CDC(target)
{
    m_pPainter = target.AcquirePainter();
    target.EraseBackground();
}

CPaintDC::~CPaintDC()
{
    m_target.ReleasePainter(false);
    m_target.EndPaint();
}

CPainterTarget::CPainterTarget(QPainter* painter, QSize clientSize)
    : m_pPainter(painter)
    , m_size(clientSize)
{
}

CRect CPainterTarget::GetClientRect() const
{
    return { 0, 0, m_size.width(), m_size.height() };
}

QPainter* CPainterTarget::AcquirePainter()
{
    ++m_nOpen;
    return m_pPainter;
}

void CPainterTarget::ReleasePainter(bool)
{
    if (--m_nOpen == 0) {
        m_pPainterOwner = nullptr;
    }
}

void CPainterTarget::EraseBackground()
{
    if (m_pPainter != nullptr) {
        FillClientArea(*m_pPainter, m_size, Qt::white);
        m_pPainterOwner = nullptr;
    }
}

CRetainedSurface::CRetainedSurface(QWidget* window)
    : m_pWindow(window)
{
}

CRetainedSurface::~CRetainedSurface() = default;

CRect CRetainedSurface::GetClientRect() const
{
    if (m_pWindow == nullptr) {
        return {};
    }
    return { 0, 0, m_pWindow->width(), m_pWindow->height() };
}

bool CRetainedSurface::IsCurrent() const
{
    if (!m_bValid || m_pWindow == nullptr) {
        return false;
    }
    const qreal ratio = m_pWindow->devicePixelRatioF();
    return m_image.devicePixelRatio() == ratio && m_image.size() == (QSizeF(m_pWindow->size()) * ratio).toSize();
}

void CRetainedSurface::FitToWindow()
{
    if (m_pWindow == nullptr) {
        return;
    }
    const qreal ratio = m_pWindow->devicePixelRatioF();
    const QSize pixels = (QSizeF(m_pWindow->size()) * ratio).toSize();
    if (m_image.size() == pixels && m_image.devicePixelRatio() == ratio) {
        return;
    }
    // A new size loses the picture: the window needs a real repaint.
    m_image = QImage(pixels, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::white);
    m_bValid = false;
}

QPainter* CRetainedSurface::AcquirePainter()
{
    if (m_nOpen++ == 0) {
        FitToWindow();
        if (!m_image.isNull()) {
            m_pPainter = std::make_unique<QPainter>(&m_image);
        }
        m_pPainterOwner = nullptr;
    }
    return m_pPainter.get();
}

void CRetainedSurface::ReleasePainter(bool bShow)
{
    if (--m_nOpen > 0) {
        return;
    }
    m_pPainter.reset();
    m_pPainterOwner = nullptr;
    if (bShow && m_pWindow != nullptr) {
        m_pWindow->update();
    }
}

void CRetainedSurface::EraseBackground()
{
    if (m_pPainter != nullptr && m_pWindow != nullptr) {
        FillClientArea(*m_pPainter, m_pWindow->size(), Qt::white);
        m_pPainterOwner = nullptr;
    }
}

} // namespace vorn
