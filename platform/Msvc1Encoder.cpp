#include "platform/Msvc1Encoder.h"

#include "platform/Msvc1BlockKernels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/mman.h>

namespace {

using namespace msvc1;
namespace K = msvc1::fast;

// Words of the stream as the decoders read them (little-endian; one word, or a mask and colours).
constexpr int kMaxSkipRun = 1023;         // a skip word holds its count in ten bits
constexpr uint16_t kSkipCode = 0x8400;    // 0x8400 | count: leave count blocks as they are
constexpr uint16_t kFillCode = 0x8000;    // 0x8000 | RGB555: the whole block in one colour
constexpr uint16_t kEightColour = 0x8000; // on the first colour: a colour pair for each quarter
constexpr uint16_t kEndOfFrame = 0;
constexpr int kFillBytes = 2, kPairBytes = 6, kQuarterBytes = 18, kMaxBlockBytes = 18;
// Room kept for a block's code: a little more than the largest, so that every code is copied with one
// fixed-size copy (which the compiler turns into two moves) instead of a call.
constexpr int kCodeRoom = 20;
// Big enough for any screen, small enough that block counts and buffer sizes stay in range.
constexpr int kMaxDimension = 32768;
constexpr int kMaxQuality = 10000;
constexpr int kPrefetchAhead = 512; // bytes of a source row
// Lambda, the squared error (summed over B, G and R of a block's pixels, 8-bit units) worth one byte of
// stream, at the default quality 6550; it doubles with every kQualityPerDoubling steps down, and falls to
// 0 at the top. The default sits where screen content comes out a little smaller than FFmpeg's encoder
// makes it (whose own weighting works out at about 1500), and the curve keeps the low qualities usable.
constexpr int kDefaultQuality = 6550;
constexpr double kLambdaAtDefault = 2000.0;
constexpr double kQualityPerDoubling = 1500.0;

// Largest floor error of a block: 48 channel values each at most 4 from a level.
constexpr int kMaxFloorError = 48 * 16;
constexpr uint32_t kQuarterPixels[4] = {0x0033, 0x00CC, 0x3300, 0xCC00};
constexpr uint32_t kAllPixels = 0xFFFF;
constexpr uint32_t kTopRightPixel = 1u << 3; // its mask bit is the mask word's top bit

struct ColourTables {
    uint8_t Quant[256];       // the nearest 5-bit level of an 8-bit value
    uint8_t Expand[32];       // what a reader shows for a level: (v << 3) | (v >> 2), as swscale does
    uint16_t FloorError[256]; // squared error of an 8-bit value shown at its nearest level
    int32_t Reciprocal[17];   // 65536 / n, for the means of n pixels
    // The nearest level to the mean of n = 1..4 values summing to s: QuarterLevel[n][s].
    uint8_t QuarterLevel[5][4 * 255 + 1];
    constexpr ColourTables() : Quant(), Expand(), FloorError(), Reciprocal(), QuarterLevel() {
        for (int v = 0; v < 32; ++v)
            Expand[v] = uint8_t((v << 3) | (v >> 2));
        for (int x = 0; x < 256; ++x) {
            int best = 0;
            for (int v = 1; v < 32; ++v) {
                const int d = Expand[v] - x, db = Expand[best] - x;
                if (d * d < db * db) best = v;
            }
            Quant[x] = uint8_t(best);
            FloorError[x] = uint16_t((Expand[best] - x) * (Expand[best] - x));
        }
        for (int n = 1; n <= 16; ++n)
            Reciprocal[n] = (65536 + n / 2) / n;
        for (int n = 1; n <= 4; ++n)
            for (int sum = 0; sum <= 4 * 255; ++sum)
                QuarterLevel[n][sum] = Quant[std::min((sum + n / 2) / n, 255)];
    }
};
constexpr ColourTables kTables;

int Mean(int sum, int count) {
    return (sum * kTables.Reciprocal[count] + 32768) >> 16;
}

// A colour at the stream's precision: its RGB555 word and the 8-bit B, G, R a reader shows for it.
// (No member initialisers: the fits make several of these per block and fill them all.)
struct Colour555 {
    uint16_t Code;
    int C[3];        // B, G, R
    uint64_t Packed; // the same for the kernels
    uint32_t Pixel() const { return uint32_t(C[2]) << 16 | uint32_t(C[1]) << 8 | uint32_t(C[0]); }
    int Red5() const { return Code >> 10; }
};

inline Colour555 FromLevels(int b5, int g5, int r5) {
    Colour555 c;
    c.Code = uint16_t(r5 << 10 | g5 << 5 | b5);
    c.C[0] = kTables.Expand[b5], c.C[1] = kTables.Expand[g5], c.C[2] = kTables.Expand[r5];
    c.Packed = Pack(c.C[0], c.C[1], c.C[2]);
    return c;
}

inline Colour555 NearestColour(const int* bgr) {
    return FromLevels(kTables.Quant[bgr[0]], kTables.Quant[bgr[1]], kTables.Quant[bgr[2]]);
}

// The stream's mask rows run bottom-up: pixel i (top row first) is bit (3 - row) * 4 + column.
uint16_t StreamMask(uint32_t mask) {
    return uint16_t((mask & 0xF) << 12 | (mask & 0xF0) << 4 | (mask >> 4 & 0xF0) | (mask >> 12 & 0xF));
}

void PutWord(uint8_t*& out, uint16_t w) {
    out[0] = uint8_t(w);
    out[1] = uint8_t(w >> 8);
    out += 2;
}

// Two colours for the whole block.
struct PairFit {
    Colour555 First, Second;
    uint32_t SecondMask; // pixels showing Second
    int Error;
};

// Two colours for each quarter.
struct QuarterFit {
    Colour555 First[4], Second[4];
    uint32_t SecondMask;
    int Error;
};

// What every fit needs of the block.
struct BlockStats {
    K::Block Pixels;
    QuarterTriples Sums, Low, High;
    int Total[3] = {}; // channel sums of the block
};

// Mean colours of the pixels outside the mask (m0) and inside it (m1); both groups hold pixels.
void GroupMeans(const BlockStats& s, uint32_t mask, int* m0, int* m1) {
    int sums[3];
    K::BlockSums(s.Pixels, mask, sums);
    const int n1 = CountPixels(mask);
#pragma GCC unroll 4
    for (int c = 0; c < 3; ++c) {
        m0[c] = Mean(s.Total[c] - sums[c], 16 - n1);
        m1[c] = Mean(sums[c], n1);
    }
}

// Two colours for the block: a split at the middle of the widest channel, the mean of each side, then
// each pixel takes the nearer of the two colours at stream precision. (A k-means step on top of this
// saved under 1 % of the bytes for 15 % more time.)
void FitPair(const BlockStats& s, PairFit& f) {
    int lo[3], hi[3];
#pragma GCC unroll 4
    for (int c = 0; c < 3; ++c) {
        lo[c] = std::min(std::min(s.Low.V[0][c], s.Low.V[1][c]), std::min(s.Low.V[2][c], s.Low.V[3][c]));
        hi[c] = std::max(std::max(s.High.V[0][c], s.High.V[1][c]), std::max(s.High.V[2][c], s.High.V[3][c]));
    }
    int ch = 0;
    if (hi[1] - lo[1] > hi[ch] - lo[ch]) ch = 1;
    if (hi[2] - lo[2] > hi[ch] - lo[ch]) ch = 2;
    const uint32_t mask = K::SplitBlock(s.Pixels, ch, lo[ch] + hi[ch]);
    int m0[3], m1[3];
    GroupMeans(s, mask, m0, m1);
    f.First = NearestColour(m0);
    f.Second = NearestColour(m1);
    f.SecondMask = K::NearestBlock(s.Pixels, f.First.Packed, f.Second.Packed, f.Error);
}

// Two colours for each quarter: its four pixels split at the middle of its widest channel.
void FitQuarters(const BlockStats& s, QuarterFit& f) {
    int channel[4], threshold[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) {
        const int* lo = s.Low.V[q];
        const int* hi = s.High.V[q];
        int ch = 0;
        if (hi[1] - lo[1] > hi[ch] - lo[ch]) ch = 1;
        if (hi[2] - lo[2] > hi[ch] - lo[ch]) ch = 2;
        channel[q] = ch;
        threshold[q] = lo[ch] + hi[ch]; // a flat quarter falls wholly into the first group
    }
    const uint32_t mask = K::Split(s.Pixels, channel, threshold);
    QuarterTriples sums;
    K::QuarterSums(s.Pixels, mask, sums);
    QuarterColours first, second;
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q) {
        const int n1 = CountPixels(mask & kQuarterPixels[q]), n0 = 4 - n1; // n0 > 0: the lowest pixel
        const int* total = s.Sums.V[q];
        const int* one = sums.V[q];
        const auto level0 = [&](int c) { return kTables.QuarterLevel[n0][total[c] - one[c]]; };
        f.First[q] = FromLevels(level0(0), level0(1), level0(2));
        f.Second[q] = n1 ? FromLevels(kTables.QuarterLevel[n1][one[0]], kTables.QuarterLevel[n1][one[1]],
                                      kTables.QuarterLevel[n1][one[2]])
                         : f.First[q];
        first.C[q] = f.First[q].Packed;
        second.C[q] = f.Second[q].Packed;
    }
    f.SecondMask = K::Nearest(s.Pixels, first, second, f.Error);
}

