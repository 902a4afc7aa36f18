// Frame edits: delete, insert, duplicate and remove positions of the edit list. They change the list
// only, never the file, and mark it modified.
#include "FrmMain.h"

#include "FrameEdits.h"
#include "FrmRemove.h"
#include "PaintBox.h"
#include "ToolBarIcons.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopedValueRollback>
#include <QToolBar>

void TFrmMain::CreateFrameEditActions() {
    QAction* deleteFrame =
        NewAction(QStringLiteral("DeleteFrame"), QStringLiteral("Delete frame"),
                  QStringLiteral("Delete frame|Delete current frame"), [this] { DeleteFrameExecute(); });
    SetActionShortCut(deleteFrame, TextToShortCut(QStringLiteral("Ctrl+Del")));
    deleteFrame->setIcon(ToolBarIcons::Icon(ToolBarIcons::DeleteFrame));
    QAction* insertFrame =
        NewAction(QStringLiteral("InsertFrame"), QStringLiteral("Insert frame"),
                  QStringLiteral("Insert new duplicate of current frame"), [this] { InsertFrameExecute(); });
    SetActionShortCut(insertFrame, TextToShortCut(QStringLiteral("Ctrl+Ins")));
    insertFrame->setIcon(ToolBarIcons::Icon(ToolBarIcons::InsertFrame));
    QAction* duplicate = NewAction(QStringLiteral("Duplicateframe1"), QStringLiteral("Duplicate frame..."),
                                   {}, [this] { Duplicateframe1Click(); });
    QAction* remove = NewAction(QStringLiteral("Removeframes1"), QStringLiteral("Remove frames..."), {},
                                [this] { Removeframes1Click(); });
    duplicate->setEnabled(false);
    remove->setEnabled(false);

    // Edit menu: Insert, Delete, Duplicate, Remove; the drawing options follow them.
    const QList<QAction*> later = EditMenu->actions();
    QAction* before = later.isEmpty() ? nullptr : later.first();
    if (before && !before->isSeparator()) before = EditMenu->insertSeparator(before);
    for (QAction* item : {insertFrame, deleteFrame, duplicate, remove})
        EditMenu->insertAction(before, item);
    EditMenu->menuAction()->setVisible(true);

    // Toolbar: after Last frame, a group of Insert and Delete.
    QAction* zoomIn = Action(QStringLiteral("ZoomIn"));
    ToolBar1->insertAction(zoomIn, insertFrame);
    ToolBar1->insertAction(zoomIn, deleteFrame);
    ToolBar1->insertSeparator(zoomIn);

    PopupMenu3->addAction(deleteFrame);
    PopupMenu3->addAction(insertFrame);
}

bool TFrmMain::ReadyForFrameEdit() {
    if (!FileOpen() || !Edit.HasCurrent() || SaveInProgress || FrameEditInProgress) return false;
    // The step a drag is building belongs to the current position's list.
    if (Drawing) return false;
    EndTextEntry();
    return true;
}

void TFrmMain::FinishFrameEdit(int index) {
    // The list is whole and the file modified before anything renders it.
    Modified = true;
    UpDown4->SetMax(Edit.Count());
    Label2->setText(QString::number(Edit.Count()));
    LoadPage(PageFirst);
    GoToFrame(index);
    PaintBox1->update();
    PaintBox2->update();
}

void TFrmMain::DeleteFrameExecute() {
    if (!ReadyForFrameEdit()) return;
    // A repeated key must not enter it twice.
    const QScopedValueRollback<bool> running(FrameEditInProgress, true);
    if (!FrameEdits::DeleteFrame(Edit)) return;
    FinishFrameEdit(Edit.CurFrame);
}

void TFrmMain::InsertFrameExecute() {
    if (!ReadyForFrameEdit()) return;
    if (!FrameEdits::CopiesFit(Edit, 1)) {
        MessageDlg(QStringLiteral("Frame count exceeds 32767. Cannot insert another frame"), mtError, mbOK,
                   this);
        return;
    }
    InsertCopies(1);
}

void TFrmMain::Duplicateframe1Click() {
    if (!ReadyForFrameEdit()) return;
    QString answer = QStringLiteral("1");
    if (!Seams.InputQuery(QStringLiteral("Number of copies"), QStringLiteral("Enter number of copies"),
                          answer))
        return;
    // The list may have changed while the question was open (a Close from the keyboard cannot, but
    // the question runs an event loop): ask again.
    if (!ReadyForFrameEdit()) return;
    const std::optional<int> copies = FrameEdits::CopiesFromAnswer(Edit, answer);
    if (!copies) {
        MessageDlg(QStringLiteral("Invalid number of copies"), mtError, mbOK, this);
        return;
    }
    InsertCopies(*copies);
}

void TFrmMain::InsertCopies(int k) {
    if (!ReadyForFrameEdit()) return;
    const QScopedValueRollback<bool> running(FrameEditInProgress, true);
    if (!FrameEdits::InsertCopies(Edit, k)) return;
    FinishFrameEdit(Edit.CurFrame);
}

void TFrmMain::Removeframes1Click() {
    if (!ReadyForFrameEdit()) return;
    TFrmRemove dialog(this);
    dialog.Edit1->setText(QString::number(Edit.CurFrame + 1));
    dialog.Edit2->setText(QString::number(Edit.CurFrame + 1));
    dialog.SetFrameCount(Edit.Count());
    const int result = RunRemoveDialog ? RunRemoveDialog(dialog) : ExecModalOver(&dialog, this);
    if (result != mrOk || !ReadyForFrameEdit()) return;
    bool fromOk = false, toOk = false;
    const int from = dialog.Edit1->text().trimmed().toInt(&fromOk);
    const int to = dialog.Edit2->text().trimmed().toInt(&toOk);
    if (!fromOk || !toOk) {
        MessageDlg(QStringLiteral("Invalid start or end frame value.\r\nFrames will not be removed"), mtError,
                   mbOK, this);
        return;
    }
    const QScopedValueRollback<bool> running(FrameEditInProgress, true);
    if (!FrameEdits::RemoveFrames(Edit, from - 1, to - from + 1, Edit.CurFrame)) return;
    FinishFrameEdit(Edit.CurFrame);
}
