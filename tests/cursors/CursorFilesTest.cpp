#include "cursors/AniCur.h"
#include "cursors/AniFile.h"
#include "cursors/BuiltInCursors.h"
#include "cursors/CurImg.h"
#include "cursors/CursorEntry.h"
#include "cursors/CursorTable.h"
#include "support/HostileFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// ---- Writers of the file formats, independent of the readers under test ----

QByteArray Le16(int v) {
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char((v >> 8) & 0xFF);
    return b;
}

QByteArray Le32(int64_t v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((uint64_t(v) >> (8 * i)) & 0xFF);
    return b;
}

using PixelTest = std::function<bool(int x, int y)>;

// A BMP cursor payload of img's colours; `screen` says where the AND mask lets the screen through.
QByteArray BmpPayload(const QImage& img, int bpp, const PixelTest& screen, bool withMask = true) {
    const int w = img.width(), h = img.height();
    std::vector<QRgb> palette;
    if (bpp <= 8) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = img.pixel(x, y) & RGB_MASK;
                if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
            }
        EXPECT_LE(palette.size(), size_t(1) << bpp);
        palette.resize(size_t(1) << bpp, 0);
    }
    QByteArray out = Le32(40) + Le32(w) + Le32(2 * h) + Le16(1) + Le16(bpp) + Le32(0) + Le32(0) + Le32(0) +
                     Le32(0) + Le32(int64_t(bpp <= 8 ? palette.size() : 0)) + Le32(0);
    for (QRgb c : palette)
        out += QByteArray(1, char(qBlue(c))) + char(qGreen(c)) + char(qRed(c)) + '\0';
    const int xorStride = (w * bpp + 31) / 32 * 4;
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;
        QByteArray line(xorStride, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = img.pixel(x, y);
            if (bpp <= 8) {
                const int index =
                    int(std::find(palette.begin(), palette.end(), c & RGB_MASK) - palette.begin());
                const int perByte = 8 / bpp;
                line[x / perByte] = char(uint8_t(line[x / perByte]) | index << (8 - bpp * (x % perByte + 1)));
            } else if (bpp == 24) {
                line[x * 3] = char(qBlue(c));
                line[x * 3 + 1] = char(qGreen(c));
                line[x * 3 + 2] = char(qRed(c));
            } else {
                line[x * 4] = char(qBlue(c));
                line[x * 4 + 1] = char(qGreen(c));
                line[x * 4 + 2] = char(qRed(c));
                line[x * 4 + 3] = char(qAlpha(c));
            }
        }
        out += line;
    }
    if (!withMask) return out;
    const int andStride = (w + 31) / 32 * 4;
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;
        QByteArray line(andStride, '\0');
        for (int x = 0; x < w; ++x)
            if (screen(x, y)) line[x / 8] = char(uint8_t(line[x / 8]) | 0x80 >> (x % 8));
        out += line;
    }
    return out;
}

struct CurEntry {
    int Width, Height;
    QPoint HotSpot;
    QByteArray Payload;
};

QByteArray CurFile(const std::vector<CurEntry>& entries, int type = 2) {
    QByteArray out = Le16(0) + Le16(type) + Le16(int(entries.size()));
    int64_t offset = 6 + 16 * int64_t(entries.size());
    for (const CurEntry& e : entries) {
        out += QByteArray(1, char(e.Width & 0xFF)) + char(e.Height & 0xFF) + '\0' + '\0' +
               Le16(e.HotSpot.x()) + Le16(e.HotSpot.y()) + Le32(e.Payload.size()) + Le32(offset);
        offset += e.Payload.size();
    }
    for (const CurEntry& e : entries)
        out += e.Payload;
    return out;
}

QImage Filled(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// A 32 x 32 opaque cursor of one colour: the frames of the animations below.
QByteArray SolidCur(QRgb c, QPoint hot = QPoint(1, 2)) {
    return CurFile({{32, 32, hot, BmpPayload(Filled(32, 32, c), 24, [](int, int) { return false; })}});
}

QByteArray Chunk(const char* id, const QByteArray& data) {
    return QByteArray(id, 4) + Le32(data.size()) + data;
}

QByteArray Dwords(std::initializer_list<int64_t> values) {
    QByteArray out;
    for (int64_t v : values)
        out += Le32(v);
    return out;
}

QByteArray Anih(int64_t frames, int64_t steps, int64_t rate) {
    return Chunk("anih", Dwords({36, frames, steps, 32, 32, 0, 0, rate, 1}));
}

QByteArray Fram(const std::vector<QByteArray>& icons) {
    QByteArray list("fram");
    for (const QByteArray& icon : icons)
        list += Chunk("icon", icon);
    return Chunk("LIST", list);
}

QByteArray Riff(const QByteArray& body) {
    return "RIFF" + Le32(4 + body.size()) + "ACON" + body;
}

constexpr QRgb kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

QByteArray ThreeFrames() {
    return Fram({SolidCur(kRed), SolidCur(kGreen), SolidCur(kBlue)});
}

class CursorFiles : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir Dir;
};

