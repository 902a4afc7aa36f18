#include "Msvc1Compressor.h"

// Transitional until the encoder lands: no compressor answers yet.
TVideoCompressorFactory Msvc1CompressorFactory() {
    return [](int, int, const TCompressOptions&) -> std::unique_ptr<TVideoCompressor> { return nullptr; };
}
