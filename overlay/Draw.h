#pragma once

#include "model/AnnotationTarget.h"
#include "model/PaintCheckpoints.h"
#include "overlay/LayerModel.h"
#include "platform/Canvas.h"
#include "platform/ColorDialog.h"
#include "platform/Font.h"
#include "settings/LayerSettings.h"
#include "tools/MouseTools.h"
#include "tools/ShiftState.h"
#include "tools/TextEntry.h"

#include <QIcon>
#include <QImage>
#include <QString>
#include <QVector>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>

class QAction;
class QLineEdit;
class QMenu;
class TDrawStep;
class TFontDialog;
class TTextStep;
class TWidthDlg;
class X11PointerMover;

// The way a running layer shift shows: the layer follows the pointer, a rubber line is drawn, or the
// layer is hidden while a rubber line is drawn.
enum TShiftMode : uint8_t { smLive = 0, smRubberLine = 1, smHiddenRubberLine = 2 };

// Tavelin's full-screen drawing window. Each showing copies the desktop and shows the copy as the
// window's background; the user draws steps into five layers with undo and redo, types texts, stamps
// images and saves or copies the annotated screen. Hiding the window discards every step.
//
// The tray window drives it through Annotate(), LoadSettings(), the ShowOptions hook, HelpFile and
// the Hidden() signal.
//
// Its handlers are spread over files by theme: DrawCore.cpp (creation, show, paint, hide, layers,
// undo), DrawComponents.cpp (actions and menus), DrawSettings.cpp (the settings reload and the
// settings written back), DrawCommands.cpp (colour, width, font, tools, keys, close, help),
// DrawMouse.cpp (the window's side of the shared mouse tools, and layer shifting), DrawText.cpp (the
// window's side of the shared text entry, and stamps),
// DrawScreenshots.cpp (saving and copying the annotated screen) and DrawScripts.cpp (the annotations
// as script files and clipboard text).
//
// As the target of the annotation text's reader and writer it offers its layers' visibility, its
// current layer, its paint list and the placement of loaded steps. As the host of the shared mouse
// tools it offers its surface at 100 %, the annotation model's steps and the current layer's list.
class TDrawFrm : public QWidget, public TAnnotationTarget, private TToolHost {
    Q_OBJECT
public:
    static constexpr int HelpContextId = 1000;

    // The window on the program's settings file, looking up stamp files without a folder in the
    // program's own folder.
    explicit TDrawFrm(QWidget* parent = nullptr);
    // The same on a settings file and a program folder of the caller's choosing.
    TDrawFrm(const QString& settingsFile, const QString& programFolder, QWidget* parent = nullptr);
    ~TDrawFrm() override;

    // --- What the tray window uses ---

    // The annotate command: waits 500 ms (processing events, so that menus can vanish), copies the
    // desktop and shows the window over the copy. A request while a showing waits is ignored; one
    // while the window is shown only brings it to the front.
    void Annotate();
    // Waiting for the snapshot, or shown.
    bool IsShowing() const { return Snapping || Shown; }
    // Reloads the window's settings from the settings file.
    void LoadSettings();
    // Runs the options window modally on a page (0 to 4, one per layer), in front of `over`; set by
    // the tray window. The options window's own OK and Cancel reload these settings; the window reloads
    // them once more afterwards.
    std::function<void(int page, QWidget* over)> ShowOptions;
    // The manual that "&Help" opens at this window's help context.
    QString HelpFile;
    // The program's pen-width dialog; without one the window makes its own for each use.
    void SetWidthDialog(TWidthDlg* dialog) { WidthDlg = dialog; }

    // --- Test seams: each defaults to the real thing ---
    struct TSeams {
        // How long a showing waits before it copies the desktop, so that menus can vanish.
        int SnapshotDelayMs = 500;
        std::function<QImage()> GrabScreen;
        std::function<bool(TColorDialog&, QWidget*)> RunColorDialog;
        std::function<bool(TFontDialog&, QWidget*)> RunFontDialog;
        // Runs the prepared pen-width dialog; returns its modal result.
        std::function<int(TWidthDlg&)> RunWidthDialog;
        // The save dialog of screenshots: title, filter, default suffix and folder in; the chosen
        // file, or empty when cancelled.
        std::function<QString(const QString& title, const QString& filter, const QString& suffix,
                              const QString& folder)>
            RunSaveDialog;
        // Where the pointer is now, in canvas pixels.
        std::function<QPoint()> CursorPos;
        // The save and open dialogs of annotation scripts (title: the system's own): filter, default
        // suffix, folder and preset file in; the chosen file, or empty when cancelled.
        using TScriptDialog = std::function<QString(const QString& filter, const QString& suffix,
                                                    const QString& folder, const QString& file)>;
        TScriptDialog RunScriptSaveDialog;
        TScriptDialog RunScriptOpenDialog;
        // The question before an existing script file is replaced: text and caption in, the button
        // pressed out (a TModalResult).
        std::function<int(const QString& text, const QString& caption)> AskOverwriteScript;
    };
    TSeams Seams;

