#pragma once

// The inner loops of the Microsoft Video 1 encoder, on one 4 x 4 block of pixels: every per-pixel step
// of its colour fits. Two implementations with identical integer results: one on SSE2 (every x86-64
// has it) and a portable one for other processors; the encoder takes the first it can.
//
// Pixels are numbered 0..15 top row first; a pixel mask has bit i for pixel i. Quarters are numbered
// top-left 0, top-right 1, bottom-left 2, bottom-right 3. Colours are 8-bit B, G, R triples.

#include <cstdint>
#include <cstring>
#if defined(__SSE2__) && defined(__x86_64__)
#define MSVC1_SSE2 1
#include <emmintrin.h>
#endif

namespace msvc1 {

// Per quarter: three channel values (B, G, R), one quarter per entry.
struct QuarterTriples {
    int V[4][3];
};

// A colour with its 8-bit B, G, R in 16-bit lanes, as the kernels take it: B | G << 16 | R << 32.
constexpr uint64_t Pack(int b, int g, int r) {
    return uint64_t(b) | uint64_t(g) << 16 | uint64_t(r) << 32;
}
constexpr int Lane(uint64_t packed, int channel) {
    return int(packed >> (16 * channel) & 0xFFFF);
}

// A colour per quarter.
struct QuarterColours {
    uint64_t C[4];
};

constexpr int QuarterOf(int pixel) {
    return ((pixel >> 3) << 1) | ((pixel >> 1) & 1);
}

// Set bits of a pixel mask (no popcount instruction is assumed of the processor).
constexpr int CountPixels(uint32_t mask) {
    mask = (mask & 0x5555) + (mask >> 1 & 0x5555);
    mask = (mask & 0x3333) + (mask >> 2 & 0x3333);
    mask = (mask & 0x0F0F) + (mask >> 4 & 0x0F0F);
    return int((mask & 0xFF) + (mask >> 8 & 0xFF));
}

namespace portable {

struct Block {
    int16_t P[16][3]; // B, G, R of each pixel
};

inline void Unpack(const uint32_t* px, Block& b) {
    for (int i = 0; i < 16; ++i) {
        b.P[i][0] = int16_t(px[i] & 0xFF);
        b.P[i][1] = int16_t((px[i] >> 8) & 0xFF);
        b.P[i][2] = int16_t((px[i] >> 16) & 0xFF);
    }
}

inline void LoadRows(const uint8_t* const rows[4], ptrdiff_t offset, uint32_t* px) {
    for (int r = 0; r < 4; ++r) {
        std::memcpy(px + 4 * r, rows[r] + offset, 16);
        for (int c = 0; c < 4; ++c)
            px[4 * r + c] &= 0x00FFFFFF;
    }
}

inline bool SameOrCopy(const uint32_t* px, uint32_t* kept) {
    if (std::memcmp(px, kept, 64) == 0) return true;
    std::memcpy(kept, px, 64);
    return false;
}

inline bool IsFlat(const uint32_t* px) {
    for (int i = 1; i < 16; ++i)
        if (px[i] != px[0]) return false;
    return true;
}

// Sum over the block of the squared channel differences between two pictures (0x00RRGGBB pixels).
inline int SquaredDifference(const uint32_t* a, const uint32_t* b) {
    int sum = 0;
    for (int i = 0; i < 16; ++i)
        for (int s = 0; s < 24; s += 8) {
            const int d = int((a[i] >> s) & 0xFF) - int((b[i] >> s) & 0xFF);
            sum += d * d;
        }
    return sum;
}

// Sum over the block of |p|^2.
inline int SumOfSquares(const Block& b) {
    int sum = 0;
    for (const auto& p : b.P)
        sum += p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
    return sum;
}

// Channel sums of the pixels of each quarter that are in `mask`.
inline void QuarterSums(const Block& b, uint32_t mask, QuarterTriples& sums) {
    sums = {};
    for (int i = 0; i < 16; ++i)
        if (mask >> i & 1)
            for (int c = 0; c < 3; ++c)
                sums.V[QuarterOf(i)][c] += b.P[i][c];
}

// Channel sums of the pixels in `mask`, over the whole block.
inline void BlockSums(const Block& b, uint32_t mask, int* sums) {
    sums[0] = sums[1] = sums[2] = 0;
    for (int i = 0; i < 16; ++i)
        if (mask >> i & 1)
            for (int c = 0; c < 3; ++c)
                sums[c] += b.P[i][c];
}

inline void QuarterMinMax(const Block& b, QuarterTriples& lo, QuarterTriples& hi) {
    for (int q = 0; q < 4; ++q)
        for (int c = 0; c < 3; ++c)
            lo.V[q][c] = 255, hi.V[q][c] = 0;
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) {
            int& l = lo.V[QuarterOf(i)][c];
            int& h = hi.V[QuarterOf(i)][c];
            if (b.P[i][c] < l) l = b.P[i][c];
            if (b.P[i][c] > h) h = b.P[i][c];
        }
}

// Mask of the pixels whose value in their quarter's channel (0 B, 1 G, 2 R), doubled, is above their
// quarter's threshold.
inline uint32_t Split(const Block& b, const int channel[4], const int threshold[4]) {
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i)
        if (2 * b.P[i][channel[QuarterOf(i)]] > threshold[QuarterOf(i)]) mask |= 1u << i;
    return mask;
}

