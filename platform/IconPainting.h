#pragma once

#include <QIcon>
#include <QImage>
#include <QPointF>
#include <functional>

class QPainter;

// A square, fully transparent picture to paint an icon on, smooth edges blending with what lies
// beneath.
QImage TransparentIcon(int size);

// The yellow pen stroke that marks the programs' icons as annotation: a curve from start through two
// control points to bend, then a straight run to end, with round caps and joins.
void DrawPenStroke(QPainter& p, QPointF start, QPointF control1, QPointF control2, QPointF bend, QPointF end,
                   double width);

// An icon carrying the picture drawn anew at each size a window manager, a task bar or a menu asks
// for, so that none of them has to scale one and blur it.
QIcon IconInAllSizes(const std::function<QImage(int size)>& draw);
