#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

// Where the thumbnail page puts its twelve cells, and which part of the edit list a page holds.
namespace PageGeometry {

constexpr int Cells = 12;
constexpr int Columns = 3;
constexpr int Rows = 4;

// The zoom percentages of the frame view, indexed by the zoom box's item index; the box's items are
// the same numbers as texts ("10 %" to "500 %").
constexpr std::array<int, 11> ZoomTable = {10, 25, 50, 75, 100, 125, 150, 200, 300, 400, 500};
constexpr int ZoomIndex100 = 4;

// The first position of the page asked to start at first in a list of count positions: a page
// always holds twelve positions when there are that many, so one near the end is pulled back to end
// on the last position.
int PageStart(int first, int count);

// A frame within the thumbnail box keeps its size; a larger one is scaled so that its longer side
// fills the box's side of that direction and its shorter side takes the box's other side in the same
// ratio (a 640 x 480 frame becomes 120 x 75 in a 120 x 100 box), rounded half to even.
QSize ThumbnailSize(QSize frame, QSize box);

// Cell i: its box (the thumbnail box + 10 each way, 12 pixels apart across, 10 down), the top-left of
// its picture, and the box of its caption, the cell's bottom strip of textHeight + 7 pixels.
QRect CellRect(int cell, QSize box);
QPoint PicturePoint(int cell, QSize box);
QRect CaptionRect(int cell, QSize box, int textHeight);
// The cell under a point of the page, or -1 right of the third column or below the fourth row.
int CellAt(QPoint point, QSize box);

} // namespace PageGeometry
