#include "ColorDialog.h"

#include "NameValueList.h"

#include <QColorDialog>

namespace {

const QRgb NoColorSlot = 0xFFFFFFFF; // what the dialog shows for an empty slot: white

// The value of slot i from "ColorX=..." lines, or -1 when there is none or it holds no colour.
long long SlotValue(const QStringList& lines, int slot) {
    const std::optional<QString> text =
        FindNameValue(lines, TColorDialog::CustomColorKey(slot), TNameBlanks::Ignored);
    if (!text) return -1;
    bool ok = false;
    const unsigned long long v = text->trimmed().toULongLong(&ok, 16);
    if (!ok || v > 0xFFFFFFFFull || v == 0xFFFFFFFFull) return -1;
    return static_cast<long long>(v);
}

QString Hex(TColor c) {
    return QString::number(c & 0xFFFFFF, 16).toUpper().rightJustified(6, '0');
}

} // namespace

QString TColorDialog::CustomColorKey(int slot) {
    return QStringLiteral("Color") + QChar('A' + slot);
}

void TColorDialog::ApplyCustomColors(const QStringList& lines) {
    for (int i = 0; i < CustomColorCount && i < QColorDialog::customCount(); ++i) {
        const long long v = SlotValue(lines, i);
        QColorDialog::setCustomColor(i, v < 0 ? QColor::fromRgba(NoColorSlot)
                                              : ToQColor(static_cast<TColor>(v)));
    }
}

QStringList TColorDialog::ReadCustomColors(const QStringList& before) {
    QStringList lines;
    for (int i = 0; i < CustomColorCount; ++i) {
        const long long old = SlotValue(before, i);
        const QColor now = QColorDialog::customColor(i);
        const TColor value = FromQColor(now);
        if (old < 0 && now.rgba() == NoColorSlot)
            lines << CustomColorKey(i) + "=FFFFFFFF";
        else
            lines << CustomColorKey(i) + "=" + Hex(value);
    }
    return lines;
}

bool TColorDialog::Execute(QWidget* parent) {
    ApplyCustomColors(CustomColors);
    QColorDialog dialog(ToQColor(Color), parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle("Color");
    const bool ok = dialog.exec() == QDialog::Accepted;
    CustomColors = ReadCustomColors(CustomColors);
    if (ok) Color = FromQColor(dialog.selectedColor());
    return ok;
}
