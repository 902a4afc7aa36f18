#include "PageGeometry.h"

#include <cmath>

namespace PageGeometry {

int PageStart(int first, int count) {
    if (first + Cells - 1 >= count) first = count - Cells;
    return first < 0 ? 0 : first;
}

QSize ThumbnailSize(QSize frame, QSize box) {
    const int w = frame.width(), h = frame.height();
    if (w <= box.width() && h <= box.height()) return frame;
    // std::nearbyint in the default rounding mode rounds halves to even.
    if (w > h) return QSize(box.width(), static_cast<int>(std::nearbyint(double(h) * box.height() / w)));
    return QSize(static_cast<int>(std::nearbyint(double(w) * box.width() / h)), box.height());
}

QRect CellRect(int cell, QSize box) {
    return QRect((cell % Columns) * (box.width() + 12), (cell / Columns) * (box.height() + 10),
                 box.width() + 10, box.height() + 10);
}

QPoint PicturePoint(int cell, QSize box) {
    return CellRect(cell, box).topLeft() + QPoint(5, 15);
}

QRect CaptionRect(int cell, QSize box, int textHeight) {
    QRect r = CellRect(cell, box);
    r.setTop(r.bottom() + 1 - textHeight - 7);
    return r;
}

int CellAt(QPoint point, QSize box) {
    if (point.x() < 0 || point.y() < 0) return -1;
    const int column = point.x() / (box.width() + 12);
    const int row = point.y() / (box.height() + 10);
    if (row > Rows - 1 || column > Columns - 1) return -1;
    return row * Columns + column;
}

} // namespace PageGeometry
