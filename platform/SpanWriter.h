#pragma once

#include "SpanSink.h"

#include <QImage>
#include <QRegion>
#include <cstdint>

// Writes runs of one colour into an RGB32 image through one of the sixteen raster operations (a
// pen-mode ordinal; any value above 15 copies), inside the clip region when it is not empty. The
// alpha byte of every pixel written is 0xFF.
class TSpanWriter final : public TSpanSink {
public:
    // `pixel` is the colour as an RGB32 value; image and clip region must outlive the writer.
    TSpanWriter(QImage& image, const QRegion& clip, uint8_t mode, uint32_t pixel);

    // Whether anything can change: a no-op mode writes nothing.
    bool Writes() const { return Op != TOp::Nop; }
    void Span(int y, int x0, int x1) override;

private:
    enum class TOp : uint8_t {
        Fill,
        Nop,
        Not,
        MergePenNot,
        MaskPenNot,
        MergeNotPen,
        MaskNotPen,
        Merge,
        NotMerge,
        Mask,
        NotMask,
        Xor,
        NotXor
    };
    void Write(uint32_t* p, int count) const;

    uint32_t* Bits = nullptr;
    qsizetype Stride = 0;
    int Width = 0, Height = 0;
    const QRegion& Clip;
    bool Clipped = false;
    TOp Op = TOp::Fill;
    uint32_t Pixel = 0;
};
