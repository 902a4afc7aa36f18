// The drawing window's creation, show, paint, hide and destruction, its layers and its undo and redo.
#include "Draw.h"

#include "BusyScope.h"
#include "cursors/CursorTable.h"
#include "platform/ComponentTag.h"
#include "platform/DesktopSnapshot.h"
#include "platform/Help.h"
#include "platform/KnownFolders.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/Screen.h"
#include "platform/TaskbarHints.h"
#include "platform/X11PointerMover.h"
#include "settings/IniFileName.h"

#include <QAction>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

const QString WindowCaption = QStringLiteral("Tavelin annotation");
// The program's title while the window is hidden.
const QString ProgramTitle = QStringLiteral("Tavelin");

} // namespace

TDrawFrm::TDrawFrm(QWidget* parent) : TDrawFrm(IniFileName, ProgramFolder(), parent) {}

TDrawFrm::TDrawFrm(const QString& settingsFile, const QString& programFolder, QWidget* parent)
    // A tool window has no taskbar entry; frameless and on top, it covers the whole screen.
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      SettingsFile(settingsFile), ProgramDir(programFolder) {
    setObjectName(QStringLiteral("DrawFrm"));
    setWindowTitle(WindowCaption);
    // The surface covers every pixel: nothing needs erasing before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    HelpFile = ApplicationHelpFile();
    SetHelpContext(this, HelpContextId);

    Seams.GrabScreen = [] { return GrabDesktop(); };
    Seams.CursorPos = [this] { return CanvasPoint(QPointF(mapFromGlobal(QCursor::pos()))); };

    CreateComponents();
    FormCreate();
    KeepActiveAfterDialogs(this);
}

TDrawFrm::~TDrawFrm() {
    Destroying = true;
    if (Shown) hide();
    FormDestroy();
    // The menus and the edit refer to handlers of this window: they go before its fields do.
    delete PopupMenu1;
    delete PopupMenu2;
    delete Edit1;
}

void TDrawFrm::FormCreate() {
    CurrLayer = 1;
    ResizeSurface(ScreenSize());
    Background = QImage(ScreenSize(), QImage::Format_RGB32);
    Background.fill(Qt::black);
    for (int layer = 1; layer <= LayerCount; ++layer) {
        LayerVisible[layer] = true;
        SetLayerWidth(layer, 3);
        SetLayerColor(layer, clBlack);
    }
    LoadSettings();
    ResetLayers();
    WindowCanvas->Font = LayerSettings[CurrLayer].Font;
    PlaceEdit1();
    UpdateActions();
}

void TDrawFrm::FormDestroy() {
    WriteSettingsOnDestroy();
}

void TDrawFrm::RunCommand(const std::function<void()>& command) {
    if (!RunGuarded(command, this)) Busy = false;
}

// --- Show ---

void TDrawFrm::Annotate() {
    RunCommand([this] {
        if (Snapping) return;
        if (Shown) {
            raise();
            activateWindow();
            return;
        }
        Snapping = true;
        QPointer<TDrawFrm> self(this);
        try {
            SnapDesktop();
        } catch (...) {
            if (self) Snapping = false;
            throw;
        }
        if (!self || Destroying) return;
        Snapping = false;
        FormShow();
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen) setGeometry(screen->geometry());
        LeaveOutOfTaskbar(this);
        showFullScreen();
        raise();
        activateWindow();
        setFocus(Qt::ActiveWindowFocusReason);
    });
}

void TDrawFrm::SnapDesktop() {
    {
        QEventLoop wait;
        QTimer::singleShot(Seams.SnapshotDelayMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    // The screen may have changed its resolution since the last showing: the snapshot takes its
    // size now.
    const QSize size = ScreenSize();
    QImage snapshot(size, QImage::Format_RGB32);
    snapshot.fill(Qt::black);
    const QImage grabbed = Seams.GrabScreen ? Seams.GrabScreen() : QImage();
    if (!grabbed.isNull()) {
        QPainter painter(&snapshot);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, grabbed);
    }
    Background = snapshot;
    ResizeSurface(size);
    SurfaceStale = true;
}

void TDrawFrm::FormShow() {
    WindowCanvas->Brush.Style = TBrushStyle::bsClear;
    TCursorTable::Screen().Show(this, LayerSettings[CurrLayer].Cursor);
    setWindowTitle(WindowCaption);
    // The program's title while the window shows: error boxes are captioned with it.
    SetApplicationTitle(WindowCaption);
    // A new showing starts without steps, so there is nothing unsaved to ask about.
    Modified = false;
    ReportedSteps.clear();
    Shown = true;
}

// --- Hide ---

void TDrawFrm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (Shown) RunCommand([this] { FormHide(); });
}

