#include "OptionsPages.h"

#include "HotKeyEdit.h"
#include "LayerPage.h"
#include "cursors/AniCur.h"
#include "cursors/BuiltInCursors.h"
#include "cursors/CursorTable.h"
#include "model/TextForms.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/FontSizeCheck.h"
#include "pickers/StampList.h"
#include "platform/Autostart.h"
#include "platform/Convert.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/MessageDlg.h"
#include "platform/UpDownEdit.h"
#include "settings/IniFileName.h"
#include "settings/LayerSettings.h"
#include "settings/TavelinSettings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace TavelinSettings;

const QString TOptionsPages::AutostartName = QStringLiteral("Tavelin3");

namespace {

constexpr int FontMinSize = 4;
constexpr int FontMaxSize = 100;

// The extension from the file name's last "." on, the dot included, in lower case.
QString LowerExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

TOptionsPages::TOptionsPages(QWidget* parent)
    : QWidget(parent), PageControl1(new QTabWidget(this)), Stamps(new TStampList(ProgramFolder(), this)),
      lvImages(Stamps->lvImages), HotKey1(new THotKeyEdit(this)), HotKey2(new THotKeyEdit(this)),
      HotKey3(new THotKeyEdit(this)), CheckBox2(new QCheckBox("Show mouse clicks in captured video", this)),
      CheckBox3(new QCheckBox("Start with Windows", this)), OKBtn(Button("OK", "OKBtn", this)),
      CancelBtn(Button("Cancel", "CancelBtn", this)), BitBtn4(Button("&Help", "BitBtn4", this)),
      BitBtn5(Button("&About", "BitBtn5", this)) {
    setObjectName("OptionsPages");
    PageControl1->setObjectName("PageControl1");
    for (int layer = 1; layer <= LayerCount; ++layer) {
        TLayerPage* page = new TLayerPage(layer, IniFileName, PageControl1);
        Pages[layer - 1] = page;
        PageControl1->addTab(page, QStringLiteral("Layer %1").arg(layer));
        page->Edit->installEventFilter(this);
        connect(page->BtnPointer, &QPushButton::clicked, this,
                [this, layer] { RunGuarded([this, layer] { BtnPointerClick(layer); }, window()); });
        connect(page->BtnFont, &QPushButton::clicked, this,
                [this, layer] { RunGuarded([this, layer] { BtnFontClick(layer); }, window()); });
    }
    Stamps->FocusTarget = OKBtn;

    HotKey1->setObjectName("HotKey1");
    HotKey2->setObjectName("HotKey2");
    HotKey3->setObjectName("HotKey3");
    CheckBox2->setObjectName("CheckBox2");
    CheckBox3->setObjectName("CheckBox3");
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);

    FontDialog1.MinFontSize = FontMinSize;
    FontDialog1.MaxFontSize = FontMaxSize;
    OpenDialog1.Title = "Pointer selection";
    OpenDialog1.Filter = "Cursor files (*.cur *.ani)";
    OpenDialog1.DefaultExt = "ICO";

    auto* keys = new QGridLayout;
    const QString captions[3] = {"A&nnotate hotkey:", "Cap&ture hotkey:", "&Pause/restart capture:"};
    THotKeyEdit* const fields[3] = {HotKey1, HotKey2, HotKey3};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(captions[i], this);
        label->setBuddy(fields[i]);
        keys->addWidget(label, i, 0);
        keys->addWidget(fields[i], i, 1);
    }
    keys->addWidget(CheckBox2, 0, 2);
    keys->addWidget(CheckBox3, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {OKBtn, CancelBtn, BitBtn4, BitBtn5})
        buttons->addWidget(b);

    auto* column = new QVBoxLayout(this);
    column->addWidget(PageControl1);
    column->addWidget(Stamps);
    column->addLayout(keys);
    column->addLayout(buttons);
    resize(sizeHint());
}

TOptionsPages::~TOptionsPages() = default;

void TOptionsPages::FocusOK() {
    OKBtn->setFocus();
}

// ---- Loading and saving ----

void TOptionsPages::LoadSettings() {
    const TIniFile ini(IniFileName);
    THotKeyEdit* const fields[3] = {HotKey1, HotKey2, HotKey3};
    for (int i = 0; i < 3; ++i)
        fields[i]->SetHotKey(TextToShortCut(Keys::HotKeys[i].Read(ini, Section)));
    CheckBox2->setChecked(Keys::ShowClicks.Read(ini, Section));

    QWidget* form = window();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int left =
        ini.ReadInteger(Section, Keys::Left.Name, (screen.width() - form->frameGeometry().width()) / 2);
    const int top =
        ini.ReadInteger(Section, Keys::Top.Name, (screen.height() - form->frameGeometry().height()) / 2);
    form->move(left, top);

    for (int layer = 1; layer <= LayerCount; ++layer)
        LoadLayer(ini, layer);
    Stamps->LoadFromSettings(ini, Section, DefaultStampEntry);
    CheckBox3->setChecked(TAutostart::IsEnabled(AutostartName) &&
                          !TAutostart::Command(AutostartName).isEmpty());
}

void TOptionsPages::LoadLayer(const TIniFile& ini, int layer) {
    TLayerPage* page = Page(layer);
    TLayerSettings settings;
    // A whole font text replaces the panel's font, styles included, so that styles added during an
    // abandoned showing do not survive the reload. An unreadable colour gives the layer's default
    // rather than ending the load.
    settings.Font = page->PanelFont->Font();
    ReadLayerSettings(ini, layer, settings);
    page->CurrCursor = QFileInfo(settings.CursorFile).isFile() ? settings.CursorFile : QString();
    LoadLayerCursor(layer);
    page->UpDown->SetPosition(settings.Width);
    page->ColorBox->SetSelected(settings.Color);
    page->TransparentFont = settings.TransparentFont;
    page->CheckBoxTransparent->setChecked(page->TransparentFont);
    page->PanelFont->SetFont(settings.Font);
}

