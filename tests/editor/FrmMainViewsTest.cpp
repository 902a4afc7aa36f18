#include "FrmMainFixture.h"

#include "model/DrawSteps.h"
#include "platform/WinMath.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {

std::unique_ptr<TLineStep> RedLine(int x1, int y1, int x2, int y2, int width) {
    auto line = std::make_unique<TLineStep>();
    line->StartX = x1;
    line->StartY = y1;
    line->EndPoint = {x2, y2, width, clRed};
    line->Mode = pmCopy;
    return line;
}

bool IsRed(QRgb pixel) {
    return pixel == qRgb(0xFF, 0, 0);
}

} // namespace

TEST_F(FrmMainFixture, APageStartsWhereAskedPulledBackNearTheEnd) {
    auto form = OpenForm(Recording(30));
    form->LoadPage(25);
    EXPECT_EQ(form->GetPageFirst(), 18);
    EXPECT_EQ(form->Edits().CurFrame, 18);
    EXPECT_EQ(form->GetPageSlot(), 0);
    for (int cell = 0; cell < 12; ++cell)
        EXPECT_TRUE(ShowsPosition(form->PageBitmap(cell).pixel(3, 3), 18 + cell)) << cell;
    form->LoadPage(-3);
    EXPECT_EQ(form->GetPageFirst(), 0);

    auto small = OpenForm(Recording(5));
    small->LoadPage(3);
    EXPECT_EQ(small->GetPageFirst(), 0);
}

TEST_F(FrmMainFixture, TheThumbnailPageShowsCellsCaptionsAndTheRedFrame) {
    auto form = OpenForm(Recording(5)); // 640 x 480 frames: 120 x 75 thumbnails
    form->show();
    form->GoToFrame(4);
    const QImage page = form->PaintBox1->grab().toImage();
    // Cell 1: picture at (137, 15), 120 x 75.
    EXPECT_TRUE(ShowsPosition(page.pixel(137, 15), 1));
    EXPECT_TRUE(ShowsPosition(page.pixel(137 + 119, 15 + 74), 1));
    EXPECT_FALSE(ShowsPosition(page.pixel(137 + 60, 15 + 76), 1)) << "the picture is 75 high";
    // Each cell in the button highlight colour with a sunken edge: the shadow above and left, the
    // highlight below and right.
    EXPECT_EQ(QColor(page.pixel(60, 0)), ToQColor(clBtnShadow));
    EXPECT_EQ(QColor(page.pixel(0, 60)), ToQColor(clBtnShadow));
    EXPECT_EQ(QColor(page.pixel(60, 109)), ToQColor(clBtnHighlight));
    EXPECT_EQ(QColor(page.pixel(129, 60)), ToQColor(clBtnHighlight));
    EXPECT_EQ(QColor(page.pixel(3, 60)), ToQColor(clBtnHighlight));
    // The red frame is on cell 4 only.
    EXPECT_TRUE(IsRed(page.pixel(132 + 60, 110 + 2)));
    EXPECT_FALSE(IsRed(page.pixel(0 + 60, 0 + 2)));
    // Positions that do not exist get no cell.
    EXPECT_FALSE(ShowsPosition(page.pixel(264 + 60, 110 + 40), 5));
    EXPECT_EQ(page.pixel(264 + 60, 110 + 40), page.pixel(264 + 60, 330 + 40));
}

// A thumbnail 100 high starts 15 down its 110-pixel cell, so its last five rows lie over the top of
// the cell below; that cell is filled around them, on a whole page and on a cell repainted alone.
TEST_F(FrmMainFixture, AThumbnailReachingIntoTheCellBelowKeepsItsLastRows) {
    const QString file = Dir.filePath("tall.avi");
    ASSERT_TRUE(WriteSolidRecording(file, QSize(120, 100), 10, 5));
    auto form = OpenForm(file);
    form->show();
    const QImage page = form->PaintBox1->grab().toImage();
    for (int x : {5, 65, 124}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(ShowsPosition(page.pixel(x, 15), 0));
        EXPECT_TRUE(ShowsPosition(page.pixel(x, 109), 0));
        for (int y = 110; y <= 114; ++y)
            EXPECT_TRUE(ShowsPosition(page.pixel(x, y), 0)) << y;
        EXPECT_FALSE(ShowsPosition(page.pixel(x, 115), 0)) << "the picture is 100 high";
        EXPECT_TRUE(ShowsPosition(page.pixel(x, 110 + 15), 3));
        EXPECT_TRUE(ShowsPosition(page.pixel(x, 110 + 114), 3));
    }
    // The red frame moves to cell 3, which is painted again by itself.
    form->GoToFrame(3);
    const QRect cell3(0, 110, 130, 110);
    QImage alone(cell3.size(), QImage::Format_RGB32);
    alone.fill(Qt::magenta);
    form->PaintBox1->render(&alone, QPoint(), QRegion(cell3));
    for (int y = 0; y <= 4; ++y)
        EXPECT_TRUE(ShowsPosition(alone.pixel(65, y), 0)) << y;
    EXPECT_TRUE(ShowsPosition(alone.pixel(65, 15), 3));
    EXPECT_TRUE(IsRed(alone.pixel(2, 60)));
}