// Error of one colour over the block, from the channel sums and the sum of squares.
int64_t FillError(const int* total, int64_t sumOfSquares, const Colour555& c) {
    int64_t e = sumOfSquares;
#pragma GCC unroll 4
    for (int ch = 0; ch < 3; ++ch)
        e += int64_t(16) * c.C[ch] * c.C[ch] - int64_t(2) * c.C[ch] * total[ch];
    return e;
}

int FloorError(const uint32_t* px) {
    int e = 0;
    for (int i = 0; i < 16; ++i)
        e += kTables.FloorError[px[i] & 0xFF] + kTables.FloorError[px[i] >> 8 & 0xFF] +
             kTables.FloorError[px[i] >> 16 & 0xFF];
    return e;
}

// Loads one block of source pixels as 0x00RRGGBB, repeating the last column past the picture's edge.
inline void LoadBlock(const uint8_t* const rows[4], int x0, int width, uint32_t* px) {
    if (x0 + 4 <= width) return K::LoadRows(rows, 4 * ptrdiff_t(x0), px);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            std::memcpy(px + 4 * r + c, rows[r] + 4 * ptrdiff_t(std::min(x0 + c, width - 1)), 4);
            px[4 * r + c] &= 0x00FFFFFF;
        }
}

// The block as one colour, after the skip-code trap: a red level of 1 makes the fill word read as a
// skip code (0x84xx..0x87xx), so such a colour is either nudged to a neighbouring red level or sent as a
// two-colour block of that one colour, whichever costs less.
struct FillChoice {
    Colour555 Colour;
    bool AsPair = false;
    int64_t Cost = 0;
};