// Each pixel takes the nearer of its quarter's two colours (the second only when strictly nearer):
// returns the mask of pixels taking the second, and the summed squared error.
inline uint32_t Nearest(const Block& b, const QuarterColours& first, const QuarterColours& second,
                        int& error) {
    uint32_t mask = 0;
    error = 0;
    for (int i = 0; i < 16; ++i) {
        int e0 = 0, e1 = 0;
        for (int c = 0; c < 3; ++c) {
            const int d0 = b.P[i][c] - Lane(first.C[QuarterOf(i)], c);
            const int d1 = b.P[i][c] - Lane(second.C[QuarterOf(i)], c);
            e0 += d0 * d0, e1 += d1 * d1;
        }
        if (e1 < e0) {
            mask |= 1u << i;
            error += e1;
        } else {
            error += e0;
        }
    }
    return mask;
}

// The same with one channel, threshold and colour pair for the whole block.
inline uint32_t SplitBlock(const Block& b, int channel, int threshold) {
    const int c[4] = {channel, channel, channel, channel},
              t[4] = {threshold, threshold, threshold, threshold};
    return Split(b, c, t);
}
inline uint32_t NearestBlock(const Block& b, uint64_t first, uint64_t second, int& error) {
    return Nearest(b, {{first, first, first, first}}, {{second, second, second, second}}, error);
}

// Writes the 16 pixels shown: a pixel in `mask` shows its quarter's second colour (0x00RRGGBB values).
inline void Paint(uint32_t* shown, uint32_t mask, const uint32_t first[4], const uint32_t second[4]) {
    for (int i = 0; i < 16; ++i)
        shown[i] = (mask >> i & 1) ? second[QuarterOf(i)] : first[QuarterOf(i)];
}

} // namespace portable

#if MSVC1_SSE2
namespace sse2 {

// The loops below run a fixed 4 or 8 times; unrolled, their quarter and register numbers become
// constants (GCC does not unroll at -O2 by itself).

// Register k holds pixels 2k and 2k + 1 as 16-bit B, G, R, 0, B, G, R, 0, so a row is two registers and
// both pixels of a register lie in one quarter.
struct Block {
    __m128i P[8];
};

constexpr int QuarterOfRegister(int k) {
    return ((k >> 2) << 1) | (k & 1);
}

inline __m128i Colour16(uint64_t packed) {
    return _mm_set1_epi64x(int64_t(packed));
}

// Twice a channel's value in each pixel's lanes: multiplying by this and summing picks it out.
inline __m128i Doubled(int channel) {
    alignas(16) static constexpr int16_t kPick[3][8] = {
        {2, 0, 0, 0, 2, 0, 0, 0}, {0, 2, 0, 0, 0, 2, 0, 0}, {0, 0, 2, 0, 0, 0, 2, 0}};
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kPick[channel]));
}

