#include "First.h"

#include "TrayIcons.h"
#include "platform/ModalDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// A notification area with the program's icon circled in red.
QPixmap TrayPicture() {
    QImage image(150, 40, QImage::Format_RGB32);
    image.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawLine(0, 0, 150, 0);
    p.fillRect(QRect(4, 6, 142, 28), QColor(0xE8, 0xE6, 0xE0));
    const QColor others[] = {QColor(0x40, 0x90, 0x40), QColor(0x90, 0x90, 0x30)};
    for (int i = 0; i < 2; ++i)
        p.fillRect(QRect(12 + i * 24, 12, 16, 16), others[i]);
    p.drawImage(QRect(64, 12, 16, 16), ApplicationIconImage(16));
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(QRect(96, 6, 50, 28), Qt::AlignCenter, "12:00");
    p.setPen(QPen(Qt::red, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(58, 6, 28, 28));
    return QPixmap::fromImage(image);
}

} // namespace

TFirstFrm::TFirstFrm(const QString& annotateKey, const QString& captureKey, QWidget* parent)
    : QDialog(parent) {
    setObjectName("FirstFrm");
    setWindowTitle("Tavelin 3.0");
    setFixedSize(388, 240);
    QFont font("MS Shell Dlg 2");
    setFont(font);

    auto* label1 = new QLabel("Tavelin icon remains on the TrayBar", this);
    label1->setObjectName("Label1");
    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(13);
    label1->setFont(bold);
    label1->setGeometry(16, 12, 356, 20);

    auto* image1 = new QLabel(this);
    image1->setObjectName("Image1");
    image1->setPixmap(TrayPicture());
    image1->setGeometry(119, 38, 150, 40);

    QString text =
        "To activate it, use the hotkeys HKAnn \r\nto annotate the screen or HKCap \r\nto capture the "
        "movement sequence \r\nas an AVI file or right click the icon \r\nto open its context menu";
    text.replace("HKAnn", annotateKey);
    text.replace("HKCap", captureKey);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setFont(bold);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setText(QString(text).replace("\r\n", "\n"));
    Label2->setProperty("RawText", text);
    Label2->setGeometry(8, 86, 372, 100);

    CheckBox1 = new QCheckBox("Don't show again", this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(16, 200, 200, 24);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BitBtn1");
    ok->setGeometry(290, 198, 82, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // Placed here rather than by the dialog, which would allow for a frame it guesses.
    CenterOnScreen(this);
}

bool TFirstFrm::DontShowAgain() const {
    return CheckBox1->isChecked();
}

QString TFirstFrm::Message() const {
    return Label2->property("RawText").toString();
}
