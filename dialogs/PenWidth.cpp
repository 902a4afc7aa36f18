#include "PenWidth.h"

#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/UpDownEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Design sizes of the dialog, in pixels.
constexpr int ClientWidth = 200;
constexpr int ClientHeight = 100;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
} // namespace

TWidthDlg::TWidthDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WidthDlg"));
    setWindowTitle(QStringLiteral("Drawing width"));
    // A dialog border without border icons: no close, minimise or help buttons in the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);

    Label1 = new QLabel(QStringLiteral("New width:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 20, 70, 17);

    Edit1 = new QLineEdit(QStringLiteral("1"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(96, 16, 57, 23);
    UpDown1 = AttachUpDown(Edit1, QStringLiteral("UpDown1"), MinWidth, MaxWidth, 1);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(16, 60, ButtonWidth, ButtonHeight);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TWidthDlg::BitBtn1Click);

    BitBtn3 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setGeometry(ClientWidth - 16 - ButtonWidth, 60, ButtonWidth, ButtonHeight);
    BitBtn3->setAutoDefault(false);
    connect(BitBtn3, &QPushButton::clicked, this, &TWidthDlg::reject);

    CenterOnScreen(this);
}

void TWidthDlg::reject() {
    done(mrCancel);
}

void TWidthDlg::BitBtn1Click() {
    const std::optional<int> width = TUpDown::TextToInt(Edit1->text());
    if (width && *width >= UpDown1->Min() && *width <= UpDown1->Max()) {
        done(mrOk);
        return;
    }
    MessageDlg(QStringLiteral("Invalid drawing width"), mtError, mbOK, this);
    Edit1->setFocus();
}