// From two registers of 32-bit pair sums (pixels 0, 1 and 2, 3) to one 32-bit value per pixel.
inline __m128i PerPixel(__m128i a, __m128i b) {
    const __m128 fa = _mm_castsi128_ps(a), fb = _mm_castsi128_ps(b);
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))));
}

inline int HorizontalSum(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

// The three 16-bit lanes B, G, R of the low half of a register (values that are never negative).
inline void Triple(__m128i v, int* out) {
    out[0] = _mm_extract_epi16(v, 0), out[1] = _mm_extract_epi16(v, 1), out[2] = _mm_extract_epi16(v, 2);
}

// Four source rows of a block, 16 bytes each, as 0x00RRGGBB.
inline void LoadRows(const uint8_t* const rows[4], ptrdiff_t offset, uint32_t* px) {
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r)
        _mm_store_si128(
            reinterpret_cast<__m128i*>(px) + r,
            _mm_and_si128(rgb, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + offset))));
}

// Whether the block equals the one kept; copies it over when not.
inline bool SameOrCopy(const uint32_t* px, uint32_t* kept) {
    const __m128i* a = reinterpret_cast<const __m128i*>(px);
    __m128i* b = reinterpret_cast<__m128i*>(kept);
    const __m128i a0 = _mm_load_si128(a), a1 = _mm_load_si128(a + 1), a2 = _mm_load_si128(a + 2),
                  a3 = _mm_load_si128(a + 3);
    const __m128i same = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi32(a0, _mm_load_si128(b)), _mm_cmpeq_epi32(a1, _mm_load_si128(b + 1))),
        _mm_and_si128(_mm_cmpeq_epi32(a2, _mm_load_si128(b + 2)),
                      _mm_cmpeq_epi32(a3, _mm_load_si128(b + 3))));
    if (_mm_movemask_epi8(same) == 0xFFFF) return true;
    _mm_store_si128(b, a0);
    _mm_store_si128(b + 1, a1);
    _mm_store_si128(b + 2, a2);
    _mm_store_si128(b + 3, a3);
    return false;
}

inline void Unpack(const uint32_t* px, Block& b) {
    const __m128i zero = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const __m128i row = _mm_load_si128(reinterpret_cast<const __m128i*>(px) + r);
        b.P[2 * r] = _mm_unpacklo_epi8(row, zero);
        b.P[2 * r + 1] = _mm_unpackhi_epi8(row, zero);
    }
}

inline bool IsFlat(const uint32_t* px) {
    const __m128i* rows = reinterpret_cast<const __m128i*>(px);
    const __m128i first = _mm_set1_epi32(int(px[0]));
    const __m128i eq = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi32(_mm_load_si128(rows), first),
                                                   _mm_cmpeq_epi32(_mm_load_si128(rows + 1), first)),
                                     _mm_and_si128(_mm_cmpeq_epi32(_mm_load_si128(rows + 2), first),
                                                   _mm_cmpeq_epi32(_mm_load_si128(rows + 3), first)));
    return _mm_movemask_epi8(eq) == 0xFFFF;
}

inline int SquaredDifference(const uint32_t* a, const uint32_t* b) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = zero;
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const __m128i va = _mm_load_si128(reinterpret_cast<const __m128i*>(a) + r);
        const __m128i vb = _mm_load_si128(reinterpret_cast<const __m128i*>(b) + r);
        const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
        const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
        sum = _mm_add_epi32(sum, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
    }
    return HorizontalSum(sum);
}

