#include "About.h"

#include "platform/MainForm.h"
#include "platform/ModalDialog.h"
#include "platform/NameValueList.h"
#include "platform/WinMath.h"

#include "VersionData.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

// Design sizes of the box, in pixels.
constexpr int ClientWidth = 338;
constexpr int TavelinClientHeight = 250;
constexpr int FramoryClientHeight = 208; // no publication lines
constexpr int PanelHeight = 57;
constexpr int IconSize = 33;
constexpr int Margin = 8;
constexpr int LineHeight = 13;
constexpr int WrappedHeight = 26;
constexpr int HalfWidth = 137;
constexpr int FullWidth = ClientWidth - 2 * Margin;
constexpr int FontPoints = 8;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry, bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(wrap);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* owner, TProgram layout) : QDialog(owner), Layout(layout) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setProperty("HelpContext", AboutHelpContext);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(MulDiv(FontPoints, 96, 72));
    setFont(font);

    const bool withPublication = layout == TProgram::Tavelin;
    const int clientHeight = withPublication ? TavelinClientHeight : FramoryClientHeight;
    setFixedSize(ClientWidth, clientHeight);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry((ClientWidth - IconSize) / 2, Margin, IconSize, IconSize);
    const int besideIcon = Margin + (IconSize - LineHeight) / 2;
    ProductName = MakeLabel(this, "ProductName", QStringLiteral("Application"),
                            QRect(Margin, besideIcon, HalfWidth, LineHeight), false);
    Version = MakeLabel(this, "Version", QStringLiteral("Version 0.0.1"),
                        QRect(ClientWidth - Margin - HalfWidth, besideIcon, HalfWidth, LineHeight), false);
    Copyright = MakeLabel(this, "Copyright", QStringLiteral("Copyright"),
                          QRect(Margin, 52, FullWidth, WrappedHeight), true);
    TradeMarks = MakeLabel(this, "TradeMarks", QStringLiteral("TradeMarks"),
                           QRect(Margin, 84, FullWidth, WrappedHeight), true);
    Label2 =
        MakeLabel(this, "Label2", QStringLiteral("Author"), QRect(Margin, 118, FullWidth, LineHeight), false);
    if (withPublication) {
        Label1 = MakeLabel(this, "Label1", QStringLiteral(TAVELIN_PUBLICATION_CREDIT_TEXT),
                           QRect(Margin, 138, FullWidth, WrappedHeight), true);
        Label3 = MakeLabel(this, "Label3", QStringLiteral("Publication Date"),
                           QRect(Margin, 168, FullWidth, 20), true);
    }

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, clientHeight - PanelHeight, ClientWidth, PanelHeight);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(Margin, 0, FullWidth, 2);
    constexpr int buttonWidth = 75, buttonHeight = 25;
    Button1 = new QPushButton(QStringLiteral("OK"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((ClientWidth - buttonWidth) / 2, (PanelHeight - buttonHeight) / 2, buttonWidth,
                         buttonHeight);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TAboutBox::Button1Click);

    CreateParams(owner);
    CenterOnScreen(this);
    FormCreate();
}

void TAboutBox::GetVersionInfo(QStringList& list) {
    const TVersionTable table = ApplicationVersionTable();
    for (const QString& key : VersionKeys())
        for (const TVersionValue& value : table)
            if (value.Key.compare(key, Qt::CaseInsensitive) == 0) {
                list.append(key + u'=' + value.Value);
                break;
            }
}

void TAboutBox::FormCreate() {
    const QWidget* mainForm = MainForm();
    if (!mainForm && parentWidget()) mainForm = parentWidget()->window();
    setWindowTitle(QStringLiteral("About ") + (mainForm ? mainForm->windowTitle() : QString()));
    ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    QStringList lines;
    GetVersionInfo(lines);
    // The version label keeps major, minor and release ("3.0.0" of "3.0.0.12").
    constexpr int versionDigits = 5;
    ProductName->setText(NameValue(lines, QStringLiteral("FileDescription")));
    Version->setText(QStringLiteral("Version ") +
                     NameValue(lines, QStringLiteral("FileVersion")).left(versionDigits));
    Copyright->setText(NameValue(lines, QStringLiteral("LegalCopyright")));
    TradeMarks->setText(NameValue(lines, QStringLiteral("LegalTradeMarks")));
    Label2->setText(NameValue(lines, QStringLiteral("Author")));
    if (Label3) Label3->setText(NameValue(lines, QStringLiteral("PubDate")));
}

void TAboutBox::Button1Click() {
    accept();
}

void TAboutBox::CreateParams(QWidget* owner) {
    // A parented dialog is a popup of its owner's window; the explicit link also holds when the owner
    // has never been shown.
    MakeTransientFor(this, owner);
}
