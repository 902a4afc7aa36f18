// Drawing on the frame view with the shared mouse tools: the view as their host, the mouse handlers,
// the tool and stamp choice, and the text entry.
#include "FrmMain.h"

#include "PaintBox.h"
#include "ScaledSteps.h"
#include "cursors/CursorTable.h"
#include "model/DrawSteps.h"
#include "platform/ComponentTag.h"
#include "platform/MessageDlg.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/WinMath.h"
#include "tools/TextEntryEdit.h"
#include "tools/ToolChoice.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

// The frame view as the mouse tools' host. The view renders only what it shows; for a drag the
// visible part is rendered once into a surface that the tools draw upon, and the view paints from
// it until the drag ends. Steps go into the current position's list just after the step position.
class TFrameToolHost : public TToolHost {
public:
    explicit TFrameToolHost(TFrmMain& form) : Form(form) {}

    void Begin() {
        QRect visible = Form.PaintBox2->visibleRegion().boundingRect();
        if (visible.isEmpty()) visible = QRect(QPoint(0, 0), Form.PaintBox2->size());
        Origin = visible.topLeft();
        Surface = Form.RenderView(visible);
        SurfaceCanvas = std::make_unique<Canvas>(Surface);
        SurfaceCanvas->Pen = Form.ViewCanvasPen;
        SurfaceCanvas->Brush.Style = TBrushStyle::bsClear;
        SurfaceCanvas->Font = Form.ViewFont;
    }
    void End() {
        SurfaceCanvas.reset();
        Surface = QImage();
    }
    bool Live() const { return SurfaceCanvas != nullptr; }
    QPoint ViewOrigin() const { return Origin; }
    const QImage& Picture() const { return Surface; }

    Canvas& ToolCanvas() override { return *SurfaceCanvas; }
    void ShowArea(const QRect& area) override {
        if (area.isNull())
            Form.PaintBox2->update();
        else
            Form.PaintBox2->update(area.translated(Origin));
    }
    int ToolScale() const override { return Form.ZoomPercent; }
    QPoint ToolOrigin() const override { return Origin; }
    void DrawStep(const TDrawStep& step, Canvas& canvas) override {
        DrawStepScaled(step, canvas, Form.ZoomPercent, Origin);
    }
    TToolPen StepPen() const override { return {Form.DrawColor, Form.DrawWidth}; }
    TDrawStep* AddStep(std::unique_ptr<TDrawStep> step) override {
        TEditList& edit = Form.Edit;
        TDrawSteps& steps = edit.CurrentSteps();
        // In front of the undone steps, which stay behind it for redo.
        const int at = edit.StepPos + 1;
        TDrawStep* added = step.get();
        if (steps.Count() == at)
            steps.Add(std::move(step));
        else
            steps.Insert(at, std::move(step));
        edit.StepPos = at;
        Form.Modified = true;
        Form.DrawingStep = added;
        return added;
    }
    void OpenTextEntry(TTextStep* step) override { Form.OpenFrameTextEntry(step); }
    void StepDone(TDrawStep*) override { Form.FrameStepDone(); }
    void EndTextEntry() override { Form.EndTextEntry(); }
    void UndoTextStep() override {
        Form.UndoExecute();
        Form.PaintBox2->update();
    }
    void ClickAt(int x, int y) override {
        Form.PaintBox2MouseDown(mbLeft, ssLeft, x, y);
        Form.PaintBox2MouseUp(mbLeft, ssLeft, x, y);
    }

private:
    TFrmMain& Form;
    QImage Surface;
    std::unique_ptr<Canvas> SurfaceCanvas;
    QPoint Origin;
};