QRgb PixelOf(const QLabel& label) {
    return label.pixmap().toImage().convertToFormat(QImage::Format_ARGB32).pixel(5, 5);
}

// ---- Static cursors ----

// A monochrome cursor: black and white pixels where the mask is clear, an inverting band where it is
// set with white colour, and the screen everywhere else.
TEST_F(CursorFiles, MonochromeCursorKeepsMasksAndHotSpot) {
    QImage colours = Filled(32, 32, 0xFF000000u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if ((x >= 8 && x < 16) || (y >= 20 && y < 24)) colours.setPixel(x, y, 0xFFFFFFFFu);
    const PixelTest screen = [](int x, int y) { return x >= 16 || y >= 20; };
    const QString path = Write("mono.cur", CurFile({{32, 32, QPoint(5, 7), BmpPayload(colours, 1, screen)}}));

    const auto entry = TCursorEntry::FromFile(path);
    ASSERT_TRUE(entry);
    const TCursorFrame& f = entry->Frame(0);
    EXPECT_EQ(f.HotSpot, QPoint(5, 7));
    EXPECT_EQ(f.Image.size(), QSize(32, 32));
    EXPECT_EQ(f.Image.pixel(2, 2), 0xFF000000u);  // black
    EXPECT_EQ(f.Image.pixel(10, 2), 0xFFFFFFFFu); // white
    EXPECT_EQ(qAlpha(f.Image.pixel(20, 2)), 0);   // screen
    ASSERT_FALSE(f.Invert.isNull());
    EXPECT_EQ(f.Invert.pixel(20, 21) & RGB_MASK, 0xFFFFFFu); // inverts
    EXPECT_EQ(f.Invert.pixel(20, 2) & RGB_MASK, 0u);

    TCursorImage picture;
    picture.LoadFromFile(path);
    ASSERT_TRUE(picture.HasCursor());
    EXPECT_EQ(picture.Width(), 32);
    EXPECT_EQ(picture.Height(), 32);
    const QImage bitmap = picture.ToImage();
    EXPECT_EQ(bitmap.size(), QSize(32, 32));
    EXPECT_EQ(bitmap.pixel(2, 2), 0xFF000000u);
    EXPECT_EQ(bitmap.pixel(20, 2), 0xFFFFFFFFu);  // white under the screen part
    EXPECT_EQ(bitmap.pixel(20, 21), 0xFF000000u); // white inverted

    // Transparent, it is drawn with its mask: the screen stays, inverted where the cursor inverts.
    QImage screenImage(40, 40, QImage::Format_RGB32);
    screenImage.fill(0xFF336699u);
    picture.SetTransparent(true);
    picture.DrawOn(screenImage, 4, 4);
    EXPECT_EQ(screenImage.pixel(4 + 20, 4 + 2), 0xFF336699u);
    EXPECT_EQ(screenImage.pixel(4 + 20, 4 + 21), 0xFFCC9966u);
    EXPECT_EQ(screenImage.pixel(4 + 10, 4 + 2), 0xFFFFFFFFu);
    EXPECT_EQ(screenImage.pixel(0, 0), 0xFF336699u);
    // Opaque, the bitmap covers its square; the clip region limits both.
    picture.SetTransparent(false);
    picture.DrawOn(screenImage, 4, 4, QRegion(0, 0, 30, 40));
    EXPECT_EQ(screenImage.pixel(4 + 20, 4 + 2), 0xFFFFFFFFu);
    EXPECT_EQ(screenImage.pixel(4 + 30, 4 + 2), 0xFF336699u);
}

TEST_F(CursorFiles, EveryBitDepthDecodesTheSamePicture) {
    QImage colours = Filled(32, 32, 0xFF000000u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            colours.setPixel(x, y, x < 10 ? 0xFF000000u : x < 20 ? 0xFFFFFFFFu : 0xFF808000u);
    const PixelTest screen = [](int x, int y) { return y >= 28; };
    for (int bpp : {1, 4, 8, 24, 32}) {
        QImage img = colours;
        if (bpp == 1) // two colours only
            for (int y = 0; y < 32; ++y)
                for (int x = 20; x < 32; ++x)
                    img.setPixel(x, y, 0xFFFFFFFFu);
        if (bpp == 32) // alpha all zero: an old-style picture whose mask decides
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    img.setPixel(x, y, img.pixel(x, y) & RGB_MASK);
        const auto frame = DecodeCursorData(CurFile({{32, 32, QPoint(3, 4), BmpPayload(img, bpp, screen)}}));
        ASSERT_TRUE(frame) << bpp;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb expected = y >= 28 ? 0u : (img.pixel(x, y) | 0xFF000000u);
                ASSERT_EQ(frame->Image.pixel(x, y), expected) << bpp << " at " << x << "," << y;
            }
        EXPECT_EQ(frame->HotSpot, QPoint(3, 4));
    }
}

TEST_F(CursorFiles, AlphaCursorBlendsAndIgnoresItsMask) {
    QImage img = Filled(32, 32, 0x00000000u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            img.setPixel(x, y, 0xFFFF0000u);
    img.setPixel(20, 20, qRgba(0, 0, 255, 128));
    const QString path = Write(
        "alpha.cur", CurFile({{32, 32, QPoint(31, 0), BmpPayload(img, 32, [](int, int) { return false; })}}));
    TCursorImage picture;
    picture.LoadFromFile(path);
    ASSERT_TRUE(picture.HasCursor());
    EXPECT_EQ(picture.Frame().HotSpot, QPoint(31, 0));
    EXPECT_TRUE(picture.Frame().Invert.isNull());
    EXPECT_EQ(picture.Frame().Image.pixel(20, 20), qRgba(0, 0, 255, 128));
    EXPECT_EQ(qAlpha(picture.Frame().Image.pixel(25, 25)), 0); // the mask said opaque; alpha wins
    const QImage bitmap = picture.ToImage();
    EXPECT_EQ(bitmap.pixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(bitmap.pixel(20, 20), qRgb(127, 127, 255)); // half blue over white
    EXPECT_EQ(bitmap.pixel(25, 25), 0xFFFFFFFFu);
}

TEST_F(CursorFiles, PngPayloadAndSizeChoice) {
    QImage png = Filled(32, 32, 0x00000000u);
    png.setPixel(0, 0, 0xFF00FF00u);
    png.setPixel(31, 31, qRgba(255, 0, 0, 200));
    // A 16 x 16 entry first: the one nearest the default size is taken.
    QImage small = Filled(16, 16, 0xFF0000FFu);
    const QByteArray file = CurFile(
        {{16, 16, QPoint(1, 1), hostile::PngOf(small)}, {32, 32, QPoint(9, 11), hostile::PngOf(png)}});
    const auto frame = DecodeCursorData(file);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->HotSpot, QPoint(9, 11));
    EXPECT_EQ(frame->Image.pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(frame->Image.pixel(31, 31), qRgba(255, 0, 0, 200));
    EXPECT_EQ(qAlpha(frame->Image.pixel(5, 5)), 0);

    // A lone 16 x 16 cursor is drawn at 32 x 32, its hot spot scaled with it.
    QImage quarter = Filled(16, 16, 0xFFFFFFFFu);
    quarter.setPixel(3, 4, 0xFF000000u);
    const auto scaled = DecodeCursorData(
        CurFile({{16, 16, QPoint(3, 4), BmpPayload(quarter, 4, [](int, int) { return false; })}}));
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->Image.size(), QSize(32, 32));
    EXPECT_EQ(scaled->HotSpot, QPoint(6, 8));
    EXPECT_EQ(scaled->Image.pixel(7, 9), 0xFF000000u);
    EXPECT_EQ(scaled->Image.pixel(8, 9), 0xFFFFFFFFu);
}

// A damaged ancillary chunk is a warning to libpng: the picture still decodes, and nothing is printed
// on the program's console.
TEST_F(CursorFiles, APngPayloadWithADamagedTextChunkDecodesWithoutAWord) {
    QByteArray png = hostile::PngOf(Filled(32, 32, 0xFF00FF00u));
    const qsizetype afterHeader = 8 + 8 + 13 + 4; // signature, IHDR's length and type, its data, CRC
    png.insert(afterHeader, QByteArray("\0\0\0\5tEXtk\0abc\xDE\xAD\xBE\xEF", 4 + 4 + 5 + 4));
    static QStringList printed;
    printed.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { printed << text; });
    const auto frame = DecodeCursorData(CurFile({{32, 32, QPoint(2, 3), png}}));
    qInstallMessageHandler(previous);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Image.pixel(16, 16), 0xFF00FF00u);
    EXPECT_TRUE(printed.isEmpty()) << printed.join('\n').toStdString();
}

