// Script files and pasted text: the line splitter, the section walk, every step's reader, the drawing
// of what was read, and the writer, whose text must read back to the same text.
#include "FuzzAnnotationTarget.h"
#include "FuzzSupport.h"
#include "model/AnnotationScript.h"
#include "model/AnnotationText.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"

#include <QImage>

namespace {

void Read(TFuzzAnnotationTarget& target, const QStringList& lines) {
    try {
        ReadScript(target, lines);
    } catch (const EConvertError&) {
        // A layer or step flag that is no Boolean ends the reading; what was read stays.
    }
}

void ReadDrawAndWrite(const QStringList& lines) {
    TFuzzAnnotationTarget target;
    Read(target, lines);

    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    Canvas canvas(image);
    for (const TDrawStep* step : target.PaintList())
        step->Draw(canvas);

    // What the programs write, they must read back as it was; but for a font face holding a quote,
    // which the font's text form writes as it stands.
    const QStringList written = target.Written();
    for (const QString& line : written)
        if (line.startsWith(QStringLiteral("Font=")) && line.count(u'"') > 2) return;
    TFuzzAnnotationTarget again;
    Read(again, SplitAnnotationText(JoinAnnotationText(written)));
    FUZZ_CHECK(again.Written() == written, written.join('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = FuzzBytes(data, size);
    // A script file is read as bytes; pasted text arrives as a string.
    ReadDrawAndWrite(SplitAnnotationText(bytes));
    ReadDrawAndWrite(SplitAnnotationText(QString::fromUtf8(bytes)));
    return 0;
}
