// The plain-bitmap reading an image stamp falls back on when the registry's reader fails.
#include "FuzzSupport.h"
#include "platform/BmpFormat.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = WriteFuzzFile(data, size, QStringLiteral("bmp"));
    std::unique_ptr<TGraphic> graphic;
    try {
        graphic = LoadPlainBitmapFile(path);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    FUZZ_CHECK(graphic, "a null picture");
    FUZZ_CHECK(qint64(graphic->Width()) * graphic->Height() <= kMaxPicturePixels, "too many pixels");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::gray);
    Canvas canvas(image);
    graphic->SetTransparent(true);
    graphic->Draw(canvas, -2, -2);
    graphic->ToImage();
    return 0;
}
