// The retained picture of a window: drawn at the window's size in device pixels, current after a
// paint, stale again when the window changes size.
#include "dc.h"
#include "retainedsurface.h"

#include <QTest>
#include <QWidget>

using namespace vorn;

namespace {

constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

} // namespace

class TestRetainedSurface : public QObject
{
    Q_OBJECT

private slots:
    void retainedSurfaceFollowsItsWindow();
};

void TestRetainedSurface::retainedSurfaceFollowsItsWindow()
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CRetainedSurface surface(&window);
    QVERIFY(!surface.IsCurrent());
    QCOMPARE(surface.GetClientRect(), (CRect { 0, 0, 300, 200 }));
    {
        CClientDC dc(surface);
        dc.FillSolidRect({ 0, 0, 300, 200 }, 0xFF0000);
    }
    // Drawn at once at the window's size in device pixels, but not a repaint.
    const qreal ratio = window.devicePixelRatioF();
    QCOMPARE(surface.Image().size(), (QSizeF(300, 200) * ratio).toSize());
    QCOMPARE(surface.Image().pixel(10, 10), kBlue);
    QVERIFY(!surface.IsCurrent());
    {
        CPaintDC dc(surface);
    }
    QVERIFY(surface.IsCurrent());
    QCOMPARE(surface.Image().pixel(10, 10), kWhite);
    window.resize(320, 200);
    QVERIFY(!surface.IsCurrent());
    surface.Invalidate();
    {
        CPaintDC dc(surface);
    }
    QCOMPARE(surface.Image().size(), (QSizeF(320, 200) * ratio).toSize());
    QVERIFY(surface.IsCurrent());
}

QTEST_MAIN(TestRetainedSurface)
#include "tst_retainedsurface.moc"
