// Writes the starting corpus of every fuzz target into the folder given, one sub-folder per target,
// from the programs' own writers and files: the fuzzers then start from inputs the programs really
// read. scripts/fuzz.sh adds pictures that the ffmpeg command writes in the kinds our encoders do not.
#include "FuzzAnnotationTarget.h"
#include "avi/SaveAvi.h"
#include "model/AnnotationScript.h"
#include "model/AnnotationText.h"
#include "model/TextForms.h"
#include "overlay/LayerModel.h"
#include "platform/BmpFormat.h"
#include "platform/Colors.h"
#include "platform/Convert.h"
#include "platform/GifFormat.h"
#include "platform/IniFile.h"
#include "platform/JpegFormat.h"
#include "platform/PngFormat.h"
#include "platform/ShortCut.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

namespace {

QString Root;

void Write(const QString& target, const QByteArray& bytes) {
    const QString folder = Root + '/' + target;
    QDir().mkpath(folder);
    const QByteArray name = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    QFile file(folder + '/' + QString::fromLatin1(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return file.readAll();
}

// Each kind of step, as the writer writes it after reading a short description.
void AnnotationSeeds(const QString& stamp) {
    const QStringList texts = {
        "[Layers]\nVisible=-1,0,-1,-1,-1\nCurrent=2",
        "[MoveList]\nStart=5,6\nLayer=2\nMode=12\nMove=1,2,3,clRed\nMove=7,8,9,$00102030",
        "[LineStep]\nStart=10,20\nLayer=1\nMode=4\nMove=50,40,3,clBlue",
        "[EllipseRect]\nStart=4,4\nLayer=3\nMode=12\nEnd=30,20,3,clYellow\nType=0,1,0",
        "[EllipseRect]\nStart=4,4\nLayer=4\nMode=4\nEnd=30,20,2,clLime\nType=1,0,-1",
        "[TextStep]\nStart=3,3\nLayer=5\nMode=4\nText=\"\"a\"; b\"\nFont=\"Arial\";12;clRed;Bold;Italic\n"
        "Transparent=-1",
        "[ImageStep]\nStart=8,8\nLayer=1\nMode=4\nImage=\"" + stamp + "\",0",
    };
    QStringList all;
    for (const QString& text : texts) {
        TFuzzAnnotationTarget target;
        ReadScript(target, text.split('\n'));
        QStringList lines;
        WriteScript(target, lines);
        Write("annotation_text", JoinAnnotationText(lines));
        all << text.split('\n');
    }
    TFuzzAnnotationTarget target;
    ReadScript(target, all);
    QStringList lines;
    WriteScript(target, lines);
    Write("annotation_text", JoinAnnotationText(lines));
}

void TextFormSeeds() {
    auto seed = [](char reader, const QString& text) { Write("text_forms", reader + text.toUtf8()); };
    for (int32_t v : {0, 1, -1, 255, 65536, INT32_MAX, INT32_MIN})
        seed(0, QString::number(v));
    for (const char* t : {"$FF", "0x7fffffff", " -12", "x10", "$FFFFFFFF"})
        seed(0, t);
    for (bool b : {false, true})
        seed(1, BoolToText(b));
    for (const char* t : {"True", "false", " 2.5e1 ", "0.0"})
        seed(1, t);
    for (TColor c : {clRed, clBlack, clWindowText, clNone, TColor(0x00102030)})
        seed(2, ColorToText(c));
    for (const char* t : {"10,20", "-5", ",7", "1,2,3"})
        seed(3, t);
    TFont font;
    seed(4, FontToText(font));
    font.Name = "Liberation Sans";
    font.Size = 14;
    font.Color = clBlue;
    font.Style = fsBold | fsItalic | fsUnderline;
    seed(4, FontToText(font));
    seed(5, "\"a;\"\"b\"; c ;;d;");
    seed(6, "1, 2 ,\"x,y\",");
}

void ShortCutSeeds() {
    const TShortCut shortCuts[] = {{'A', false, true, false},
                                   {uint8_t(VKey::F1 + 11), true, true, true},
                                   {VKey::NumPlus, false, false, true},
                                   {VKey::PgDn, true, false, false},
                                   {VKey::Semicolon, false, true, false},
                                   {'7', false, false, false}};
    for (const TShortCut& s : shortCuts)
        Write("shortcut", ShortCutToText(s).toUtf8());
    Write("shortcut", "^Shift+Ctrl+alt+Esc");
}

void IniSeeds() {
    const QString path = Root + "/settings.ini";
    QFile::remove(path);
    {
        TIniFile ini(path);
        ini.WriteString("Settings", "Image0", "QzArrowLT.cur");
        ini.WriteString("Settings", "Name", " blanks and \"quotes\" ");
        ini.WriteInteger("Settings", "Pen", 3);
        ini.WriteBool("Settings", "Visible", true);
        ini.WriteInteger("Layer 2", "Colour", int32_t(clRed));
        ini.WriteString("Layer 2", "Font", "\"Arial\";12;clRed;Bold");
    }
    const QByteArray written = ReadFile(path);
    QFile::remove(path);
    Write("ini", written);
    Write("ini", "\xEF\xBB\xBF; comment\r\n" + written + "[Settings]\r\nPen=$10\r\n");
}

QImage Sample(QImage::Format format) {
    QImage image(17, 11, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 15, y * 23, (x ^ y) * 16, 255 - x * 5));
    return image.convertToFormat(format);
}

QImage FewColours() {
    QImage image(9, 7, QImage::Format_RGB32);
    const QRgb colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colours[(x + y) % 4]);
    return image;
}

void PictureSeeds(const QString& sourceDir) {
    for (const QImage& image : {Sample(QImage::Format_RGB32), FewColours()}) {
        Write("bmp", EncodeBmp(image));
        Write("plain_bitmap", EncodeBmp(image));
        Write("png", EncodePng(image));
        Write("jpg", EncodeJpeg(image, 75));
        Write("gif", EncodeGif(image));
    }
    Write("jpg", EncodeJpeg(Sample(QImage::Format_RGB32), 5));
    Write("ico", ReadFile(sourceDir + "/data/Forbidden.ico"));

    // Animated cursors around the programs' own cursors: every chunk the reader knows.
    const QByteArray left = ReadFile(sourceDir + "/data/QzArrowLT.cur");
    const QByteArray right = ReadFile(sourceDir + "/data/QzArrowRT.cur");
    Write("cur", left);
    Write("cur", right);
    auto le32 = [](int32_t v) {
        QByteArray out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[i] = char((uint32_t(v) >> (8 * i)) & 0xFF);
        return out;
    };
    auto chunk = [&](const char* id, const QByteArray& data) {
        QByteArray out = QByteArray(id, 4) + le32(int32_t(data.size())) + data;
        if (data.size() % 2) out += '\0';
        return out;
    };
    auto dwords = [&](std::initializer_list<int32_t> values) {
        QByteArray out;
        for (int32_t v : values)
            out += le32(v);
        return out;
    };
    auto riff = [&](const QByteArray& body) {
        return "RIFF" + le32(int32_t(4 + body.size())) + "ACON" + body;
    };
    const QByteArray frames = chunk("LIST", "fram" + chunk("icon", left) + chunk("icon", right));
    Write("ani", riff(chunk("anih", dwords({36, 2, 2, 32, 32, 0, 0, 10, 1})) + frames));
    Write("ani",
          riff(chunk("anih", dwords({36, 2, 4, 32, 32, 0, 0, 6, 3})) + chunk("rate", dwords({6, 0, 12, 60})) +
               chunk("seq ", dwords({0, 1, 1, 0})) + chunk("INFO", "junk!") + frames));
}

// Files of the editor's writer, on the recorder's writing road, and the same cut short, as a crash
// leaves a recording: without its index and counts.
void AviSeeds(const QString& root) {
    const QString path = root + "/written.avi";
    {
        TSaveAvi writer;
        writer.KeyFrameEvery = 3;
        writer.Open(path, Sample(QImage::Format_RGB32).copy(0, 0, 16, 8));
        for (int i = 0; i < 7; ++i) {
            QImage frame = Sample(QImage::Format_RGB32).copy(i, 0, 16, 8);
            if (i == 4) frame = FewColours().scaled(16, 8);
            writer.AddFrame(frame);
        }
        writer.Close();
    }
    const QByteArray written = ReadFile(path);
    QFile::remove(path);
    Write("avi", written);
    Write("avi", written.left(written.size() * 2 / 3));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <seed folder> <source folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Root = QString::fromLocal8Bit(argv[1]);
    const QString sourceDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(Root);
    AnnotationSeeds(sourceDir + "/data/Forbidden.ico");
    TextFormSeeds();
    ShortCutSeeds();
    IniSeeds();
    PictureSeeds(sourceDir);
    AviSeeds(Root);
    return 0;
}
