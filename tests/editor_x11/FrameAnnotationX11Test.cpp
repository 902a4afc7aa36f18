// The frame view driven with xdotool on the test's own X server, as a user would draw on it.
#include "editor/FrmMain.h"
#include "editor/PageGeometry.h"
#include "editor/PaintBox.h"
#include "model/DrawSteps.h"
#include "platform/IniFile.h"
#include "platform/MessageHandlerScope.h"
#include "support/XvfbServer.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class FrameAnnotationX11 : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TMessageHandlerScope Scope{[](TMessageRequest&) { return int(mrNo); }};
    std::unique_ptr<TFrmMain> Form;

    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }
    static bool Xdotool(const QString& args) {
        return RunOnDisplay(qEnvironmentVariable("DISPLAY"), QStringLiteral("xdotool ") + args) == 0;
    }
    // The view point on the screen, for xdotool.
    QString At(int x, int y) const {
        const QPoint p = Form->PaintBox2->mapToGlobal(QPoint(x, y));
        return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
    }
    const TDrawSteps& Steps() const { return Form->Edits().CurrentSteps(); }

    void SetUp() override {
        const QString avi = Dir.path() + "/five.avi";
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
                     {"-v", "error", "-y", "-nostdin", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=10",
                      "-frames:v", "5", "-c:v", "rawvideo", "-pix_fmt", "bgr24", avi});
        ASSERT_TRUE(ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0);
        // One stamp, in slot 0.
        QImage stamp(6, 6, QImage::Format_RGB32);
        stamp.fill(Qt::blue);
        ASSERT_TRUE(stamp.save(Dir.path() + "/stamp.bmp", "BMP"));
        TIniFile(Dir.path() + "/Framory.ini")
            .WriteString("AviSettings", "Image0", Dir.path() + "/stamp.bmp;0");
        Form = std::make_unique<TFrmMain>(Dir.path() + "/Framory.ini", Dir.path() + "/", QStringList{avi});
        Form->setGeometry(0, 0, 1200, 900);
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(WaitFor([this] { return Form->isActiveWindow() && Form->PaintBox2->isVisible(); }));
    }
    void TearDown() override { Form.reset(); }
};

} // namespace

