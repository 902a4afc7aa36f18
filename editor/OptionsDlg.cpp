#include "OptionsDlg.h"

#include "model/TextForms.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/FontSizeCheck.h"
#include "pickers/StampList.h"
#include "platform/Convert.h"
#include "platform/IniFile.h"
#include "platform/MessageDlg.h"
#include "platform/Screen.h"
#include "platform/UpDownEdit.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The editor's own section of its settings file; the keys are data in users' files.
const QString Section = QStringLiteral("AviSettings");
const QString DefaultFont = QStringLiteral("\"Times New Roman\";14;clBlack;Bold");

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

TOptionsDlg::TOptionsDlg(const QString& settingsFile, const QString& programFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      SettingsFile(settingsFile) {
    setObjectName(QStringLiteral("OptionsDlg"));
    setWindowTitle(QStringLiteral("Framoryor options"));
    setProperty("HelpContext", HelpContextId);
    Label1 = new QLabel(QStringLiteral("Drawing &width:"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(50);
    UpDown1 = new TUpDown(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->SetMin(MinWidth);
    UpDown1->SetMax(MaxWidth);
    UpDown1->SetAssociate(Edit1);
    UpDown1->setFixedSize(TUpDown::ButtonWidth, Edit1->sizeHint().height());
    Label1->setBuddy(Edit1);
    Label2 = new QLabel(QStringLiteral("Drawing &color:"), this);
    ColorBox1 = new TColorBox(settingsFile, this);
    ColorBox1->setObjectName(QStringLiteral("ColorBox1"));
    Label2->setBuddy(ColorBox1);
    BntFont1 = Button("&Font", "BntFont1", this);
    PanelFont1 = new TFontPanel(QStringLiteral("ABCDEFabcdef"), this);
    PanelFont1->setObjectName(QStringLiteral("PanelFont1"));
    // The sample keeps its size whatever the font, and a layout counts that size: a panel that let the
    // layout ignore it would be drawn over the stamp group below it.
    PanelFont1->setFixedSize(200, 60);
    PanelFont1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Stamps = new TStampList(programFolder, this);
    OKBtn = Button("OK", "OKBtn", this);
    CancelBtn = Button("Cancel", "CancelBtn", this);
    OKBtn->setDefault(true);
    Stamps->FocusTarget = OKBtn;

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    auto* width = new QHBoxLayout;
    width->addWidget(Edit1);
    width->addWidget(UpDown1);
    width->addStretch(1);
    grid->addLayout(width, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(ColorBox1, 1, 1);
    grid->addWidget(BntFont1, 2, 0);
    grid->addWidget(PanelFont1, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(Stamps);
    column->addLayout(buttons);

    FontDialog1.MinFontSize = 4;
    FontDialog1.MaxFontSize = 100;
    connect(BntFont1, &QPushButton::clicked, this, [this] { RunGuarded([this] { BtnFontClick(); }, this); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { OKBtnClick(); }, this); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    Edit1->installEventFilter(this);
}

void TOptionsDlg::LoadSettings() {
    const TIniFile ini(SettingsFile);
    const QSize screen = ScreenSize();
    const int left = ini.ReadInteger(Section, QStringLiteral("Left"), (screen.width() - width()) / 2);
    const int top = ini.ReadInteger(Section, QStringLiteral("Top"), (screen.height() - height()) / 2);
    move(left, top);
    UpDown1->SetPosition(ini.ReadInteger(Section, QStringLiteral("DrawWidth"), 3));
    Edit1->setText(QString::number(UpDown1->Position()));
    // A colour that does not read must not stop the load: black is shown instead.
    TColor color = clBlack;
    try {
        color = TextToColor(ini.ReadString(Section, QStringLiteral("DrawColor"), QStringLiteral("clBlack")));
    } catch (const EConvertError&) {
        color = clBlack;
    }
    ColorBox1->SetSelected(color);
    TFont font;
    TextToFont(ini.ReadString(Section, QStringLiteral("Font"), DefaultFont), font);
    PanelFont1->SetFont(font);
    Stamps->LoadFromSettings(
        ini, Section, [](int slot) { return slot == 0 ? QStringLiteral("Forbidden.ico") : QString(); });
}

void TOptionsDlg::SaveSettings() {
    TIniFile ini(SettingsFile);
    ini.WriteInteger(Section, QStringLiteral("Left"), x());
    ini.WriteInteger(Section, QStringLiteral("Top"), y());
    ini.WriteInteger(Section, QStringLiteral("DrawWidth"), UpDown1->Position());
    ini.WriteString(Section, QStringLiteral("DrawColor"), ColorToText(ColorBox1->Selected()));
    ini.WriteString(Section, QStringLiteral("Font"), FontToText(PanelFont1->Font()));
    Stamps->SaveToSettings(ini, Section);
}

void TOptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); }, this);
}

void TOptionsDlg::FormShow() {
    // Every showing discards what an earlier one left unsaved.
    LoadSettings();
    Stamps->BtnAdd->setEnabled(Stamps->Count() < TStampList::MaxImages);
    OKBtn->setFocus();
}

bool TOptionsDlg::Edit1Exit() {
    const std::optional<int> typed = TUpDown::TextToInt(Edit1->text());
    if (typed && *typed >= MinWidth && *typed <= MaxWidth) {
        UpDown1->SetPosition(*typed);
        return true;
    }
    MessageDlg(QStringLiteral("Invalid drawing width"), mtError, mbOK, this);
    Edit1->setText(QString::number(UpDown1->Position()));
    Edit1->setFocus();
    return false;
}

bool TOptionsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving for OK is checked by OK itself, so that a wrong width stops the close; the window
        // losing the focus is no leaving.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && focusWidget() != OKBtn)
            RunGuarded([this] { Edit1Exit(); }, this);
    }
    return QDialog::eventFilter(watched, event);
}

void TOptionsDlg::OKBtnClick() {
    // A wrong width keeps the dialog open: the pending OK is dropped.
    if (!Edit1Exit()) return;
    SaveSettings();
    done(QDialog::Accepted);
}

void TOptionsDlg::reject() {
    done(mrCancel);
}

void TOptionsDlg::BtnFontClick() {
    FontDialog1.Font = PanelFont1->Font();
    const bool chosen = RunFontDialog ? RunFontDialog(FontDialog1) : FontDialog1.Execute(this);
    if (chosen) {
        HoldFontSize(FontDialog1.Font, FontDialog1.MinFontSize, FontDialog1.MaxFontSize);
        PanelFont1->SetFont(FontDialog1.Font);
    }
    OKBtn->setFocus();
}