void TDrawFrm::FormHide() {
    EndTextEntry();
    Shown = false;
    // A drag cannot outlive the steps it works on; a layer it hid comes back.
    if (Drawing && Tools.Kind() == TDragKind::Window && ShiftMode == smHiddenRubberLine)
        LayerVisible[DragLayer] = true;
    Tools.EndDrag();
    Model.Clear();
    ReportedSteps.clear();
    Invalidate();
    SetApplicationTitle(ProgramTitle);
    if (!Destroying) emit Hidden();
}

// --- Paint ---

void TDrawFrm::ResizeSurface(const QSize& size) {
    if (WindowCanvas && SurfaceImage.size() == size) return;
    std::optional<TPen> pen;
    std::optional<TBrush> brush;
    std::optional<TFont> font;
    TBkMode bkMode = TBkMode::Opaque;
    if (WindowCanvas) {
        pen = WindowCanvas->Pen;
        brush = WindowCanvas->Brush;
        font = WindowCanvas->Font;
        bkMode = WindowCanvas->BkMode;
    }
    WindowCanvas.reset();
    SurfaceImage = QImage(size, QImage::Format_RGB32);
    SurfaceImage.fill(Qt::black);
    WindowCanvas = std::make_unique<Canvas>(SurfaceImage);
    if (pen) {
        WindowCanvas->Pen = *pen;
        WindowCanvas->Brush = *brush;
        WindowCanvas->Font = *font;
        WindowCanvas->BkMode = bkMode;
    }
    SurfaceStale = true;
}

void TDrawFrm::Invalidate() {
    SurfaceStale = true;
    update();
}

void TDrawFrm::UpdateArea(const QRect& area) {
    const qreal ratio = devicePixelRatioF();
    // One pixel more on each side: a wide pen reaches half its width past the points, and the
    // logical rectangle rounds.
    const QRectF logical(area.x() / ratio, area.y() / ratio, area.width() / ratio, area.height() / ratio);
    update(logical.toAlignedRect().adjusted(-1, -1, 1, 1));
}

void TDrawFrm::RefreshSurface() {
    if (!SurfaceStale) return;
    SurfaceStale = false;
    const TBusyScope busy(Busy);
    const QRect all(QPoint(0, 0), SurfaceImage.size());
    WindowCanvas->CopyRect(all, Background, QRect(QPoint(0, 0), Background.size()));
    PaintSteps(*WindowCanvas, true);
}

Canvas& TDrawFrm::DrawingCanvas() {
    RefreshSurface();
    return *WindowCanvas;
}

const QImage& TDrawFrm::Surface() {
    RefreshSurface();
    return SurfaceImage;
}

void TDrawFrm::PaintSteps(Canvas& canvas, bool reportFailures) {
    for (const TDrawStep* step : Model.PaintList()) {
        if (!TLayerModel::IsLayer(step->Layer) || !LayerVisible[step->Layer]) continue;
        // One picture that cannot be drawn must not keep the others from the screen.
        try {
            step->Draw(canvas);
        } catch (...) {
            if (reportFailures && ReportedSteps.insert(step).second)
                ReportStepFailure(std::current_exception());
        }
    }
}

void TDrawFrm::ReportStepFailure(std::exception_ptr error) {
    // Not from inside the paint: the box runs an event loop of its own.
    QMetaObject::invokeMethod(
        this, [this, error] { ShowException(error, this); }, Qt::QueuedConnection);
}

void TDrawFrm::paintEvent(QPaintEvent* event) {
    RunCommand([&] {
        RefreshSurface();
        QPainter painter(this);
        const qreal ratio = devicePixelRatioF();
        const QRectF target(event->rect());
        const QRectF source(target.x() * ratio, target.y() * ratio, target.width() * ratio,
                            target.height() * ratio);
        painter.drawImage(target, SurfaceImage, source);
    });
}

QPoint TDrawFrm::CanvasPoint(const QPointF& widgetPoint) const {
    const qreal ratio = devicePixelRatioF();
    return QPoint(static_cast<int>(std::floor(widgetPoint.x() * ratio)),
                  static_cast<int>(std::floor(widgetPoint.y() * ratio)));
}

