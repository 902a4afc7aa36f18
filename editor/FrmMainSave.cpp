// The save road: the edit list written to a new file, annotations drawn in, put in place of the
// target only when it is complete, and the editor started afresh on it.
#include "FrmMain.h"

#include "PaintBox.h"
#include "SaveEditList.h"
#include "ScaledSteps.h"
#include "ToolBarIcons.h"
#include "avi/AviReader.h"
#include "model/DrawSteps.h"
#include "platform/MessageDlg.h"
#include "platform/UpDownEdit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolBar>

namespace {

const QString WindowCaption = QStringLiteral("Tavelin 3 AVI Editor");
// The progress bar's size in the bottom panel.
constexpr int ProgressWidth = 300;
constexpr int ProgressHeight = 12;

// While a save runs it lets the application process its events after each frame, so the window
// paints; everything else that reaches the window then (clicks, keys, shortcuts, pop-up menus, the
// playback timer, a close) would act on an edit list and a reader that the save is using. This filter
// holds all of it back for the save's whole length. Other windows (a message box) stay usable.
class TSaveBlocker : public QObject {
public:
    TSaveBlocker(QWidget* window, QObject* timer) : Window(window), Timer(timer) {
        qApp->installEventFilter(this);
    }
    ~TSaveBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Timer) return event->type() == QEvent::Timer;
        if (!OfWindow(watched)) return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::TabletPress:
        case QEvent::TouchBegin:
            return true;
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }

private:
    bool OfWindow(QObject* watched) const {
        if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() == Window;
        // Actions and shortcuts of the window.
        for (QObject* o = watched; o; o = o->parent())
            if (o == Window) return true;
        return false;
    }

    QWidget* Window;
    QObject* Timer;
};

} // namespace

void TFrmMain::CreateSaveAndEditActions() {
    QAction* save =
        NewAction(QStringLiteral("FileSave1"), QStringLiteral("Save"),
                  QStringLiteral("Save file|Save the current AVI file"), [this] { FileSave1Execute(); });
    save->setIcon(ToolBarIcons::Icon(ToolBarIcons::Save));
    QAction* saveAs = NewAction(QStringLiteral("FileSaveAs1"), QStringLiteral("Save &As..."),
                                QStringLiteral("Save As|Saves the active file with a new name"),
                                [this] { FileSaveAs1Execute(); });
    saveAs->setEnabled(false);
    SaveAsDialog.Title = QStringLiteral("Save file as...");
    SaveAsDialog.Filter = QStringLiteral("Avi files (*.avi);;All files (*.*)");
    SaveAsDialog.DefaultExt = QStringLiteral("AVI");

    // File menu: Open, Close, Save, Save As, separator, Exit.
    QAction* exitItem = Action(QStringLiteral("FileExit1"));
    QAction* beforeExit = nullptr;
    for (QAction* item : FileMenu->actions())
        if (item->isSeparator()) beforeExit = item;
    FileMenu->insertAction(beforeExit ? beforeExit : exitItem, save);
    FileMenu->insertAction(beforeExit ? beforeExit : exitItem, saveAs);
    // Toolbar: Open, Save, then the rest.
    QAction* firstSeparator = nullptr;
    for (QAction* item : ToolBar1->actions())
        if (item->isSeparator()) {
            firstSeparator = item;
            break;
        }
    ToolBar1->insertAction(firstSeparator, save);

    CreateFrameEditActions();

    for (QAction* action : ToolBar1->actions())
        if (QWidget* button = ToolBar1->widgetForAction(action); button && !action->isSeparator())
            button->setFixedSize(32, 30);

    // The bar and its caption are placed by hand, centred in the bottom panel.
    if (QLayout* layout = Panel1->layout()) {
        layout->removeWidget(Label4);
        layout->removeWidget(ProgressBar1);
    }
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->resize(ProgressWidth, ProgressHeight);
}

void TFrmMain::UpdateSaveAndEditActions() {
    const int n = Edit.EditFrameCount;
    auto enable = [this](const char* name, bool on) {
        if (QAction* action = Action(QString::fromLatin1(name))) action->setEnabled(on);
    };
    enable("FileSave1", FileOpen() && Modified && n > 0);
    enable("FileSaveAs1", FileOpen() && n > 0);
    enable("DeleteFrame", n > 1);
    enable("InsertFrame", n > 0 && Edit.CurFrame < n - 1);
    enable("Duplicateframe1", FileOpen() && n > 0);
    enable("Removeframes1", FileOpen() && n > 0);
}

void TFrmMain::FileSave1Execute() {
    SaveAvi(FileName);
}

void TFrmMain::FileSaveAs1Execute() {
    if (!FileOpen() || SaveInProgress) return;
    SaveAsDialog.FileName = FileName;
    if (SaveAsDialog.Execute(this)) FileSaveAs1Accept();
}

void TFrmMain::FileSaveAs1Accept() {
    const QString path = SaveAsDialog.FileName;
    if (QFileInfo::exists(path) &&
        MessageDlg(QStringLiteral("File aready exists. Overwrite?"), mtConfirmation, mbYesNo, this) == mrNo)
        return;
    SaveAvi(path);
}

