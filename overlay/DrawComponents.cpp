// The drawing window's components: its actions, its two pop-up menus and the text-entry edit box.
#include "Draw.h"

#include "ActionMenuItem.h"
#include "platform/ComponentTag.h"
#include "platform/ShortCutDispatcher.h"
#include "tools/TextEntryEdit.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>

void TDrawFrm::Bind(QAction* action, std::function<void()> handler) {
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        RunCommand(handler);
        RunCommand([this] { UpdateActions(); });
    });
}

QAction* TDrawFrm::NewAction(const QString& name, const QString& caption, const QString& shortCut, int tag) {
    // The window's actions make its action list: their shortcuts work wherever the keyboard is in the
    // window, the text entry included.
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortCut.isEmpty()) SetActionShortCut(action, TextToShortCut(shortCut));
    if (tag) SetTag(action, tag);
    addAction(action);
    return action;
}

QAction* TDrawFrm::Action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TDrawFrm::CreateComponents() {
    ImageList1 = ToolIcons::ImageList();
    CreateActions();
    CreateEdit1();
    CreatePopupMenu1();
    CreatePopupMenu2();
    TShortCutDispatcher::SetPopupMenu(this, PopupMenu1);
    TShortCutDispatcher::SetPopupMenu(Edit1, PopupMenu2);
    connect(&TShortCutDispatcher::Instance(), &TShortCutDispatcher::BeforeDispatch, this,
            [this](QWidget* window) {
                if (window == this) RunCommand([this] { UpdateActions(); });
            });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) RunCommand([this] { ApplicationEvents1Deactivate(); });
    });
}

void TDrawFrm::CreateActions() {
    QAction* undo = NewAction(QStringLiteral("Undo"), QStringLiteral("&Undo"), QStringLiteral("Ctrl+Z"));
    undo->setIcon(ImageList1[ToolIcons::Undo]);
    Bind(undo, [this] { UndoExecute(); });
    QAction* redo =
        NewAction(QStringLiteral("Redo"), QStringLiteral("Re&do"), QStringLiteral("Shift+Ctrl+Z"));
    redo->setIcon(ImageList1[ToolIcons::Redo]);
    Bind(redo, [this] { RedoExecute(); });

    struct TToolAction {
        const char* Name;
        const char* Caption;
        const char* ShortCut;
        int Tag;
        int Image;
    };
    const TToolAction tools[] = {
        {"FreeHand", "&FreeHand", "Ctrl+F", 1, ToolIcons::FreeHand},
        {"Line", "&Line", "Ctrl+L", 2, ToolIcons::Line},
        {"Rectangle", "&Rectangle", "Ctrl+R", 3, ToolIcons::Rectangle},
        {"Ellipse", "&Ellipse", "Ctrl+E", 4, ToolIcons::Ellipse},
        {"Text", "&Text", "Ctrl+T", 5, ToolIcons::Text},
        {"LayerShifting", "Layer shifting", "Shift+Ctrl+S", 7, -1},
    };
    for (const TToolAction& t : tools) {
        QAction* action = NewAction(t.Name, t.Caption, t.ShortCut, t.Tag);
        action->setCheckable(true);
        if (t.Image >= 0) action->setIcon(ImageList1[t.Image]);
        Bind(action, [this, action] {
            // The tool command sets the ticks itself; undo Qt's toggle first.
            action->setChecked(!action->isChecked());
            DrawToolExecute(action);
        });
    }
    Action(QStringLiteral("FreeHand"))->setIcon(ImageList1[ToolIcons::FreeHandChosen]);

    QAction* color = NewAction(QStringLiteral("Color"), QStringLiteral("&Color"), {});
    color->setIcon(ImageList1[ToolIcons::ColorSwatch]);
    Bind(color, [this] { ColorExecute(); });
    QAction* width = NewAction(QStringLiteral("PenWidth"), QStringLiteral("Drawing &width"), {});
    width->setIcon(ImageList1[ToolIcons::PenWidth]);
    Bind(width, [this] { PenWidthExecute(); });
    QAction* highlighter = NewAction(QStringLiteral("Highlighter"), QStringLiteral("&Highlighter mode"),
                                     QStringLiteral("Ctrl+H"));
    highlighter->setCheckable(true);
    Bind(highlighter, [this, highlighter] {
        // The pen of a running drag stays as it was at the press.
        if (Drawing) {
            highlighter->setChecked(!highlighter->isChecked());
            return;
        }
        ChangeMode1Click();
    });

    auto* activeLayers = new QActionGroup(this);
    activeLayers->setExclusive(true);
    for (int layer = 1; layer <= LayerCount; ++layer) {
        QAction* action =
            NewAction(QStringLiteral("ALayer%1").arg(layer), QStringLiteral("Layer &%1").arg(layer),
                      QStringLiteral("Ctrl+%1").arg(layer), layer);
        action->setCheckable(true);
        activeLayers->addAction(action);
        Bind(action, [this, action] { CurrLayerClick(action); });
    }
}

