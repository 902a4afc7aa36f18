#include "Canvas.h"

#include "LineStyle.h"
#include "Picture.h"
#include "ShapeRaster.h"
#include "SpanUnion.h"
#include "SpanWriter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Wider than any screen, and small enough to keep the doubled arithmetic of the figures in range.
constexpr int kMaxPenWidth = 1 << 20;

// Regions reach this far and no further: no screen shows more, and a wild ellipse read from a file
// must not build a region of millions of rows.
constexpr QRect kRegionReach(QPoint(-(1 << 16), -(1 << 16)), QPoint(1 << 16, 1 << 16));

// The dash patterns of the platform's one-pixel styled pens, in pixels.
constexpr int kDashPattern[] = {18, 6};
constexpr int kDotPattern[] = {3, 3};
constexpr int kDashDotPattern[] = {9, 6, 3, 6};
constexpr int kDashDotDotPattern[] = {9, 3, 3, 3, 3, 3};
constexpr int kSolidPattern[] = {1};

bool InRange(int v) {
    return v >= -kMaxCoordinate && v <= kMaxCoordinate;
}

bool InRange(QPoint p) {
    return InRange(p.x()) && InRange(p.y());
}

bool InRange(int x1, int y1, int x2, int y2) {
    return InRange(x1) && InRange(y1) && InRange(x2) && InRange(y2);
}

uint8_t EffectiveMode(uint8_t mode) {
    return mode > pmNotXor ? uint8_t(pmCopy) : mode;
}

// The corners of a figure ordered, right and bottom excluded.
struct TBox {
    int Left, Top, Right, Bottom;
};

TBox Ordered(int x1, int y1, int x2, int y2) {
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// Joins a painter's clip to the canvas's clip region when there is one.
void ApplyClip(QPainter& painter, const QRegion& clip) {
    if (!clip.isEmpty()) painter.setClipRegion(clip);
}

// Gathers a figure's runs, one a row from top to bottom, into a region.
class TRegionBuilder final : public TSpanSink {
public:
    void Span(int y, int x0, int x1) override {
        // Rows with the same run merge into one rectangle, which keeps the region small and banded.
        if (!Rects.empty()) {
            QRect& last = Rects.back();
            if (last.left() == x0 && last.right() == x1 && last.bottom() + 1 == y) {
                last.setBottom(y);
                return;
            }
        }
        Rects.push_back(QRect(QPoint(x0, y), QPoint(x1, y)));
    }
    QRegion Region() const {
        QRegion region;
        region.setRects(Rects.data(), int(Rects.size()));
        return region;
    }

private:
    std::vector<QRect> Rects;
};

} // namespace

Canvas::Canvas(QImage& target) : Target(target) {
    if (!Target.isNull() && Target.format() != QImage::Format_RGB32) Target.convertTo(QImage::Format_RGB32);
}

Canvas::~Canvas() = default;

int Canvas::PenPixels() const {
    return std::clamp(Pen.Width, 1, kMaxPenWidth);
}

bool Canvas::PenShows() const {
    return Pen.Style != TPenStyle::psClear && EffectiveMode(Pen.Mode) != pmNop;
}

bool Canvas::Styled() const {
    if (PenPixels() > 1) return false;
    switch (Pen.Style) {
    case TPenStyle::psDash:
    case TPenStyle::psDot:
    case TPenStyle::psDashDot:
    case TPenStyle::psDashDotDot:
        return true;
    default:
        return false;
    }
}

TLineStyle Canvas::MakeStyle() const {
    switch (Pen.Style) {
    case TPenStyle::psDash:
        return TLineStyle(kDashPattern);
    case TPenStyle::psDot:
        return TLineStyle(kDotPattern);
    case TPenStyle::psDashDot:
        return TLineStyle(kDashDotPattern);
    case TPenStyle::psDashDotDot:
        return TLineStyle(kDashDotDotPattern);
    default:
        return TLineStyle(kSolidPattern);
    }
}

void Canvas::Segment(QPoint from, QPoint to, TLineStyle* style, TSpanSink& sink) const {
    const int width = PenPixels();
    if (width == 1)
        RasterThinLine(from.x(), from.y(), to.x(), to.y(), Bounds(), style, sink);
    else
        RasterWideLine(from.x(), from.y(), to.x(), to.y(), width, Bounds(), sink);
}

