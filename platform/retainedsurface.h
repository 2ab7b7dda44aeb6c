#pragma once

#include "dc.h"

#include <QImage>
#include <QPointer>

class QPainter;
class QRect;
class QWidget;

namespace vorn {

// The retained picture of a window's client area, kept in device pixels (HiDPI aware). Client
// contexts draw into it and schedule the window to show it; the window's paint handler copies
// it to the screen. Its size follows the window when a context is opened.
class CRetainedSurface : public CDrawTarget
{
public:
    explicit CRetainedSurface(QWidget* window);
    ~CRetainedSurface() override;

    [[nodiscard]] CRect GetClientRect() const override;

    // True when the picture has the window's current size and pixel ratio and was painted
    // since the last Invalidate().
    [[nodiscard]] bool IsCurrent() const;
    void Invalidate() { m_bValid = false; }
    [[nodiscard]] const QImage& Image() const { return m_image; }

    // Keeps the picture in the pixel format of the window's backing store (32-bit RGB with or
    // without premultiplied alpha), so that showing it is a plain copy.
    void MatchFormat(QImage::Format format);
    // Copies the picture into the window; call from its paint handler.
    void Show(QPainter& painter, const QRect& area) const;

protected:
    DrawSurface Acquire() override;
    void Release(bool bShow) override;
    void EraseBackground() override;
    void EndPaint() override { m_bValid = true; }

private:
    void FitToWindow();

    QPointer<QWidget> m_pWindow;
    QImage m_image;
    QImage::Format m_format = QImage::Format_RGB32;
    int m_nOpen = 0;
    bool m_bValid = false;
};

} // namespace vorn