TEST_F(CursorFiles, BrokenCursorFilesGiveABlankPicture) {
    const QByteArray good = BmpPayload(Filled(32, 32, 0xFF000000u), 8, [](int, int) { return false; });
    QByteArray hugeWidth = good;
    hugeWidth.replace(4, 4, Le32(100000));
    QByteArray negativeHeight = good;
    negativeHeight.replace(8, 4, Le32(-64));
    QByteArray hugePalette = good;
    hugePalette.replace(32, 4, Le32(0x7FFFFFFF));
    QByteArray compressed = good;
    compressed.replace(16, 4, Le32(1));
    QByteArray entryPastEnd = CurFile({{32, 32, QPoint(), good}});
    entryPastEnd.replace(6 + 12, 4, Le32(0xFFFFFF00)); // payload offset
    QByteArray sizePastEnd = CurFile({{32, 32, QPoint(), good}});
    sizePastEnd.replace(6 + 8, 4, Le32(0x7FFFFFFF));
    QByteArray manyEntries = CurFile({{32, 32, QPoint(), good}});
    manyEntries.replace(4, 2, Le16(0xFFFF)); // the directory runs past the end

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"directory cut short", QByteArray("\0\0\2\0", 4)},
        {"reserved word set", QByteArray("\1\0\2\0\1\0", 6) + CurFile({{32, 32, QPoint(), good}}).mid(6)},
        {"no entries", CurFile({})},
        {"payload cut short", CurFile({{32, 32, QPoint(), good.left(good.size() - 200)}})},
        {"mask missing", CurFile({{32, 32, QPoint(), good.left(good.size() - 128)}})},
        {"huge width", CurFile({{32, 32, QPoint(), hugeWidth}})},
        {"negative height", CurFile({{32, 32, QPoint(), negativeHeight}})},
        {"huge palette", CurFile({{32, 32, QPoint(), hugePalette}})},
        {"compressed", CurFile({{32, 32, QPoint(), compressed}})},
        {"offset past end", entryPastEnd},
        {"size past end", sizePastEnd},
        {"directory past end", manyEntries},
        {"broken png", CurFile({{32, 32, QPoint(), hostile::PngOf(Filled(32, 32, 0xFF000000u)).left(40)}})},
        {"png too large", CurFile({{0, 0, QPoint(), hostile::PngOf(Filled(300, 300, 0xFF000000u))}})},
        {"animated garbage", Riff("junk")},
    };
    for (const auto& [name, bytes] : cases) {
        const QString path = Write("bad.cur", bytes);
        EXPECT_FALSE(DecodeCursorData(bytes)) << name;
        EXPECT_FALSE(TCursorEntry::FromFile(path)) << name;
        TCursorImage picture;
        picture.LoadFromFile(path);
        EXPECT_FALSE(picture.HasCursor()) << name;
        EXPECT_EQ(picture.ToImage().size(), QSize(32, 32)) << name;
        EXPECT_EQ(picture.ToImage().pixel(16, 16), 0xFFFFFFFFu) << name;
    }
    TCursorImage missing;
    missing.LoadFromFile(Dir.filePath("none.cur"));
    EXPECT_FALSE(missing.HasCursor());
}