TEST_F(FrameAnnotationX11, ARectangleAtTwiceTheSizeATextAndAStampAreSavedAtTheir100PercentPlaces) {
    Form->GoToFrame(2);
    const auto& zooms = PageGeometry::ZoomTable;
    Form->ComboBox1->setCurrentIndex(
        static_cast<int>(std::find(zooms.begin(), zooms.end(), 200) - zooms.begin()));
    Form->ComboBox1Change();
    ASSERT_TRUE(WaitFor([this] { return Form->PaintBox2->width() == 640; }));
    QApplication::processEvents();

    ASSERT_TRUE(Xdotool("key ctrl+r"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetTool() == 2; }));
    ASSERT_TRUE(Xdotool("mousemove " + At(101, 51) + " mousedown 1 mousemove " + At(120, 70) + " mousemove " +
                        At(141, 91) + " mouseup 1"));
    ASSERT_TRUE(WaitFor([this] { return Steps().Count() == 1 && !Form->Drawing; }));
    auto* shape = dynamic_cast<TEllipseRect*>(Steps().GetItem(0));
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(QPoint(shape->StartX, shape->StartY), QPoint(51, 26));
    EXPECT_EQ(QPoint(shape->EndX, shape->EndY), QPoint(71, 46));

    ASSERT_TRUE(Xdotool("key ctrl+z"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetStepPos() == -1; }));
    ASSERT_TRUE(Xdotool("key shift+ctrl+z"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetStepPos() == 0; }));
    // Redo with nothing to redo does nothing, not even an undo.
    ASSERT_TRUE(Xdotool("key shift+ctrl+z"));
    QApplication::processEvents();
    EXPECT_EQ(Form->GetStepPos(), 0);

    ASSERT_TRUE(Xdotool("key ctrl+t"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetTool() == 4; }));
    ASSERT_TRUE(Xdotool("mousemove " + At(40, 200) + " click 1"));
    ASSERT_TRUE(WaitFor([this] { return Form->TextEntryOpen() && Form->Edit3->hasFocus(); }));
    ASSERT_TRUE(Xdotool("type Hello"));
    ASSERT_TRUE(WaitFor([this] { return Form->Edit3->text() == QStringLiteral("Hello"); }));
    ASSERT_TRUE(Xdotool("key Return"));
    ASSERT_TRUE(WaitFor([this] { return !Form->TextEntryOpen(); }));
    ASSERT_EQ(Steps().Count(), 2);
    auto* text = dynamic_cast<TTextStep*>(Steps().GetItem(1));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Text, QStringLiteral("Hello"));
    EXPECT_EQ(QPoint(text->StartX, text->StartY), QPoint(20, 100));

    // Shift+Ctrl+0 takes the stamp of slot 0; a click places it.
    ASSERT_TRUE(Xdotool("key shift+ctrl+0"));
    ASSERT_TRUE(WaitFor([this] { return Form->GetTool() == 5; }));
    ASSERT_TRUE(Xdotool("mousemove " + At(300, 300) + " click 1"));
    ASSERT_TRUE(WaitFor([this] { return Steps().Count() == 3 && !Form->Drawing; }));
    EXPECT_EQ(QPoint(Steps().GetItem(2)->StartX, Steps().GetItem(2)->StartY), QPoint(150, 150));

    // The frame at 100 % holds them all, at their 100 % places; the other frames hold nothing.
    const QImage picture = Form->FramePicture();
    EXPECT_EQ(picture.size(), QSize(320, 240));
    EXPECT_EQ(picture.pixel(51, 30), qRgb(0, 0, 0)) << "the rectangle's left side";
    EXPECT_EQ(picture.pixel(153, 153), qRgb(0, 0, 255)) << "the stamp";
    for (int frame : {0, 1, 3, 4}) {
        Form->GoToFrame(frame);
        EXPECT_EQ(Steps().Count(), 0) << frame;
    }

    // "Copy fra&me" (Ctrl+K) gives another program the same picture.
    Form->GoToFrame(2);
    ASSERT_TRUE(Xdotool("key ctrl+k"));
    ASSERT_TRUE(WaitFor([] { return !QGuiApplication::clipboard()->image().isNull(); }));
    QProcess xclip;
    ASSERT_TRUE(WaitFor([&] {
        xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
        if (!xclip.waitForStarted()) return false;
        // This process owns the clipboard: it goes on answering while xclip asks.
        WaitFor([&] { return xclip.state() == QProcess::NotRunning; });
        return xclip.exitCode() == 0;
    }));
    const QImage copied =
        QImage::fromData(xclip.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(copied == picture.convertToFormat(QImage::Format_RGB32));

    // Saved and opened again: frame 3 holds all three at their 100 % places, the others are as they
    // were, within what the codec keeps (5 bits a channel, in blocks).
    std::vector<QImage> before;
    for (int frame = 0; frame < 5; ++frame) {
        Form->GoToFrame(frame);
        before.push_back(Form->PageBitmap(Form->GetPageSlot()).convertToFormat(QImage::Format_RGB32));
    }
    Form->GoToFrame(2);
    Form->UpdateActions();
    Form->Action("FileSave1")->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Form->GetModified(); }));
    const QString file = Form->GetFileName();
    Form.reset();
    Form = std::make_unique<TFrmMain>(Dir.path() + "/Framory.ini", Dir.path() + "/", QStringList{file});
    ASSERT_EQ(Form->Edits().Count(), 5);
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 24 && std::abs(qGreen(a) - qGreen(b)) <= 24 &&
               std::abs(qBlue(a) - qBlue(b)) <= 24;
    };
    auto meanDifference = [](const QImage& a, const QImage& b) {
        qint64 sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                       std::abs(qBlue(p) - qBlue(q));
            }
        return sum / (a.width() * a.height() * 3);
    };
    for (int frame = 0; frame < 5; ++frame) {
        Form->GoToFrame(frame);
        const QImage saved = Form->PageBitmap(Form->GetPageSlot()).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(saved.size(), QSize(320, 240));
        if (frame != 2) {
            EXPECT_LT(meanDifference(saved, before[frame]), 12) << frame;
            continue;
        }
        EXPECT_TRUE(near(saved.pixel(51, 36), qRgb(0, 0, 0))) << "the rectangle";
        EXPECT_TRUE(near(saved.pixel(152, 152), qRgb(0, 0, 255))) << "the stamp";
        int changed = 0;
        for (int y = 100; y < 120; ++y)
            for (int x = 20; x < 60; ++x)
                if (!near(saved.pixel(x, y), before[2].pixel(x, y))) ++changed;
        EXPECT_GT(changed, 20) << "the text";
    }
}
