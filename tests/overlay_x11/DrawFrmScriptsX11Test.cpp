// The annotations as clipboard text and script files, on a real X server: the clipboard shared with
// other programs, and a drawing that comes back pixel for pixel from its script.
#include "DrawFrmX11Fixture.h"

#include "model/AnnotationScript.h"
#include "model/AnnotationText.h"
#include "model/DrawSteps.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>

namespace {

class DrawFrmScriptsX11 : public DrawFrmOnPatternX11 {
protected:
    QString Script() const {
        QStringList lines;
        WriteScript(*Form, lines);
        return JoinAnnotationTextAsString(lines);
    }
    // Hands the text to xclip, which keeps serving it as the clipboard's owner after it returns.
    static bool PutOnClipboard(const QByteArray& text) {
        QProcess xclip;
        xclip.setStandardOutputFile(QProcess::nullDevice());
        xclip.setStandardErrorFile(QProcess::nullDevice());
        xclip.start(QStringLiteral("xclip"), {"-i", "-selection", "clipboard"});
        if (!xclip.waitForStarted()) return false;
        xclip.write(text);
        xclip.closeWriteChannel();
        return xclip.waitForFinished(10000) && xclip.exitCode() == 0;
    }
};

} // namespace

TEST_F(DrawFrmScriptsX11, CopiedAnnotationsReachOtherProgramsAsTheScriptText) {
    Input("mousemove 200 300 mousedown 1 mousemove 260 320 mousemove 300 400 mouseup 1", 1);
    Input("key 2 key r mousemove 500 500 mousedown 1 mousemove 600 560 mouseup 1", 2);
    ASSERT_FALSE(QGuiApplication::clipboard()->ownsClipboard());
    ASSERT_TRUE(Xdotool("key ctrl+c"));
    ASSERT_TRUE(WaitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }));
    const QByteArray got = ClipboardData(QStringLiteral("UTF8_STRING"));
    EXPECT_EQ(got, Script().toUtf8());
    EXPECT_TRUE(got.startsWith("[Layers]\r\nVisible=-1,-1,-1,-1,-1\r\nCurrent=2\r\n[MoveList]\r\n"))
        << got.toStdString();
    EXPECT_TRUE(got.contains("[EllipseRect]\r\n"));
}

TEST_F(DrawFrmScriptsX11, TextAnotherProgramPutOnTheClipboardPastesAsSteps) {
    ASSERT_TRUE(PutOnClipboard("[Layers]\nCurrent=3\n"
                               "[LineStep]\nStart=100,700\nLayer=3\nMode=4\nMove=900,700,5,clRed\n"
                               "[EllipseRect]\nStart=300,100\nLayer=1\nMode=4\nEnd=500,250,3,clBlue\n"
                               "Type=0,-1,0\n"));
    ASSERT_TRUE(WaitFor([] { return !QGuiApplication::clipboard()->ownsClipboard(); }));
    Input("key ctrl+v", 2);
    EXPECT_EQ(Form->GetCurrLayer(), 3);
    EXPECT_NE(dynamic_cast<TLineStep*>(Form->Layers().PaintList()[0]), nullptr);
    EXPECT_FALSE(Form->GetModified());
    const QImage screen = ScreenShot();
    EXPECT_EQ(Mismatches(screen, Form->AnnotatedScreenImage()), 0);
    EXPECT_EQ(FromQColor(QColor(screen.pixel(500, 700))), clRed);
    EXPECT_EQ(FromQColor(QColor(screen.pixel(400, 175))), clBlue);
}

TEST_F(DrawFrmScriptsX11, ADrawingSavedAsAScriptPaintsTheSamePixelsWhenLoadedAgain) {
    const QString file = Dir.path() + "/drawing.tva";
    Form->Seams.RunScriptSaveDialog = [&](const QString&, const QString&, const QString&, const QString&) {
        return file;
    };
    Form->Seams.RunScriptOpenDialog = [&](const QString&, const QString&, const QString&, const QString&) {
        return file;
    };
    Input("mousemove 200 300 mousedown 1 mousemove 260 320 mousemove 300 400 mouseup 1", 1);
    Input("key 2 key ctrl+h key e mousemove 500 500 mousedown 1 mousemove 700 620 mouseup 1", 2);
    Input("key ctrl+h key 3 key t mousemove 800 200 click 1", 3);
    ASSERT_TRUE(Xdotool("type --delay 20 Annotated"));
    ASSERT_TRUE(WaitFor([this] { return Form->Edit1->text() == QStringLiteral("Annotated"); }));
    ASSERT_TRUE(Xdotool("key Return"));
    ASSERT_TRUE(WaitFor([this] { return !Form->TextEntryOpen(); }));
    Input("key l mousemove 100 900 mousedown 1 mousemove 1500 950 mouseup 1", 4);
    const QImage drawn = ScreenShot();
    ASSERT_EQ(Mismatches(drawn, Form->AnnotatedScreenImage()), 0);
    ASSERT_GT(Mismatches(drawn, Desktop), 0);

    ASSERT_TRUE(Xdotool("key ctrl+alt+s"));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 0; }));
    Answer = mrYes; // the close question: the drawing is not saved as a picture
    ASSERT_TRUE(Xdotool("key Escape"));
    ASSERT_TRUE(WaitFor([this] { return !Form->isVisible(); }));

    ShowForm();
    EXPECT_EQ(Mismatches(ScreenShot(), Desktop), 0) << "a new showing starts without steps";
    Input("key ctrl+alt+l", 4);
    EXPECT_EQ(Mismatches(ScreenShot(), drawn), 0);
}