template <typename ErrorOf>
FillChoice ChooseFill(const Colour555& nearest, const ErrorOf& errorOf, int64_t lambda) {
    FillChoice choice{nearest, false, errorOf(nearest) + kFillBytes * lambda};
    if (nearest.Red5() != 1) return choice;
    const Colour555 down = FromLevels(nearest.Code & 31, nearest.Code >> 5 & 31, 0);
    const Colour555 up = FromLevels(nearest.Code & 31, nearest.Code >> 5 & 31, 2);
    const int64_t downError = errorOf(down), upError = errorOf(up);
    const int64_t nudgedCost = std::min(downError, upError) + kFillBytes * lambda;
    const int64_t pairCost = choice.Cost + (kPairBytes - kFillBytes) * lambda;
    if (pairCost < nudgedCost) return {nearest, true, pairCost};
    return {downError <= upError ? down : up, false, nudgedCost};
}

int PutFill(const FillChoice& fill, uint32_t* shown, uint8_t* code) {
    uint8_t* out = code;
    if (fill.AsPair) {
        PutWord(out, 0); // every pixel the second colour
        PutWord(out, fill.Colour.Code);
        PutWord(out, fill.Colour.Code);
    } else {
        PutWord(out, kFillCode | fill.Colour.Code);
    }
    const uint32_t c = fill.Colour.Pixel();
    const uint32_t all[4] = {c, c, c, c};
    K::Paint(shown, 0, all, all);
    return int(out - code);
}

