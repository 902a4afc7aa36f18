#include "ColorBox.h"

#include "platform/ColorDialog.h"
#include "platform/IniFile.h"
#include "platform/MessageDlg.h"
#include "settings/TavelinSettings.h"

#include <QPainter>
#include <QPixmap>

namespace {

// The standard colours, then the extended ones, in the order the box lists them.
const TColorName BoxColors[] = {
    {"Black", clBlack},
    {"Maroon", clMaroon},
    {"Green", clGreen},
    {"Olive", clOlive},
    {"Navy", clNavy},
    {"Purple", clPurple},
    {"Teal", clTeal},
    {"Gray", clGray},
    {"Silver", clSilver},
    {"Red", clRed},
    {"Lime", clLime},
    {"Yellow", clYellow},
    {"Blue", clBlue},
    {"Fuchsia", clFuchsia},
    {"Aqua", clAqua},
    {"White", clWhite},
    {"MoneyGreen", clMoneyGreen},
    {"SkyBlue", clSkyBlue},
    {"Cream", clCream},
    {"MedGray", clMedGray},
};

const QString CustomCaption = QStringLiteral("Custom...");
constexpr int SwatchSize = 12;

QIcon Swatch(TColor color) {
    QPixmap pixmap(SwatchSize, SwatchSize);
    pixmap.fill(ToQColor(color));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, SwatchSize - 1, SwatchSize - 1);
    return QIcon(pixmap);
}

} // namespace

TColorBox::TColorBox(const QString& settingsFile, QWidget* parent)
    : QComboBox(parent), SettingsFile(settingsFile) {
    AddColor(CustomCaption, clBlack);
    for (const TColorName& c : BoxColors)
        AddColor(QString::fromLatin1(c.Name), c.Value);
    setCurrentIndex(LastIndex);
    setMaxVisibleItems(count());
    connect(this, &QComboBox::activated, this, &TColorBox::Activated);
}

void TColorBox::AddColor(const QString& caption, TColor color) {
    addItem(Swatch(color), caption, QVariant::fromValue<uint>(color));
}

TColor TColorBox::ItemColor(int index) const {
    return itemData(index).toUInt();
}

void TColorBox::SetItemColor(int index, TColor color) {
    setItemData(index, QVariant::fromValue<uint>(color));
    setItemIcon(index, Swatch(color));
}

TColor TColorBox::Selected() const {
    return currentIndex() < 0 ? clBlack : ItemColor(currentIndex());
}

void TColorBox::SetSelected(TColor color) {
    for (int i = CustomIndex + 1; i < count(); ++i)
        if (ItemColor(i) == color) {
            setCurrentIndex(i);
            LastIndex = i;
            return;
        }
    SetItemColor(CustomIndex, color);
    setCurrentIndex(CustomIndex);
    LastIndex = CustomIndex;
}

void TColorBox::Activated(int index) {
    if (index != CustomIndex) {
        LastIndex = index;
        return;
    }
    if (PickCustomColor()) {
        setCurrentIndex(CustomIndex);
        LastIndex = CustomIndex;
    } else {
        setCurrentIndex(LastIndex);
    }
}

bool TColorBox::PickCustomColor() {
    TColorDialog dialog;
    const QStringList read = TIniFile(SettingsFile).ReadSectionValues(TavelinSettings::ColorsSection);
    dialog.CustomColors = read;
    dialog.Color = ItemColor(CustomIndex);
    const bool chosen = RunColorDialog ? RunColorDialog(dialog) : dialog.Execute(this);
    if (chosen) {
        SetItemColor(CustomIndex, dialog.Color);
        update();
    }
    const QStringList& kept = chosen ? dialog.CustomColors : read;
    RunGuarded(
        [&] {
            TIniFile ini(SettingsFile);
            TavelinSettings::WriteCustomColors(ini, kept);
        },
        window());
    return chosen;
}
