#include "DrawFrmFixture.h"

#include "model/DrawSteps.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>

namespace {

class DrawFrmScreenshots : public DrawFrmFixture {
protected:
    std::unique_ptr<TDrawFrm> Form;
    QString Chosen;
    QStringList Dialogs;

    void SetUp() override {
        DrawFrmFixture::SetUp();
        WriteIni("[Settings]\nSavePath=/shots\n");
        QImage desktop(ScreenWidth(), ScreenHeight(), QImage::Format_RGB32);
        for (int y = 0; y < desktop.height(); ++y)
            for (int x = 0; x < desktop.width(); ++x)
                desktop.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
        Form = MakeForm(desktop);
        Form->Seams.RunSaveDialog = [this](const QString& title, const QString& filter, const QString& suffix,
                                           const QString& folder) {
            Dialogs << title + "|" + filter + "|" + suffix + "|" + folder;
            return Chosen;
        };
        Form->Annotate();
        QApplication::processEvents();
        // Something in two layers.
        Form->FormMouseDown(mbLeft, ssLeft, 10, 10);
        Form->FormMouseMove(ssLeft, 200, 100);
        Form->FormMouseUp(mbLeft, 0, 200, 100);
        Find(*Form, "ALayer2")->trigger();
        Find(*Form, "Rectangle")->trigger();
        Form->FormMouseDown(mbLeft, ssLeft, 300, 300);
        Form->FormMouseUp(mbLeft, ssCtrl, 350, 340);
    }
    static QByteArray Head(const QString& file) {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return f.read(4);
    }
};

} // namespace

TEST_F(DrawFrmScreenshots, ASavedScreenshotIsAFreshPaintInTheFormatTheExtensionNames) {
    Chosen = Dir.path() + "/shot.png";
    Find(*Form, "Save1")->trigger();
    ASSERT_EQ(Dialogs.size(), 1);
    EXPECT_EQ(Dialogs[0],
              QStringLiteral("Save current image|JPeg files (*.jpg)|*.jpg|Bitmap files (*.bmp)|*.bmp|"
                             "Png files (*.png)|*.png|Gif files (*.gif)|*.gif|jpg|/shots"));
    EXPECT_FALSE(Form->GetModified());
    const QImage saved(Chosen);
    EXPECT_EQ(saved.size(), QSize(ScreenWidth(), ScreenHeight()));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), Form->AnnotatedScreenImage());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), Form->Surface());

    struct Case {
        const char* Name;
        QByteArray Magic;
    } cases[] = {{"shot.JPG", QByteArray("\xFF\xD8\xFF", 3)},
                 {"shot.jpeg", "BM"},
                 {"shot", "BM"},
                 {"shot.gif", "GIF8"}};
    for (const Case& c : cases) {
        Chosen = Dir.path() + "/" + c.Name;
        Find(*Form, "Save1")->trigger();
        EXPECT_TRUE(Head(Chosen).startsWith(c.Magic)) << c.Name;
    }
    // JPEG keeps the picture, within its losses.
    const QImage jpeg = QImage(Dir.path() + "/shot.JPG").convertToFormat(QImage::Format_RGB32);
    const QImage truth = Form->AnnotatedScreenImage();
    ASSERT_EQ(jpeg.size(), truth.size());
    double error = 0;
    for (int y = 0; y < truth.height(); y += 7)
        for (int x = 0; x < truth.width(); x += 7)
            error += std::abs(qGreen(jpeg.pixel(x, y)) - qGreen(truth.pixel(x, y)));
    EXPECT_LT(error / ((truth.width() / 7 + 1) * (truth.height() / 7 + 1)), 8.0);
}

TEST_F(DrawFrmScreenshots, AnExistingFileIsOverwrittenOnlyOnYes) {
    Chosen = Dir.path() + "/old.png";
    QFile old(Chosen);
    old.open(QIODevice::WriteOnly);
    old.write("old");
    old.close();
    Answer = mrNo;
    Find(*Form, "Save1")->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("File already exists. Overwrite?"));
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("Confirm"));
    EXPECT_EQ(Messages[0].Buttons, mbYesNo);
    EXPECT_EQ(Head(Chosen), QByteArray("old"));
    EXPECT_TRUE(Form->GetModified());
    // Cancelling the dialog writes nothing either.
    Chosen.clear();
    Find(*Form, "Save1")->trigger();
    EXPECT_TRUE(Form->GetModified());
    Chosen = Dir.path() + "/old.png";
    Answer = mrYes;
    Find(*Form, "Save1")->trigger();
    EXPECT_TRUE(Head(Chosen).startsWith("\x89PNG"));
    EXPECT_FALSE(Form->GetModified());
}