inline int SumOfSquares(const Block& b) {
    __m128i sum = _mm_setzero_si128();
#pragma GCC unroll 8
    for (const __m128i& p : b.P)
        sum = _mm_add_epi32(sum, _mm_madd_epi16(p, p));
    return HorizontalSum(sum);
}

// Lanes 0..3 all ones for bit 0, lanes 4..7 for bit 1: the pixels of one register picked by a mask.
inline __m128i RegisterMask(uint32_t bits) {
    alignas(16) static constexpr int32_t kMasks[4][4] = {
        {0, 0, 0, 0}, {-1, -1, 0, 0}, {0, 0, -1, -1}, {-1, -1, -1, -1}};
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks[bits & 3]));
}

// Lane j all ones for bit j: the pixels of one row picked by a mask.
inline __m128i RowMask(uint32_t bits) {
    alignas(16) static constexpr int32_t kMasks[16][4] = {
        {0, 0, 0, 0},   {-1, 0, 0, 0},   {0, -1, 0, 0},   {-1, -1, 0, 0},  {0, 0, -1, 0},  {-1, 0, -1, 0},
        {0, -1, -1, 0}, {-1, -1, -1, 0}, {0, 0, 0, -1},   {-1, 0, 0, -1},  {0, -1, 0, -1}, {-1, -1, 0, -1},
        {0, 0, -1, -1}, {-1, 0, -1, -1}, {0, -1, -1, -1}, {-1, -1, -1, -1}};
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks[bits & 15]));
}

inline void QuarterSums(const Block& b, uint32_t mask, QuarterTriples& sums) {
#pragma GCC unroll 8
    for (int q = 0; q < 4; ++q) {
        const int k = ((q >> 1) << 2) | (q & 1); // the quarter's registers: k and k + 2
        __m128i s = _mm_add_epi16(_mm_and_si128(b.P[k], RegisterMask(mask >> (2 * k))),
                                  _mm_and_si128(b.P[k + 2], RegisterMask(mask >> (2 * k + 4))));
        s = _mm_add_epi16(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
        Triple(s, sums.V[q]);
    }
}

inline void BlockSums(const Block& b, uint32_t mask, int* sums) {
    __m128i s = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k)
        s = _mm_add_epi16(s, _mm_and_si128(b.P[k], RegisterMask(mask >> (2 * k))));
    s = _mm_add_epi16(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    Triple(s, sums);
}

inline void QuarterMinMax(const Block& b, QuarterTriples& lo, QuarterTriples& hi) {
#pragma GCC unroll 8
    for (int q = 0; q < 4; ++q) {
        const int k = ((q >> 1) << 2) | (q & 1);
        __m128i mn = _mm_min_epi16(b.P[k], b.P[k + 2]), mx = _mm_max_epi16(b.P[k], b.P[k + 2]);
        mn = _mm_min_epi16(mn, _mm_shuffle_epi32(mn, _MM_SHUFFLE(1, 0, 3, 2)));
        mx = _mm_max_epi16(mx, _mm_shuffle_epi32(mx, _MM_SHUFFLE(1, 0, 3, 2)));
        Triple(mn, lo.V[q]);
        Triple(mx, hi.V[q]);
    }
}

inline uint32_t Split(const Block& b, const int channel[4], const int threshold[4]) {
    uint32_t mask = 0;
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const int q0 = QuarterOfRegister(2 * r), q1 = QuarterOfRegister(2 * r + 1);
        const __m128i doubled = PerPixel(_mm_madd_epi16(b.P[2 * r], Doubled(channel[q0])),
                                         _mm_madd_epi16(b.P[2 * r + 1], Doubled(channel[q1])));
        const __m128i limit = _mm_set_epi32(threshold[q1], threshold[q1], threshold[q0], threshold[q0]);
        mask |= uint32_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(doubled, limit)))) << (4 * r);
    }
    return mask;
}