void Canvas::MoveTo(int x, int y) {
    Pos = QPoint(x, y);
}

void Canvas::LineTo(int x, int y) {
    const QPoint from = Pos;
    Pos = QPoint(x, y);
    if (!PenShows() || !InRange(from) || !InRange(Pos)) return;
    TSpanWriter pen(Target, ClipRegion, Pen.Mode, ToPixel(Pen.Color));
    if (Styled()) {
        TLineStyle style = MakeStyle();
        Segment(from, Pos, &style, pen);
    } else {
        Segment(from, Pos, nullptr, pen);
    }
}

namespace {

// Raster operations that give the same pixel whether applied once or more, with one colour.
bool Idempotent(uint8_t mode) {
    switch (EffectiveMode(mode)) {
    case pmBlack:
    case pmWhite:
    case pmNop:
    case pmCopy:
    case pmNotCopy:
    case pmMaskNotPen:
    case pmMergeNotPen:
    case pmMerge:
    case pmMask:
        return true;
    default:
        return false;
    }
}

} // namespace

void Canvas::LinesTo(const TWidePoint* points, int count) {
    if (!points || count <= 0) return;
    const int width = Pen.Width;
    if (!Idempotent(Pen.Mode) || !PenShows()) {
        for (int i = 0; i < count; ++i) {
            Pen.Width = points[i].Width;
            LineTo(points[i].X, points[i].Y);
        }
        Pen.Width = width;
        return;
    }
    // A freehand stroke's wide segments overlap by most of their area; writing the union once
    // spares the image most of its writes.
    thread_local TSpanUnion joined;
    QPoint from = Pos;
    for (int i = 0; i < count; ++i) {
        const QPoint to(points[i].X, points[i].Y);
        Pen.Width = points[i].Width;
        if (InRange(from) && InRange(to)) {
            // Each LineTo starts its dash pattern afresh.
            TLineStyle style = MakeStyle();
            Segment(from, to, Styled() ? &style : nullptr, joined);
        }
        from = to;
    }
    Pen.Width = width;
    Pos = from;
    TSpanWriter pen(Target, ClipRegion, Pen.Mode, ToPixel(Pen.Color));
    joined.EmitTo(pen);
}

void Canvas::Polyline(const QPoint* points, int count) {
    if (!points || count < 2 || !PenShows()) return;
    for (int i = 0; i < count; ++i)
        if (!InRange(points[i])) return;
    TSpanWriter pen(Target, ClipRegion, Pen.Mode, ToPixel(Pen.Color));
    TLineStyle style = MakeStyle();
    TLineStyle* pattern = Styled() ? &style : nullptr;
    // Thin segments leave out their last pixel, so they meet without overlapping; wide ones overlap
    // at every joint, which only a plain copy may paint twice.
    if (PenPixels() > 1 && EffectiveMode(Pen.Mode) != pmCopy) {
        TSpanUnion joined;
        for (int i = 1; i < count; ++i)
            Segment(points[i - 1], points[i], nullptr, joined);
        joined.EmitTo(pen);
        return;
    }
    for (int i = 1; i < count; ++i)
        Segment(points[i - 1], points[i], pattern, pen);
}

void Canvas::StyledRectangleOutline(int left, int top, int right, int bottom, TSpanSink& sink) const {
    TLineStyle style = MakeStyle();
    const QRect bounds = Bounds();
    // A box one pixel high or wide is a single line: four sides would meet their own pixels again.
    if (bottom - top == 1) {
        RasterThinLine(left, top, right, top, bounds, &style, sink);
        return;
    }
    if (right - left == 1) {
        RasterThinLine(left, top, left, bottom, bounds, &style, sink);
        return;
    }
    // Clockwise from the top-left corner, each side leaving out the corner where the next begins.
    RasterThinLine(left, top, right - 1, top, bounds, &style, sink);
    RasterThinLine(right - 1, top, right - 1, bottom - 1, bounds, &style, sink);
    RasterThinLine(right - 1, bottom - 1, left, bottom - 1, bounds, &style, sink);
    RasterThinLine(left, bottom - 1, left, top, bounds, &style, sink);
}

