#include "platform/ImageSave.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A different colour at every pixel.
QImage Sample(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((37 * x + 11 * y) & 0xFF, (53 * y + 5) & 0xFF, (250 - 29 * x) & 0xFF));
    return image;
}

class ImageSaveTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return Dir.filePath(name); }
    QByteArray Contents(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QImage ReadBack(const QString& name, const char* expectedFormat) const {
        QImageReader reader(Path(name));
        EXPECT_EQ(reader.format(), QByteArray(expectedFormat)) << name.toStdString();
        return reader.read().convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir Dir;
};

} // namespace

TEST_F(ImageSaveTest, PngKeepsEveryPixel) {
    const QImage sample = Sample(7, 5);
    SaveImage(sample, Path("shot.png"));
    EXPECT_EQ(ReadBack("shot.png", "png"), sample);
}

TEST_F(ImageSaveTest, ExtensionIsComparedInLowerCase) {
    const QImage sample = Sample(4, 4);
    SaveImage(sample, Path("shot.JPG"));
    SaveImage(sample, Path("shot.PnG"));
    SaveImage(sample, Path("shot.GIF"));
    EXPECT_TRUE(Contents("shot.JPG").startsWith("\xFF\xD8\xFF"));
    EXPECT_TRUE(Contents("shot.PnG").startsWith("\x89PNG"));
    EXPECT_TRUE(Contents("shot.GIF").startsWith("GIF8"));
}

TEST_F(ImageSaveTest, JpegIsWrittenAtQualityEighty) {
    // Flat blocks the size of the encoder's colour blocks, so only quantisation changes them.
    QImage sample(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            sample.setPixel(x, y,
                            x < 16 ? (y < 16 ? qRgb(200, 30, 30) : qRgb(30, 200, 30))
                                   : (y < 16 ? qRgb(30, 30, 200) : qRgb(220, 220, 40)));
    SaveImage(sample, Path("shot.jpg"));
    const QImage back = ReadBack("shot.jpg", "jpeg");
    ASSERT_EQ(back.size(), sample.size());
    for (int y = 3; y < 32; y += 16)
        for (int x = 3; x < 32; x += 16)
            for (int d = 0; d < 10; ++d) {
                const QRgb a = back.pixel(x + d, y + d), s = sample.pixel(x + d, y + d);
                EXPECT_NEAR(qRed(a), qRed(s), 12);
                EXPECT_NEAR(qGreen(a), qGreen(s), 12);
                EXPECT_NEAR(qBlue(a), qBlue(s), 12);
            }
    // The first luminance table is the standard one scaled to 40 % (quality 80): 16, 11, 12 become
    // 6, 4, 5.
    const QByteArray data = Contents("shot.jpg");
    const qsizetype dqt = data.indexOf("\xFF\xDB");
    ASSERT_GE(dqt, 0);
    EXPECT_EQ(data.mid(dqt + 5, 3), QByteArray("\x06\x04\x05", 3));
}

TEST_F(ImageSaveTest, GifReducesTrueColourToAPalette) {
    QImage gradient(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            gradient.setPixel(x, y, qRgb(x * 4, y * 4, 128));
    SaveImage(gradient, Path("grad.gif"));
    const QImage back = ReadBack("grad.gif", "gif");
    ASSERT_EQ(back.size(), gradient.size());
    QSet<QRgb> colours;
    double error = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb a = back.pixel(x, y), s = gradient.pixel(x, y);
            colours.insert(a);
            error +=
                std::abs(qRed(a) - qRed(s)) + std::abs(qGreen(a) - qGreen(s)) + std::abs(qBlue(a) - qBlue(s));
        }
    EXPECT_LE(colours.size(), 256);
    EXPECT_GT(colours.size(), 64);
    EXPECT_LT(error / (64 * 64 * 3), 6.0);

    // An image with few colours keeps them exactly.
    const QImage few = Sample(6, 5);
    SaveImage(few, Path("few.gif"));
    EXPECT_EQ(ReadBack("few.gif", "gif"), few);
}

TEST_F(ImageSaveTest, AnyOtherExtensionIsA24BitBitmap) {
    // An odd width, so every row needs padding.
    const QImage sample = Sample(5, 3);
    // A dot in a folder's name makes no extension.
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.png"));
    for (const char* name : {"shot.jpeg", "shot.tif", "shot", "shot.bmp", "folder.png/shot"}) {
        SaveImage(sample, Path(name));
        const QByteArray data = Contents(name);
        ASSERT_TRUE(data.startsWith("BM")) << name;
        EXPECT_EQ(data.at(28), 24) << name;
        EXPECT_EQ(data.size(), 14 + 40 + 3 * 16) << name;
        EXPECT_EQ(ReadBack(name, "bmp"), sample) << name;
    }
}

TEST_F(ImageSaveTest, FailedSaveLeavesTheTargetAsItWas) {
    {
        QFile f(Path("keep.png"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    EXPECT_THROW(SaveImage(QImage(), Path("keep.png")), EImageSaveError);
    EXPECT_EQ(Contents("keep.png"), "old contents");

    try {
        SaveImage(Sample(2, 2), Path("missing/shot.png"));
        ADD_FAILURE();
    } catch (const EImageSaveError& e) {
        EXPECT_TRUE(
            e.message().startsWith(QString("Cannot create file \"%1\". ").arg(Path("missing/shot.png"))))
            << e.message().toStdString();
    }

    // A save that succeeds replaces the file and leaves no temporary file behind.
    SaveImage(Sample(2, 2), Path("keep.png"));
    EXPECT_EQ(ReadBack("keep.png", "png"), Sample(2, 2));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList({"keep.png"}));
}
