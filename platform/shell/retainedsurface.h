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
// it to the screen. What a client context drew is shown once, by the paint that it scheduled;
// every later paint shows what the window's own paint handler draws, so the picture is reused
// only while it is exactly that. Its size follows the window when a context is opened.
class CRetainedSurface : public CDrawTarget
{
public:
    explicit CRetainedSurface(QWidget* window);
    ~CRetainedSurface() override;

    [[nodiscard]] CRect GetClientRect() const override;

    // True when the picture has the window's current size and pixel ratio and is what a paint
    // context drew since the last Invalidate() (no client context has drawn over it since).
    [[nodiscard]] bool IsCurrent() const;
    // True when a paint must run the window's paint handler before showing the picture: it is
    // neither current nor a client context's drawing still waiting to be shown.
    [[nodiscard]] bool NeedsRepaint() const;
    void Invalidate()
    {
        m_bValid = false;
        m_bShowPending = false;
    }
    [[nodiscard]] const QImage& Image() const { return m_image; }

    // Keeps the picture in the pixel format of the window's backing store (32-bit RGB with or
    // without premultiplied alpha), so that showing it is a plain copy.
    void MatchFormat(QImage::Format format);
    // Copies the picture into the window; call from its paint handler. A client context's drawing
    // is shown this once: afterwards the picture counts as stale until a paint context renews it.
    void Show(QPainter& painter, const QRect& area);

protected:
    DrawSurface Acquire() override;
    void Release(bool bShow) override;
    void EraseBackground() override;
    void EndPaint() override
    {
        m_bValid = true;
        m_bShowPending = false;
    }

private:
    void FitToWindow();
    [[nodiscard]] bool FitsWindow() const;

    QPointer<QWidget> m_pWindow;
    QImage m_image;
    QImage::Format m_format = QImage::Format_RGB32;
    int m_nOpen = 0;
    bool m_bValid = false;
    bool m_bShowPending = false; // a client context's drawing waits for its paint
};

} // namespace vorn
