// The main window's creation and destruction, its components, the settings it keeps, and help.
#include "FrmMain.h"

#include "FrameDecodeThread.h"
#include "PageGeometry.h"
#include "PaintBox.h"
#include "ToolBarIcons.h"
#include "ToolCursors.h"
#include "avi/AviReader.h"
#include "cursors/CursorTable.h"
#include "dialogs/About.h"
#include "dialogs/InputQuery.h"
#include "model/TextForms.h"
#include "platform/Convert.h"
#include "platform/Help.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/Screen.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"
#include "settings/IniFileName.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString Section = QStringLiteral("AviSettings");
const QString DefaultFont = QStringLiteral("\"Times New Roman\";14;clBlack;Bold");
const QString WindowCaption = QStringLiteral("Tavelin 3 AVI Editor");
constexpr int ToolCursorCount = 6;

} // namespace

TFrmMain::TFrmMain(QWidget* parent)
    : TFrmMain(IniFileName, ProgramFolder(), QApplication::arguments().mid(1), parent) {}

TFrmMain::TFrmMain(const QString& settingsFile, const QString& programFolder, const QStringList& arguments,
                   QWidget* parent)
    : QMainWindow(parent), SettingsFile(settingsFile), ProgramDir(programFolder),
      AviFile(std::make_unique<TAVIFile>()) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(WindowCaption);
    resize(800, 600);
    // The editor's pages are part of the manual both programs share.
    HelpFile = ProgramDir + QStringLiteral("Tavelin.html");
    // F1 anywhere in the window opens the manual at the editor's pages.
    SetHelpContext(this, HelpContextId);
    Seams.InputQuery = [this](const QString& caption, const QString& prompt, QString& value) {
        return ::InputQuery(this, caption, prompt, value);
    };
    OpenDialog.Title = QStringLiteral("Open");
    OpenDialog.Filter = QStringLiteral("Avi files (*.avi);;All files (*.*)");
    OpenDialog.DefaultExt = QStringLiteral("AVI");
    CreateComponents();
    FormCreate(arguments);
    KeepActiveAfterDialogs(this);
}

TFrmMain::~TFrmMain() {
    Destroying = true;
    Timer1->stop();
    ForgetDecodedFrames();
    RunCommand([this] { FormDestroy(); });
}

void TFrmMain::RunCommand(const std::function<void()>& command) {
    if (!RunGuarded(command, this)) Busy = false;
}

void TFrmMain::FormCreate(const QStringList& arguments) {
    ThumbWidth = 120;
    ThumbHeight = 100;
    // The drawing tools' pointers; the tool number + 1 is the entry.
    for (int n = 1; n <= ToolCursorCount; ++n)
        TCursorTable::Screen().Set(n, LoadEditorCursorResource(QStringLiteral("Cursor%1").arg(n)));
    Edit.StepPos = -1;
    ReadSettings();
    // A file named on the command line opens as if chosen; a missing one is passed over in silence.
    if (!arguments.isEmpty() && QFileInfo(arguments.first()).isFile()) {
        OpenDialog.FileName = QFileInfo(arguments.first()).absoluteFilePath();
        RunCommand([this] { FileOpen1Accept(); });
    }
    UpdateActions();
}

void TFrmMain::ReadSettings() {
    const TIniFile ini(SettingsFile);
    // A colour text that does not read must not cost the rest of the settings or the file named on
    // the command line: the default colour is taken instead.
    TColor color = clBlack;
    try {
        color = TextToColor(ini.ReadString(Section, QStringLiteral("DrawColor"), QStringLiteral("clBlack")));
    } catch (const EConvertError&) {
        color = clBlack;
    }
    SetDrawColor(color);
    TextToFont(ini.ReadString(Section, QStringLiteral("Font"), DefaultFont), TextFont);
    ViewFont = TextFont;
    DrawWidth = ini.ReadInteger(Section, QStringLiteral("DrawWidth"), 3);
    const QSize screen = ScreenSize();
    const int width = ini.ReadInteger(Section, QStringLiteral("Width"), 800);
    const int height = ini.ReadInteger(Section, QStringLiteral("Height"), 600);
    resize(width, height);
    int top = ini.ReadInteger(Section, QStringLiteral("Top"), (screen.height() - height) / 2);
    int left = ini.ReadInteger(Section, QStringLiteral("Left"), (screen.width() - width) / 2);
    SavePath = ini.ReadString(Section, QStringLiteral("SavePath"), GetMyPicturesFolder());
    if (top < 0) top = 0;
    if (left < 0) left = 0;
    // Placement is kept relative to the primary monitor, wherever it lies on the desktop.
    move(ScreenRect().topLeft() + QPoint(left, top));
    Panel2->resize(ini.ReadInteger(Section, QStringLiteral("PanelWidth"), 400), Panel2->height());
    Splitter1->setSizes({Panel2->width(), qMax(0, width - Panel2->width())});
    if (ini.ReadBool(Section, QStringLiteral("Maximized"), false)) setWindowState(Qt::WindowMaximized);
    LoadStamps();
}