    // --- State, as the handlers keep it ---
    int GetCurrLayer() const override { return CurrLayer; }
    bool GetLayerVisible(int layer) const override { return LayerVisible[layer]; }
    int GetLayerWidth(int layer) const { return LayerSettings[layer].Width; }
    TColor GetLayerColor(int layer) const { return LayerSettings[layer].Color; }
    int GetLayerCursor(int layer) const { return LayerSettings[layer].Cursor; }
    const TFont& GetLayerFont(int layer) const { return LayerSettings[layer].Font; }
    bool GetLayerTransparentFont(int layer) const { return LayerSettings[layer].TransparentFont; }
    const TLayerModel& Layers() const { return Model; }
    int GetTool() const { return Tool; }
    bool GetDrawing() const { return Drawing; }
    bool GetBusy() const { return Busy; }
    bool GetModified() const { return Modified; }
    bool GetConfExit() const { return ConfExit; }
    bool GetSavePartial() const { return SavePartial; }
    bool GetCopyPartial() const { return CopyPartial; }
    const QString& GetStampFile() const { return StampFile; }
    int GetStampTransparent() const { return StampTransparent; }
    const QImage& GetBackground() const { return Background; }
    // What the window shows now: the snapshot with the painted steps and any rubber band.
    const QImage& Surface();
    Canvas& GetCanvas() { return *WindowCanvas; }
    const QString& GetSavePath() const { return SavePath; }
    const QString& GetScriptPath() const { return ScriptPath; }
    const QString& GetScriptFile() const { return ScriptFile; }
    TColorDialog ColorDialog1;
    // Where the text entry's text stands, in canvas pixels (the step draws its text at the top-left).
    QRect EditBounds() const { return Entry ? Entry->Box() : QRect(); }
    // The annotated screen: a fresh render of the snapshot and the visible layers' steps.
    QImage AnnotatedScreenImage();

    // --- Components ---
    QMenu* PopupMenu1;
    QMenu* PopupMenu2;
    QLineEdit* Edit1;
    QMenu* Images1;
    QVector<QIcon> ImageList1;

    // --- What the annotation text's reader needs besides the getters above ---
    // Also ticks or clears the layer's "Visible layers" item.
    void SetLayerVisible(int layer, bool visible) override;
    void PlaceLoaded(std::unique_ptr<TDrawStep> step) override;
    const std::vector<TDrawStep*>& PaintList() const override { return Model.PaintList(); }

    // --- Handlers ---
    void SetCurrLayer(int layer) override;
    void ResetLayers();
    void LayerClick(QAction* item);
    void CurrLayerClick(QAction* action);
    void UndoExecute();
    void RedoExecute();
    void UpdateActions();
    void SetLayerWidth(int layer, int width);
    void SetLayerColor(int layer, TColor color);
    void UpdateColorIcon(TColor color);

    void ColorExecute();
    void PenWidthExecute();
    void Textstyle1Click();
    void DrawToolExecute(QAction* action);
    void SetTool(int tool);
    void Config1Click();
    void Close1Click();
    void FormKeyDown(uint8_t key, TShiftState shift);
    void ApplicationEvents1Deactivate();
    void Help1Click();

    void FormMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void FormMouseMove(TShiftState shift, int x, int y);
    void FormMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void OffsetLayer(int layer, int dx, int dy);

    void Edit1Change();
    void EndTextEntry() override;
    bool TextEntryOpen() const;
    void End1Click();
    void Cancel1Click();
    void Newline1Click();
    void StampClick(QAction* item);
    void UncheckStamps();
    void UncheckTools();
    void ChangeMode1Click();

    void Save1Click();
    void Copyscreenshot1Click();
    void Savepartial1Click();
    void Copypartial1Click();

    void Savescript1Click();
    void Loadscript1Click();
    void Copyannotations1Click();
    void Pasteannotations1Click();

signals:
    // The window has hidden and freed its steps (the overlay-hidden message): the tray enables its
    // "&Annotate" and "&Options..." items again. Connect it directly.
    void Hidden();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    using TDragKind = TMouseTools::TDragKind;

    void FormCreate();
    void CreateComponents();
    void CreateActions();
    void CreatePopupMenu1();
    void CreatePopupMenu2();
    void CreateEdit1();
    void CreateAnnotationsMenu(QMenu* parent);
    QAction* NewAction(const QString& name, const QString& caption, const QString& shortCut, int tag = 0);
    QAction* Action(const QString& name) const;
    QAction* LayerItem(int layer) const;
    QAction* ALayerAction(int layer) const;
    // Connects a component's click to a handler; the handler runs as a command (RunCommand).
    void Bind(QAction* action, std::function<void()> handler);
    // Runs a handler so that no error leaves it: an error reaches the user in a message box in front
    // of the window, and Busy is reset.
    void RunCommand(const std::function<void()>& command);

