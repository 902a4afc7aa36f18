#pragma once

#include "Colors.h"
#include "Font.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <cstdint>

class TGraphic;

// The sixteen raster operations of a pen, by the ordinal that annotation files store. Stored data:
// never renumber.
enum TPenMode : uint8_t {
    pmBlack = 0,
    pmWhite = 1,
    pmNop = 2,
    pmNot = 3,
    pmCopy = 4,
    pmNotCopy = 5,
    pmMergePenNot = 6,
    pmMaskPenNot = 7,
    pmMergeNotPen = 8,
    pmMaskNotPen = 9,
    pmMerge = 10,
    pmNotMerge = 11,
    pmMask = 12,
    pmNotMask = 13,
    pmXor = 14,
    pmNotXor = 15,
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TBrushStyle { bsSolid, bsClear };
enum class TBkMode { Transparent, Opaque };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    // Any byte: a value above 15 names no raster operation and draws as pmCopy.
    uint8_t Mode = pmCopy;
    bool operator==(const TPen&) const = default;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
    bool operator==(const TBrush&) const = default;
};

// A drawing surface with the pen, brush and font state the drawing rules are written against, over an
// RGB32 image. Antialiasing is off; every raster operation keeps the alpha byte at 0xFF.
//
// Geometry follows the platform the rules were written for: a line leaves out its last pixel; a
// rectangle or ellipse, after its corners are ordered, leaves out its right and bottom edge; text is
// written in one line with its top-left corner at the point given.
class Canvas {
public:
    // The image must outlive the canvas and be Format_RGB32.
    explicit Canvas(QImage& target);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    QImage& Image() { return Target; }
    int Width() const { return Target.width(); }
    int Height() const { return Target.height(); }

    TPen Pen;
    TBrush Brush;
    TFont Font;
    TBkMode BkMode = TBkMode::Opaque;
    // Drawing outside this region is left out; an empty region means no clipping.
    QRegion ClipRegion;

    QPoint PenPos() const { return Pos; }
    void MoveTo(int x, int y);
    // From the pen position to (x, y) with the pen, leaving out (x, y) itself; the pen position moves.
    void LineTo(int x, int y);
    void Polyline(const QPoint* points, int count);
    // Outline with the pen, interior with the brush; corners in any order.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    // The rectangle filled with the brush, no outline.
    void FillRect(const QRect& rect);
    // The region filled with the brush, in the pen's raster operation.
    void FillRegion(const QRegion& region);
    // One line of text at its top-left corner, in the font; the cells are filled with the brush colour
    // when BkMode is Opaque.
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;
    // A picture at its natural size, top-left corner at (x, y).
    void Draw(int x, int y, const TGraphic& graphic);
    // An image scaled into the rectangle, plain copy.
    void StretchDraw(const QRect& dest, const QImage& source);
    // A rectangle of another image copied into this one, scaled when the sizes differ.
    void CopyRect(const QRect& dest, const QImage& source, const QRect& sourceRect);

    TColor Pixel(int x, int y) const;

private:
    QImage& Target;
    QPoint Pos;
};

// Copies of the pen, brush or font of a canvas, put back when they go out of scope.
class TPenRecall {
public:
    explicit TPenRecall(Canvas& c) : C(c), Saved(c.Pen) {}
    ~TPenRecall() { C.Pen = Saved; }

private:
    Canvas& C;
    TPen Saved;
};

class TBrushRecall {
public:
    explicit TBrushRecall(Canvas& c) : C(c), Saved(c.Brush) {}
    ~TBrushRecall() { C.Brush = Saved; }

private:
    Canvas& C;
    TBrush Saved;
};

class TFontRecall {
public:
    explicit TFontRecall(Canvas& c) : C(c), Saved(c.Font) {}
    ~TFontRecall() { C.Font = Saved; }

private:
    Canvas& C;
    TFont Saved;
};