namespace {

// The captions and shortcuts of the tool actions, in tool order. Tag = tool + 1, which is also the
// number of the tool's view cursor.
struct TToolCommand {
    const char* Caption;
    const char* ShortCut;
};
constexpr TToolCommand ToolCommands[] = {
    {"&FreeHand", "Ctrl+F"}, {"&Line", "Ctrl+L"}, {"&Rectangle", "Ctrl+R"},
    {"&Ellipse", "Ctrl+E"},  {"&Text", "Ctrl+T"},
};

// Hands the window's key presses to a handler before their receivers; true from the handler eats the key.
class TWindowKeys : public QObject {
public:
    TWindowKeys(QObject* parent, std::function<bool(QObject*, QKeyEvent*)> handler)
        : QObject(parent), Handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && Handler(watched, static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QObject*, QKeyEvent*)> Handler;
};

// Hands the frame view's mouse events to the window's handlers, in view pixels.
class TViewMouse : public QObject {
public:
    TViewMouse(QObject* parent, std::function<bool(QMouseEvent*)> handler)
        : QObject(parent), Handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return Handler(static_cast<QMouseEvent*>(event));
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<bool(QMouseEvent*)> Handler;
};

} // namespace

// --- Components ---

void TFrmMain::CreateAnnotationComponents() {
    ImageList3 = ToolIcons::ImageList();
    ToolHost = std::make_shared<TFrameToolHost>(*this);
    FrameTools = std::make_unique<TMouseTools>(*ToolHost, Drawing);
    TextCanvasOwned = std::make_unique<Canvas>(TextCanvasImage);

    auto* edit = new TTextEntryEdit(PaintBox2);
    edit->setObjectName(QStringLiteral("Edit3"));
    edit->hide();
    Edit3 = edit;
    // A child of the view itself: it scrolls with the frame, and view pixels are its coordinates.
    Entry = std::make_unique<TTextEntry>(edit, [](QPoint at) { return QPointF(at); });
    connect(Edit3, &QLineEdit::textChanged, this, [this] { RunCommand([this] { Edit3Change(); }); });

    PaintBox2->OnPaint = [this](QPaintEvent* event) { RunCommand([&] { FramePaint(event); }); };
    PaintBox2->installEventFilter(new TViewMouse(this, [this](QMouseEvent* event) {
        const QPoint at = event->position().toPoint();
        const TShiftState shift = ShiftStateOf(event->modifiers(), event->buttons());
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
                RunCommand(
                    [&] { PaintBox2MouseDown(MouseButtonOf(event->button()), shift, at.x(), at.y()); });
            return event->button() == Qt::LeftButton;
        case QEvent::MouseMove:
            RunCommand([&] { PaintBox2MouseMove(shift, at.x(), at.y()); });
            return Drawing;
        default:
            RunCommand([&] { PaintBox2MouseUp(MouseButtonOf(event->button()), shift, at.x(), at.y()); });
            RunCommand([this] { UpdateActions(); });
            return event->button() == Qt::LeftButton;
        }
    }));

    auto* tools = new QActionGroup(this);
    tools->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (int i = 0; i < static_cast<int>(ToolChoice::Tools.size()); ++i) {
        const QString name = QString::fromLatin1(ToolChoice::Tools[i].Name);
        QAction* action = NewAction(name, QString::fromLatin1(ToolCommands[i].Caption), {},
                                    [this, name] { DrawToolExecute(Action(name)); });
        SetTag(action, i + 1);
        action->setCheckable(true);
        action->setIcon(ImageList3[ToolChoice::Tools[i].Plain]);
        SetActionShortCut(action, TextToShortCut(QString::fromLatin1(ToolCommands[i].ShortCut)));
    }
    Action(QStringLiteral("FreeHand"))->setChecked(true);
    Action(QStringLiteral("FreeHand"))->setIcon(ImageList3[ToolIcons::FreeHandChosen]);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    FillTextEntryMenu(PopupMenu2, Edit3,
                      {[this] { Textstyle1Click(); }, [this] { End1Click(); }, [this] { Cancel1Click(); },
                       [this] { Newline1Click(); },
                       [this](QAction* item, std::function<void()> handler) {
                           connect(item, &QAction::triggered, this, [this, handler = std::move(handler)] {
                               RunCommand(handler);
                               RunCommand([this] { UpdateActions(); });
                           });
                       }});
    TShortCutDispatcher::SetPopupMenu(Edit3, PopupMenu2);
    Edit3->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Edit3, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(Edit3->mapToGlobal(pos)); });

    Images1 = new QMenu(QStringLiteral("&Images"), this);
    Images1->setObjectName(QStringLiteral("Images1"));
    Images1->menuAction()->setObjectName(QStringLiteral("Images1Item"));
    Images1->menuAction()->setIcon(ImageList3[ToolIcons::ImageStamps]);
    Images1->menuAction()->setCheckable(true);
    // The stamps' shortcuts work wherever the keyboard is in the window, not only over the view.
    addAction(Images1->menuAction());

    CreateAnnotationSettingsActions();
    CreateFrameExportActions();
    CreatePopupMenu1Items();
    // Esc ends the selection mode of "Save partial" wherever the keyboard is in the window: the window
    // sees the key before its controls.
    qApp->installEventFilter(new TWindowKeys(this, [this](QObject* receiver, QKeyEvent* key) {
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!SavePartial || !widget || widget->window() != this || key->key() != Qt::Key_Escape) return false;
        RunCommand([this] { FormKeyDown(VKey::Esc); });
        return true;
    }));
}

