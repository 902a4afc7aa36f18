#include "FrmRemove.h"

#include "FrameEdits.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Design sizes of the dialog, in pixels.
constexpr int ClientWidth = 238;
constexpr int ClientHeight = 194;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
} // namespace

TFrmRemove::TFrmRemove(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmRemove"));
    setWindowTitle(QStringLiteral("Remove frames"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);

    Label3 = new QLabel(QStringLiteral("Select frames to remove"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(24, 16, 190, 17);

    Label1 = new QLabel(QStringLiteral("From:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 52, 50, 17);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(88, 48, 121, 23);

    Label2 = new QLabel(QStringLiteral("To:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(24, 92, 50, 17);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(88, 88, 121, 23);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(24, 140, ButtonWidth, ButtonHeight);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TFrmRemove::BitBtn1Click);

    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(ClientWidth - 24 - ButtonWidth, 140, ButtonWidth, ButtonHeight);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TFrmRemove::reject);

    CenterOnScreen(this);
}

void TFrmRemove::reject() {
    done(mrCancel);
}

void TFrmRemove::BitBtn1Click() {
    QString from = Edit1->text(), to = Edit2->text();
    const FrameEdits::TRangeCheck check = FrameEdits::CheckRemoveRange(from, to, FrameLimit);
    // An empty field counts as "1", and the user sees it so.
    if (from != Edit1->text()) Edit1->setText(from);
    if (to != Edit2->text()) Edit2->setText(to);
    if (check.Message.isEmpty()) {
        done(mrOk);
        return;
    }
    MessageDlg(check.Message, mtError, mbOK, this);
    if (check.Focus == FrameEdits::TRangeCheck::From) Edit1->setFocus();
    if (check.Focus == FrameEdits::TRangeCheck::To) Edit2->setFocus();
}
