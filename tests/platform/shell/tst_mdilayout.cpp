// The MDI frame's layouts, as rectangles without widgets: Tile with its icon row and its
// columns when more windows come than rows fit, Arrange icons, and the cascade of new windows.
#include "mdilayout.h"

#include <QTest>

using namespace vorn;
using Boxes = std::vector<MdiWindowBox>;
using Rects = std::vector<QRect>;
Q_DECLARE_METATYPE(Boxes)
Q_DECLARE_METATYPE(Rects)

namespace {

MdiWindowBox window(int minHeight)
{
    return { QRect(30, 40, 300, 200), minHeight, false };
}
MdiWindowBox icon(QRect rect)
{
    return { rect, 1, true };
}

} // namespace

class TestMdiLayout : public QObject
{
    Q_OBJECT

private slots:
    void layouts_data()
    {
        QTest::addColumn<bool>("tile");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<Boxes>("windows");
        QTest::addColumn<Rects>("expected");
        const QSize area(800, 600);
        const QRect iconA(500, 10, 160, 30);
        const QRect iconB(0, 0, 150, 24);
        QTest::newRow("tile one") << true << area << Boxes { window(100) }
                                  << Rects { { 0, 0, 800, 600 } };
        QTest::newRow("tile three")
            << true << area << Boxes { window(100), window(100), window(100) }
            << Rects { { 0, 0, 800, 200 }, { 0, 200, 800, 200 }, { 0, 400, 800, 200 } };
        // Above the row of icons, as high as the highest of them; the icons stay where they are.
        QTest::newRow("tile with icons")
            << true << area << Boxes { window(100), icon(iconA), window(100), icon(iconB) }
            << Rects { { 0, 0, 800, 285 }, iconA, { 0, 285, 800, 285 }, iconB };
        // Two rows of 250 fit: three columns, filled one after the other, the last one with a
        // single window as high as the area.
        QTest::newRow("tile in columns")
            << true << area << Boxes { window(100), window(250), window(1), window(1), window(1) }
            << Rects { { 0, 0, 266, 300 }, { 0, 300, 266, 300 }, { 266, 0, 267, 300 },
                   { 266, 300, 267, 300 }, { 533, 0, 267, 600 } };
        // No window is made lower than it can be, even where the area is lower still.
        QTest::newRow("tile in a low area")
            << true << QSize(800, 100) << Boxes { window(150), window(150) }
            << Rects { { 0, 0, 400, 150 }, { 400, 0, 400, 150 } };
        QTest::newRow("tile icons only")
            << true << area << Boxes { icon(iconA), icon(iconB) } << Rects { iconA, iconB };
        QTest::newRow("arrange icons")
            << false << area << Boxes { window(100), icon(iconA), window(100), icon(iconB) }
            << Rects { window(1).rect, { 0, 570, 160, 30 }, window(1).rect, { 160, 576, 150, 24 } };
    }

    void layouts()
    {
        QFETCH(bool, tile);
        QFETCH(QSize, area);
        QFETCH(Boxes, windows);
        QFETCH(Rects, expected);
        const Rects rects = tile ? TileLayout(area, windows) : ArrangeIconsLayout(area, windows);
        QCOMPARE(rects, expected);
    }

    void cascade_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<QPoint>>("expected");
        // The eighth window ends exactly at the bottom (or right) edge; the ninth starts again
        // at the top left, and the cascade goes on from there.
        const QList<QPoint> wrapping { { 0, 0 }, { 20, 20 }, { 40, 40 }, { 60, 60 }, { 80, 80 },
            { 100, 100 }, { 120, 120 }, { 140, 140 }, { 0, 0 }, { 20, 20 } };
        QTest::newRow("wraps at the bottom") << QSize(880, 560) << QSize(660, 420) << wrapping;
        QTest::newRow("wraps at the right") << QSize(560, 880) << QSize(420, 660) << wrapping;
        QTest::newRow("wider than the area")
            << QSize(100, 500) << QSize(200, 50) << QList<QPoint> { { 0, 0 }, { 0, 0 }, { 0, 0 } };
    }

    void cascade()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, size);
        QFETCH(QList<QPoint>, expected);
        QList<QPoint> places;
        int index = 0;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const CascadePlace place = CascadePosition(area, size, 20, index);
            places.append(place.pos);
            index = place.nNext;
        }
        QCOMPARE(places, expected);
    }
};

QTEST_GUILESS_MAIN(TestMdiLayout)
#include "tst_mdilayout.moc"