TEST_F(DrawFrmScreenshots, AFailedSaveIsReportedAndKeepsTheChangedFlag) {
    Chosen = Dir.path() + "/no/such/folder/shot.png";
    Find(*Form, "Save1")->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_EQ(Messages[0].Parent, Form.get());
    EXPECT_TRUE(Form->GetModified());
    EXPECT_FALSE(Form->GetBusy());
}

TEST_F(DrawFrmScreenshots, HiddenLayersRubberBandsAndTheTextBoxStayOutOfTheImage) {
    const QImage both = Form->AnnotatedScreenImage();
    Find(*Form, "Layer21")->trigger();
    const QImage withoutLayer2 = Form->AnnotatedScreenImage();
    EXPECT_NE(withoutLayer2, both);
    EXPECT_EQ(PixelAt(withoutLayer2, 320, 320), PixelAt(Form->GetBackground(), 320, 320));
    Find(*Form, "Layer21")->trigger();
    // A rubber band on the screen is not in the copy.
    Find(*Form, "Line")->trigger();
    Form->FormMouseDown(mbLeft, ssLeft, 500, 500);
    Form->FormMouseMove(ssLeft, 600, 550);
    Find(*Form, "Copyscreenshot1")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), both);
    EXPECT_NE(Form->Surface(), both);
    Form->FormMouseUp(mbLeft, 0, 600, 550);
    Find(*Form, "Undo")->trigger();
    // An open text entry is ended first: its text is in the image, its box is not.
    Find(*Form, "Text")->trigger();
    Form->FormMouseDown(mbLeft, ssLeft, 400, 200);
    Form->FormMouseUp(mbLeft, 0, 400, 200);
    Form->Edit1->setText("Typed");
    Find(*Form, "Copyscreenshot1")->trigger();
    EXPECT_FALSE(Form->TextEntryOpen());
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(copied, Form->AnnotatedScreenImage());
    EXPECT_NE(copied, both);
    EXPECT_EQ(Form->GetModified(), true) << "copying changes nothing";
}

TEST_F(DrawFrmScreenshots, APartialSaveWritesTheInsideOfTheFrame) {
    Answer = mrOk;
    Find(*Form, "Savepartial1")->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              QStringLiteral("Click OK to close this box then click and drag the left mouse button "
                             "to select the area to save.\rClick Cancel to cancel save"));
    EXPECT_EQ(Messages[0].Type, mtInformation);
    // Both pending: the selection is saved, and both end.
    Find(*Form, "Copypartial1")->trigger();
    EXPECT_EQ(Messages[1].Text,
              QStringLiteral("Click OK to close this box then click and drag the left mouse button "
                             "to select the area to copy.\rClick Cancel to cancel copy"));
    Chosen = Dir.path() + "/part.bmp";
    Form->FormMouseDown(mbLeft, ssLeft, 290, 290);
    Form->FormMouseMove(ssLeft, 360, 350);
    Form->FormMouseUp(mbLeft, 0, 360, 350);
    EXPECT_FALSE(Form->GetSavePartial());
    EXPECT_FALSE(Form->GetCopyPartial());
    const QImage part(Chosen);
    EXPECT_EQ(part.size(), QSize(68, 58));
    EXPECT_EQ(part.convertToFormat(QImage::Format_RGB32),
              Form->AnnotatedScreenImage().copy(291, 291, 68, 58));
    EXPECT_TRUE(Form->GetModified()) << "a partial save is no screenshot save";
    // Cancel in the information box leaves no selection pending.
    Answer = mrCancel;
    Find(*Form, "Copypartial1")->trigger();
    EXPECT_FALSE(Form->GetCopyPartial());
}