TEST_F(CursorFiles, PaletteIndexPastAShortPaletteReadsBlack) {
    QImage img = Filled(32, 32, 0xFFFFFFFFu);
    img.setPixel(0, 0, 0xFF0000FFu);
    QByteArray payload = BmpPayload(img, 8, [](int, int) { return false; });
    payload.replace(32, 4, Le32(2)); // two colours in use, yet 256 in the table: index 0 and 1 only
    QByteArray trimmed = payload.left(40 + 2 * 4) + payload.mid(40 + 256 * 4);
    // Pixel values are 0 (blue) and 1 (white); make one of them point past the palette.
    const int xorStart = 40 + 2 * 4;
    trimmed[xorStart] = char(200); // bottom row, first pixel
    const auto frame = DecodeCursorData(CurFile({{32, 32, QPoint(), trimmed}}));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Image.pixel(0, 31), 0xFF000000u);
    EXPECT_EQ(frame->Image.pixel(0, 0), 0xFF0000FFu);
}

// ---- Animated cursors ----

TEST_F(CursorFiles, AnimationFollowsRatesAndSequence) {
    const QString path = Write("three.ani", Riff(Anih(3, 3, 10) + Chunk("rate", Dwords({6, 12, 30, 99, 99})) +
                                                 Chunk("seq ", Dwords({2, 0, 1})) + ThreeFrames()));
    TAniCursor ani;
    ani.LoadFromFile(path);
    EXPECT_EQ(ani.FileName(), path);
    EXPECT_EQ(ani.StepCount(), 3);
    EXPECT_EQ(ani.DefaultRate(), 10);
    EXPECT_EQ(ani.Rates(), (std::vector<int32_t>{6, 12, 30})); // extra rates ignored
    EXPECT_EQ(ani.Seq(), (std::vector<int32_t>{2, 0, 1}));
    ASSERT_EQ(ani.Frames().size(), 3u);
    EXPECT_EQ(ani.Frames()[0].size(), QSize(32, 32));
    EXPECT_EQ(ani.Frames()[0].pixel(5, 5), kBlue);
    EXPECT_EQ(ani.Frames()[1].pixel(5, 5), kRed);
    EXPECT_EQ(ani.Frames()[2].pixel(5, 5), kGreen);
    EXPECT_EQ(ani.Interval(), 100);
    EXPECT_FALSE(ani.Animating()); // not until it has an image

    // Each step's picture stays for that step's own rate.
    QLabel label;
    ani.SetImage(&label);
    const std::vector<std::pair<QRgb, int>> expected = {
        {kBlue, 100}, {kRed, 200}, {kGreen, 500}, {kBlue, 100}, {kRed, 200}};
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i > 0) ani.Tick();
        EXPECT_EQ(PixelOf(label), expected[i].first) << i;
        EXPECT_EQ(ani.Interval(), expected[i].second) << i;
        EXPECT_TRUE(ani.Animating());
    }
    ani.Stop();
    EXPECT_FALSE(ani.Animating());
    ani.SetImage(&label); // goes on where it stopped
    EXPECT_EQ(PixelOf(label), kGreen);
}

