#include "SpanWriter.h"

#include "Canvas.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// Four pixels at a time: the build's optimisation level leaves these loops scalar, and runs of a
// wide pen are where a repaint spends most of its time.
using TPixels4 = uint32_t __attribute__((vector_size(16)));

template <typename F> void Apply(uint32_t* p, int count, uint32_t s, F f) {
    const TPixels4 pen = {s, s, s, s};
    const TPixels4 opaque = {kOpaque, kOpaque, kOpaque, kOpaque};
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        TPixels4 d;
        std::memcpy(&d, p + i, sizeof d);
        d = f(d, pen) | opaque;
        std::memcpy(p + i, &d, sizeof d);
    }
    for (; i < count; ++i)
        p[i] = f(p[i], s) | kOpaque;
}

} // namespace

TSpanWriter::TSpanWriter(QImage& image, const QRegion& clip, uint8_t mode, uint32_t pixel) : Clip(clip) {
    if (!image.isNull()) {
        Bits = reinterpret_cast<uint32_t*>(image.bits());
        Stride = image.bytesPerLine() / 4;
        Width = image.width();
        Height = image.height();
    }
    Clipped = !clip.isEmpty();
    Pixel = pixel | kOpaque;
    // The four modes whose result does not depend on what lies below become plain fills.
    switch (mode) {
    case pmBlack:
        Op = TOp::Fill, Pixel = kOpaque;
        break;
    case pmWhite:
        Op = TOp::Fill, Pixel = 0xFFFFFFFFu;
        break;
    case pmNop:
        Op = TOp::Nop;
        break;
    case pmNot:
        Op = TOp::Not;
        break;
    case pmNotCopy:
        Op = TOp::Fill, Pixel = ~pixel | kOpaque;
        break;
    case pmMergePenNot:
        Op = TOp::MergePenNot;
        break;
    case pmMaskPenNot:
        Op = TOp::MaskPenNot;
        break;
    case pmMergeNotPen:
        Op = TOp::MergeNotPen;
        break;
    case pmMaskNotPen:
        Op = TOp::MaskNotPen;
        break;
    case pmMerge:
        Op = TOp::Merge;
        break;
    case pmNotMerge:
        Op = TOp::NotMerge;
        break;
    case pmMask:
        Op = TOp::Mask;
        break;
    case pmNotMask:
        Op = TOp::NotMask;
        break;
    case pmXor:
        Op = TOp::Xor;
        break;
    case pmNotXor:
        Op = TOp::NotXor;
        break;
    default:
        Op = TOp::Fill;
        break; // pmCopy, and the bytes that name no operation
    }
}

void TSpanWriter::Write(uint32_t* p, int count) const {
    const uint32_t s = Pixel;
    switch (Op) {
    case TOp::Fill:
        Apply(p, count, s, [](auto, auto pen) { return pen; });
        break;
    case TOp::Nop:
        break;
    case TOp::Not:
        Apply(p, count, s, [](auto d, auto) { return ~d; });
        break;
    case TOp::MergePenNot:
        Apply(p, count, s, [](auto d, auto pen) { return pen | ~d; });
        break;
    case TOp::MaskPenNot:
        Apply(p, count, s, [](auto d, auto pen) { return pen & ~d; });
        break;
    case TOp::MergeNotPen:
        Apply(p, count, s, [](auto d, auto pen) { return ~pen | d; });
        break;
    case TOp::MaskNotPen:
        Apply(p, count, s, [](auto d, auto pen) { return ~pen & d; });
        break;
    case TOp::Merge:
        Apply(p, count, s, [](auto d, auto pen) { return pen | d; });
        break;
    case TOp::NotMerge:
        Apply(p, count, s, [](auto d, auto pen) { return ~(pen | d); });
        break;
    case TOp::Mask:
        Apply(p, count, s, [](auto d, auto pen) { return pen & d; });
        break;
    case TOp::NotMask:
        Apply(p, count, s, [](auto d, auto pen) { return ~(pen & d); });
        break;
    case TOp::Xor:
        Apply(p, count, s, [](auto d, auto pen) { return pen ^ d; });
        break;
    case TOp::NotXor:
        Apply(p, count, s, [](auto d, auto pen) { return ~(pen ^ d); });
        break;
    }
}

void TSpanWriter::Span(int y, int x0, int x1) {
    if (Op == TOp::Nop || y < 0 || y >= Height) return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, Width - 1);
    if (x0 > x1) return;
    uint32_t* row = Bits + y * Stride;
    if (!Clipped) {
        Write(row + x0, x1 - x0 + 1);
        return;
    }
    // The rectangles of a region come in bands sorted from top to bottom.
    const QRect* first = Clip.begin();
    const QRect* last = Clip.end();
    const QRect* band =
        std::lower_bound(first, last, y, [](const QRect& r, int row) { return r.bottom() < row; });
    for (const QRect* r = band; r != last && r->top() <= y; ++r) {
        if (r->bottom() < y) continue;
        const int a = std::max(x0, r->left()), b = std::min(x1, r->right());
        if (a <= b) Write(row + a, b - a + 1);
    }
}
