#include "ShapeRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

using i64 = int64_t;
using i128 = __int128;

// Division rounding towards minus and plus infinity; the divisor is positive.
i64 FloorDiv(i64 a, i64 b) {
    i64 q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

i64 CeilDiv(i64 a, i64 b) {
    return -FloorDiv(-a, b);
}

// The integer square root, rounded down.
i64 ISqrt(i128 n) {
    if (n <= 0) return 0;
    // Below 2^52 a double holds n exactly and its root is off by one at most.
    i64 r = n < (i128(1) << 52) ? static_cast<i64>(std::sqrt(static_cast<double>(n)))
                                : static_cast<i64>(std::sqrt(static_cast<long double>(n)));
    while (r > 0 && static_cast<i128>(r) * r > n)
        --r;
    while (static_cast<i128>(r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

// The same for values below 2^52, which a double holds exactly: its root is off by one at most.
inline i64 ISqrtSmall(i64 n) {
    i64 r = static_cast<i64>(std::sqrt(static_cast<double>(n)));
    if (r * r > n)
        --r;
    else if ((r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

// isqrt(r^2 - offset^2) for 0 <= offset <= r: the half-width of a pen disc's row, in doubled units.
// Freehand strokes ask for it at every row of every segment, and their pens are narrow: the common
// radii come from a table worked out at compile time.
constexpr int kDiscTableRadius = 64;

constexpr int32_t ConstISqrt(int64_t n) {
    int64_t r = 0;
    while ((r + 1) * (r + 1) <= n)
        ++r;
    return int32_t(r);
}

struct TDiscTable {
    int32_t Half[kDiscTableRadius + 1][kDiscTableRadius + 1] = {};
    constexpr TDiscTable() {
        for (int radius = 0; radius <= kDiscTableRadius; ++radius)
            for (int off = 0; off <= radius; ++off)
                Half[radius][off] = ConstISqrt(radius * radius - off * off);
    }
};

constexpr TDiscTable kDiscTable;

inline i64 DiscHalfRow(i64 r, i64 offset) {
    if (r <= kDiscTableRadius) return kDiscTable.Half[r][offset];
    return ISqrtSmall(r * r - offset * offset);
}

void EmitClamped(TSpanSink* sink, const QRect& bounds, i64 y, i64 x0, i64 x1) {
    if (!sink) return;
    x0 = std::max<i64>(x0, bounds.left());
    x1 = std::min<i64>(x1, bounds.right());
    if (x0 <= x1) sink->Span(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1));
}

// Joins the pixels of a line into horizontal runs.
class TRunJoiner {
public:
    explicit TRunJoiner(TSpanSink& sink) : Sink(sink) {}
    ~TRunJoiner() { Flush(); }

    void Add(i64 x, i64 y) {
        if (Open && y == Y && (x == X1 + 1 || x == X0 - 1)) {
            X0 = std::min(X0, x);
            X1 = std::max(X1, x);
            return;
        }
        Flush();
        Open = true;
        Y = y;
        X0 = X1 = x;
    }

    void Flush() {
        if (Open) Sink.Span(static_cast<int>(Y), static_cast<int>(X0), static_cast<int>(X1));
        Open = false;
    }

private:
    TSpanSink& Sink;
    bool Open = false;
    i64 Y = 0, X0 = 0, X1 = 0;
};

// floor(n / d) for n = start, start + step, start + 2 step, ...: one division at the start, then
// additions only. The divisor is positive.
class TFloorWalker {
public:
    void Start(i64 numerator, i64 divisor, i64 step) {
        D = divisor;
        DivMod(numerator, Q, R);
        DivMod(step, StepQ, StepR);
    }
    // Starts like `other`, which has the same divisor and step, from another numerator.
    void StartLike(const TFloorWalker& other, i64 numerator) {
        D = other.D;
        StepQ = other.StepQ;
        StepR = other.StepR;
        DivMod(numerator, Q, R);
    }
    i64 Quotient() const { return Q; }
    void Next() {
        Q += StepQ;
        R += StepR;
        if (R >= D) {
            R -= D;
            ++Q;
        }
    }

private:
    // A 64-bit integer division is several times slower than a double one, and a wide line sets up
    // four of these for a segment of a few rows; a double divides exactly enough below 2^52, and the
    // remainder puts the last unit right.
    void DivMod(i64 n, i64& q, i64& r) const {
        constexpr i64 kExact = i64(1) << 52;
        if (n > -kExact && n < kExact && D < kExact) {
            const double t = double(n) / double(D);
            q = static_cast<i64>(t);
            if (double(q) > t) --q;
            r = n - q * D;
            if (r < 0) {
                --q;
                r += D;
            } else if (r >= D) {
                ++q;
                r -= D;
            }
            return;
        }
        q = FloorDiv(n, D);
        r = n - q * D;
    }

    i64 D = 1, Q = 0, R = 0, StepQ = 0, StepR = 0;
};

// Half the width of one row of an ellipse, in doubled coordinates: the largest k with
// (k / ea)^2 + (yOffset / eb)^2 <= 1, or -1 when the row misses the ellipse.
i64 EllipseHalfRow(i64 yOffset, i64 ea, i64 eb) {
    if (ea <= 0 || eb <= 0 || std::llabs(yOffset) > eb) return -1;
    const i128 n =
        static_cast<i128>(ea) * ea * (static_cast<i128>(eb) * eb - static_cast<i128>(yOffset) * yOffset);
    return ISqrt(n) / eb;
}

struct TRowSpan {
    i64 X0 = 1, X1 = 0;
    bool Empty() const { return X0 > X1; }
};

// The pixels of row y inside the ellipse of doubled centre (cx, cy) and doubled semi-axes (ea, eb).
TRowSpan EllipseRow(i64 y, i64 cx, i64 cy, i64 ea, i64 eb) {
    const i64 k = EllipseHalfRow(2 * y - cy, ea, eb);
    if (k < 0) return {};
    return {CeilDiv(cx - k, 2), FloorDiv(cx + k, 2)};
}

// Hands out `outer` without `inner` to pen and `inner` to brush; inner lies within outer.
void EmitRing(TSpanSink* pen, TSpanSink* brush, const QRect& bounds, i64 y, TRowSpan outer, TRowSpan inner) {
    if (outer.Empty()) return;
    if (inner.Empty()) {
        EmitClamped(pen, bounds, y, outer.X0, outer.X1);
        return;
    }
    EmitClamped(pen, bounds, y, outer.X0, inner.X0 - 1);
    EmitClamped(brush, bounds, y, inner.X0, inner.X1);
    EmitClamped(pen, bounds, y, inner.X1 + 1, outer.X1);
}

} // namespace

void RasterThinLine(int x0, int y0, int x1, int y1, const QRect& bounds, TLineStyle* style, TSpanSink& sink) {
    const i64 dx = i64(x1) - x0, dy = i64(y1) - y0;
    // Work along the major axis a, one pixel per step, and round the minor axis b.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const i64 a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
    const i64 da = xMajor ? dx : dy, db = xMajor ? dy : dx;
    const i64 n = std::llabs(da), m = std::llabs(db);
    if (n == 0) return;
    const i64 sa = da > 0 ? 1 : -1, sb = db > 0 ? 1 : -1;
    // Step i lies at minor offset k(i) = floor((2im + c) / 2n): the exact position i*m/n rounded to
    // the nearest, a half going to the smaller coordinate (the upper or the left pixel).
    const i64 c = db >= 0 ? n - 1 : n;
    const i64 aMin = xMajor ? bounds.left() : bounds.top(), aMax = xMajor ? bounds.right() : bounds.bottom();
    const i64 bMin = xMajor ? bounds.top() : bounds.left(), bMax = xMajor ? bounds.bottom() : bounds.right();

    i64 lo = 0, hi = n - 1; // the end point itself is left out
    if (sa > 0) {
        lo = std::max(lo, aMin - a0);
        hi = std::min(hi, aMax - a0);
    } else {
        lo = std::max(lo, a0 - aMax);
        hi = std::min(hi, a0 - aMin);
    }
    if (m == 0) {
        if (b0 < bMin || b0 > bMax) hi = lo - 1;
    } else {
        const i64 kLo = sb > 0 ? bMin - b0 : b0 - bMax;
        const i64 kHi = sb > 0 ? bMax - b0 : b0 - bMin;
        lo = std::max(lo, CeilDiv(2 * n * kLo - c, 2 * m));
        hi = std::min(hi, CeilDiv(2 * n * (kHi + 1) - c, 2 * m) - 1);
    }
    if (lo <= hi && !bounds.isEmpty()) {
        const i64 num = 2 * lo * m + c;
        i64 k = num / (2 * n), r = num % (2 * n);
        TRunJoiner run(sink);
        for (i64 i = lo; i <= hi; ++i) {
            if (!style || style->On(i)) {
                const i64 a = a0 + sa * i, b = b0 + (m ? sb * k : 0);
                if (xMajor)
                    run.Add(a, b);
                else
                    run.Add(b, a);
            }
            r += 2 * m;
            if (r >= 2 * n) {
                r -= 2 * n;
                ++k;
            }
        }
    }
    if (style) style->Advance(n);
}

void RasterWideLine(int x0, int y0, int x1, int y1, int width, const QRect& bounds, TSpanSink& sink) {
    if (bounds.isEmpty()) return;
    // Doubled coordinates keep the half-pixel shift of even widths whole: pixel x is at 2x.
    const i64 s = width % 2 == 0 ? 1 : 0;
    const i64 ax = 2 * i64(x0) - s, ay = 2 * i64(y0) - s, bx = 2 * i64(x1) - s, by = 2 * i64(y1) - s;
    const i64 r = width;
    const i64 dx = bx - ax, dy = by - ay;
    const i64 len2 = dx * dx + dy * dy;
    // The capsule is the two end discs and the band between them, where the projection t onto the
    // segment lies within it and the cross product within r times the length. Every bound is worked
    // out in integers: |cross| <= sqrt(r^2 len2) holds exactly when |cross| <= isqrt(r^2 len2).
    const i128 crossSquare = static_cast<i128>(r) * r * len2;
    const i64 crossLimit = crossSquare < (i128(1) << 52) ? ISqrtSmall(i64(crossSquare)) : ISqrt(crossSquare);
    const i64 ady = std::llabs(dy), adx = std::llabs(dx);

    const i64 yTop = std::max<i64>(CeilDiv(std::min(ay, by) - r, 2), bounds.top());
    const i64 yBottom = std::min<i64>(FloorDiv(std::max(ay, by) + r, 2), bounds.bottom());
    if (yTop > yBottom) return;
    const i64 v0 = 2 * yTop - ay; // the row's offset from the start, doubled, at the first row

    // The band's four column bounds move by a fixed step from row to row; each is a floor division
    // carried on incrementally.
    TFloorWalker sideLo, sideHi, endLo, endHi;
    if (len2 > 0 && dy != 0) {
        // |2x |dy| - n| <= crossLimit with n = ax |dy| + sign(dy) v dx.
        const i64 n = ax * ady + (dy > 0 ? v0 * dx : -v0 * dx), step = dy > 0 ? 2 * dx : -2 * dx;
        sideLo.Start(n - crossLimit + 2 * ady - 1, 2 * ady, step); // a ceiling
        sideHi.StartLike(sideLo, n + crossLimit);
    }
    if (len2 > 0 && dx != 0) {
        // m <= 2x |dx| <= m + len2 with m = ax |dx| - sign(dx) v dy, less len2 when dx < 0.
        const i64 m = dx > 0 ? ax * adx - v0 * dy : ax * adx + v0 * dy - len2,
                  step = dx > 0 ? -2 * dy : 2 * dy;
        endLo.Start(m + 2 * adx - 1, 2 * adx, step);
        endHi.StartLike(endLo, m + len2);
    }

    for (i64 y = yTop, v = v0; y <= yBottom; ++y, v += 2) {
        i64 lo = std::numeric_limits<i64>::max(), hi = std::numeric_limits<i64>::min();
        auto disc = [&](i64 cx, i64 offset) {
            offset = std::llabs(offset);
            if (offset > r) return;
            const i64 e = DiscHalfRow(r, offset);
            lo = std::min(lo, (cx - e + 1) >> 1);
            hi = std::max(hi, (cx + e) >> 1);
        };
        disc(ax, v);
        disc(bx, v - dy);
        if (len2 > 0) {
            i64 bandLo = std::numeric_limits<i64>::min(), bandHi = std::numeric_limits<i64>::max();
            bool inBand = true;
            if (dy != 0) {
                bandLo = sideLo.Quotient();
                bandHi = sideHi.Quotient();
                sideLo.Next();
                sideHi.Next();
            } else {
                inBand = std::llabs(v) * adx <= crossLimit;
            }
            if (dx != 0) {
                bandLo = std::max(bandLo, endLo.Quotient());
                bandHi = std::min(bandHi, endHi.Quotient());
                endLo.Next();
                endHi.Next();
            } else {
                const i64 t = v * dy;
                inBand = inBand && t >= 0 && t <= len2;
            }
            if (inBand && bandLo <= bandHi) {
                lo = std::min(lo, bandLo);
                hi = std::max(hi, bandHi);
            }
        }
        if (lo <= hi) EmitClamped(&sink, bounds, y, lo, hi);
    }
}

void RasterRectangle(int left, int top, int right, int bottom, int width, const QRect& bounds, TSpanSink* pen,
                     TSpanSink* brush) {
    if (right <= left || bottom <= top || bounds.isEmpty()) return;
    // The pen's centre line runs through the outermost pixels, in doubled coordinates; a pixel is
    // pen when its centre lies within w (half the width, doubled) of that line, brush when it lies
    // further inside. The parities of the doubled values keep every centre off both borders.
    const i64 w = std::max(width, 1);
    const i64 s = w % 2 == 0 ? 1 : 0;
    const i64 l = 2 * i64(left) - s, r = 2 * (i64(right) - 1) - s;
    const i64 t = 2 * i64(top) - s, b = 2 * (i64(bottom) - 1) - s;
    const i64 yTop = std::max<i64>(CeilDiv(t - w, 2), bounds.top());
    const i64 yBottom = std::min<i64>(FloorDiv(b + w, 2), bounds.bottom());
    for (i64 y = yTop; y <= yBottom; ++y) {
        const i64 Y = 2 * y;
        const i64 off = std::max<i64>({t - Y, Y - b, 0});
        if (off > w) continue;
        const i64 e = ISqrt(static_cast<i128>(w) * w - static_cast<i128>(off) * off);
        const TRowSpan outer{CeilDiv(l - e, 2), FloorDiv(r + e, 2)};
        TRowSpan inner;
        if (Y > t + w && Y < b - w) inner = {FloorDiv(l + w, 2) + 1, CeilDiv(r - w, 2) - 1};
        EmitRing(pen, brush, bounds, y, outer, inner);
    }
}

void RasterEllipse(int left, int top, int right, int bottom, int width, const QRect& bounds, TSpanSink* pen,
                   TSpanSink* brush) {
    if (right <= left || bottom <= top || bounds.isEmpty()) return;
    const i64 cx = i64(left) + right - 1, cy = i64(top) + bottom - 1;
    const i64 wide = i64(right) - left, high = i64(bottom) - top;
    const i64 w = std::max(width, 1);
    if (w == 1) {
        // A thin outline is the border of the area: its pixels with a four-neighbour outside it.
        const i64 yTop = std::max<i64>(top, bounds.top()),
                  yBottom = std::min<i64>(i64(bottom) - 1, bounds.bottom());
        for (i64 y = yTop; y <= yBottom; ++y) {
            const TRowSpan row = EllipseRow(y, cx, cy, wide, high);
            if (row.Empty()) continue;
            const TRowSpan up = EllipseRow(y - 1, cx, cy, wide, high);
            const TRowSpan down = EllipseRow(y + 1, cx, cy, wide, high);
            TRowSpan inner;
            if (!up.Empty() && !down.Empty())
                inner = {std::max({row.X0 + 1, up.X0, down.X0}), std::min({row.X1 - 1, up.X1, down.X1})};
            EmitRing(pen, brush, bounds, y, row, inner);
        }
        return;
    }
    // A wide outline lies between the ellipses half the pen width outside and inside the centre line,
    // which runs through the outermost pixels of the box.
    const i64 outerA = wide - 1 + w, outerB = high - 1 + w;
    const i64 innerA = wide - 1 - w, innerB = high - 1 - w;
    const i64 yTop = std::max<i64>(CeilDiv(cy - outerB, 2), bounds.top());
    const i64 yBottom = std::min<i64>(FloorDiv(cy + outerB, 2), bounds.bottom());
    for (i64 y = yTop; y <= yBottom; ++y)
        EmitRing(pen, brush, bounds, y, EllipseRow(y, cx, cy, outerA, outerB),
                 EllipseRow(y, cx, cy, innerA, innerB));
}

void RasterEllipseArea(int left, int top, int right, int bottom, const QRect& bounds, TSpanSink& sink) {
    if (right <= left || bottom <= top || bounds.isEmpty()) return;
    const i64 cx = i64(left) + right - 1, cy = i64(top) + bottom - 1;
    const i64 yTop = std::max<i64>(top, bounds.top()),
              yBottom = std::min<i64>(i64(bottom) - 1, bounds.bottom());
    for (i64 y = yTop; y <= yBottom; ++y) {
        const TRowSpan row = EllipseRow(y, cx, cy, i64(right) - left, i64(bottom) - top);
        if (!row.Empty()) EmitClamped(&sink, bounds, y, row.X0, row.X1);
    }
}

void RasterStyledEllipseOutline(int left, int top, int right, int bottom, const QRect& bounds,
                                TLineStyle& style, TSpanSink& sink) {
    if (right <= left || bottom <= top) return;
    // The pattern counts along the whole outline, so the outline is gathered unclipped unless the
    // ellipse is far larger than any screen.
    constexpr int kWholeOutlineLimit = 1 << 15;
    const QRect box(left, top, right - left, bottom - top);
    const QRect area = box.width() <= kWholeOutlineLimit && box.height() <= kWholeOutlineLimit ? box : bounds;

    struct TPixel {
        int Quadrant;
        i64 Key, X, Y;
    };
    class TCollector final : public TSpanSink {
    public:
        std::vector<TPixel> Pixels;
        i64 Cx = 0, Cy = 0;
        void Span(int y, int x0, int x1) override {
            for (int x = x0; x <= x1; ++x) {
                const i64 dx = 2 * i64(x) - Cx, dy = 2 * i64(y) - Cy;
                // Within each quarter, clockwise from 12 o'clock, both coordinates move one way, so
                // a sum or difference orders its pixels along the curve.
                if (dx >= 0 && dy < 0)
                    Pixels.push_back({0, i64(x) + y, x, y});
                else if (dx > 0 && dy >= 0)
                    Pixels.push_back({1, i64(y) - x, x, y});
                else if (dx <= 0 && dy > 0)
                    Pixels.push_back({2, -(i64(x) + y), x, y});
                else
                    Pixels.push_back({3, i64(x) - y, x, y});
            }
        }
    } collector;
    collector.Cx = i64(left) + right - 1;
    collector.Cy = i64(top) + bottom - 1;
    RasterEllipse(left, top, right, bottom, 1, area, &collector, nullptr);
    std::vector<TPixel>& pixels = collector.Pixels;
    std::sort(pixels.begin(), pixels.end(), [](const TPixel& a, const TPixel& b) {
        if (a.Quadrant != b.Quadrant) return a.Quadrant < b.Quadrant;
        if (a.Key != b.Key) return a.Key < b.Key;
        return a.X != b.X ? a.X < b.X : a.Y < b.Y;
    });
    for (size_t i = 0; i < pixels.size(); ++i) {
        const TPixel& p = pixels[i];
        if (style.On(static_cast<i64>(i)) && bounds.contains(int(p.X), int(p.Y)))
            sink.Span(int(p.Y), int(p.X), int(p.X));
    }
    style.Advance(static_cast<i64>(pixels.size()));
}