void TFrmMain::WriteSettings() {
    TIniFile ini(SettingsFile);
    // A file that could not be read was reported at start and is left as it is: every write to it
    // would be refused with the same message once more.
    if (!ini.ReadError().isEmpty()) return;
    // The restored placement, also when the window is maximised: the next start restores it.
    const QRect normal = (isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size()))
                             .translated(-ScreenRect().topLeft());
    ini.WriteInteger(Section, QStringLiteral("Width"), normal.width());
    ini.WriteInteger(Section, QStringLiteral("Height"), normal.height());
    ini.WriteInteger(Section, QStringLiteral("Top"), normal.top());
    ini.WriteInteger(Section, QStringLiteral("Left"), normal.left());
    ini.WriteInteger(Section, QStringLiteral("PanelWidth"), Panel2->width());
    ini.WriteBool(Section, QStringLiteral("Maximized"), isMaximized());
    ini.WriteString(Section, QStringLiteral("SavePath"), SavePath);
}

void TFrmMain::FormDestroy() {
    EndTextEntry();
    WriteSettings();
    Edit.Clear();
    AviFile->Close();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    RunCommand([&] { canClose = FormCloseQuery(); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

// --- Components ---

QAction* TFrmMain::NewAction(const QString& name, const QString& caption, const QString& hint,
                             std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    // A hint is "short|long": the tooltip shows the short part, the status bar the long one.
    const int bar = hint.indexOf('|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    addAction(action);
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        RunCommand(handler);
        RunCommand([this] { UpdateActions(); });
    });
    return action;
}

QAction* TFrmMain::Action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

void TFrmMain::CreateComponents() {
    CreateActions();
    CreatePanels();
    CreateMenus();
    CreateToolBar();
    CreateSaveAndEditActions();
    CreateAnnotationComponents();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(100);
    // Each step moves the position, so the tool bar's buttons follow it as after any command.
    connect(Timer1, &QTimer::timeout, this, [this] {
        RunCommand([this] { Timer1Timer(); });
        RunCommand([this] { UpdateActions(); });
    });
    connect(&TShortCutDispatcher::Instance(), &TShortCutDispatcher::BeforeDispatch, this,
            [this](QWidget* window) {
                if (window == this) RunCommand([this] { UpdateActions(); });
            });
}

void TFrmMain::CreateActions() {
    struct TActionInfo {
        const char* Name;
        const char* Caption;
        const char* Hint;
        const char* ShortCut;
        void (TFrmMain::*Handler)();
        ToolBarIcons::TIcon Icon;
    };
    const TActionInfo actions[] = {
        {"FileOpen1", "&Open...", "Open|Opens an existing file", "Ctrl+O", &TFrmMain::FileOpen1Execute,
         ToolBarIcons::Open},
        {"FileExit1", "E&xit", "Exit|Quits the application", "", nullptr, ToolBarIcons::Exit},
        {"FirstFrame", "First frame", "First frame|Go to first frame", "Ctrl+PgUp",
         &TFrmMain::FirstFrameExecute, ToolBarIcons::FirstFrame},
        {"PrevPage", "Prev Page", "Previous Page", "PgUp", &TFrmMain::PrevPageExecute,
         ToolBarIcons::PrevPage},
        {"PreviousFrame", "Previous frame", "Previous frame|Go to previous frame", "Up",
         &TFrmMain::PreviousFrameExecute, ToolBarIcons::PreviousFrame},
        {"NextFrame", "Next frame", "Next frame|Go to next frame", "Down", &TFrmMain::NextFrameExecute,
         ToolBarIcons::NextFrame},
        {"NextPage", "Next Page", "Next Page", "PgDn", &TFrmMain::NextPageExecute, ToolBarIcons::NextPage},
        {"LastFrame", "Last frame", "Last frame|Go to last frame", "Ctrl+PgDn", &TFrmMain::LastFrameExecute,
         ToolBarIcons::LastFrame},
        {"ZoomIn", "Zoom in", "Zoom in|Zoom into image", "", &TFrmMain::ZoomInExecute, ToolBarIcons::ZoomIn},
        {"ZoomOut", "Zoom out", "Zoom out|Zoom out of image", "", &TFrmMain::ZoomOutExecute,
         ToolBarIcons::ZoomOut},
        {"Play", "Play", "Play animation|Play animation", "", &TFrmMain::PlayExecute, ToolBarIcons::Play},
        {"StopPlay", "StopPlay", "Stop playing|Stop playing animation", "", &TFrmMain::StopPlayExecute,
         ToolBarIcons::StopPlay},
        {"Thumbnails", "Hide thumbnails", "Hide thumbnails", "", &TFrmMain::ThumbnailsExecute,
         ToolBarIcons::Thumbnails},
    };
    for (const TActionInfo& a : actions) {
        const auto handler = a.Handler;
        QAction* action = NewAction(QString::fromLatin1(a.Name), QString::fromLatin1(a.Caption),
                                    QString::fromLatin1(a.Hint), [this, handler] {
                                        if (handler) (this->*handler)();
                                    });
        action->setIcon(ToolBarIcons::Icon(a.Icon));
        if (*a.ShortCut) SetActionShortCut(action, TextToShortCut(QString::fromLatin1(a.ShortCut)));
    }
    // The exit command closes the window, through the save question.
    connect(Action(QStringLiteral("FileExit1")), &QAction::triggered, this, &QWidget::close);
    // Ctrl with the keypad's plus and minus keys.
    SetActionShortCut(Action(QStringLiteral("ZoomIn")), TShortCut{VKey::NumPlus, false, true, false});
    SetActionShortCut(Action(QStringLiteral("ZoomOut")), TShortCut{VKey::NumMinus, false, true, false});
    QAction* thumbnails = Action(QStringLiteral("Thumbnails"));
    thumbnails->setCheckable(true);
    thumbnails->setChecked(true);

    QAction* close1 =
        NewAction(QStringLiteral("FileClose1"), QStringLiteral("Close"), {}, [this] { Close1Click(); });
    SetActionShortCut(close1, TextToShortCut(QStringLiteral("Ctrl+F4")));
    NewAction(QStringLiteral("SelectFrame"), QStringLiteral("Frame..."),
              QStringLiteral("Selected frame|Go to selected frame"), [this] { SelectFrameExecute(); });
    NewAction(QStringLiteral("Contents1"), QStringLiteral("&Contents"), {}, [this] { Contents1Click(); });
    NewAction(QStringLiteral("About1"), QStringLiteral("&About..."), {}, [this] { About1Click(); });
}

void TFrmMain::CreateMenus() {
    auto add = [this](QMenu* menu, const char* name) { menu->addAction(Action(QString::fromLatin1(name))); };
    FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    FileMenu->setObjectName(QStringLiteral("File1"));
    add(FileMenu, "FileOpen1");
    add(FileMenu, "FileClose1");
    FileMenu->addSeparator();
    add(FileMenu, "FileExit1");

    // The frame edits and the drawing options fill this menu; it shows once it has items.
    EditMenu = menuBar()->addMenu(QStringLiteral("Edit"));
    EditMenu->setObjectName(QStringLiteral("Edit1"));
    EditMenu->menuAction()->setVisible(false);

    ViewMenu = menuBar()->addMenu(QStringLiteral("View"));
    ViewMenu->setObjectName(QStringLiteral("View1"));
    for (const char* name :
         {"FirstFrame", "PrevPage", "PreviousFrame", "NextFrame", "NextPage", "LastFrame", "SelectFrame"})
        add(ViewMenu, name);
    ViewMenu->addSeparator();
    add(ViewMenu, "ZoomIn");
    add(ViewMenu, "ZoomOut");
    ViewMenu->addSeparator();
    add(ViewMenu, "Thumbnails");

    HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpMenu->setObjectName(QStringLiteral("Help1"));
    add(HelpMenu, "Contents1");
    add(HelpMenu, "About1");

    for (QMenu* menu : {FileMenu, EditMenu, ViewMenu, HelpMenu})
        connect(menu, &QMenu::aboutToShow, this, [this] { RunCommand([this] { UpdateActions(); }); });

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
}

void TFrmMain::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFixedHeight(40);
    ToolBar1->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    auto add = [this](const char* name) { ToolBar1->addAction(Action(QString::fromLatin1(name))); };
    add("FileOpen1");
    ToolBar1->addSeparator();
    for (const char* name : {"FirstFrame", "PrevPage", "PreviousFrame", "StopPlay", "Play", "NextFrame",
                             "NextPage", "LastFrame"})
        add(name);
    ToolBar1->addSeparator();
    add("ZoomIn");
    add("ZoomOut");
    ToolBar1->addSeparator();
    add("Thumbnails");
    ToolBar1->addSeparator();
    add("FileExit1");
    for (QAction* action : ToolBar1->actions())
        if (QWidget* button = ToolBar1->widgetForAction(action); button && !action->isSeparator())
            button->setFixedSize(32, 30);
}

void TFrmMain::ShowPopupMenuOf(QWidget* control) {
    // The control's pop-up menu is the one attached while a file is open, if it has items.
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, this, [control](const QPoint& at) {
        if (QMenu* menu = TShortCutDispatcher::PopupMenu(control); menu && !menu->isEmpty())
            menu->popup(control->mapToGlobal(at));
    });
}

