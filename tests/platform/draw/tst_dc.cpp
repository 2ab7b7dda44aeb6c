// The drawing context: pens handed back on selection, the mapping of logical units to device
// pixels, contexts open at the same time on one surface.
#include "dc.h"

#include <QPainter>
#include <QTest>

using namespace vorn;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kWhite = 0xFFFFFFFF;

} // namespace

class TestDc : public QObject
{
    Q_OBJECT

private slots:
    void selectObjectReturnsThePrevious();
    void mapping_data();
    void mapping();
    void contextsOpenTogetherDrawAsIfAlone();
};

void TestDc::selectObjectReturnsThePrevious()
{
    CPainterTarget target(nullptr, QSize(100, 100));
    CClientDC dc(target);
    CPen red(PS_SOLID, 1, 255);
    CPen blue(PS_SOLID, 1, 0xFF0000);
    CPen* original = dc.SelectObject(&red);
    QVERIFY(original != nullptr);
    QVERIFY(original != &red);
    QCOMPARE(dc.SelectObject(&blue), &red);
    QCOMPARE(dc.SelectObject(nullptr), nullptr);
    QCOMPARE(dc.SelectObject(original), &blue);
    QCOMPARE(dc.SelectStockObject(NULL_BRUSH), WHITE_BRUSH);
    QCOMPARE(dc.SelectStockObject(WHITE_BRUSH), NULL_BRUSH);
    QCOMPARE(dc.MoveTo(5, 6), (CPoint { 0, 0 }));
    QCOMPARE(dc.MoveTo(7, 8), (CPoint { 5, 6 }));
}

void TestDc::mapping_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QPoint>("logical");
    QTest::addColumn<QPoint>("device");
    // Window 10 x 10 on a viewport of 100 x 50: x ten times, y five times.
    QTest::newRow("anisotropic") << MM_ANISOTROPIC << QPoint(5, 6) << QPoint(50, 30);
    QTest::newRow("anisotropic origin") << MM_ANISOTROPIC << QPoint(0, 0) << QPoint(0, 0);
    // Extents mean nothing in the text mode: one unit is one pixel.
    QTest::newRow("text mode") << MM_TEXT << QPoint(5, 6) << QPoint(5, 6);
}

void TestDc::mapping()
{
    QFETCH(int, mode);
    QFETCH(QPoint, logical);
    QFETCH(QPoint, device);
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    CImageTarget target(image);
    {
        CClientDC dc(target);
        dc.SetMapMode(mode);
        dc.SetWindowExt(10, 10);
        dc.SetViewportExt(100, 50);
        CPen pen(PS_SOLID, 0, 255);
        CPen* old = dc.SelectObject(&pen);
        // A dot: a line of length zero with a one-pixel pen.
        dc.MoveTo(logical.x(), logical.y());
        dc.LineTo(logical.x(), logical.y());
        dc.SelectObject(old);
    }
    QCOMPARE(image.pixel(device), kRed);
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            red += image.pixel(x, y) == kRed ? 1 : 0;
        }
    }
    QCOMPARE(red, 1);
}

void TestDc::contextsOpenTogetherDrawAsIfAlone()
{
    // One painter serves both contexts; each keeps its own mapping and pen.
    const auto drawOuter = [](CDC& dc, CPen& pen) {
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt(100, 100);
        dc.SetViewportExt(200, 200);
        dc.SelectObject(&pen);
        dc.MoveTo(10, 10);
        dc.LineTo(90, 10);
    };
    const auto drawInner = [](CDC& dc, CPen& pen) {
        dc.SelectObject(&pen);
        dc.MoveTo(10, 150);
        dc.LineTo(190, 150);
    };
    const auto render = [&](bool together) {
        QImage image(200, 200, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        CPainterTarget target(&painter, image.size());
        CPen blue(PS_SOLID, 1, 0xFF0000);
        CPen red(PS_SOLID, 0, 255);
        if (together) {
            CClientDC outer(target);
            drawOuter(outer, blue);
            {
                CClientDC inner(target);
                drawInner(inner, red);
            }
            outer.MoveTo(10, 50);
            outer.LineTo(90, 50);
        } else {
            {
                CClientDC outer(target);
                drawOuter(outer, blue);
            }
            {
                CClientDC inner(target);
                drawInner(inner, red);
            }
            CClientDC outer(target);
            drawOuter(outer, blue);
            outer.MoveTo(10, 50);
            outer.LineTo(90, 50);
        }
        painter.end();
        return image;
    };
    const QImage together = render(true);
    QCOMPARE(together, render(false));
    // The inner context draws unmapped and thin, the outer one mapped and two pixels wide.
    QCOMPARE(together.pixel(100, 150), kRed);
    QCOMPARE(together.pixel(100, 149), kWhite);
    QCOMPARE(together.pixel(100, 100), kBlue);
    QCOMPARE(together.pixel(100, 99), kBlue);
}

QTEST_MAIN(TestDc)
#include "tst_dc.moc"