TEST_F(CursorFiles, TimerDrivesTheAnimation) {
    const QString path = Write("fast.ani", Riff(Anih(3, 3, 1) + ThreeFrames()));
    TAniCursor ani;
    ani.LoadFromFile(path);
    QLabel label;
    ani.SetImage(&label);
    const QDeadlineTimer deadline(10000);
    while (ani.CurrentStep() != 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ani.CurrentStep(), 0); // went through steps 1 and 2 and came round
}

TEST_F(CursorFiles, DefaultsJunkChunksAndPadBytes) {
    // No rate or seq: every step at the header's rate, in order. An INFO list comes first, with an odd
    // size and its pad byte; another odd chunk is followed at once by the next one.
    const QByteArray info = Chunk("LIST", QByteArray("INFO") + Chunk("INAM", "abc")) + '\0';
    const QByteArray odd = Chunk("junk", "xyz");
    const QByteArray nested =
        Chunk("LIST", QByteArray("fram") + Chunk("LIST", "deep" + Chunk("icon", "bad")) +
                          Chunk("icon", SolidCur(kRed)) + Chunk("icon", SolidCur(kGreen)));
    const QString path = Write("plain.ani", Riff(info + Anih(2, 2, 12) + odd + nested));
    TAniCursor ani;
    ani.LoadFromFile(path);
    EXPECT_EQ(ani.Rates(), (std::vector<int32_t>{12, 12}));
    EXPECT_EQ(ani.Seq(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(ani.Frames()[0].pixel(5, 5), kRed);
    EXPECT_EQ(ani.Interval(), 200);

    // A rate of 0 rests the animation on its step.
    TAniCursor resting;
    resting.LoadFromFile(
        Write("rest.ani", Riff(Anih(3, 3, 6) + Chunk("rate", Dwords({6, 0, 6})) + ThreeFrames())));
    QLabel label;
    resting.SetImage(&label);
    EXPECT_TRUE(resting.Animating());
    resting.Tick();
    EXPECT_EQ(PixelOf(label), kGreen);
    EXPECT_FALSE(resting.Animating());
}

TEST_F(CursorFiles, EmptyNameAndStaticCursorLoadNothing) {
    TAniCursor ani;
    ani.LoadFromFile(QString());
    QLabel label;
    ani.SetImage(&label);
    EXPECT_FALSE(ani.Animating());
    ani.Tick(); // nothing to show
    EXPECT_TRUE(label.pixmap().isNull());

    try {
        ani.LoadFromFile(Write("static.cur", SolidCur(kRed)));
        FAIL() << "a static cursor loaded as animated";
    } catch (const EInvalidAni& e) {
        EXPECT_EQ(e.message(), "Invalid ani file");
    }
    EXPECT_THROW(ani.LoadFromFile(Dir.filePath("missing.ani")), EFOpenError);
}

// A small cursor file costs its own size, not a buffer of the largest file accepted; a file larger
// than that reads as nothing, whatever is reserved for it.
TEST_F(CursorFiles, ReadingACursorFileHoldsNoMoreThanItsSize) {
    const QByteArray cursor = SolidCur(kRed);
    const QByteArray read = ReadCursorFileBytes(Write("small.cur", cursor));
    EXPECT_EQ(read, cursor);
    EXPECT_LT(read.capacity(), 2 * cursor.size() + 4096);

    const QString large = Write("large.ani", QByteArray());
    ASSERT_TRUE(QFile::resize(large, kMaxCursorFileBytes + 1));
    EXPECT_TRUE(ReadCursorFileBytes(large).isEmpty());
}

TEST_F(CursorFiles, HostileAnimatedCursorsAreInvalid) {
    const QByteArray frames = ThreeFrames();
    const QByteArray head = Anih(3, 3, 6);
    QByteArray truncatedAnih = Chunk("anih", Dwords({36, 3, 3, 32, 32, 0, 0, 6, 1}));
    truncatedAnih.chop(10);
    QByteArray listOverflow = Fram({SolidCur(kRed)});
    listOverflow.replace(4, 4, Le32(0x7FFFFFFF));
    const QByteArray innerOverflow =
        Chunk("LIST", QByteArray("fram") + QByteArray("icon") + Le32(0x7FFFFFF0) + SolidCur(kRed));
    const QByteArray innerNegative =
        Chunk("LIST", QByteArray("fram") + QByteArray("LIST") + Le32(-12) + "xxxx");

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"shorter than 8 bytes", QByteArray("RIFF")},
        {"not RIFF", QByteArray("RIFX") + Le32(4) + "ACON" + head + frames},
        {"not ACON", QByteArray("RIFF") + Le32(4) + "AVI " + head + frames},
        {"form type cut short", QByteArray("RIFF") + Le32(4) + "AC"},
        {"chunk header cut short", Riff(head + frames + "rate" + Le16(4))},
        {"negative chunk size", Riff(head + frames + QByteArray("junk") + Le32(-16) + "0123456789abcdef")},
        {"chunk size past the end", Riff(head + frames + QByteArray("junk") + Le32(1000) + "short")},
        {"huge LIST size", Riff(head + listOverflow)},
        {"icon size past its list", Riff(head + innerOverflow)},
        {"negative size inside a list", Riff(head + innerNegative + frames)},
        {"header data cut short", Riff(truncatedAnih)},
        {"no header", Riff(frames)},
        {"header below 36 bytes only", Riff(Chunk("anih", Dwords({20, 3, 3, 32, 32})) + frames)},
        {"step count 0", Riff(Anih(3, 0, 6) + frames)},
        {"step count negative", Riff(Anih(3, -5, 6) + frames)},
        {"step count huge", Riff(Anih(3, 0x7FFFFFFF, 6) + frames)},
        {"step count past the limit",
         Riff(Anih(3, kMaxAniSteps + 1, 6) + Chunk("seq ", QByteArray()) + frames)},
        {"more steps than frames", Riff(Anih(3, 4, 6) + frames)},
        {"no frames", Riff(head)},
        {"rate shorter than steps", Riff(head + Chunk("rate", Dwords({6, 6})) + frames)},
        {"seq shorter than steps", Riff(head + Chunk("seq ", Dwords({0, 1})) + frames)},
        {"seq longer than steps", Riff(head + Chunk("seq ", Dwords({0, 1, 2, 0})) + frames)},
        {"seq past the frames", Riff(head + Chunk("seq ", Dwords({0, 1, 3})) + frames)},
        {"seq negative", Riff(head + Chunk("seq ", Dwords({0, -1, 2})) + frames)},
        {"rate negative", Riff(head + Chunk("rate", Dwords({6, -6, 6})) + frames)},
        {"rate overflowing the interval", Riff(head + Chunk("rate", Dwords({6, 0x7FFFFFFF, 6})) + frames)},
        {"default rate negative", Riff(Anih(3, 3, -1) + frames)},
        {"rate before the header only", Riff(Chunk("rate", Dwords({6, 6, 6})) + frames)},
        {"icon that is no cursor", Riff(head + Fram({SolidCur(kRed), "garbage", SolidCur(kBlue)}))},
        {"icon cut short", Riff(head + Fram({SolidCur(kRed), SolidCur(kGreen).left(100), SolidCur(kBlue)}))},
        {"static cursor", SolidCur(kRed)},
    };
    // A long run of empty chunks must end in bounded time too.
    QByteArray manyChunks;
    for (int i = 0; i < 200000; ++i)
        manyChunks += Chunk("junk", QByteArray());
    std::vector<std::pair<const char*, QByteArray>> all = cases;
    all.push_back({"many empty chunks and no frames", Riff(head + manyChunks)});

    for (const auto& [name, bytes] : all) {
        const QString path = Write("hostile.ani", bytes);
        TAniCursor ani;
        ani.LoadFromFile(Write("good.ani", Riff(head + frames))); // a failed load also drops an earlier one
        ASSERT_EQ(ani.Frames().size(), 3u);
        try {
            ani.LoadFromFile(path);
            ADD_FAILURE() << name << " loaded";
        } catch (const EInvalidAni& e) {
            EXPECT_EQ(e.message(), "Invalid ani file") << name;
        }
        EXPECT_TRUE(ani.FileName().isEmpty()) << name;
        EXPECT_TRUE(ani.Frames().empty()) << name;
        EXPECT_EQ(ani.StepCount(), 0) << name;
        QLabel label;
        ani.SetImage(&label);
        EXPECT_FALSE(ani.Animating()) << name;
        EXPECT_TRUE(label.pixmap().isNull()) << name;
        // As a pointer, only a static cursor is anything at all.
        if (bytes.startsWith("RIFF")) {
            EXPECT_FALSE(TCursorEntry::FromFile(path)) << name;
        }
    }
}