inline uint32_t Nearest(const Block& b, const QuarterColours& first, const QuarterColours& second,
                        int& error) {
    __m128i c0[4], c1[4];
#pragma GCC unroll 8
    for (int q = 0; q < 4; ++q)
        c0[q] = Colour16(first.C[q]), c1[q] = Colour16(second.C[q]);
    uint32_t mask = 0;
    __m128i sum = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const int q0 = QuarterOfRegister(2 * r), q1 = QuarterOfRegister(2 * r + 1);
        const __m128i pa = b.P[2 * r], pb = b.P[2 * r + 1];
        __m128i da = _mm_sub_epi16(pa, c0[q0]), db = _mm_sub_epi16(pb, c0[q1]);
        const __m128i e0 = PerPixel(_mm_madd_epi16(da, da), _mm_madd_epi16(db, db));
        da = _mm_sub_epi16(pa, c1[q0]), db = _mm_sub_epi16(pb, c1[q1]);
        const __m128i e1 = PerPixel(_mm_madd_epi16(da, da), _mm_madd_epi16(db, db));
        const __m128i second_ = _mm_cmpgt_epi32(e0, e1);
        mask |= uint32_t(_mm_movemask_ps(_mm_castsi128_ps(second_))) << (4 * r);
        sum = _mm_add_epi32(sum, _mm_or_si128(_mm_andnot_si128(second_, e0), _mm_and_si128(second_, e1)));
    }
    error = HorizontalSum(sum);
    return mask;
}

inline uint32_t SplitBlock(const Block& b, int channel, int threshold) {
    const __m128i pick = Doubled(channel), limit = _mm_set1_epi32(threshold);
    uint32_t mask = 0;
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const __m128i doubled =
            PerPixel(_mm_madd_epi16(b.P[2 * r], pick), _mm_madd_epi16(b.P[2 * r + 1], pick));
        mask |= uint32_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(doubled, limit)))) << (4 * r);
    }
    return mask;
}

inline uint32_t NearestBlock(const Block& b, uint64_t first, uint64_t second, int& error) {
    const __m128i c0 = Colour16(first), c1 = Colour16(second);
    uint32_t mask = 0;
    __m128i sum = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const __m128i pa = b.P[2 * r], pb = b.P[2 * r + 1];
        __m128i da = _mm_sub_epi16(pa, c0), db = _mm_sub_epi16(pb, c0);
        const __m128i e0 = PerPixel(_mm_madd_epi16(da, da), _mm_madd_epi16(db, db));
        da = _mm_sub_epi16(pa, c1), db = _mm_sub_epi16(pb, c1);
        const __m128i e1 = PerPixel(_mm_madd_epi16(da, da), _mm_madd_epi16(db, db));
        const __m128i second_ = _mm_cmpgt_epi32(e0, e1);
        mask |= uint32_t(_mm_movemask_ps(_mm_castsi128_ps(second_))) << (4 * r);
        sum = _mm_add_epi32(sum, _mm_or_si128(_mm_andnot_si128(second_, e0), _mm_and_si128(second_, e1)));
    }
    error = HorizontalSum(sum);
    return mask;
}

inline void Paint(uint32_t* shown, uint32_t mask, const uint32_t first[4], const uint32_t second[4]) {
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        const int q0 = QuarterOf(4 * r), q1 = QuarterOf(4 * r + 2);
        const __m128i a = _mm_set_epi32(int(first[q1]), int(first[q1]), int(first[q0]), int(first[q0]));
        const __m128i c = _mm_set_epi32(int(second[q1]), int(second[q1]), int(second[q0]), int(second[q0]));
        const __m128i pick = RowMask(mask >> (4 * r));
        _mm_store_si128(reinterpret_cast<__m128i*>(shown) + r,
                        _mm_or_si128(_mm_andnot_si128(pick, a), _mm_and_si128(pick, c)));
    }
}

} // namespace sse2
namespace fast = sse2;
#else
namespace fast = portable;
#endif

} // namespace msvc1
