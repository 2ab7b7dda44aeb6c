#include "retainedsurface.h"

#include <QPainter>
#include <QWidget>

namespace vorn {

CRetainedSurface::CRetainedSurface(QWidget* window)
    : m_pWindow(window)
{
    // The picture covers every pixel of the window: no background fill before it is shown.
    if (window != nullptr) {
        window->setAutoFillBackground(false);
        window->setAttribute(Qt::WA_OpaquePaintEvent);
    }
}

CRetainedSurface::~CRetainedSurface() = default;

CRect CRetainedSurface::GetClientRect() const
{
    if (m_pWindow == nullptr) {
        return {};
    }
    return { 0, 0, m_pWindow->width(), m_pWindow->height() };
}

bool CRetainedSurface::FitsWindow() const
{
    if (m_pWindow == nullptr) {
        return false;
    }
    const qreal ratio = m_pWindow->devicePixelRatioF();
    return m_image.devicePixelRatio() == ratio
        && m_image.size() == (QSizeF(m_pWindow->size()) * ratio).toSize();
}

bool CRetainedSurface::IsCurrent() const
{
    return m_bValid && FitsWindow();
}

bool CRetainedSurface::NeedsRepaint() const
{
    return !(m_bValid || m_bShowPending) || !FitsWindow();
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
    m_image = QImage(pixels, m_format);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::white);
    m_bValid = false;
    m_bShowPending = false;
}

DrawSurface CRetainedSurface::Acquire()
{
    if (m_nOpen++ == 0) {
        FitToWindow();
    }
    if (m_image.isNull()) {
        return {};
    }
    return { nullptr, &m_image, QPoint() };
}

void CRetainedSurface::Release(bool bShow)
{
    if (--m_nOpen != 0 || !bShow) {
        return;
    }
    // A client context drew over the picture: it is no longer what the paint handler draws. A
    // visible window shows the drawing at its next paint; a hidden one never sees it.
    m_bValid = false;
    m_bShowPending = m_pWindow != nullptr && m_pWindow->isVisible();
    if (m_bShowPending) {
        m_pWindow->update();
    }
}

void CRetainedSurface::MatchFormat(QImage::Format format)
{
    // Only formats whose opaque pixels are 0xFFRRGGBB words, which the contexts write.
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied
        && format != QImage::Format_ARGB32) {
        return;
    }
    m_format = format;
    if (!m_image.isNull() && m_image.format() != format && m_nOpen == 0) {
        m_image.reinterpretAsFormat(format);
    }
}

void CRetainedSurface::Show(QPainter& painter, const QRect& area)
{
    m_bShowPending = false;
    if (m_image.isNull()) {
        return;
    }
    const qreal ratio = m_image.devicePixelRatio();
    const QRectF source(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(area), m_image, source);
}

void CRetainedSurface::EraseBackground()
{
    if (!m_image.isNull()) {
        FillImage(m_image, 0xFFFFFF);
    }
}

} // namespace vorn