namespace {

// The writers of a rectangle or ellipse: the outline in the pen colour, the interior in the brush
// colour (none for a clear brush), both in the pen's raster operation.
struct TFigureWriters {
    TFigureWriters(QImage& target, const QRegion& clip, const TPen& pen, const TBrush& brush)
        : Outline(target, clip, pen.Mode, ToPixel(pen.Color)),
          Fill(target, clip, pen.Mode, ToPixel(brush.Color)),
          Interior(brush.Style == TBrushStyle::bsSolid ? &Fill : nullptr) {}
    TSpanWriter Outline;
    TSpanWriter Fill;
    TSpanSink* Interior;
};

} // namespace

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (!InRange(x1, y1, x2, y2)) return;
    const TBox b = Ordered(x1, y1, x2, y2);
    TFigureWriters writers(Target, ClipRegion, Pen, Brush);
    TSpanWriter& pen = writers.Outline;
    TSpanSink* brush = writers.Interior;
    if (!pen.Writes()) return;
    if (Pen.Style == TPenStyle::psClear) {
        if (brush) RasterRectangle(b.Left, b.Top, b.Right - 1, b.Bottom - 1, 1, Bounds(), brush, brush);
        return;
    }
    if (Styled()) {
        if (b.Right <= b.Left || b.Bottom <= b.Top) return;
        RasterRectangle(b.Left, b.Top, b.Right, b.Bottom, 1, Bounds(), nullptr, brush);
        StyledRectangleOutline(b.Left, b.Top, b.Right, b.Bottom, pen);
        return;
    }
    RasterRectangle(b.Left, b.Top, b.Right, b.Bottom, PenPixels(), Bounds(), &pen, brush);
}

void Canvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (!InRange(x1, y1, x2, y2)) return;
    const TBox b = Ordered(x1, y1, x2, y2);
    TFigureWriters writers(Target, ClipRegion, Pen, Brush);
    TSpanWriter& pen = writers.Outline;
    TSpanSink* brush = writers.Interior;
    if (!pen.Writes()) return;
    if (Pen.Style == TPenStyle::psClear) {
        if (brush) RasterEllipseArea(b.Left, b.Top, b.Right - 1, b.Bottom - 1, Bounds(), *brush);
        return;
    }
    if (Styled()) {
        RasterEllipse(b.Left, b.Top, b.Right, b.Bottom, 1, Bounds(), nullptr, brush);
        TLineStyle style = MakeStyle();
        RasterStyledEllipseOutline(b.Left, b.Top, b.Right, b.Bottom, Bounds(), style, pen);
        return;
    }
    RasterEllipse(b.Left, b.Top, b.Right, b.Bottom, PenPixels(), Bounds(), &pen, brush);
}

void Canvas::FillRect(const QRect& rect) {
    if (Brush.Style != TBrushStyle::bsSolid) return;
    const QRect area = rect.intersected(Bounds());
    TSpanWriter brush(Target, ClipRegion, pmCopy, ToPixel(Brush.Color));
    for (int y = area.top(); y <= area.bottom(); ++y)
        brush.Span(y, area.left(), area.right());
}

void Canvas::FillRegion(const QRegion& region) {
    if (Brush.Style != TBrushStyle::bsSolid) return;
    TSpanWriter brush(Target, ClipRegion, Pen.Mode, ToPixel(Brush.Color));
    if (!brush.Writes()) return;
    const QRect bounds = Bounds();
    for (const QRect& r : region) {
        const QRect area = r.intersected(bounds);
        for (int y = area.top(); y <= area.bottom(); ++y)
            brush.Span(y, area.left(), area.right());
    }
}

const QFont& Canvas::QtFont() const {
    // Building a font from its name costs more than drawing a short text: keep the last one.
    if (!HasCachedFont || !(CachedFont == Font)) {
        CachedFont = Font;
        CachedQFont = CanvasQFont(Font);
        HasCachedFont = true;
    }
    return CachedQFont;
}

