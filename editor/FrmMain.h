#pragma once

#include "EditList.h"
#include "dialogs/FileOpenDialog.h"
#include "dialogs/FileSaveDialog.h"
#include "platform/Canvas.h"
#include "platform/ColorDialog.h"
#include "platform/Colors.h"
#include "platform/Font.h"
#include "tools/MouseTools.h"
#include "tools/ShiftState.h"
#include "tools/TextEntry.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_set>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolBar;
class TAVIFile;
class TDrawStep;
class TFontDialog;
class TFrameToolHost;
class TOptionsDlg;
class TPaintBox;
class TTextStep;
class TUpDown;
class TWidthDlg;

// Framory's main window: the edit list of one AVI file shown as a page of twelve thumbnails and as
// one frame at a chosen zoom with its annotations, and the commands that open, close, move through and
// play the list.
//
// The file is never changed while the user edits: the window keeps an edit list over its frames
// (TEditList) and decodes frames a page at a time into PageBitmaps, from which both views paint.
// Every move between positions goes through GoToFrame.
//
// Its handlers are spread over files by theme: FrmMainCore.cpp (creation, destruction, settings,
// components, help), FrmMainOpenClose.cpp (open, close and the save question), FrmMainPages.cpp (the
// page load, the thumbnails and the frame view) and FrmMainNavigation.cpp (moves, zoom and playback).
// The save road (FrmMainSave.cpp), the frame edits and the annotation tools join the same class.
class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int HelpContextId = 3100;
    static constexpr int PageSize = 12;

    // The window on the program's settings file, opening the first argument of the program's command
    // line when it names a file.
    explicit TFrmMain(QWidget* parent = nullptr);
    // The same on a settings file, a program folder and arguments of the caller's choosing.
    TFrmMain(const QString& settingsFile, const QString& programFolder, const QStringList& arguments,
             QWidget* parent = nullptr);
    ~TFrmMain() override;

    // --- Test seams: each defaults to the real thing ---
    struct TSeams {
        // A text question: caption, prompt and the value shown in; the answer out; true on OK.
        std::function<bool(const QString& caption, const QString& prompt, QString& value)> InputQuery;
        // Opens the reader on the file a save has just put in place; raises as the reader's Open does.
        std::function<void(TAVIFile& reader, const QString& path)> OpenSaved;
    };
    TSeams Seams;

    // The dialog of the open command; its file name is the open file's, empty while none is open.
    TFileOpenDialog OpenDialog;
    // The manual that "&Contents" opens.
    QString HelpFile;

    // --- State, as the handlers keep it ---
    const TEditList& Edits() const { return Edit; }
    // The edit list for the commands that change it (frame edits, drawing).
    TEditList& Edits() { return Edit; }
    bool FileOpen() const { return !OpenDialog.FileName.isEmpty(); }
    const QString& GetFileName() const { return FileName; }
    int GetPageFirst() const { return PageFirst; }
    int GetPageSlot() const { return PageSlot; }
    int GetZoomPercent() const { return ZoomPercent; }
    bool GetModified() const { return Modified; }
    TColor GetDrawColor() const { return DrawColor; }
    int GetDrawWidth() const { return DrawWidth; }
    const TFont& GetTextFont() const { return TextFont; }
    const QString& GetSavePath() const { return SavePath; }
    int GetTool() const { return Tool; }
    bool Playing() const { return TimerEnabled; }
    const QImage& PageBitmap(int cell) const { return PageBitmaps[cell]; }
    // The frame view's pen: its width follows the zoom, its colour the drawing colour.
    const TPen& ViewPen() const { return ViewCanvasPen; }
    // The frame view's picture of a rectangle of the view (view pixels at the zoom): the frame and
    // the done steps, exactly what the view paints there.
    QImage RenderView(const QRect& area);
    // The action of that name, or nullptr.
    QAction* Action(const QString& name) const;

    // --- Components ---
    QToolBar* ToolBar1;
    QWidget* Panel1;
    QWidget* Panel2;
    QWidget* Panel3;
    QSplitter* Splitter1;
    QScrollArea* ScrollBox1;
    QScrollArea* ScrollBox2;
    TPaintBox* PaintBox1;
    TPaintBox* PaintBox2;
    QLabel* Label16;
    QLineEdit* Edit4;
    TUpDown* UpDown4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QLabel* Label4;
    QProgressBar* ProgressBar1;
    QTimer* Timer1;
    // The pop-up menus of the thumbnails and of the frame view, attached while a file is open.
    QMenu* PopupMenu3;
    QMenu* PopupMenu1;
    QMenu* FileMenu;
    QMenu* EditMenu;
    QMenu* ViewMenu;
    QMenu* HelpMenu;

    // --- Handlers: open and close ---
    // Opens the file named by OpenDialog.FileName, the previous one passing through the save
    // question first.
    void FileOpen1Accept();
    void FileOpen1Execute();
    void Close1Click();
    // The save question as the window is about to close: false keeps it open.
    bool FormCloseQuery();
    void Contents1Click();
    void About1Click();

    // --- Handlers: pages and the frame view ---
    void LoadPage(int first);
    void HighlightThumb(int cell, bool on);
    void PaintBox1MouseDown(int x, int y);
    // Renders the frame view at the zoom box's zoom.
    void ComboBox1Change();
    void ThumbnailsExecute();

    // --- Handlers: navigation, zoom and playback ---
    void GoToFrame(int index);
    void Edit4Change();
    void UpDown4ChangingEx(int newValue);
    void SelectFrameExecute();
    void FirstFrameExecute();
    void PrevPageExecute();
    void PreviousFrameExecute();
    void NextFrameExecute();
    void NextPageExecute();
    void LastFrameExecute();
    void ZoomInExecute();
    void ZoomOutExecute();
    void PlayExecute();
    void StopPlayExecute();
    void Timer1Timer();
    // The update handlers of every action.
    void UpdateActions();

    // --- What the annotation tools, settings and save road build on ---
    // Ends a text entry in progress.
    void EndTextEntry();
    // Writes the edit list, annotations drawn in, to path and starts afresh on it there. False when
    // the file was not saved (the user has been told why): the caller then acts as on Cancel.
    bool SaveAvi(const QString& path);
    // Drops the frames decoded ahead of the page: their indices belong to the file open now, so
    // whatever opens another file (the save road's reopening too) calls this first.
    void ForgetDecodedFrames() { AheadFrames.clear(); }
    void SetDrawColor(TColor color);
    // Rebuilds the stamp items from the settings file.
    void LoadStamps();
    // A mouse drag is building this step of the current position: nothing may move the current
    // position until it ends. Set at the press, cleared at the release.
    bool Drawing = false;
    TDrawStep* DrawingStep = nullptr;

    // --- Save road and frame edits (FrmMainSave.cpp, FrmMainFrameEdits.cpp) ---
    // The dialog of Save As.
    TFileSaveDialog SaveAsDialog;
    void FileSave1Execute();
    void FileSaveAs1Execute();
    // After the save-as dialog: the overwrite question, then the save.
    void FileSaveAs1Accept();
    // True from the start of a save to its end: only painting runs meanwhile.
    bool Saving() const { return SaveInProgress; }
    void DeleteFrameExecute();
    void InsertFrameExecute();
    void Duplicateframe1Click();
    void InsertCopies(int k);
    void Removeframes1Click();
    // Runs the remove-frames dialog once it is set up; returns its modal result. Tests answer it.
    std::function<int(class TFrmRemove&)> RunRemoveDialog;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void FormDestroy();
    void CreateComponents();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanels();
    void ShowPopupMenuOf(QWidget* control);
    QAction* NewAction(const QString& name, const QString& caption, const QString& hint,
                       std::function<void()> handler);
    // Runs a handler so that no error leaves it: an error reaches the user in a message box, and
    // Busy is reset.
    void RunCommand(const std::function<void()>& command);
    void ReadSettings();
    void WriteSettings();

    // Open and close.
    // Asks "AVI file was modified. Save?" when there are edits: false for Cancel; Yes saves first.
    bool AskSaveChanges();
    // Opens the reader again on the file open before a refused one, or leaves it closed.
    void ReopenPrevious();
    void ResetViewControls();
    void SetFileActionsEnabled(bool enabled);

    // Views.
    void PaintBox1Paint(QPaintEvent* event);
    void PaintBox2Paint(QPaintEvent* event);
    void PaintSteps(Canvas& canvas, const QPoint& origin);
    void ReportStepFailure(std::exception_ptr error);
    QRect ThumbCellRect(int cell) const;
    // During playback, one frame of the page that comes next is decoded after each step, so that the
    // page change finds its frames ready instead of decoding twelve within one frame time.
    void DecodeAhead();
    void SetZoomIndex(int index);
    void SetFrameNumber(int number);

    // --- Fields ---
    QString SettingsFile;
    QString ProgramDir;

    TEditList Edit;
    int PageFirst = 0;
    int ThumbWidth = 120;
    int ThumbHeight = 100;
    std::array<QImage, PageSize> PageBitmaps;
    // Frames of the file decoded ahead of the next page, by frame index (-1: a free buffer).
    struct TAheadFrame {
        int32_t Frame = -1;
        QImage Bitmap;
    };
    std::vector<TAheadFrame> AheadFrames;
    std::unique_ptr<TAVIFile> AviFile;
    int PageSlot = 0;
    bool Modified = false;
    TColor DrawColor = clBlack;
    int DrawWidth = 3;
    // Drawing tool, 0 freehand to 5 image stamp.
    int Tool = 0;
    bool Busy = false;
    TFont TextFont;
    int ZoomPercent = 100;
    QString FileName;
    bool SyncingFrameEdit = false;
    QString SavePath;
    TPen ViewCanvasPen;
    TBrushStyle ViewBrushStyle = TBrushStyle::bsSolid;
    TFont ViewFont;

    // Playback: the timer runs only with an interval above 0 (a zero one would spin), but the
    // window plays all the same, as it shows Stop.
    bool TimerEnabled = false;
    // Ticks counted from the start of playback, so that a late tick shows the position due now.
    QElapsedTimer PlayClock;
    qint64 PlayTicks = 0;
    bool Destroying = false;

    // --- Save road and frame edits ---
    void CreateSaveAndEditActions();
    void CreateFrameEditActions();
    void UpdateSaveAndEditActions();
    void ShowSaveProgress(bool on);
    // What stands in the way of saving over target because the open file changed, or empty.
    QString SourceChangeText(const QString& target) const;
    // The reader opened on a saved file, the edit list afresh over it, the same position current.
    void StartAfreshOn(const QString& path);
    // Whether a frame edit may run now: a file with positions, no drag, no save; ends a text entry.
    bool ReadyForFrameEdit();
    // The page reloaded at the same first position, index current, the counts shown, Modified.
    void FinishFrameEdit(int index);
    bool SaveInProgress = false;
    bool FrameEditInProgress = false;

    // Steps whose failure to draw has been reported: a step is reported once, not at every repaint.
    std::unordered_set<const TDrawStep*> ReportedSteps;

    // --- Frame annotations: the shared mouse tools on the frame view (FrmMainMouse.cpp), their
    // settings and undo (FrmMainAnnotationSettings.cpp) and the frame export (FrmMainExport.cpp) ---
