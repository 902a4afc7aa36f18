// Kept apart from the decoder so that only a program that registers formats needs the picture registry.
#include "CurImg.h"

#include <memory>

void RegisterCursorFormat() {
    const auto load = [](const QString& fileName) -> std::unique_ptr<TGraphic> {
        auto picture = std::make_unique<TCursorImage>();
        picture->LoadFromFile(fileName);
        return picture;
    };
    TPicture::RegisterFileFormat(QStringLiteral("cur"), QStringLiteral("Cursor file"), load);
    TPicture::RegisterFileFormat(QStringLiteral("ani"), QStringLiteral("Cursor file"), load);
}
