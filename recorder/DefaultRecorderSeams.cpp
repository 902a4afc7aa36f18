#include "AviRecordingSink.h"
#include "ScreenFrameGrabber.h"
#include "SteadyClock.h"
#include "platform/Msvc1Compressor.h"

TRecorderSeams DefaultRecorderSeams() {
    TRecorderSeams seams;
    seams.MakeGrabber = [] { return std::make_unique<TScreenFrameGrabber>(); };
    seams.MakeSink = [] { return std::make_unique<TAviRecordingSink>(Msvc1CompressorFactory()); };
    seams.Clock = std::make_shared<TSteadyClock>();
    return seams;
}