int PutPair(const PairFit& pair, uint32_t* shown, uint8_t* code) {
    // A set mask bit shows the first colour word. The top-right pixel's bit is the mask word's top bit,
    // which must stay clear, so that pixel always takes the second colour word.
    uint8_t* out = code;
    const bool swap = pair.SecondMask & kTopRightPixel;
    PutWord(out, StreamMask(swap ? ~pair.SecondMask & kAllPixels : pair.SecondMask));
    PutWord(out, swap ? pair.First.Code : pair.Second.Code);
    PutWord(out, swap ? pair.Second.Code : pair.First.Code);
    const uint32_t a = pair.First.Pixel(), b = pair.Second.Pixel();
    const uint32_t first[4] = {a, a, a, a}, second[4] = {b, b, b, b};
    K::Paint(shown, pair.SecondMask, first, second);
    return int(out - code);
}

int PutQuarters(const QuarterFit& quarters, uint32_t* shown, uint8_t* code) {
    // The same top-bit rule, in the top-right quarter. The pairs are stored bottom-left, bottom-right,
    // top-left, top-right, and the first colour word's top bit announces them.
    constexpr int kTopRight = 1;
    constexpr int kStoredOrder[4] = {2, 3, 0, 1};
    uint8_t* out = code;
    const bool swap = quarters.SecondMask & kTopRightPixel;
    PutWord(out, StreamMask(swap ? quarters.SecondMask ^ kQuarterPixels[kTopRight] : quarters.SecondMask));
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        const int q = kStoredOrder[k];
        const bool swapped = swap && q == kTopRight;
        const uint16_t firstWord = swapped ? quarters.First[q].Code : quarters.Second[q].Code;
        const uint16_t secondWord = swapped ? quarters.Second[q].Code : quarters.First[q].Code;
        PutWord(out, k == 0 ? uint16_t(firstWord | kEightColour) : firstWord);
        PutWord(out, secondWord);
    }
    uint32_t first[4], second[4];
#pragma GCC unroll 4
    for (int q = 0; q < 4; ++q)
        first[q] = quarters.First[q].Pixel(), second[q] = quarters.Second[q].Pixel();
    K::Paint(shown, quarters.SecondMask, first, second);
    return int(out - code);
}