void TFrmMain::CreatePopupMenu1Items() {
    auto add = [this](const char* name) { PopupMenu1->addAction(Action(QString::fromLatin1(name))); };
    // A menu item that shows an action under a caption of its own.
    auto show = [this](const char* name, const char* caption) {
        QAction* action = Action(QString::fromLatin1(name));
        QAction* item = PopupMenu1->addAction(action->icon(), QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name) + QStringLiteral("1"));
        connect(item, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::changed, item, [item, action] {
            item->setIcon(action->icon());
            item->setEnabled(action->isEnabled());
        });
    };
    add("Textstyle1");
    show("Color", "Drawing &color...");
    show("PenWidth", "Drawing &width...");
    add("Highlighter");
    PopupMenu1->addSeparator();
    add("Undo");
    add("Redo");
    PopupMenu1->addSeparator();
    for (const ToolChoice::TToolImages& t : ToolChoice::Tools)
        add(t.Name);
    PopupMenu1->addMenu(Images1);
    PopupMenu1->addSeparator();
    add("MenuItem2");
    add("Copyscreenshot1");
    add("Savepartial1");
    add("Options1");
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { RunCommand([this] { UpdateActions(); }); });
}

// --- Paint ---

void TFrmMain::FramePaint(QPaintEvent* event) {
    if (!ToolHost || !ToolHost->Live()) {
        PaintBox2Paint(event);
        return;
    }
    // While a drag draws on the rendered surface, the view shows the surface, rubber bands and all.
    QPainter p(PaintBox2);
    const QRect area = event->rect();
    const QRect surface(ToolHost->ViewOrigin(), ToolHost->Picture().size());
    p.drawImage(ToolHost->ViewOrigin(), ToolHost->Picture());
    for (const QRect& rest : QRegion(area).subtracted(surface))
        p.drawImage(rest.topLeft(), RenderView(rest));
}

// --- Mouse ---

void TFrmMain::PaintBox2MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    (void)shift;
    if (!FileOpen() || !Edit.HasCurrent()) return;
    if (TextEntryOpen()) {
        Edit3->setFocus();
        return;
    }
    if (Busy || button != mbLeft) return;
    if (Drawing) {
        // The release of the last drag never came (something took the mouse meanwhile): it ends
        // where it was last seen, so that its step is not left half made.
        const QPoint last = ToolHost->ViewOrigin() + QPoint(FrameTools->LastX(), FrameTools->LastY());
        PaintBox2MouseUp(mbLeft, 0, last.x(), last.y());
        if (TextEntryOpen()) return;
    }
    ViewBrushStyle = TBrushStyle::bsClear;
    ToolHost->Begin();
    const QPoint at = QPoint(x, y) - ToolHost->ViewOrigin();
    if (SavePartial) {
        FrameTools->PressSelection(at.x(), at.y());
        return;
    }
    try {
        FrameTools->PressStep(Tool, at.x(), at.y(), StampFile, StampTransparent != 0);
    } catch (...) {
        // A stamp that cannot be drawn made no step and ended its drag: nothing is left held.
        EndFrameDrag();
        ShowException(std::current_exception(), this);
        return;
    }
    if (!Drawing) EndFrameDrag();
}

