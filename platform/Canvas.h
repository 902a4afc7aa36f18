#pragma once

#include "Colors.h"
#include "Font.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <cstdint>

class TGraphic;
class TLineStyle;
class TSpanSink;

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

// Dashes and dots show on one-pixel pens only; a wider pen draws them solid. The gaps always leave
// what lies below, whatever the background mode.
enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TBrushStyle { bsSolid, bsClear };
// Whether text cells are filled with the brush colour; it plays no part in anything else.
enum class TBkMode { Transparent, Opaque };

struct TPen {
    TColor Color = clBlack;
    // Pixels; 1 or less is the one-pixel pen.
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
// RGB32 image. Antialiasing is off, for text too: every figure is drawn in its exact colours. Every
// raster operation keeps the alpha byte at 0xFF.
//
// Geometry follows the platform the rules were written for: a line leaves out its last pixel; a
// rectangle or ellipse, after its corners are ordered, leaves out its right and bottom edge; text is
// written in one line with its top-left corner at the point given. The pen's raster operation applies
// to lines, to outlines and interiors of rectangles and ellipses, and to FillRegion; FillRect, text
// and pictures are plain copies. Coordinates beyond +-2^27 (the platform's device space) draw nothing.
//
// The canvas writes into the image's own pixels: an image that shares its data with a copy would be
// copied at every drawing call, so keep no copies of it while drawing.
class Canvas {
public:
    // The image must outlive the canvas; another format is converted to Format_RGB32.
    explicit Canvas(QImage& target);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    QImage& Image() { return Target; }
    const QImage& Image() const { return Target; }
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
    // From the pen position through each point in turn, each line with the pen width of its point:
    // what LineTo to each point with that width draws, and the pen position moves to the last point.
    // For a raster operation whose second application changes nothing (the fills, pmMask, pmMerge,
    // pmMaskNotPen, pmMergeNotPen, pmNop) the lines are joined and each pixel is written once.
    struct TWidePoint {
        int X, Y, Width;
    };
    void LinesTo(const TWidePoint* points, int count);
    // Lines through the points, each leaving out its last pixel; where wide segments meet, each pixel
    // is drawn once. The pen position neither counts nor moves.
    void Polyline(const QPoint* points, int count);
    // Outline with the pen, interior with the brush; corners in any order. Without a pen (psClear) the
    // brush covers one pixel less in width and height.
    void Rectangle(int x1, int y1, int x2, int y2);
    void Ellipse(int x1, int y1, int x2, int y2);
    // The rectangle filled with the brush, no outline, plain copy.
    void FillRect(const QRect& rect);
    // The region filled with the brush, in the pen's raster operation.
    void FillRegion(const QRegion& region);
    // One line of text at its top-left corner, in the font's colour; the cells (TextWidth by
    // TextHeight) are filled with the brush colour first when BkMode is Opaque.
    void TextOut(int x, int y, const QString& text);
    int TextWidth(const QString& text) const;
    // The height of a line of the font, whatever the text.
    int TextHeight(const QString& text) const;
    // A picture at its natural size, top-left corner at (x, y), as the picture draws itself.
    void Draw(int x, int y, const TGraphic& graphic);
    // An image at its natural size, top-left corner at (x, y), blended by its alpha channel if it has
    // one; for pictures drawing themselves.
    void DrawImage(int x, int y, const QImage& image);
    // An image scaled into the rectangle (nearest pixel), plain copy.
    void StretchDraw(const QRect& dest, const QImage& source);
    // A rectangle of an image (this canvas's own included) copied into this one, scaled when the sizes
    // differ.
    void CopyRect(const QRect& dest, const QImage& source, const QRect& sourceRect);

    // The colour of a pixel; 0xFFFFFFFF outside the image, as the platform answers.
    TColor Pixel(int x, int y) const;

private:
    // Figures are worked out only where they can show: within the image and the clip's bounds.
    QRect Bounds() const {
        return ClipRegion.isEmpty() ? Target.rect() : Target.rect().intersected(ClipRegion.boundingRect());
    }
    int PenPixels() const;
    bool PenShows() const;
    // The dash pattern of the one-pixel pen, or none for a solid one.
    bool Styled() const;
    TLineStyle MakeStyle() const;
    void Segment(QPoint from, QPoint to, TLineStyle* style, TSpanSink& sink) const;
    void StyledRectangleOutline(int left, int top, int right, int bottom, TSpanSink& sink) const;
    void CopyUnscaled(QPoint to, const QImage& source, const QRect& sourceRect);
    const QFont& QtFont() const;

    QImage& Target;
    QPoint Pos;
    mutable TFont CachedFont;
    mutable QFont CachedQFont;
    mutable bool HasCachedFont = false;
};

// The font a canvas writes and measures with: the font at 96 dots per inch, without antialiasing.
// Widgets that must match the canvas's text (the text entry box) take this one.
QFont CanvasQFont(const TFont& font);

// The region of a rectangle and of the ellipse inscribed in it, corners in any order, right column
// and bottom row left out: exactly the pixels that Rectangle and Ellipse with a one-pixel pen cover.
// An elliptic region stops at +-65536, beyond any screen.
QRegion RectRegion(int x1, int y1, int x2, int y2);
QRegion EllipticRegion(int x1, int y1, int x2, int y2);

// Copies of the pen, brush, font or background mode of a canvas, put back when they go out of scope.
class TPenRecall {
public:
    explicit TPenRecall(Canvas& c) : C(c), Saved(c.Pen) {}
    ~TPenRecall() { C.Pen = Saved; }
    TPenRecall(const TPenRecall&) = delete;
    TPenRecall& operator=(const TPenRecall&) = delete;

private:
    Canvas& C;
    TPen Saved;
};

class TBrushRecall {
public:
    explicit TBrushRecall(Canvas& c) : C(c), Saved(c.Brush) {}
    ~TBrushRecall() { C.Brush = Saved; }
    TBrushRecall(const TBrushRecall&) = delete;
    TBrushRecall& operator=(const TBrushRecall&) = delete;

private:
    Canvas& C;
    TBrush Saved;
};

class TFontRecall {
public:
    explicit TFontRecall(Canvas& c) : C(c), Saved(c.Font) {}
    ~TFontRecall() { C.Font = Saved; }
    TFontRecall(const TFontRecall&) = delete;
    TFontRecall& operator=(const TFontRecall&) = delete;

private:
    Canvas& C;
    TFont Saved;
};

class TBkModeRecall {
public:
    explicit TBkModeRecall(Canvas& c) : C(c), Saved(c.BkMode) {}
    ~TBkModeRecall() { C.BkMode = Saved; }
    TBkModeRecall(const TBkModeRecall&) = delete;
    TBkModeRecall& operator=(const TBkModeRecall&) = delete;

private:
    Canvas& C;
    TBkMode Saved;
};