public:
    struct TAnnotationSeams {
        std::function<bool(TColorDialog&, QWidget*)> RunColorDialog;
        std::function<bool(TFontDialog&, QWidget*)> RunFontDialog;
        // Runs the prepared pen-width dialog; returns its modal result.
        std::function<int(TWidthDlg&)> RunWidthDialog;
        // The save dialog of frame pictures: the chosen file, or empty when cancelled.
        std::function<QString(const QString& folder)> RunSaveDialog;
        // Runs the options dialog; returns its modal result.
        std::function<int(TOptionsDlg&)> RunOptionsDialog;
    };
    TAnnotationSeams AnnotationSeams;
    TColorDialog ColorDialog1;

    QLineEdit* Edit3 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QMenu* Images1 = nullptr;
    QVector<QIcon> ImageList3;
    // Made once at start-up, after the main window, in this order.
    TWidthDlg* WidthDlg = nullptr;
    TOptionsDlg* OptionsDlg = nullptr;

    int GetStepPos() const { return Edit.StepPos; }
    bool GetSavePartial() const { return SavePartial; }
    bool GetHighlighter() const;
    const QString& GetStampFile() const { return StampFile; }
    int GetStampTransparent() const { return StampTransparent; }
    bool TextEntryOpen() const;
    // Where the text entry's text stands, in view pixels.
    QRect EditBounds() const;

    // Mouse handlers, in view pixels.
    void PaintBox2MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void PaintBox2MouseMove(TShiftState shift, int x, int y);
    void PaintBox2MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void DrawToolExecute(QAction* action);
    void Images1Click(QAction* item);
    void UncheckTools();
    void UncheckStamps();
    void Edit3Change();
    void End1Click();
    void Cancel1Click();
    void Newline1Click();

    void Textstyle1Click();
    void ColorExecute();
    void PenWidthExecute();
    void HighlighterExecute();
    void UndoExecute();
    void RedoExecute();
    void UpdateColorIcon(TColor color);
    void Options1Click();

    // The current frame at full size with its done steps drawn at 100 %.
    QImage FramePicture();
    void MenuItem2Click();
    void Copyscreenshot1Click();
    void Savepartial1Click();
    // Esc leaves the selection mode of "Save partial".
    void FormKeyDown(int key);

