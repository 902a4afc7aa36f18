// Opening and closing an AVI file, and the question about unsaved edits on the way.
#include "FrmMain.h"

#include "PageGeometry.h"
#include "PaintBox.h"
#include "avi/AviReader.h"
#include "cursors/CursorTable.h"
#include "platform/MessageDlg.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>

namespace {

const QString WindowCaption = QStringLiteral("Tavelin 3 AVI Editor");

} // namespace

bool TFrmMain::AskSaveChanges() {
    if (!Modified) return true;
    const int answer =
        MessageDlg(QStringLiteral("AVI file was modified. Save?"), mtConfirmation, mbYesNoCancel, this);
    // A failed save has told the user why; it acts as Cancel, so the edits are not lost.
    if (answer == mrYes) return SaveAvi(FileName);
    return answer == mrNo;
}

void TFrmMain::ReopenPrevious() {
    AviFile->Close();
    if (!FileName.isEmpty()) AviFile->Open(FileName);
}

void TFrmMain::FileOpen1Execute() {
    if (OpenDialog.Execute(this)) FileOpen1Accept();
}

void TFrmMain::FileOpen1Accept() {
    EndTextEntry();
    // Saving the edits first starts the window afresh on the saved file, which names it in the dialog.
    const QString newFile = OpenDialog.FileName;
    if (!AskSaveChanges()) {
        OpenDialog.FileName = FileName;
        return;
    }
    try {
        AviFile->Close();
        AviFile->Open(newFile);
    } catch (...) {
        MessageDlg(QStringLiteral("Error opening AVI file"), mtWarning, mbOK, this);
        OpenDialog.FileName = FileName;
        ReopenPrevious();
        return;
    }
    const uint32_t count = AviFile->FrameCount();
    if (count > static_cast<uint32_t>(TEditList::MaxPositions)) {
        MessageDlg(QStringLiteral("This editor allows opening avi files with a maximum of 32767 frames\r\n"
                                  "This file has %1frames, closing the file")
                       .arg(count),
                   mtError, mbOK, this);
        OpenDialog.FileName = FileName;
        ReopenPrevious();
        return;
    }
    const int n = static_cast<int>(count);
    FileName = newFile;
    OpenDialog.FileName = newFile;
    ForgetDecodedFrames();
    ReportedSteps.clear();
    Edit.Reset(n);
    // A file of no frames is open, but has no position to show, draw on or copy.
    UpDown4->SetMin(n > 0 ? 1 : 0);
    UpDown4->SetMax(n);
    SetZoomIndex(PageGeometry::ZoomIndex100);
    ZoomPercent = 100;
    Label2->setText(QString::number(n));
    LoadPage(0);
    SetFrameNumber(n > 0 ? 1 : 0);

    TShortCutDispatcher::SetPopupMenu(PaintBox1, n > 0 ? PopupMenu3 : nullptr);
    TShortCutDispatcher::SetPopupMenu(PaintBox2, n > 0 ? PopupMenu1 : nullptr);
    ViewBrushStyle = TBrushStyle::bsClear;
    ViewCanvasPen.Width = DrawWidth;
    ViewFont = TextFont;
    TCursorTable::Screen().Show(PaintBox2, 1);
    // Freehand is chosen as the user chooses it, so that the tool buttons show it.
    if (Tool != 0) DrawToolExecute(Action(QStringLiteral("FreeHand")));
    Tool = 0;

    Modified = false;
    SetFileActionsEnabled(n > 0);
    setWindowTitle(WindowCaption + QStringLiteral(" - ") + QFileInfo(newFile).fileName());
    PaintBox1->update();
    PaintBox2->update();
}

void TFrmMain::Close1Click() {
    EndTextEntry();
    if (!AskSaveChanges()) return;
    AviFile->Close();
    OpenDialog.FileName.clear();
    FileName.clear();
    Edit.Clear();
    ForgetDecodedFrames();
    ReportedSteps.clear();
    UpDown4->SetMin(0);
    UpDown4->SetMax(0);
    SetFrameNumber(0);
    SetZoomIndex(PageGeometry::ZoomIndex100);
    Label2->setText(QStringLiteral("0"));
    ZoomPercent = 100;
    TShortCutDispatcher::SetPopupMenu(PaintBox1, nullptr);
    TShortCutDispatcher::SetPopupMenu(PaintBox2, nullptr);
    PaintBox2->setFixedSize(qMax(0, Panel3->width() - 10), qMax(0, Panel3->height() - 10));
    TCursorTable::Screen().Show(PaintBox2, crDefault);
    Modified = false;
    SetFileActionsEnabled(false);
    setWindowTitle(WindowCaption);
    PaintBox1->update();
    PaintBox2->update();
}

bool TFrmMain::FormCloseQuery() {
    EndTextEntry();
    return AskSaveChanges();
}

void TFrmMain::SetFileActionsEnabled(bool enabled) {
    // Save As, Duplicate frame and Remove frames follow the open state; they join the window with
    // the save road and the frame edits.
    for (const char* name : {"FileSaveAs1", "Duplicateframe1", "Removeframes1"})
        if (QAction* action = findChild<QAction*>(QString::fromLatin1(name))) action->setEnabled(enabled);
}