TEST_F(FrmMainFixture, ClicksOnCellsMakeTheirPositionCurrent) {
    auto form = OpenForm(Recording(30));
    form->LoadPage(12);
    form->PaintBox1MouseDown(131, 50);
    EXPECT_EQ(form->Edits().CurFrame, 12);
    form->PaintBox1MouseDown(300, 439);
    EXPECT_EQ(form->Edits().CurFrame, 23);
    EXPECT_EQ(form->Edit4->text(), "24");
    form->PaintBox1MouseDown(300, 440);
    form->PaintBox1MouseDown(396, 10);
    EXPECT_EQ(form->Edits().CurFrame, 23);

    auto small = OpenForm(Recording(5));
    small->PaintBox1MouseDown(140, 120); // cell 4, the last position
    EXPECT_EQ(small->Edits().CurFrame, 4);
    small->PaintBox1MouseDown(270, 120); // cell 5: no position
    EXPECT_EQ(small->Edits().CurFrame, 4);
}

TEST_F(FrmMainFixture, TheFrameViewTakesEveryZoomWithItsDoneStepsAndPen) {
    auto form = OpenForm(Recording(5));
    TEditList& edits = form->Edits();
    edits.CurrentSteps().Add(RedLine(10, 20, 100, 20, 1));
    edits.CurrentSteps().Add(RedLine(10, 40, 100, 40, 1));
    edits.StepPos = 0; // the second step is undone

    struct Case {
        int Index, Percent;
        QSize View;
    } cases[] = {{0, 10, {64, 48}}, {4, 100, {640, 480}}, {10, 500, {3200, 2400}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Percent);
        form->ComboBox1->setCurrentIndex(c.Index);
        form->ComboBox1Change();
        EXPECT_EQ(form->GetZoomPercent(), c.Percent);
        EXPECT_EQ(form->PaintBox2->size(), c.View);
        EXPECT_EQ(form->ViewPen().Width, MulDiv(3, c.Percent, 100));
        const int y = 20 * c.Percent / 100, y2 = 40 * c.Percent / 100;
        const int x = 50 * c.Percent / 100;
        EXPECT_TRUE(IsRed(form->RenderView(QRect(x, y, 1, 1)).pixel(0, 0)));
        EXPECT_FALSE(IsRed(form->RenderView(QRect(x, y2, 1, 1)).pixel(0, 0))) << "undone steps are not drawn";
        EXPECT_TRUE(ShowsPosition(form->RenderView(QRect(x, y + 5, 1, 1)).pixel(0, 0), 0));
    }
    // A part of the view far into a 500 % frame is rendered on its own.
    const QImage corner = form->RenderView(QRect(3000, 2300, 200, 100));
    EXPECT_EQ(corner.size(), QSize(200, 100));
    EXPECT_TRUE(ShowsPosition(corner.pixel(199, 99), 0));
}

// The frame is stretched over the whole view, whose size is rounded from the zoom: where a side
// comes to a half pixel (66 at 25 % is 16.5, made 17) the last column and row show the frame too.
TEST_F(FrmMainFixture, TheFrameFillsTheWholeViewAtEveryZoom) {
    const QString file = Dir.filePath("odd.avi");
    ASSERT_TRUE(WriteSolidRecording(file, QSize(66, 50), 10, 1));
    auto form = OpenForm(file);
    for (int index = 0; index < 11; ++index) {
        form->ComboBox1->setCurrentIndex(index);
        form->ComboBox1Change();
        const QSize view = form->PaintBox2->size();
        SCOPED_TRACE(testing::Message()
                     << form->GetZoomPercent() << " %, " << view.width() << " x " << view.height());
        const QImage whole = form->RenderView(QRect(QPoint(0, 0), view));
        EXPECT_TRUE(ShowsPosition(whole.pixel(view.width() - 1, view.height() - 1), 0));
        EXPECT_TRUE(ShowsPosition(whole.pixel(view.width() - 1, 0), 0));
        EXPECT_TRUE(ShowsPosition(whole.pixel(0, view.height() - 1), 0));
    }
}

// A stamp deleted after placing used to raise at every repaint, bringing its error back for ever.
TEST_F(FrmMainFixture, AStepThatCannotDrawIsSkippedAndReportedOnce) {
    auto form = OpenForm(Recording(5));
    QTemporaryDir stamps;
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QString file = stamps.filePath("stamp.bmp");
    ASSERT_TRUE(picture.save(file, "BMP"));
    auto stamp = std::make_unique<TImageStep>();
    stamp->FileName = file;
    stamp->StartX = 200;
    stamp->StartY = 200;
    TEditList& edits = form->Edits();
    edits.CurrentSteps().Add(std::move(stamp));
    edits.CurrentSteps().Add(RedLine(10, 20, 100, 20, 1));
    edits.StepPos = 1;
    ASSERT_TRUE(QFile::remove(file));
    for (int paint = 0; paint < 3; ++paint) {
        EXPECT_TRUE(IsRed(form->RenderView(QRect(50, 20, 1, 1)).pixel(0, 0))) << "the other steps still show";
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(form->Edits().CurrentSteps().Count() == 0);
}

TEST_F(FrmMainFixture, HidingTheThumbnailsGivesTheViewTheWidth) {
    auto form = OpenForm(Recording(30));
    form->show();
    QAction* thumbnails = form->Action("Thumbnails");
    EXPECT_EQ(thumbnails->text(), "Hide thumbnails");
    thumbnails->trigger();
    EXPECT_EQ(thumbnails->text(), "Show thumbnails");
    EXPECT_EQ(thumbnails->toolTip(), "Show thumbnails");
    EXPECT_FALSE(form->Panel2->isVisible());
    thumbnails->trigger();
    EXPECT_EQ(thumbnails->text(), "Hide thumbnails");
    EXPECT_TRUE(form->Panel2->isVisible());
}