void Canvas::TextOut(int x, int y, const QString& text) {
    if (Target.isNull()) return;
    const QFont& font = QtFont();
    const QFontMetrics metrics(font);
    // A line that lies far from the rows that can show is not worth a painter: a canvas that clips
    // to a band of rows meets most texts so. The margin of a line height each way is more than any
    // glyph reaches beyond its line.
    const QRect rows = Bounds();
    const int height = metrics.height();
    if (rows.isEmpty() || y + 2 * height < rows.top() || y - height > rows.bottom()) return;
    QPainter painter(&Target);
    ApplyClip(painter, ClipRegion);
    if (BkMode == TBkMode::Opaque)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                         ToQColor(Brush.Color));
    if (text.isEmpty()) return;
    painter.setFont(font);
    painter.setPen(ToQColor(Font.Color));
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

int Canvas::TextWidth(const QString& text) const {
    return QFontMetrics(QtFont()).horizontalAdvance(text);
}

int Canvas::TextHeight(const QString&) const {
    return QFontMetrics(QtFont()).height();
}

void Canvas::Draw(int x, int y, const TGraphic& graphic) {
    graphic.Draw(*this, x, y);
}

void Canvas::DrawImage(int x, int y, const QImage& image) {
    if (Target.isNull() || image.isNull()) return;
    QPainter painter(&Target);
    ApplyClip(painter, ClipRegion);
    painter.drawImage(QPoint(x, y), image);
}

void Canvas::StretchDraw(const QRect& dest, const QImage& source) {
    CopyRect(dest, source, source.rect());
}

void Canvas::CopyRect(const QRect& dest, const QImage& source, const QRect& sourceRect) {
    if (Target.isNull() || source.isNull() || dest.isEmpty() || sourceRect.isEmpty()) return;
    if (dest.size() == sourceRect.size() && ClipRegion.isEmpty()) {
        CopyUnscaled(dest.topLeft(), source, sourceRect);
        return;
    }
    // A copy moves the colour values alone, as the platform's block copy does.
    const QImage piece = source.copy(sourceRect).convertToFormat(QImage::Format_RGB32);
    QPainter painter(&Target);
    ApplyClip(painter, ClipRegion);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dest, piece);
}

void Canvas::CopyUnscaled(QPoint to, const QImage& source, const QRect& sourceRect) {
    // Rows copied as they are; the parts outside either image are left out.
    const QRect src = sourceRect.intersected(source.rect());
    if (src.isEmpty()) return;
    QImage holder;
    const QImage* from = &source;
    QPoint fromOrigin = src.topLeft();
    if (&source == &Target || source.format() != QImage::Format_RGB32) {
        holder = source.copy(src).convertToFormat(QImage::Format_RGB32);
        from = &holder;
        fromOrigin = QPoint(0, 0);
    }
    const QPoint toOrigin = to + (src.topLeft() - sourceRect.topLeft());
    const QRect dst = QRect(toOrigin, src.size()).intersected(Bounds());
    const QPoint shift = fromOrigin - toOrigin;
    for (int y = dst.top(); y <= dst.bottom(); ++y)
        std::memcpy(Target.scanLine(y) + size_t(dst.left()) * 4,
                    from->constScanLine(y + shift.y()) + size_t(dst.left() + shift.x()) * 4,
                    size_t(dst.width()) * 4);
}

TColor Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Target.width() || y >= Target.height()) return 0xFFFFFFFFu;
    const QRgb p = Target.pixel(x, y);
    return (TColor(qBlue(p)) << 16) | (TColor(qGreen(p)) << 8) | TColor(qRed(p));
}

QFont CanvasQFont(const TFont& font) {
    QFont q = font.ToQFont();
    // Antialiased glyphs would blend with what lies below: a highlighted or saved-as-GIF text would
    // gain colours that are neither the font's nor the background's.
    q.setStyleStrategy(QFont::NoAntialias);
    return q;
}

QRegion RectRegion(int x1, int y1, int x2, int y2) {
    const TBox b = Ordered(x1, y1, x2, y2);
    if (b.Right <= b.Left || b.Bottom <= b.Top) return QRegion();
    return QRegion(b.Left, b.Top, b.Right - b.Left, b.Bottom - b.Top);
}

QRegion EllipticRegion(int x1, int y1, int x2, int y2) {
    if (!InRange(x1, y1, x2, y2)) return QRegion();
    const TBox b = Ordered(x1, y1, x2, y2);
    TRegionBuilder builder;
    RasterEllipseArea(b.Left, b.Top, b.Right, b.Bottom, kRegionReach, builder);
    return builder.Region();
}