TEST_F(CursorFiles, AnimatedCursorAsPictureShowsItsFirstStep) {
    const QString path =
        Write("pic.ani", Riff(Anih(3, 3, 6) + Chunk("seq ", Dwords({1, 2, 0})) + ThreeFrames()));
    TCursorImage picture;
    picture.LoadFromFile(path);
    ASSERT_TRUE(picture.HasCursor());
    EXPECT_EQ(picture.ToImage().pixel(5, 5), kGreen);
}

// ---- Built-in pointers and the cursor table ----

TEST(BuiltInCursors, LayerPointersAreArrowsWithTheirDigit) {
    const QRect digitArea(17, 15, 15, 17);
    std::vector<QImage> pictures;
    for (int layer = 1; layer <= 5; ++layer) {
        const auto entry = LoadCursorResource(QStringLiteral("CURSOR%1").arg(layer));
        ASSERT_TRUE(entry) << layer;
        const TCursorFrame& f = entry->Frame(0);
        EXPECT_EQ(f.Image.size(), QSize(32, 32));
        EXPECT_EQ(f.HotSpot, QPoint(0, 0));
        EXPECT_EQ(f.Image.pixel(0, 0), 0xFF000000u); // the tip, in the outline
        int yellow = 0, olive = 0, digitInk = 0, outsideBoth = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb p = f.Image.pixel(x, y);
                const bool inDigit = digitArea.contains(x, y);
                if (!inDigit && p == 0xFFFFFF00u) ++yellow;
                if (!inDigit && p == 0xFF808000u) ++olive;
                if (inDigit && qAlpha(p) != 0) ++digitInk;
                if (!inDigit && (x > 12 || y > 20) && qAlpha(p) != 0) ++outsideBoth;
            }
        EXPECT_GT(yellow, olive) << layer;
        EXPECT_GT(olive, 0) << layer;
        EXPECT_GT(digitInk, 20) << layer;
        EXPECT_EQ(outsideBoth, 0) << layer;
        pictures.push_back(f.Image);
    }
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b) {
            EXPECT_EQ(pictures[a].copy(0, 0, 17, 32), pictures[b].copy(0, 0, 17, 32));
            EXPECT_NE(pictures[a].copy(digitArea), pictures[b].copy(digitArea)) << a + 1 << " and " << b + 1;
        }
    EXPECT_TRUE(LoadCursorResource("cursor2"));
    EXPECT_FALSE(LoadCursorResource("CURSOR6"));
    EXPECT_FALSE(LoadCursorResource("CURSOR0"));
}