// Codes one changed block (or any block of a key frame) into `code` as the mode of least error +
// lambda * bytes, and paints what the decoder will show; returns the byte count, 0 for a skip.
int CodeBlock(const uint32_t* px, uint32_t* shown, bool keyFrame, int64_t lambda, uint8_t* code) {
    // A skip leaves what the decoder shows now, and costs next to nothing in the stream.
    int64_t skipError = INT64_MAX;
    if (!keyFrame) {
        skipError = K::SquaredDifference(px, shown);
        if (skipError <= kFillBytes * lambda) return 0; // no mode can do better
    }

    if (K::IsFlat(px)) {
        // The nearest level of its colour is as close as any mode gets.
        const int bgr[3] = {int(px[0] & 0xFF), int(px[0] >> 8 & 0xFF), int(px[0] >> 16)};
        const FillChoice fill = ChooseFill(
            NearestColour(bgr),
            [&](const Colour555& c) {
                int e = 0;
#pragma GCC unroll 4
                for (int ch = 0; ch < 3; ++ch)
                    e += (bgr[ch] - c.C[ch]) * (bgr[ch] - c.C[ch]);
                return int64_t(16) * e;
            },
            lambda);
        return skipError <= fill.Cost ? 0 : PutFill(fill, shown, code);
    }

    BlockStats s;
    K::Unpack(px, s.Pixels);
    K::QuarterSums(s.Pixels, kAllPixels, s.Sums);
    int mean[3];
#pragma GCC unroll 4
    for (int c = 0; c < 3; ++c) {
        s.Total[c] = s.Sums.V[0][c] + s.Sums.V[1][c] + s.Sums.V[2][c] + s.Sums.V[3][c];
        mean[c] = (s.Total[c] + 8) >> 4;
    }
    // One colour: the nearest level to each channel's mean is the best single colour.
    const int64_t sumOfSquares = K::SumOfSquares(s.Pixels);
    const FillChoice fill = ChooseFill(
        NearestColour(mean), [&](const Colour555& c) { return FillError(s.Total, sumOfSquares, c); }, lambda);
    int64_t bestCost = fill.Cost;

    // No mode shows a pixel closer than its nearest level: a mode that could not beat the best cost even
    // at that floor is not tried.
    int64_t floor = -1;
    auto worthTrying = [&](int bytes) {
        const int64_t margin = bestCost - bytes * lambda;
        if (margin <= 0) return false;
        if (margin > kMaxFloorError) return true; // beyond any floor: no need to know it
        if (floor < 0) floor = FloorError(px);
        return margin > floor;
    };
    enum class Mode { Fill, Pair, Quarters } mode = Mode::Fill;
    PairFit pair;
    QuarterFit quarters;
    const bool tryPair = worthTrying(kPairBytes);
    if (tryPair || worthTrying(kQuarterBytes)) K::QuarterMinMax(s.Pixels, s.Low, s.High);
    if (tryPair) {
        FitPair(s, pair);
        const int64_t cost = pair.Error + kPairBytes * lambda;
        if (cost < bestCost) bestCost = cost, mode = Mode::Pair;
    }
    if (worthTrying(kQuarterBytes)) {
        FitQuarters(s, quarters);
        const int64_t cost = quarters.Error + kQuarterBytes * lambda;
        if (cost < bestCost) bestCost = cost, mode = Mode::Quarters;
    }
    if (skipError <= bestCost) return 0;
    switch (mode) {
    case Mode::Pair:
        return PutPair(pair, shown, code);
    case Mode::Quarters:
        return PutQuarters(quarters, shown, code);
    default:
        return PutFill(fill, shown, code);
    }
}

// Per block, in stream order: the source pixels as last seen and what the decoder shows now (both
// 0x00RRGGBB, top row first; one cache line each), and the code that shows it. The code is kept while the
// block's source stays as it was when coded, so that a key frame sends it again instead of fitting the
// block anew: a fit depends on nothing but the source, so the result is the same.
struct alignas(64) BlockPixels {
    uint32_t P[16];
};
struct CachedCode {
    uint8_t Bytes[kCodeRoom];
    uint8_t Length; // 0: none kept
};

// Memory for a whole frame's worth of blocks, on huge pages where the system offers them (a 1080p
// encoder's 20 MB then take a few page faults instead of thousands), and touched here, so that the
// faults are taken when the encoder is made and not in the middle of the first frames.
template <typename T> class FrameArray {
public:
    explicit FrameArray(size_t count) {
        constexpr size_t kHugePage = size_t(2) << 20;
        const size_t used = count * sizeof(T);
        const size_t bytes = (used + kHugePage - 1) / kHugePage * kHugePage; // as aligned_alloc wants
        Data.reset(static_cast<T*>(std::aligned_alloc(kHugePage, bytes)));
        if (!Data) throw std::bad_alloc();
        madvise(Data.get(), bytes, MADV_HUGEPAGE);
        std::memset(static_cast<void*>(Data.get()), 0, used);
    }
    T& operator[](size_t i) { return Data.get()[i]; }
    T* get() { return Data.get(); }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T, Free> Data;
};

} // namespace

struct Msvc1Encoder::Buffers {
    explicit Buffers(size_t blocks, size_t workSize)
        : LastSource(blocks), Shown(blocks), Codes(blocks), Work(workSize) {}
    FrameArray<BlockPixels> LastSource, Shown;
    FrameArray<CachedCode> Codes;
    FrameArray<uint8_t> Work; // the packet being written, with room for the largest
};