void TFrmMain::ShowSaveProgress(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label16, Edit4, UpDown4, Label1, Label2, Label3, ComboBox1})
        w->setVisible(!on);
    if (on) {
        const QRect area = Panel1->contentsRect();
        ProgressBar1->move((area.width() - ProgressBar1->width()) / 2,
                           (area.height() - ProgressBar1->height()) / 2);
        Label4->adjustSize();
        Label4->move(ProgressBar1->x(), ProgressBar1->y() - Label4->height() - 2);
        ProgressBar1->setValue(0);
        Label4->raise();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    Label4->setVisible(on);
    ProgressBar1->setVisible(on);
}

bool TFrmMain::SaveAvi(const QString& path) {
    if (SaveInProgress || !FileOpen() || path.isEmpty()) return false;
    EndTextEntry();
    // The step a drag is building belongs to the list the save would rebuild.
    if (Drawing) return false;

    // A stamp whose picture is gone would fail every save: the user is told where, and may save
    // without those stamps.
    std::unordered_set<const TDrawStep*> broken;
    if (!AskSaveWithoutBrokenStamps(broken)) return false;

    const QScopedValueRollback<bool> saving(SaveInProgress, true);
    TSaveOutcome outcome;
    {
        const TSaveBlocker blocker(this, Timer1);
        ShowSaveProgress(true);
        struct TPanelRestore {
            TFrmMain* Window;
            ~TPanelRestore() { Window->ShowSaveProgress(false); }
        } restore{this};

        TSaveRequest request;
        request.Target = path;
        request.FrameMap = Edit.FrameMap;
        request.ReadFrame = [this](int frame) { return AviFile->GetFrame(frame); };
        request.SourceChange = [this, &path] { return SourceChangeText(path); };
        request.RateNumerator = AviFile->RateNumerator();
        request.RateDenominator = AviFile->RateDenominator();
        const int current = Edit.CurFrame, currentLast = Edit.StepPos;
        request.DrawSteps = [this, current, currentLast, &broken](QImage& frame, int position) {
            const TDrawSteps& steps = Edit.FrameSteps[position];
            // At the current position the undone steps are not part of the picture.
            const int last = position == current ? currentLast : steps.Count() - 1;
            if (last < 0) return;
            Canvas canvas(frame);
            canvas.Brush.Style = TBrushStyle::bsClear;
            for (int i = 0; i <= last && i < steps.Count(); ++i)
                if (!broken.count(steps.GetItem(i))) DrawStepScaled(*steps.GetItem(i), canvas, 100);
        };
        request.Progress = [this](int percent) {
            ProgressBar1->setValue(percent);
            // Painting only: the blocker holds back everything else.
            QCoreApplication::processEvents();
        };
        outcome = SaveEditList(request);
    }

    if (outcome.End != TSaveEnd::Saved) {
        MessageDlg(outcome.Message, mtError, mbOK, this);
        return false;
    }
    StartAfreshOn(path);
    return true;
}

QString TFrmMain::SourceChangeText(const QString& target) const {
    switch (AviFile->SourceState()) {
    case TAviSourceState::Unchanged:
        return {};
    case TAviSourceState::Changed:
        return QString("%1 has been changed by another program since it was opened.").arg(FileName);
    case TAviSourceState::Replaced:
        // The frames still read as they were opened; only the file now in the name's place, which the
        // user has not seen, must not be written over without a word.
        if (QFileInfo(target).absoluteFilePath() != QFileInfo(FileName).absoluteFilePath()) return {};
        return QString("%1 has been replaced by another file since it was opened.\r\n"
                       "Save As can keep the edits under another name.")
            .arg(FileName);
    }
    return {};
}

void TFrmMain::StartAfreshOn(const QString& path) {
    ForgetDecodedFrames();
    try {
        AviFile->Close();
        if (Seams.OpenSaved)
            Seams.OpenSaved(*AviFile, path);
        else
            AviFile->Open(path);
    } catch (...) {
        // As a failed open: the message, then no file. The saved file is in place all the same.
        MessageDlg(QStringLiteral("Error opening AVI file"), mtWarning, mbOK, this);
        Modified = false;
        FileName = path;
        OpenDialog.FileName = path;
        Close1Click();
        return;
    }
    const int n = static_cast<int>(qMin<uint32_t>(AviFile->FrameCount(), TEditList::MaxPositions));
    const int remembered = Edit.CurFrame;
    // One empty list per position of the new file.
    Edit.Reset(n);
    ReportedSteps.clear();
    UpDown4->SetMin(n > 0 ? 1 : 0);
    UpDown4->SetMax(n);
    Label2->setText(QString::number(n));
    FileName = path;
    OpenDialog.FileName = path;
    LoadPage(PageFirst);
    GoToFrame(remembered < n ? remembered : n - 1);
    Modified = false;
    setWindowTitle(WindowCaption + QStringLiteral(" - ") + QFileInfo(path).fileName());
    PaintBox1->update();
    PaintBox2->update();
}