TEST_F(CursorFiles, TableEntriesDefaultsAndOwnership) {
    TCursorTable table;
    EXPECT_FALSE(table.Holds(3));
    EXPECT_EQ(table.Cursor(3).shape(), Qt::ArrowCursor);
    EXPECT_EQ(table.Cursor(crHandPoint).shape(), Qt::PointingHandCursor);
    EXPECT_EQ(table.Preview(3), DefaultArrowFrame().Preview());
    EXPECT_EQ(table.Preview(3).size(), QSize(32, 32));

    EXPECT_TRUE(table.LoadFromResource(3, "CURSOR3"));
    EXPECT_EQ(table.Preview(3), LayerPointerFrame(3).Preview());
    EXPECT_EQ(table.Cursor(3).shape(), Qt::BitmapCursor);

    const QString cur = Write("p.cur", SolidCur(kRed, QPoint(7, 9)));
    EXPECT_TRUE(table.LoadFromFile(3, cur));
    EXPECT_EQ(table.Cursor(3).hotSpot(), QPoint(7, 9));
    EXPECT_EQ(table.Cursor(3).pixmap().toImage().pixel(4, 4), kRed);
    EXPECT_EQ(table.Preview(3).pixel(4, 4), kRed);

    // A file that cannot be loaded empties the entry: the arrow again.
    EXPECT_FALSE(table.LoadFromFile(3, Write("bad.cur", "nonsense")));
    EXPECT_FALSE(table.Holds(3));
    EXPECT_EQ(table.Cursor(3).shape(), Qt::ArrowCursor);
    EXPECT_FALSE(table.LoadFromFile(3, Dir.filePath("missing.cur")));

    TCursorTable& screen = TCursorTable::Screen();
    EXPECT_EQ(&screen, &TCursorTable::Screen());
    EXPECT_FALSE(screen.Holds(42));
}