void TFrmMain::CreatePanels() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    column->addWidget(Splitter1, 1);

    Panel2 = new QWidget(Splitter1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(Panel2);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    PaintBox1 = new TPaintBox;
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setFixedSize(394, 450);
    PaintBox1->setAutoFillBackground(true);
    PaintBox1->setBackgroundRole(QPalette::Button);
    PaintBox1->OnPaint = [this](QPaintEvent* event) { RunCommand([&] { PaintBox1Paint(event); }); };
    PaintBox1->OnMouseDown = [this](QMouseEvent* event) {
        const QPoint at = event->position().toPoint();
        RunCommand([&] { PaintBox1MouseDown(at.x(), at.y()); });
        RunCommand([this] { UpdateActions(); });
    };
    ShowPopupMenuOf(PaintBox1);
    ScrollBox1->setWidget(PaintBox1);
    left->addWidget(ScrollBox1);
    Panel2->resize(400, Panel2->height());

    Panel3 = new QWidget(Splitter1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* right = new QVBoxLayout(Panel3);
    right->setContentsMargins(0, 0, 0, 0);
    ScrollBox2 = new QScrollArea(Panel3);
    ScrollBox2->setObjectName(QStringLiteral("ScrollBox2"));
    PaintBox2 = new TPaintBox;
    PaintBox2->setObjectName(QStringLiteral("PaintBox2"));
    // The view paints every pixel it shows.
    PaintBox2->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBox2->OnPaint = [this](QPaintEvent* event) { RunCommand([&] { PaintBox2Paint(event); }); };
    ShowPopupMenuOf(PaintBox2);
    ScrollBox2->setWidget(PaintBox2);
    right->addWidget(ScrollBox2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(50);
    column->addWidget(Panel1);
    auto* bottom = new QHBoxLayout(Panel1);
    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromLatin1(caption), Panel1);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    Label16 = label("Label16", "Frame:");
    Edit4 = new QLineEdit(QStringLiteral("0"), Panel1);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Edit4->setFixedWidth(70);
    // Not associated: the window keeps the number and the arrows in step itself.
    UpDown4 = new TUpDown(Panel1);
    UpDown4->setObjectName(QStringLiteral("UpDown4"));
    UpDown4->SetMin(0);
    UpDown4->SetMax(500);
    UpDown4->setFixedSize(TUpDown::ButtonWidth, Edit4->sizeHint().height());
    Label1 = label("Label1", "Number of frames:");
    Label2 = label("Label2", "0");
    Label3 = label("Label3", "Zoom:");
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (int zoom : PageGeometry::ZoomTable)
        ComboBox1->addItem(QStringLiteral("%1 %").arg(zoom));
    ComboBox1->setCurrentIndex(PageGeometry::ZoomIndex100);
    Label4 = label("Label4", "Saving file");
    Label4->hide();
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->hide();
    bottom->addWidget(Label16);
    bottom->addWidget(Edit4);
    bottom->addWidget(UpDown4);
    bottom->addSpacing(20);
    bottom->addWidget(Label1);
    bottom->addWidget(Label2);
    bottom->addSpacing(20);
    bottom->addWidget(Label3);
    bottom->addWidget(ComboBox1);
    bottom->addWidget(Label4);
    bottom->addWidget(ProgressBar1);
    bottom->addStretch(1);

    connect(Edit4, &QLineEdit::textChanged, this, [this] {
        RunCommand([this] { Edit4Change(); });
        RunCommand([this] { UpdateActions(); });
    });
    connect(UpDown4, &TUpDown::Changed, this, [this](int position) {
        RunCommand([&] { UpDown4ChangingEx(position); });
        RunCommand([this] { UpdateActions(); });
    });
    connect(ComboBox1, &QComboBox::activated, this, [this] {
        RunCommand([this] { ComboBox1Change(); });
        RunCommand([this] { UpdateActions(); });
    });
}

// --- Help ---

void TFrmMain::Contents1Click() {
    ShowHelp(HelpFile, 0, this);
}

void TFrmMain::About1Click() {
    TAboutBox box(this, TProgram::Framory);
    box.exec();
}

// --- What the annotation settings build on ---

void TFrmMain::SetDrawColor(TColor color) {
    DrawColor = color;
    ViewCanvasPen.Color = color;
    UpdateColorIcon(color);
}
