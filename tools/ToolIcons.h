#pragma once

#include "platform/Colors.h"

#include <QIcon>
#include <QImage>
#include <QVector>

// The drawing views' 16 x 16 images, drawn in code, by their index in the views' image list. A
// tool has one image while it is not chosen and another while it is.
namespace ToolIcons {

constexpr int IconSize = 16;

enum TIndex : int {
    Redo = 0,
    Undo = 1,
    FreeHand = 2,
    PenWidth = 3,
    ColorSwatch = 4,
    Text = 5,
    Rectangle = 6,
    Ellipse = 7,
    Font = 8,
    Line = 9,
    ImageStamps = 10,
    FreeHandChosen = 14,
    LineChosen = 15,
    RectangleChosen = 16,
    EllipseChosen = 17,
    TextChosen = 18,
    Count = 19,
};

// The image of an index; a transparent square for an index that holds no picture.
QImage Image(int index);
// All of them, in index order: the window's image list.
QVector<QIcon> ImageList();
// The colour image: a swatch of the drawing colour with a black edge, the border around it clear.
QIcon ColorSwatchIcon(TColor color);

} // namespace ToolIcons