TEST_F(CursorFiles, WidgetsFollowTheirEntryAndItsAnimation) {
    TCursorTable table;
    const QString ani = Write("p.ani", Riff(Anih(3, 3, 6) + Chunk("rate", Dwords({6, 12, 30})) +
                                            Chunk("seq ", Dwords({2, 0, 1})) + ThreeFrames()));
    ASSERT_TRUE(table.LoadFromFile(1, ani));
    ASSERT_TRUE(table.Entry(1)->Animated());
    EXPECT_FALSE(table.Animating(1)); // nobody shows it yet
    ASSERT_TRUE(table.LoadFromResource(2, "CURSOR2"));

    auto widget = std::make_unique<QWidget>();
    auto pixelOf = [&] { return widget->cursor().pixmap().toImage().pixel(5, 5); };
    table.Show(widget.get(), 1);
    EXPECT_EQ(table.ShownIndex(widget.get()), 1);
    EXPECT_EQ(pixelOf(), kBlue);
    EXPECT_EQ(widget->cursor().hotSpot(), QPoint(1, 2));
    EXPECT_TRUE(table.Animating(1));
    const std::vector<std::pair<QRgb, int>> schedule = {
        {kBlue, 100}, {kRed, 200}, {kGreen, 500}, {kBlue, 100}};
    for (size_t i = 0; i < schedule.size(); ++i) {
        if (i > 0) table.Tick(1);
        EXPECT_EQ(pixelOf(), schedule[i].first) << i;
        EXPECT_EQ(table.AnimationInterval(1), schedule[i].second) << i;
    }

    // Showing another entry stops the animation; replacing that entry updates the widget.
    table.Show(widget.get(), 2);
    EXPECT_FALSE(table.Animating(1));
    EXPECT_EQ(widget->cursor().pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
              LayerPointerFrame(2).Preview());
    ASSERT_TRUE(table.LoadFromFile(2, Write("q.cur", SolidCur(kGreen))));
    EXPECT_EQ(pixelOf(), kGreen);
    table.Remove(2);
    EXPECT_EQ(widget->cursor().shape(), Qt::ArrowCursor);

    // A destroyed widget no longer keeps the animation going.
    table.Show(widget.get(), 1);
    EXPECT_TRUE(table.Animating(1));
    widget.reset();
    EXPECT_FALSE(table.Animating(1));

    // Nor does one the table was told to forget.
    QWidget other;
    table.Show(&other, 1);
    EXPECT_TRUE(table.Animating(1));
    table.Forget(&other);
    EXPECT_FALSE(table.Animating(1));
}

} // namespace
