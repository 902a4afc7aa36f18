#include "Msvc1Compressor.h"

#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Encoder.h"

namespace {

class TMsvc1Compressor : public TVideoCompressor {
public:
    TMsvc1Compressor(int width, int height, const TCompressOptions& options)
        : Encoder(width, height, options.Quality, options.KeyFrameEvery) {}
    uint32_t FourCC() const override { return MakeFourCC('M', 'S', 'V', 'C'); }
    int BitCount() const override { return 16; }
    int PaddedWidth() const override { return Encoder.PaddedWidth(); }
    int PaddedHeight() const override { return Encoder.PaddedHeight(); }
    const std::vector<uint8_t>& Encode(const uint8_t* topRow, std::ptrdiff_t stride,
                                       bool& isKeyFrame) override {
        return Encoder.Encode(topRow, stride, isKeyFrame);
    }
    void ForceKeyFrame() override { Encoder.ForceKeyFrame(); }

private:
    Msvc1Encoder Encoder;
};

} // namespace

TVideoCompressorFactory Msvc1CompressorFactory() {
    return [](int width, int height, const TCompressOptions& options) -> std::unique_ptr<TVideoCompressor> {
        const uint32_t handler = options.Handler;
        if (handler != MakeFourCC('M', 'S', 'V', 'C') && handler != MakeFourCC('m', 's', 'v', 'c') &&
            handler != MakeFourCC('C', 'R', 'A', 'M') && handler != MakeFourCC('c', 'r', 'a', 'm'))
            return nullptr;
        return std::make_unique<TMsvc1Compressor>(width, height, options);
    };
}
