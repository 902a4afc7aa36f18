#pragma once

#include "LineStyle.h"
#include "SpanSink.h"

#include <QRect>

// The pixel geometry of the canvas figures, as the drawing rules expect it of the platform they were
// written for. Coordinates name pixel centres. Every function hands its runs to sinks and leaves out
// the rows and columns outside `bounds`; a figure's runs never overlap, so a raster operation that
// is not idempotent (XOR, NOT) reaches each pixel once.
//
// Coordinates must lie within +-kMaxCoordinate: the arithmetic is exact in 64 bits up to there.
constexpr int kMaxCoordinate = 1 << 27;

// A one-pixel line: the grid-intersection ("diamond") rule, halves going to the upper or left pixel,
// the first pixel drawn and the last one left out. With a style, only its dashes are drawn, and the
// style moves on by the line's length.
void RasterThinLine(int x0, int y0, int x1, int y1, const QRect& bounds, TLineStyle* style, TSpanSink& sink);

// A wide line with round caps: every pixel whose centre lies within width / 2 of the segment. An
// even width cannot centre on a pixel, so its centre line runs half a pixel up and to the left.
void RasterWideLine(int x0, int y0, int x1, int y1, int width, const QRect& bounds, TSpanSink& sink);

// The figures below take their box as left, top, right, bottom with the right column and bottom row
// left out, corners ordered (left < right, top < bottom); an empty box draws nothing.

// A rectangle outline of the given pen width (round joins when wide) to `pen`, the area inside it to
// `brush`. Either sink may be null.
void RasterRectangle(int left, int top, int right, int bottom, int width, const QRect& bounds, TSpanSink* pen,
                     TSpanSink* brush);

// An ellipse inscribed in the box, outline of the given pen width to `pen`, inside to `brush`. With
// a one-pixel pen the outline and the inside together are exactly RasterEllipseArea of the box.
void RasterEllipse(int left, int top, int right, int bottom, int width, const QRect& bounds, TSpanSink* pen,
                   TSpanSink* brush);

// The one-pixel outline of RasterEllipse in a dash pattern that runs clockwise from the top. The
// pattern does not depend on `bounds`, so drawing the same figure twice meets the same pixels.
void RasterStyledEllipseOutline(int left, int top, int right, int bottom, const QRect& bounds,
                                TLineStyle& style, TSpanSink& sink);

// Every pixel of the ellipse inscribed in the box: those whose centre lies within the ellipse
// through the box's outer edges.
void RasterEllipseArea(int left, int top, int right, int bottom, const QRect& bounds, TSpanSink& sink);
