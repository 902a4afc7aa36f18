#pragma once

#include "platform/VideoCompressor.h"

// The compressors this platform has: our Microsoft Video 1 encoder answers to "MSVC" (and "CRAM");
// any other code gets none.
TVideoCompressorFactory Msvc1CompressorFactory();