void TDrawFrm::CreatePopupMenu1() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* m = PopupMenu1;
    AddActionItem(m, Action(QStringLiteral("Undo")), QStringLiteral("Undo1"));
    AddActionItem(m, Action(QStringLiteral("Redo")), QStringLiteral("Redo1"));
    m->addSeparator();
    for (const char* name : {"FreeHand", "Line", "Rectangle", "Ellipse", "Text"})
        AddActionItem(m, Action(name), QString::fromLatin1(name) + "1");

    Images1 = new QMenu(QStringLiteral("&Image stamps"), m);
    Images1->setObjectName(QStringLiteral("Images1"));
    QAction* imagesItem = Images1->menuAction();
    imagesItem->setObjectName(QStringLiteral("Images1Item"));
    imagesItem->setIcon(ImageList1[ToolIcons::ImageStamps]);
    imagesItem->setCheckable(true);
    SetTag(imagesItem, 6);
    m->addMenu(Images1);
    AddActionItem(m, Action(QStringLiteral("LayerShifting")), QStringLiteral("LayerShifting1"));
    m->addSeparator();

    AddActionItem(m, Action(QStringLiteral("Color")), QStringLiteral("Color1"),
                  QStringLiteral("Drawing &color..."));
    AddActionItem(m, Action(QStringLiteral("PenWidth")), QStringLiteral("PenWidth1"),
                  QStringLiteral("Drawing &width..."));
    QAction* textStyle = m->addAction(ImageList1[ToolIcons::Font], QStringLiteral("Fo&nt..."));
    textStyle->setObjectName(QStringLiteral("Textstyle1"));
    Bind(textStyle, [this] { Textstyle1Click(); });
    AddActionItem(m, Action(QStringLiteral("Highlighter")), QStringLiteral("ChangeMode1"));
    m->addSeparator();

    auto* visible = new QMenu(QStringLiteral("Visible layers"), m);
    visible->setObjectName(QStringLiteral("Activelayers1"));
    for (int layer = 1; layer <= LayerCount; ++layer) {
        auto* item = new QAction(QStringLiteral("Layer &%1").arg(layer), visible);
        item->setObjectName((QStringLiteral("Layer") + QString::number(layer) + QStringLiteral("1")));
        SetTag(item, layer);
        item->setCheckable(true);
        item->setChecked(true);
        SetActionShortCut(item, TextToShortCut(QStringLiteral("Alt+%1").arg(layer)));
        visible->addAction(item);
        Bind(item, [this, item] {
            item->setChecked(!item->isChecked());
            LayerClick(item);
        });
    }
    m->addMenu(visible);
    auto* current = new QMenu(QStringLiteral("Active layer"), m);
    current->setObjectName(QStringLiteral("Currenlayer1"));
    for (int layer = 1; layer <= LayerCount; ++layer)
        AddActionItem(current, ALayerAction(layer),
                      (QStringLiteral("Layer") + QString::number(layer) + QStringLiteral("2")));
    m->addMenu(current);
    m->addSeparator();

    struct TItem {
        const char* Name;
        const char* Caption;
        const char* ShortCut;
        void (TDrawFrm::*Handler)();
    };
    const TItem shots[] = {
        {"Save1", "&Save screenshot...", "Ctrl+S", &TDrawFrm::Save1Click},
        {"Copyscreenshot1", "Copy screensho&t", "Ctrl+K", &TDrawFrm::Copyscreenshot1Click},
        {"Savepartial1", "Save partial", "Ctrl+P", &TDrawFrm::Savepartial1Click},
        {"Copypartial1", "Copy partial", "Shift+Alt+P", &TDrawFrm::Copypartial1Click},
    };
    const TItem tail[] = {
        {"Options1", "&Options...", "", &TDrawFrm::Config1Click},
        {"Help1", "&Help", "", &TDrawFrm::Help1Click},
    };
    auto addItems = [this, m](const auto& items) {
        for (const TItem& i : items) {
            QAction* item = m->addAction(QString::fromLatin1(i.Caption));
            item->setObjectName(QString::fromLatin1(i.Name));
            if (*i.ShortCut) SetActionShortCut(item, TextToShortCut(QString::fromLatin1(i.ShortCut)));
            const auto handler = i.Handler;
            Bind(item, [this, handler] { (this->*handler)(); });
        }
    };
    addItems(shots);
    CreateAnnotationsMenu(m);
    m->addSeparator();
    addItems(tail);
    m->addSeparator();
    QAction* close1 = m->addAction(QStringLiteral("C&lose"));
    close1->setObjectName(QStringLiteral("Close1"));
    SetActionShortCut(close1, TextToShortCut(QStringLiteral("Esc")));
    Bind(close1, [this] { Close1Click(); });

    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { RunCommand([this] { UpdateActions(); }); });
}

void TDrawFrm::CreatePopupMenu2() {
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    FillTextEntryMenu(
        PopupMenu2, Edit1,
        {[this] { Textstyle1Click(); }, [this] { End1Click(); }, [this] { Cancel1Click(); },
         [this] { Newline1Click(); },
         [this](QAction* item, std::function<void()> handler) { Bind(item, std::move(handler)); }});
}

void TDrawFrm::CreateEdit1() {
    auto* edit = new TTextEntryEdit(this);
    Edit1 = edit;
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->hide();
    Edit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Edit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(Edit1->mapToGlobal(pos)); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { RunCommand([this] { Edit1Change(); }); });
    // The edit lies on the window itself, whose logical pixels are canvas pixels over the pixel ratio.
    Entry =
        std::make_unique<TTextEntry>(edit, [this](QPoint at) { return QPointF(at) / devicePixelRatioF(); });
}
