#include "cursors/CurImg.h"
#include "model/ImageStep.h"
#include "platform/Canvas.h"
#include "platform/Picture.h"

#include <gtest/gtest.h>

TEST(CursorRegistration, CursorFilesBecomeStampPicturesDrawn32By32) {
    RegisterCursorFormat();
    for (const char* ext : {"cur", "ani", "CUR"}) {
        EXPECT_TRUE(TPicture::IsRegistered(ext)) << ext;
        EXPECT_EQ(TPicture::Description(ext), "Cursor file") << ext;
    }
    // A default stamp shipped beside the programs draws through the registry.
    TPicture picture;
    picture.LoadFromFile(QString(TAVELIN_BINARY_DIR) + "/QzArrowLT.cur");
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Graphic()->Width(), 32);
    EXPECT_EQ(picture.Graphic()->Height(), 32);

    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    Canvas canvas(image);
    TImageStep step;
    step.FileName = QString(TAVELIN_BINARY_DIR) + "/QzArrowLT.cur";
    step.Transparent = true;
    step.StartX = 10;
    step.StartY = 10;
    step.Draw(canvas);
    // The arrow's dark outline runs down its left edge from the tip.
    EXPECT_NE(image.pixel(11, 14), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 255, 255));
}

TEST(CursorRegistration, PreviewOfATransparentCursorStampKeepsItsMask) {
    RegisterCursorFormat();
    TPicture picture;
    picture.LoadFromFile(QString(TAVELIN_BINARY_DIR) + "/QzArrowLT.cur");
    ASSERT_NE(picture.Graphic(), nullptr);
    picture.Graphic()->SetTransparent(false);
    EXPECT_EQ(picture.Graphic()->ToImage().pixel(30, 30), qRgb(255, 255, 255));
    picture.Graphic()->SetTransparent(true);
    const QImage preview = picture.Graphic()->ToImage();
    EXPECT_EQ(qAlpha(preview.pixel(30, 30)), 0);
    EXPECT_EQ(qAlpha(preview.pixel(1, 1)), 255);
}
