#include "UpDownEdit.h"

#include "platform/Convert.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <limits>

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), UpButton(new QToolButton(this)), DownButton(new QToolButton(this)) {
    for (QToolButton* button : {UpButton, DownButton}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    UpButton->setArrowType(Qt::UpArrow);
    DownButton->setArrowType(Qt::DownArrow);
    connect(UpButton, &QToolButton::clicked, this, [this] { Step(1); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetMin(int value) {
    MinValue = value;
    if (MaxValue < MinValue) MaxValue = MinValue;
    PositionValue = Clamp(PositionValue);
}

void TUpDown::SetMax(int value) {
    MaxValue = value;
    if (MinValue > MaxValue) MinValue = MaxValue;
    PositionValue = Clamp(PositionValue);
}

int TUpDown::Clamp(int value) const {
    return value < MinValue ? MinValue : value > MaxValue ? MaxValue : value;
}

int TUpDown::Position() const {
    if (Edit) {
        const std::optional<int> typed = TextToInt(Edit->text());
        if (typed && *typed >= MinValue && *typed <= MaxValue) PositionValue = *typed;
    }
    return PositionValue;
}

void TUpDown::SetPosition(int value) {
    PositionValue = Clamp(value);
    WriteEdit();
}

void TUpDown::WriteEdit() {
    if (Edit) Edit->setText(QString::number(PositionValue));
}

void TUpDown::Step(int delta) {
    const int before = Position();
    PositionValue = Clamp(before + delta);
    WriteEdit();
    if (PositionValue != before) emit Changed(PositionValue);
}

void TUpDown::SetAssociate(QLineEdit* edit) {
    if (Edit) Edit->removeEventFilter(this);
    Edit = edit;
    if (!edit) return;
    edit->installEventFilter(this);
    if (parentWidget() != edit->parentWidget()) setParent(edit->parentWidget());
    // The arrows stand where the edit's right end was: the pair keeps the edit's outer size.
    const QRect area = edit->geometry();
    edit->setGeometry(area.x(), area.y(), area.width() - ButtonWidth, area.height());
    setGeometry(area.x() + area.width() - ButtonWidth, area.y(), ButtonWidth, area.height());
    show();
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    // The type first: an edit being destroyed still sends events, and reading the pointer to it then
    // would treat what is left of it as an edit.
    if (event->type() == QEvent::KeyPress && watched == Edit) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int upHeight = height() / 2;
    UpButton->setGeometry(0, 0, width(), upHeight);
    DownButton->setGeometry(0, upHeight, width(), height() - upHeight);
}

std::optional<int> TUpDown::TextToInt(const QString& text) {
    int32_t value = 0;
    if (!TryTextToInt(text, value)) return std::nullopt;
    return value;
}

TUpDown* AttachUpDown(QLineEdit* edit, const QString& name, int min, int max, int position) {
    auto* upDown = new TUpDown(edit->parentWidget());
    upDown->setObjectName(name);
    upDown->SetMin(min);
    upDown->SetMax(max);
    upDown->SetAssociate(edit);
    upDown->SetPosition(position);
    return upDown;
}
