#include "editor/FrmMain.h"
#include "editor/PageGeometry.h"
#include "editor/PaintBox.h"
#include "editor/ScaledSteps.h"
#include "model/DrawSteps.h"
#include "platform/MessageHandlerScope.h"
#include "support/TestPictureAvi.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <random>

namespace {

class FrameViewRepaint : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TMessageHandlerScope Scope{[](TMessageRequest&) { return int(mrOk); }};
    std::unique_ptr<TFrmMain> Form;

    void SetUp() override {
        const QString avi = Dir.path() + "/three.avi";
        ASSERT_TRUE(WriteTestPictureAvi(avi, 3));
        QDir().mkpath(Dir.path() + "/prog");
        Form =
            std::make_unique<TFrmMain>(Dir.path() + "/Framory.ini", Dir.path() + "/prog/", QStringList{avi});
        Form->resize(900, 700);
        Form->show();
        QApplication::processEvents();
    }
    void Zoom(int percent) {
        const auto& table = PageGeometry::ZoomTable;
        Form->ComboBox1->setCurrentIndex(
            static_cast<int>(std::find(table.begin(), table.end(), percent) - table.begin()));
        Form->ComboBox1Change();
    }
    void Trigger(const char* name) {
        Form->UpdateActions();
        QAction* action = Form->Action(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        if (action->isEnabled()) action->trigger();
    }
    // The view as a paint of the frame and every done step gives it, drawn here step by step.
    QImage Fresh(const QRect& area) {
        QImage part(area.size(), QImage::Format_RGB32);
        part.fill(Form->PaintBox2->palette().color(QPalette::Window));
        const int zoom = Form->GetZoomPercent();
        {
            QPainter p(&part);
            p.translate(-area.topLeft());
            p.scale(zoom / 100.0, zoom / 100.0);
            p.drawImage(0, 0, Form->PageBitmap(Form->GetPageSlot()));
        }
        Canvas canvas(part);
        canvas.Pen = Form->ViewPen();
        const TDrawSteps& steps = Form->Edits().CurrentSteps();
        for (int i = 0; i <= Form->GetStepPos(); ++i)
            DrawStepScaled(*steps.GetItem(i), canvas, zoom, area.topLeft());
        return part;
    }
};

} // namespace

// The frame view keeps pictures of its steps part-way up. After every command of a random sequence
// (steps of every tool, with and without the highlighter, outside covers, undo, redo, other zooms
// and other frames) it shows what a paint of the frame and every done step shows.
TEST_F(FrameViewRepaint, KeptPicturesShowWhatAFreshPaintShows) {
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* tools[] = {"FreeHand", "Line", "Rectangle", "Ellipse", "Text"};
    const QRect area(0, 0, 480, 360);
    Zoom(150);
    for (int op = 0; op < 150; ++op) {
        const int what = pick(0, 99);
        if (what < 50) {
            Trigger(tools[pick(0, 4)]);
            const TShiftState keys = pick(0, 4) == 0   ? TShiftState(ssAlt)
                                     : pick(0, 4) == 0 ? TShiftState(ssCtrl)
                                                       : 0;
            const int x = pick(0, 470), y = pick(0, 350);
            Form->PaintBox2MouseDown(mbLeft, keys | ssLeft, x, y);
            for (int i = 1; i <= 4; ++i)
                Form->PaintBox2MouseMove(keys | ssLeft, x + pick(-60, 60), y + pick(-60, 60));
            Form->PaintBox2MouseUp(mbLeft, keys, pick(0, 470), pick(0, 350));
            if (Form->TextEntryOpen()) {
                Form->Edit3->setText(QStringLiteral("frame text %1").arg(op));
                Form->EndTextEntry();
            }
        } else if (what < 58) {
            Trigger("Highlighter");
        } else if (what < 75) {
            Trigger("Undo");
        } else if (what < 90) {
            Trigger("Redo");
        } else if (what < 95) {
            Zoom(pick(0, 1) ? 150 : 100);
        } else {
            Form->GoToFrame(pick(0, 2));
        }
        ASSERT_TRUE(Form->RenderView(area) == Fresh(area)) << "after operation " << op;
    }
}