private:
    friend class TFrameToolHost;
    void CreateAnnotationComponents();
    void CreatePopupMenu1Items();
    void FramePaint(QPaintEvent* event);
    void OpenFrameTextEntry(TTextStep* step);
    void FrameStepDone();
    void SelectionUp();
    void EndFrameDrag();
    // Finds the stamps of the steps a save draws whose picture cannot be drawn; with some, asks
    // whether to save without them. False to stop the save.
    bool AskSaveWithoutBrokenStamps(std::unordered_set<const TDrawStep*>& broken);
    void FocusAfterDialog();
    void CreateAnnotationSettingsActions();
    void CreateFrameExportActions();
    void UpdateAnnotationActions();
    Canvas& TextCanvas();

    // Shared, not unique: the host's class is known only where the mouse handlers are.
    std::shared_ptr<TFrameToolHost> ToolHost;
    std::unique_ptr<TMouseTools> FrameTools;
    std::unique_ptr<TTextEntry> Entry;
    // A canvas for measuring the entry's text in the view's font (the text font at the zoom).
    QImage TextCanvasImage{1, 1, QImage::Format_RGB32};
    std::unique_ptr<Canvas> TextCanvasOwned;
    QString StampFile;
    int StampTransparent = 0;
    bool SavePartial = false;
    bool StampsLoaded = false;
};
