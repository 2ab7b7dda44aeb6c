#include "mdilayout.h"

#include <algorithm>

namespace vorn {

std::vector<QRect> TileLayout(QSize area, const std::vector<MdiWindowBox>& windows)
{
    std::vector<QRect> rects;
    std::vector<std::size_t> tiled;
    int iconRow = 0;
    int minHeight = 1;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        rects.push_back(windows[i].rect);
        if (windows[i].bMinimized) {
            iconRow = std::max(iconRow, windows[i].rect.height());
        } else {
            minHeight = std::max(minHeight, windows[i].nMinHeight);
            tiled.push_back(i);
        }
    }
    const int count = static_cast<int>(tiled.size());
    if (count == 0) {
        return rects;
    }
    const int height = std::max(area.height() - iconRow, minHeight);
    // As many rows as fit; the rest in further columns.
    const int rowsThatFit = std::max(1, height / minHeight);
    const int columns = (count + rowsThatFit - 1) / rowsThatFit;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const int column = i / rows;
        const int row = i % rows;
        const int rowsHere = std::min(rows, count - column * rows);
        const int left = area.width() * column / columns;
        const int right = area.width() * (column + 1) / columns;
        const int top = height * row / rowsHere;
        const int bottom = height * (row + 1) / rowsHere;
        rects[tiled[i]] = QRect(left, top, right - left, bottom - top);
    }
    return rects;
}

std::vector<QRect> ArrangeIconsLayout(QSize area, const std::vector<MdiWindowBox>& windows)
{
    std::vector<QRect> rects;
    int x = 0;
    for (const MdiWindowBox& window : windows) {
        QRect rect = window.rect;
        if (window.bMinimized) {
            rect.moveTo(x, area.height() - rect.height());
            x += rect.width();
        }
        rects.push_back(rect);
    }
    return rects;
}

CascadePlace CascadePosition(QSize area, QSize size, int nStep, int nIndex)
{
    QPoint position(nIndex * nStep, nIndex * nStep);
    if (position.x() + size.width() > area.width()
        || position.y() + size.height() > area.height()) {
        nIndex = 0;
        position = QPoint(0, 0);
    }
    return { position, nIndex + 1 };
}

} // namespace vorn
