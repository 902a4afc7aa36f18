// The current frame as a picture: saved to a file, copied to the clipboard, or a dragged part of the
// view saved.
#include "FrmMain.h"

#include "PaintBox.h"
#include "ScaledSteps.h"
#include "cursors/CursorTable.h"
#include "dialogs/ImageSaveDialog.h"
#include "model/DrawSteps.h"
#include "platform/ImageSave.h"
#include "platform/MessageDlg.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

void TFrmMain::CreateFrameExportActions() {
    auto action = [this](const char* name, const char* caption, const char* shortCut,
                         std::function<void()> handler) {
        QAction* a =
            NewAction(QString::fromLatin1(name), QString::fromLatin1(caption), {}, std::move(handler));
        SetActionShortCut(a, TextToShortCut(QString::fromLatin1(shortCut)));
        return a;
    };
    action("MenuItem2", "&Save frame...", "Ctrl+S", [this] { MenuItem2Click(); });
    action("Copyscreenshot1", "Copy fra&me", "Ctrl+K", [this] { Copyscreenshot1Click(); });
    action("Savepartial1", "Save partial", "Ctrl+P", [this] { Savepartial1Click(); });
}

QImage TFrmMain::FramePicture() {
    if (!FileOpen() || !Edit.HasCurrent()) return {};
    QImage picture = PageBitmaps[PageSlot].convertToFormat(QImage::Format_RGB32);
    Canvas canvas(picture);
    canvas.Brush.Style = TBrushStyle::bsClear;
    const TDrawSteps& steps = Edit.CurrentSteps();
    std::exception_ptr failure;
    for (int i = 0; i <= Edit.StepPos && i < steps.Count(); ++i) {
        // A stamp that cannot be drawn leaves the others in the picture; the export reports it once.
        try {
            DrawStepScaled(*steps.GetItem(i), canvas, 100);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) ShowException(failure, this);
    return picture;
}

void TFrmMain::MenuItem2Click() {
    EndTextEntry();
    // Without a file the page bitmaps hold nothing of the current frame.
    if (!FileOpen() || !Edit.HasCurrent()) return;
    const QString file = AnnotationSeams.RunSaveDialog ? AnnotationSeams.RunSaveDialog(SavePath)
                                                       : ImageSaveDialog::Run(this, SavePath);
    if (file.isEmpty()) return;
    SaveImage(FramePicture(), file);
}

void TFrmMain::Copyscreenshot1Click() {
    EndTextEntry();
    if (!FileOpen() || !Edit.HasCurrent()) return;
    QGuiApplication::clipboard()->setImage(FramePicture());
}

void TFrmMain::Savepartial1Click() {
    EndTextEntry();
    if (!FileOpen() || !Edit.HasCurrent() || Drawing) return;
    if (MessageDlg(QStringLiteral("Click OK to close this box then click and drag the left mouse button to "
                                  "select the area to save.\r\nClick Cancel to cancel saving"),
                   mtConfirmation, mbOKCancel, this) != mrOk)
        return;
    SavePartial = true;
    TCursorTable::Screen().Show(PaintBox2, crDefault);
}

void TFrmMain::SelectionUp() {
    const QImage bitmap = FrameTools->ReleaseSelection();
    SavePartial = false;
    TCursorTable::Screen().Show(PaintBox2, Tool + 1);
    EndFrameDrag();
    // A click, or a frame too thin to hold a pixel, selects nothing to save.
    if (bitmap.isNull()) return;
    // The dialog has closed when it returns: nothing to wait for.
    const QString file = AnnotationSeams.RunSaveDialog ? AnnotationSeams.RunSaveDialog(SavePath)
                                                       : ImageSaveDialog::Run(this, SavePath);
    if (file.isEmpty() || !ImageSaveDialog::ConfirmOverwrite(file, this)) return;
    SaveImage(bitmap, file);
}

void TFrmMain::FormKeyDown(int key) {
    if (key != VKey::Esc || !SavePartial) return;
    SavePartial = false;
    // A selection drag under way ends with the mode: its frame wiped, the pen given back.
    if (Drawing && FrameTools->Kind() == TMouseTools::TDragKind::Selection) {
        FrameTools->CancelSelection();
        EndFrameDrag();
    }
    TCursorTable::Screen().Show(PaintBox2, Tool + 1);
}

bool TFrmMain::AskSaveWithoutBrokenStamps(std::unordered_set<const TDrawStep*>& broken) {
    QImage probe(1, 1, QImage::Format_RGB32);
    Canvas canvas(probe);
    QStringList frames;
    for (int position = 0; position < Edit.Count(); ++position) {
        const TDrawSteps& steps = Edit.FrameSteps[position];
        // What the save draws: at the current position only the done steps.
        const int last = position == Edit.CurFrame ? Edit.StepPos : steps.Count() - 1;
        bool found = false;
        for (int i = 0; i <= last && i < steps.Count(); ++i) {
            const TDrawStep* step = steps.GetItem(i);
            if (!dynamic_cast<const TImageStep*>(step)) continue;
            try {
                DrawStepScaled(*step, canvas, 100);
            } catch (...) {
                broken.insert(step);
                found = true;
            }
        }
        if (found) frames.append(QString::number(position + 1));
    }
    if (frames.isEmpty()) return true;
    // A long list is cut: the first frames tell the user where to look.
    constexpr int FramesNamed = 20;
    QString list = QStringList(frames.mid(0, FramesNamed)).join(QStringLiteral(", "));
    if (frames.size() > FramesNamed) list += QStringLiteral(" and %1 more").arg(frames.size() - FramesNamed);
    return MessageDlg(QStringLiteral("Image stamps that cannot be drawn are on frames %1.\r\n"
                                     "Click OK to save without them, Cancel to stop saving.")
                          .arg(list),
                      mtWarning, mbOKCancel, this) == mrOk;
}
