#include "InputQuery.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <algorithm>

namespace {

// A title bar holds the window's icon and up to three buttons (iconify, maximise, close), each
// about as wide as the bar is high, and pads the text at both ends.
constexpr int TitleBarItems = 4;
constexpr int TitleBarPadding = 8;
constexpr int TitleTextPadding = 16;

} // namespace

int CaptionFitWidth(const QString& caption) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int barHeight = metrics.height() + TitleBarPadding;
    return metrics.horizontalAdvance(caption) + TitleTextPadding + TitleBarItems * barHeight;
}

bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value) {
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("InputQuery"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Normal);
    dialog.setTextValue(value);
    // Sized by its prompt alone, a box with a short prompt would show its caption cut short. The box's
    // layout sets the box's own limits from its contents, so the field, which spans the box, is made
    // wide enough.
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        const QMargins margins = dialog.layout() ? dialog.layout()->contentsMargins() : QMargins();
        field->setMinimumWidth(
            std::max(field->minimumWidth(), CaptionFitWidth(caption) - margins.left() - margins.right()));
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    value = dialog.textValue();
    return true;
}