void TFrmMain::PaintBox2MouseMove(TShiftState shift, int x, int y) {
    if (Busy || !Drawing || !ToolHost->Live()) return;
    const QPoint at = QPoint(x, y) - ToolHost->ViewOrigin();
    FrameTools->Move(shift, at.x(), at.y());
}

void TFrmMain::PaintBox2MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (Busy || !Drawing || button != mbLeft || TextEntryOpen()) return;
    if (!ToolHost->Live()) {
        FrameTools->EndDrag();
        return;
    }
    if (FrameTools->Kind() == TMouseTools::TDragKind::Selection) {
        SelectionUp();
        return;
    }
    const QPoint at = QPoint(x, y) - ToolHost->ViewOrigin();
    FrameTools->ReleaseStep(shift, at.x(), at.y());
    if (!Drawing) EndFrameDrag();
}

void TFrmMain::FrameStepDone() {
    DrawingStep = nullptr;
    Modified = true;
}

void TFrmMain::EndFrameDrag() {
    if (Drawing) FrameTools->EndDrag();
    DrawingStep = nullptr;
    // The next paint draws the steps from their stored values.
    ToolHost->End();
    PaintBox2->update();
}

// --- Tools and stamps ---

void TFrmMain::DrawToolExecute(QAction* action) {
    if (!action) return;
    const int tag = Tag(action);
    // The click has toggled the action's tick; the tool decides it.
    action->setChecked(tag - 1 == Tool);
    EndTextEntry();
    if (Drawing) return;
    if (tag - 1 == Tool) return;
    UncheckTools();
    action->setChecked(true);
    action->setIcon(ImageList3[ToolChoice::ChosenImage(action->objectName())]);
    Tool = tag - 1;
    if (!SavePartial) TCursorTable::Screen().Show(PaintBox2, tag);
}

void TFrmMain::UncheckTools() {
    ToolChoice::UncheckTools([this](const QString& name) { return Action(name); }, Images1, ImageList3);
}

void TFrmMain::UncheckStamps() {
    ToolChoice::UncheckStamps(Images1);
}

void TFrmMain::Images1Click(QAction* item) {
    EndTextEntry();
    const ToolChoice::TStamp stamp =
        ToolChoice::ChooseStamp(Images1, item, Tool == dtImageStamp, [this] { UncheckTools(); });
    StampFile = stamp.File;
    StampTransparent = stamp.Transparent;
    Tool = dtImageStamp;
    if (!SavePartial) TCursorTable::Screen().Show(PaintBox2, dtImageStamp + 1);
}

// --- Text entry ---

Canvas& TFrmMain::TextCanvas() {
    // The text font at the zoom, as the view draws the step.
    TFont font = TextFont;
    font.Size = MulDiv(font.Size, ZoomPercent, 100);
    TextCanvasOwned->Font = font;
    return *TextCanvasOwned;
}

bool TFrmMain::TextEntryOpen() const {
    return Entry && Entry->IsOpen();
}

QRect TFrmMain::EditBounds() const {
    return Entry ? Entry->Box() : QRect();
}

void TFrmMain::OpenFrameTextEntry(TTextStep* step) {
    Canvas& canvas = TextCanvas();
    ViewFont = canvas.Font;
    const QPoint at(MulDiv(step->StartX, ZoomPercent, 100), MulDiv(step->StartY, ZoomPercent, 100));
    Entry->Open(step, at, canvas);
    TShortCutDispatcher::SetPopupMenu(PaintBox2, PopupMenu2);
    step->Font = TextFont;
}

void TFrmMain::Edit3Change() {
    Entry->TextChanged(TextCanvas());
}

void TFrmMain::EndTextEntry() {
    if (!TextEntryOpen()) return;
    if (isVisible()) setFocus(Qt::OtherFocusReason);
    Entry->Close();
    TShortCutDispatcher::SetPopupMenu(PaintBox2, FileOpen() ? PopupMenu1 : nullptr);
    PaintBox2->update();
}

void TFrmMain::End1Click() {
    EndTextEntry();
}

void TFrmMain::Cancel1Click() {
    Entry->Cancel(*ToolHost);
}

void TFrmMain::Newline1Click() {
    Entry->NewLine(*ToolHost);
}