void TOptionsPages::SaveSettings() {
    RunGuarded(
        [this] {
            TIniFile ini(IniFileName);
            Keys::Left.Write(ini, Section, window()->x());
            Keys::Top.Write(ini, Section, window()->y());
            const THotKeyEdit* const fields[3] = {HotKey1, HotKey2, HotKey3};
            for (int i = 0; i < 3; ++i)
                Keys::HotKeys[i].Write(ini, Section, ShortCutToText(fields[i]->HotKey()));
            Keys::ShowClicks.Write(ini, Section, CheckBox2->isChecked());
            for (int layer = 1; layer <= LayerCount; ++layer)
                SaveLayer(ini, layer);
            Stamps->SaveToSettings(ini, Section);
        },
        window());
    SaveAutostart();
}

void TOptionsPages::SaveLayer(TIniFile& ini, int layer) const {
    const TLayerPage* page = Page(layer);
    TLayerSettings settings;
    settings.Width = page->UpDown->Position();
    settings.Color = page->ColorBox->Selected();
    settings.CursorFile = page->CurrCursor;
    settings.TransparentFont = page->CheckBoxTransparent->isChecked();
    settings.Font = page->PanelFont->Font();
    WriteLayerSettings(ini, layer, settings);
}

void TOptionsPages::SaveAutostart() {
    const bool done =
        CheckBox3->isChecked()
            ? TAutostart::Enable(AutostartName, QCoreApplication::applicationFilePath(), "Tavelin")
            : TAutostart::Disable(AutostartName);
    if (!done)
        MessageDlg("Cannot change the autostart entry " + TAutostart::EntryPath(AutostartName), mtError, mbOK,
                   window());
}

// ---- Layer pointers ----

void TOptionsPages::LoadLayerCursor(int layer) {
    TLayerPage* page = Page(layer);
    TCursorTable& table = TCursorTable::Screen();
    table.LoadFromResource(layer, QStringLiteral("CURSOR%1").arg(layer));
    const QString ext = LowerExtension(page->CurrCursor);
    if (!page->CurrCursor.isEmpty() && (ext == ".cur" || ext == ".ani"))
        table.LoadFromFile(layer, page->CurrCursor);
    page->Image->clear();
    page->AniPreview.reset();
    if (ext == ".ani") {
        auto preview = std::make_unique<TAniCursor>();
        try {
            preview->LoadFromFile(page->CurrCursor);
            page->AniPreview = std::move(preview);
            return;
        } catch (const std::exception&) {
            // No half-built animation is kept: the preview shows the layer's built-in pointer.
            const auto builtIn = LoadCursorResource(QStringLiteral("CURSOR%1").arg(layer));
            page->Image->setPixmap(QPixmap::fromImage(builtIn->Preview()));
            return;
        }
    }
    page->Image->setPixmap(QPixmap::fromImage(table.Preview(layer)));
}

void TOptionsPages::BtnPointerClick(int layer) {
    TLayerPage* page = Page(layer);
    OpenDialog1.InitialDir = ProgramFolder();
    if (OpenDialog1.Execute(window())) {
        page->CurrCursor = OpenDialog1.FileName;
        LoadLayerCursor(layer);
        if (page->AniPreview) page->AniPreview->SetImage(page->Image);
    }
    FocusOK();
}

// ---- Fonts and widths ----

void TOptionsPages::BtnFontClick(int layer) {
    TLayerPage* page = Page(layer);
    FontDialog1.Font = page->PanelFont->Font();
    const bool chosen = RunFontDialog ? RunFontDialog(FontDialog1) : FontDialog1.Execute(window());
    if (chosen) {
        HoldFontSize(FontDialog1.Font, FontDialog1.MinFontSize, FontDialog1.MaxFontSize);
        page->PanelFont->SetFont(FontDialog1.Font);
    }
    FocusOK();
}

void TOptionsPages::Edit1Exit(int layer) {
    TLayerPage* page = Page(layer);
    const std::optional<int> typed = TUpDown::TextToInt(page->Edit->text());
    if (!typed || *typed < page->UpDown->Min() || *typed > page->UpDown->Max())
        page->Edit->setText(QString::number(page->UpDown->Position()));
    else
        page->UpDown->SetPosition(*typed);
}

bool TOptionsPages::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Only a move to another control is leaving the edit; the window losing the focus is not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            for (int layer = 1; layer <= LayerCount; ++layer)
                if (watched == Page(layer)->Edit) Edit1Exit(layer);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Show, hide, Cancel ----

void TOptionsPages::ShowPages() {
    HotKeysInForce = {HotKey1->HotKey(), HotKey2->HotKey(), HotKey3->HotKey()};
    LoadSettings();
    for (int layer = 1; layer <= LayerCount; ++layer)
        if (TLayerPage* page = Page(layer); page->AniPreview) page->AniPreview->SetImage(page->Image);
    window()->setCursor(Qt::ArrowCursor);
    Stamps->BtnAdd->setEnabled(Stamps->Count() < TStampList::MaxImages);
    FocusOK();
}

void TOptionsPages::HidePages() {
    for (int layer = 1; layer <= LayerCount; ++layer)
        if (TLayerPage* page = Page(layer); page->AniPreview) page->AniPreview->Stop();
}

void TOptionsPages::RestoreHotKeys() {
    HotKey1->SetHotKey(HotKeysInForce[0]);
    HotKey2->SetHotKey(HotKeysInForce[1]);
    HotKey3->SetHotKey(HotKeysInForce[2]);
}
