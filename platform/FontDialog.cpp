#include "FontDialog.h"

#include "ColorDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// The sixteen plain colours a font colour is usually picked from; "Custom..." opens the colour dialog.
constexpr TColor FontColors[] = {clBlack,  clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clGray,
                                 clSilver, clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
constexpr int ListedSizes[] = {4,  5,  6,  7,  8,  9,  10, 11, 12, 14, 16, 18, 20, 22,
                               24, 26, 28, 32, 36, 40, 48, 56, 64, 72, 80, 90, 100};

QIcon Swatch(TColor c) {
    QPixmap p(16, 16);
    p.fill(ToQColor(c));
    return QIcon(p);
}

QString ColorCaption(TColor c) {
    for (const TColorName& n : ColorNames)
        if (n.Value == c) return QString(n.Name).mid(2);
    return QStringLiteral("Custom");
}

} // namespace

TFontDialogForm::TFontDialogForm(const TFont& font, int minSize, int maxSize, QWidget* parent)
    : QDialog(parent), Initial(font), Chosen(font.Color) {
    setObjectName("FontDialog");
    setWindowTitle("Font");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;

    Face = new QFontComboBox(this);
    Face->setObjectName("Face");
    Face->setEditable(true);
    Face->setCurrentFont(QFont(font.Name));
    Face->setEditText(font.Name);
    form->addRow("&Font:", Face);

    Size = new QComboBox(this);
    Size->setObjectName("Size");
    Size->setEditable(true);
    // What is typed is the size: completing "2" to "20" would pass a size below the minimum unseen.
    Size->setCompleter(nullptr);
    for (int s : ListedSizes)
        if (s >= minSize && s <= maxSize) Size->addItem(QString::number(s));
    Size->setEditText(QString::number(font.Size));
    form->addRow("&Size:", Size);

    auto* styles = new QHBoxLayout;
    Bold = new QCheckBox("&Bold", this);
    Bold->setObjectName("Bold");
    Italic = new QCheckBox("&Italic", this);
    Italic->setObjectName("Italic");
    Bold->setChecked(font.Style & fsBold);
    Italic->setChecked(font.Style & fsItalic);
    styles->addWidget(Bold);
    styles->addWidget(Italic);
    form->addRow("Font st&yle:", styles);
    layout->addLayout(form);

    auto* effects = new QGroupBox("Effects", this);
    auto* effectsLayout = new QFormLayout(effects);
    StrikeOut = new QCheckBox("Stri&keout", effects);
    StrikeOut->setObjectName("StrikeOut");
    Underline = new QCheckBox("&Underline", effects);
    Underline->setObjectName("Underline");
    StrikeOut->setChecked(font.Style & fsStrikeOut);
    Underline->setChecked(font.Style & fsUnderline);
    effectsLayout->addRow(StrikeOut);
    effectsLayout->addRow(Underline);
    Colors = new QComboBox(effects);
    Colors->setObjectName("Color");
    for (TColor c : FontColors)
        Colors->addItem(Swatch(c), ColorCaption(c), c);
    if (Colors->findData(font.Color) < 0)
        Colors->addItem(Swatch(font.Color), ColorCaption(font.Color), font.Color);
    Colors->addItem("Custom...");
    Colors->setCurrentIndex(Colors->findData(font.Color));
    effectsLayout->addRow("&Color:", Colors);
    layout->addWidget(effects);

    Sample = new QLabel("AaBbYyZz", this);
    Sample->setObjectName("Sample");
    Sample->setMinimumSize(240, 60);
    Sample->setAlignment(Qt::AlignCenter);
    Sample->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(Sample);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(Face, &QFontComboBox::currentTextChanged, this, &TFontDialogForm::UpdateSample);
    connect(Size, &QComboBox::currentTextChanged, this, &TFontDialogForm::UpdateSample);
    for (QCheckBox* box : {Bold, Italic, Underline, StrikeOut})
        connect(box, &QCheckBox::toggled, this, &TFontDialogForm::UpdateSample);
    connect(Colors, &QComboBox::activated, this, &TFontDialogForm::PickColor);
    UpdateSample();
}

void TFontDialogForm::PickColor(int index) {
    const QVariant data = Colors->itemData(index);
    if (data.isValid()) {
        Chosen = data.toUInt();
    } else {
        TColorDialog pick;
        pick.Color = Chosen;
        if (pick.Execute(this)) {
            Chosen = pick.Color;
            if (Colors->findData(Chosen) < 0)
                Colors->insertItem(Colors->count() - 1, Swatch(Chosen), ColorCaption(Chosen), Chosen);
        }
        Colors->setCurrentIndex(Colors->findData(Chosen));
    }
    UpdateSample();
}

TFont TFontDialogForm::ChosenFont() const {
    TFont f = Initial;
    const QString face = Face->currentText().trimmed();
    if (!face.isEmpty()) f.Name = face;
    bool ok = false;
    const int size = Size->currentText().trimmed().toInt(&ok);
    if (ok) f.Size = size;
    f.Style = (Bold->isChecked() ? fsBold : 0) | (Italic->isChecked() ? fsItalic : 0) |
              (Underline->isChecked() ? fsUnderline : 0) | (StrikeOut->isChecked() ? fsStrikeOut : 0);
    f.Color = Chosen;
    return f;
}

void TFontDialogForm::UpdateSample() {
    TFont f = ChosenFont();
    // Keep the sample readable whatever size is typed.
    if (f.Size < 1 || f.Size > 72) f.Size = f.Size < 1 ? 1 : 72;
    Sample->setFont(f.ToQFont());
    QPalette palette = Sample->palette();
    palette.setColor(QPalette::WindowText, ToQColor(f.Color));
    Sample->setPalette(palette);
}

bool TFontDialog::Execute(QWidget* parent) {
    TFontDialogForm form(Font, MinFontSize, MaxFontSize, parent);
    if (form.exec() != QDialog::Accepted) return false;
    Font = form.ChosenFont();
    return true;
}
