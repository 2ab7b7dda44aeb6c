#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace vorn {

// A document window as the MDI layouts see it: where it is, the least height it can be given and
// whether it is minimized (shown as an icon).
struct MdiWindowBox
{
    QRect rect;
    int nMinHeight = 1;
    bool bMinimized = false;
};

// Tile: the windows that are not minimized share the area above the row of icons (as high as the
// highest minimized window), one above the other in the order given, each as wide as the area.
// Where more windows come than rows of the greatest least height fit, they fill columns side by
// side, column by column; a last column with fewer windows gives each of them more height.
// Returns one rectangle per window; minimized windows keep theirs.
std::vector<QRect> TileLayout(QSize area, const std::vector<MdiWindowBox>& windows);

// Arrange icons: the minimized windows, in the order given, side by side along the bottom edge
// of the area from its left edge. Returns one rectangle per window; the others keep theirs.
std::vector<QRect> ArrangeIconsLayout(QSize area, const std::vector<MdiWindowBox>& windows);

// The place of a new window of this size: nIndex steps of nStep down and to the right of the top
// left, or the top left itself where the window would reach beyond the area. nNext is the index
// of the window after it.
struct CascadePlace
{
    QPoint pos;
    int nNext = 0;
};
CascadePlace CascadePosition(QSize area, QSize size, int nStep, int nIndex);

} // namespace vorn
