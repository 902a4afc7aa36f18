#include "DrawFrmFixture.h"

#include "model/DrawSteps.h"

#include <QApplication>
#include <QLineEdit>
#include <random>

namespace {

class DrawFrmRepaint : public DrawFrmFixture {
protected:
    std::unique_ptr<TDrawFrm> Form;

    void SetUp() override {
        DrawFrmFixture::SetUp();
        // A snapshot with detail, so that the highlighter and the covers show against it.
        QImage desktop(ScreenWidth(), ScreenHeight(), QImage::Format_RGB32);
        for (int y = 0; y < desktop.height(); ++y)
            for (int x = 0; x < desktop.width(); ++x)
                desktop.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x / 16 + y / 16) % 2 ? 0xE0 : 0x30));
        Form = MakeForm(desktop);
        Form->Annotate();
        QApplication::processEvents();
    }
    void Trigger(const QString& name) {
        Form->UpdateActions();
        Find(*Form, name)->trigger();
    }
    void Drag(TShiftState keys, QPoint from, QPoint to, int moves) {
        Form->FormMouseDown(mbLeft, keys | ssLeft, from.x(), from.y());
        for (int i = 1; i <= moves; ++i)
            Form->FormMouseMove(keys | ssLeft, from.x() + (to.x() - from.x()) * i / moves,
                                from.y() + (to.y() - from.y()) * i / moves);
        Form->FormMouseUp(mbLeft, keys, to.x(), to.y());
    }
};

} // namespace

// The window keeps pictures of its paint list part-way up and repaints from them. After every command
// of a random sequence (steps of every tool, with and without the highlighter, outside covers,
// texts, undo, redo, layers hidden and shown, layer shifts) what it shows equals a fresh paint of the
// snapshot and the visible layers' steps.
TEST_F(DrawFrmRepaint, KeptPicturesShowWhatAFreshPaintShows) {
    std::mt19937 rng(5);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int w = ScreenWidth(), h = ScreenHeight();
    const char* tools[] = {"FreeHand", "Line", "Rectangle", "Ellipse", "Text"};
    int steps = 0;
    for (int op = 0; op < 200; ++op) {
        const int what = pick(0, 99);
        if (what < 45) {
            Trigger(tools[pick(0, 4)]);
            const QPoint from(pick(0, w - 1), pick(0, h - 1)), to(pick(0, w - 1), pick(0, h - 1));
            const TShiftState keys = pick(0, 5) == 0   ? TShiftState(ssAlt)
                                     : pick(0, 5) == 0 ? TShiftState(ssCtrl)
                                                       : 0;
            Drag(keys, from, to, pick(1, 6));
            if (Form->TextEntryOpen()) {
                Form->Edit1->setText(QStringLiteral("text %1").arg(op));
                Form->EndTextEntry();
            }
            ++steps;
        } else if (what < 52) {
            Trigger(QStringLiteral("Highlighter"));
        } else if (what < 65) {
            Form->UndoExecute();
        } else if (what < 75) {
            Form->RedoExecute();
        } else if (what < 85) {
            Form->LayerClick(Find(*Form, QStringLiteral("Layer%11").arg(pick(1, 5))));
        } else if (what < 93) {
            Trigger(QStringLiteral("ALayer%1").arg(pick(1, 5)));
        } else {
            Trigger(QStringLiteral("LayerShifting"));
            Drag(0, QPoint(pick(0, w - 1), pick(0, h - 1)), QPoint(pick(0, w - 1), pick(0, h - 1)), 2);
        }
        // The follow-up of a finished step runs from the event loop, as it does in use.
        if (pick(0, 1)) QApplication::processEvents();
        ASSERT_TRUE(Form->Surface() == Form->AnnotatedScreenImage())
            << "after operation " << op << " with " << Form->Layers().PaintList().size() << " steps";
    }
    EXPECT_GT(steps, 50);
}
