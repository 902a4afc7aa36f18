#include "model/ImageStep.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kBackground = 0xFF336699, kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

class ImageStepTest : public ::testing::Test {
protected:
    ImageStepTest() : Target(8, 6, QImage::Format_RGB32), Surface(Target) { Target.fill(kBackground); }

    QString WriteBitmap(const QString& name, const QImage& image) {
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    QString Write(const QString& name, const QByteArray& data) {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    }
    QByteArray Contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int Count(QRgb colour) const {
        int n = 0;
        for (int y = 0; y < Target.height(); ++y)
            for (int x = 0; x < Target.width(); ++x)
                n += Target.pixel(x, y) == colour;
        return n;
    }
    QString DrawFailure(const QString& fileName) {
        TImageStep step;
        step.FileName = fileName;
        try {
            step.Draw(Surface);
        } catch (const Exception& e) {
            return e.message();
        }
        return QString();
    }

    QTemporaryDir Dir;
    QImage Target;
    Canvas Surface;
};

// White with a red cross; the bottom-left pixel is white.
QImage Cross() {
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(kWhite);
    for (int i = 0; i < 3; ++i) {
        image.setPixel(1, i, kRed);
        image.setPixel(i, 1, kRed);
    }
    return image;
}

} // namespace

TEST_F(ImageStepTest, EmptyFileNameDrawsNothing) {
    TImageStep step;
    step.Transparent = true;
    const QImage before = Target;
    EXPECT_NO_THROW(step.Draw(Surface));
    EXPECT_EQ(Target, before);
}

TEST_F(ImageStepTest, DrawsAtTheStartPointAtNaturalSize) {
    TImageStep step;
    step.FileName = WriteBitmap("cross.bmp", Cross());
    step.StartX = 4;
    step.StartY = 2;
    step.Draw(Surface);
    for (int y = 0; y < Target.height(); ++y)
        for (int x = 0; x < Target.width(); ++x) {
            const bool inside = x >= 4 && x < 7 && y >= 2 && y < 5;
            EXPECT_EQ(Target.pixel(x, y), inside ? Cross().pixel(x - 4, y - 2) : kBackground)
                << x << "," << y;
        }
}

TEST_F(ImageStepTest, TransparentBitmapLeavesOutItsBottomLeftColour) {
    TImageStep step;
    step.FileName = WriteBitmap("cross.bmp", Cross());
    step.StartX = 1;
    step.StartY = 1;
    step.Transparent = true;
    step.Draw(Surface);
    EXPECT_EQ(Count(kWhite), 0);
    EXPECT_EQ(Count(kRed), 5);
    EXPECT_EQ(Target.pixel(1, 1), kBackground);

    step.Transparent = false;
    step.Draw(Surface);
    EXPECT_EQ(Count(kWhite), 4);
}

TEST_F(ImageStepTest, BitmapTheDecoderRejectsWithAStreamErrorIsDrawnAnyway) {
    // The file header claims a size far beyond the file's end.
    const QString path = WriteBitmap("long.bmp", Cross());
    QByteArray data = Contents(path);
    data.replace(2, 4, QByteArray("\x00\x00\x10\x00", 4));
    Write("long.bmp", data);
    TImageStep step;
    step.FileName = path;
    step.Draw(Surface);
    EXPECT_EQ(Count(kRed), 5);
    EXPECT_EQ(Target.pixel(0, 0), kWhite);
}

TEST_F(ImageStepTest, FileThatIsNoBitmapAndEndsTooSoonIsAnInvalidImageFile) {
    EXPECT_EQ(DrawFailure(Write("cut.png", QByteArray("\x89PNG\r\n\x1a\n", 8))), "Invalid image file");
    EXPECT_EQ(DrawFailure(Write("empty.jpg", QByteArray())), "Invalid image file");
}

TEST_F(ImageStepTest, OtherLoadErrorsPassOnUnchanged) {
    EXPECT_EQ(DrawFailure(Write("chart.wmf", "data")), "Unknown picture file extension (.wmf)");
    // A decoder's own rejection is not turned into the fallback's message.
    EXPECT_EQ(DrawFailure(Write("fake.bmp", QByteArray(60, 'x'))), "Bitmap image is not valid");
    const QString gone = Dir.filePath("gone.bmp");
    EXPECT_EQ(DrawFailure(gone), QString("Cannot open file \"%1\". No such file or directory").arg(gone));
    EXPECT_EQ(Count(kBackground), Target.width() * Target.height());
}

TEST_F(ImageStepTest, FileIsReadAgainAtEveryDraw) {
    TImageStep step;
    QImage red(2, 2, QImage::Format_RGB32);
    red.fill(kRed);
    step.FileName = WriteBitmap("swap.bmp", red);
    step.Draw(Surface);
    EXPECT_EQ(Target.pixel(1, 1), kRed);
    QImage blue = red;
    blue.fill(kBlue);
    WriteBitmap("swap.bmp", blue);
    step.Draw(Surface);
    EXPECT_EQ(Target.pixel(1, 1), kBlue);
}