// --- Layers ---

QAction* TDrawFrm::LayerItem(int layer) const {
    return PopupMenu1->findChild<QAction*>(
        (QStringLiteral("Layer") + QString::number(layer) + QStringLiteral("1")));
}

QAction* TDrawFrm::ALayerAction(int layer) const {
    return Action(QStringLiteral("ALayer%1").arg(layer));
}

void TDrawFrm::ResetLayers() {
    Model.Clear();
    for (int layer = 1; layer <= LayerCount; ++layer) {
        LayerVisible[layer] = true;
        LayerItem(layer)->setChecked(true);
    }
    CurrLayer = 1;
    SetTool(dtFreeHand);
    Action(QStringLiteral("FreeHand"))->setChecked(true);
    CurrLayerClick(ALayerAction(1));
    findChild<QMenu*>(QStringLiteral("Activelayers1"))->setDefaultAction(LayerItem(1));
    ALayerAction(1)->setChecked(true);
}

void TDrawFrm::SetCurrLayer(int layer) {
    if (!TLayerModel::IsLayer(layer)) return;
    CurrLayer = layer;
    findChild<QMenu*>(QStringLiteral("Activelayers1"))->setDefaultAction(LayerItem(layer));
    ALayerAction(layer)->setChecked(true);
    TCursorTable::Screen().Show(this, LayerSettings[layer].Cursor);
    NudgePointer();
    WindowCanvas->Pen.Width = LayerSettings[layer].Width;
    WindowCanvas->Pen.Color = LayerSettings[layer].Color;
    WindowCanvas->Font = LayerSettings[layer].Font;
    Entry->FollowFont(*WindowCanvas);
    UpdateColorIcon(LayerSettings[layer].Color);
    if (!LayerVisible[layer]) {
        LayerItem(layer)->setChecked(true);
        LayerVisible[layer] = true;
        Invalidate();
    }
}

void TDrawFrm::NudgePointer() {
    // The window shows a changed cursor only when the pointer moves: one pixel there and back.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    if (!PointerMover) PointerMover = std::make_unique<X11PointerMover>();
    if (PointerMover->IsOpen()) PointerMover->Nudge();
}

void TDrawFrm::LayerClick(QAction* item) {
    if (Drawing) return;
    EndTextEntry();
    const int layer = Tag(item);
    if (!TLayerModel::IsLayer(layer)) return;
    item->setChecked(!item->isChecked());
    LayerVisible[layer] = !LayerVisible[layer];
    if (!LayerVisible[layer] && layer == CurrLayer) {
        int visible = 0;
        for (int n = 1; n <= LayerCount && !visible; ++n)
            if (LayerVisible[n]) visible = n;
        if (visible) {
            SetCurrLayer(visible);
        } else {
            // The last visible layer stays: something must be shown to draw on.
            LayerVisible[layer] = true;
            item->setChecked(true);
        }
    }
    Invalidate();
}

void TDrawFrm::CurrLayerClick(QAction* action) {
    if (!Drawing) {
        EndTextEntry();
        SetCurrLayer(Tag(action));
    }
    // The radio group may have moved the tick already; it belongs to the current layer.
    ALayerAction(CurrLayer)->setChecked(true);
}

void TDrawFrm::UndoExecute() {
    EndTextEntry();
    if (Drawing) return;
    if (Model.Undo(CurrLayer)) Invalidate();
}

void TDrawFrm::RedoExecute() {
    EndTextEntry();
    if (Drawing) return;
    if (Model.Redo(CurrLayer)) Invalidate();
}

void TDrawFrm::UpdateActions() {
    Action(QStringLiteral("Undo"))->setEnabled(Model.CanUndo(CurrLayer));
    Action(QStringLiteral("Redo"))->setEnabled(Model.CanRedo(CurrLayer));
}

void TDrawFrm::SetLayerWidth(int layer, int width) {
    if (!TLayerModel::IsLayer(layer)) return;
    LayerSettings[layer].Width = width;
    if (layer == CurrLayer) WindowCanvas->Pen.Width = width;
}

void TDrawFrm::SetLayerColor(int layer, TColor color) {
    if (!TLayerModel::IsLayer(layer)) return;
    LayerSettings[layer].Color = color;
    if (layer == CurrLayer) {
        WindowCanvas->Pen.Color = color;
        UpdateColorIcon(color);
    }
}