    // Show and hide.
    void SnapDesktop();
    void FormShow();
    void FormHide();
    void FormDestroy();

    // Painting. The surface is the window's picture: the snapshot with the steps painted over it and
    // whatever the mouse handlers draw on top. Invalidate marks it for a fresh paint, which happens
    // before the window is next drawn or next drawn upon.
    void Invalidate();
    void RefreshSurface();
    Canvas& DrawingCanvas();
    void UpdateArea(const QRect& area);
    void PaintSteps(Canvas& canvas, bool reportFailures);
    void PaintStep(const TDrawStep& step, Canvas& canvas, bool reportFailures);
    // Draws a step of the paint list; called by several threads at once for a long repaint.
    static void DrawPainted(const TDrawStep& step, Canvas& canvas);
    void StepFailed(const TDrawStep& step, std::exception_ptr error, bool report);
    // The steps of the visible layers in drawing order, and what else their picture depends on.
    std::vector<const TDrawStep*> VisibleSteps() const;
    uint64_t PaintContext() const;
    void PaintBackground(Canvas& canvas) const;
    // Brings the kept pictures of the paint list up to its steps once the current event is over.
    void FollowPaintList();
    void ReportStepFailure(std::exception_ptr error);
    void ResizeSurface(const QSize& size);

    // Settings.
    void LoadStamps(const class TIniFile& ini);
    void WriteSetting(const QString& key, const QString& value);
    void WriteSettingsOnDestroy();
    void RestoreFocus();

    // Mouse: the host of the shared tools.
    Canvas& ToolCanvas() override { return DrawingCanvas(); }
    void ShowArea(const QRect& area) override;
    void DrawStep(const TDrawStep& step, Canvas& canvas) override;
    TToolPen StepPen() const override;
    TDrawStep* AddStep(std::unique_ptr<TDrawStep> step) override;
    void OpenTextEntry(TTextStep* step) override;
    void StepDone(TDrawStep* step) override;
    void UndoTextStep() override;
    void ClickAt(int x, int y) override;
    // Mouse: the window's own.
    void ShowLayerOfPress();
    void LayerShiftDown(TShiftState shift, int x, int y);
    void LayerShiftMove(int x, int y);
    void LayerShiftUp(int x, int y);
    void SelectionUp();
    void EndPartialSelection(bool save, bool copy);
    void PartialImage(const QImage& bitmap, bool save);
    QPoint CanvasPoint(const QPointF& widgetPoint) const;
    void PlaceEdit1();
    QString AskSaveFile();
    QString AskScriptFile(bool save);
    void NudgePointer();

    // --- Fields ---
    QString SettingsFile;
    QString ProgramDir;

    QImage Background;
    QImage SurfaceImage;
    std::unique_ptr<Canvas> WindowCanvas;
    bool SurfaceStale = true;
    // Pictures of the paint list part-way up, so that a repaint draws only the steps above a change.
    TPaintCheckpoints Checkpoints;
    bool FollowPending = false;
    bool Drawing = false;
    TLayerModel Model;
    std::array<bool, LayerCount + 1> LayerVisible{};
    int CurrLayer = 1;
    // Index 0 unused: layers are numbered from 1.
    std::array<TLayerSettings, LayerCount + 1> LayerSettings{};
    int Tool = dtFreeHand;
    QString StampFile;
    int StampTransparent = 0;
    uint8_t ShiftMode = smLive;
    bool Busy = false;
    bool SavePartial = false;
    bool CopyPartial = false;
    bool Modified = false;
    bool ConfExit = true;

    // The shared mouse tools and text entry, with the layer of the running drag, kept from the press
    // so that nothing that happens meanwhile can make the drag work on another layer.
    TMouseTools Tools{*this, Drawing};
    std::unique_ptr<TTextEntry> Entry;
    int DragLayer = 1;

    // The folders and files the dialogs start from; written back when the window is destroyed.
    QString SavePath;
    QString ScriptPath;
    QString ScriptFile;
    // A script file was chosen in this run: a settings reload then keeps it in place of the stored one,
    // which is only written back at destruction.
    bool ScriptFileChosen = false;

    bool Snapping = false;
    bool Shown = false;
    bool Destroying = false;
    // Steps whose failure to draw has been reported in this showing.
    std::unordered_set<const TDrawStep*> ReportedSteps;
    TWidthDlg* WidthDlg = nullptr;
    std::unique_ptr<X11PointerMover> PointerMover;
};
