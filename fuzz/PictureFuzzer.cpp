// One picture format of the registry, as an image stamp loads it: through the registry, falling back
// to the plain bitmap reader after a stream error, then shown as a preview and drawn on a canvas both
// ways. FUZZ_EXTENSION names the format.
#include "FuzzSupport.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/Picture.h"
#include "platform/PictureFile.h"

#include <QImage>

#ifndef FUZZ_EXTENSION
#error "FUZZ_EXTENSION names the picture format"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = WriteFuzzFile(data, size, QStringLiteral(FUZZ_EXTENSION));
    std::unique_ptr<TGraphic> graphic;
    try {
        graphic = LoadStampPicture(path);
    } catch (const Exception&) {
        return 0;
    }
    FUZZ_CHECK(graphic, "a null picture");
    FUZZ_CHECK(graphic->Width() <= kMaxPictureSide && graphic->Height() <= kMaxPictureSide,
               QStringLiteral("%1 x %2").arg(graphic->Width()).arg(graphic->Height()));
    FUZZ_CHECK(qint64(graphic->Width()) * graphic->Height() <= kMaxPicturePixels, "too many pixels");

    QImage image(40, 30, QImage::Format_RGB32);
    for (bool transparent : {false, true}) {
        graphic->SetTransparent(transparent);
        const QImage preview = graphic->ToImage();
        FUZZ_CHECK(graphic->Empty() || preview.size() == QSize(graphic->Width(), graphic->Height()),
                   "the preview's size");
        image.fill(Qt::gray);
        Canvas canvas(image);
        graphic->Draw(canvas, -3, 5);
        graphic->Draw(canvas, 37 - graphic->Width() / 2, -graphic->Height() / 2);
    }
    return 0;
}