Msvc1Encoder::Msvc1Encoder(int width, int height, int quality, int keyFramesEvery)
    : Width(width), Height(height), KeyFramesEvery(std::max(keyFramesEvery, 0)) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
        throw std::invalid_argument("Msvc1Encoder: unsupported frame size");
    PaddedW = (width + 3) & ~3;
    PaddedH = (height + 3) & ~3;
    BlocksWide = PaddedW / 4;
    BlocksHigh = PaddedH / 4;
    const int q = std::clamp(quality, 0, kMaxQuality);
    // Zero at the top quality: every block then takes its closest mode, whatever it costs.
    const auto curve = [](int quality) {
        return std::exp2((kMaxQuality - quality) / kQualityPerDoubling) - 1.0;
    };
    Lambda = std::llround(kLambdaAtDefault * curve(q) / curve(kDefaultQuality));
    const size_t blocks = size_t(BlocksWide) * BlocksHigh;
    // Every block at its largest, the skip words between them, the last run and the end word, and the
    // slack of the last block's fixed-size copy.
    const size_t workSize = blocks * kMaxBlockBytes + blocks + 4 + kCodeRoom;
    B = std::make_unique<Buffers>(blocks, workSize);
    // Touched once here, so that the first frames do not pay for the packet's pages.
    Packet.resize(workSize);
    Packet.clear();
}

Msvc1Encoder::~Msvc1Encoder() = default;

const std::vector<uint8_t>& Msvc1Encoder::Encode(const uint8_t* topRow, ptrdiff_t stride, bool& isKeyFrame) {
    const bool key =
        FrameNumber == 0 || KeyPending || (KeyFramesEvery > 0 && FrameNumber % KeyFramesEvery == 0);
    const bool first = FrameNumber == 0;
    KeyPending = false;
    uint8_t* const start = B->Work.get();
    uint8_t* out = start;
    int run = 0; // blocks skipped and not yet written
    const auto skip = [&] {
        if (++run == kMaxSkipRun) {
            PutWord(out, uint16_t(kSkipCode | run));
            run = 0;
        }
    };
    alignas(64) uint32_t px[16];
    size_t index = 0; // blocks in stream order: the bottom block row first, each row left to right
    for (int by = BlocksHigh - 1; by >= 0; --by) {
        const uint8_t* rows[4];
        for (int r = 0; r < 4; ++r)
            rows[r] = topRow + ptrdiff_t(std::min(by * 4 + r, Height - 1)) * stride;
        for (int bx = 0; bx < BlocksWide; ++bx, ++index) {
#if MSVC1_SSE2
            // The source rows and the last-seen blocks stream in from memory; asking a little ahead keeps
            // more of those reads in flight than the hardware prefetcher does on its own.
            if (bx % 4 == 0) // a cache line holds a row of four blocks
                for (int r = 0; r < 4; ++r)
                    _mm_prefetch(reinterpret_cast<const char*>(rows[r] + 16 * ptrdiff_t(bx)) + kPrefetchAhead,
                                 _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(B->LastSource.get() + index) + kPrefetchAhead * 4,
                         _MM_HINT_T0);
#endif
            LoadBlock(rows, bx * 4, Width, px);
            CachedCode& cached = B->Codes[index];
            bool unchanged = false;
            if (first)
                std::memcpy(B->LastSource[index].P, px, sizeof px);
            else
                unchanged = K::SameOrCopy(px, B->LastSource[index].P);
            if (unchanged && !key) {
                skip();
                continue;
            }
            if (!unchanged || cached.Length == 0) {
                cached.Length = uint8_t(CodeBlock(px, B->Shown[index].P, key, Lambda, cached.Bytes));
                if (cached.Length == 0) {
                    skip();
                    continue;
                }
            }
            if (run > 0) {
                // A count of 0 would make FFmpeg's decoder skip the rest of the frame: never written.
                PutWord(out, uint16_t(kSkipCode | run));
                run = 0;
            }
            std::memcpy(out, cached.Bytes, kCodeRoom);
            out += cached.Length;
        }
    }
    if (run > 0) PutWord(out, uint16_t(kSkipCode | run));
    PutWord(out, kEndOfFrame);
    // FFmpeg's decoder drops a packet shorter than one byte per 512 blocks ("Packet is too small"). A frame
    // of nothing but skips still takes two bytes per 1023 blocks, and the end word: always enough.
    Packet.assign(start, out);
    isKeyFrame = key;
    ++FrameNumber;
    return Packet;
}
