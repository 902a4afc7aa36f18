#include "LayerPage.h"

#include "cursors/AniCur.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "platform/UpDownEdit.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int EditWidth = 56;
constexpr int EditHeight = 22;
constexpr int PointerPanelSide = 40;

} // namespace

QString TLayerPage::FontButtonName(int layer) {
    // Layers 1, 3 and 4 kept the misspelt names under which the window was designed.
    return (layer == 2 || layer == 5 ? QStringLiteral("BtnFont%1") : QStringLiteral("BntFont%1")).arg(layer);
}

TLayerPage::TLayerPage(int layer, const QString& settingsFile, QWidget* parent)
    : QWidget(parent), Layer(layer) {
    setObjectName(QStringLiteral("TabSheet%1").arg(layer));
    setProperty("Tag", layer);
    const QString n = QString::number(layer);

    // The up-down is placed beside the edit once, at the edit's right end: the pair lives in a box of
    // fixed size, out of the layout's reach.
    auto* widthBox = new QWidget(this);
    widthBox->setFixedSize(EditWidth, EditHeight);
    Edit = new QLineEdit(widthBox);
    Edit->setObjectName("Edit" + n);
    Edit->setGeometry(0, 0, EditWidth, EditHeight);
    UpDown = AttachUpDown(Edit, "UpDown" + n, MinWidth, MaxWidth, 3);
    auto* widthLabel = new QLabel("Drawing &width:", this);
    widthLabel->setBuddy(Edit);

    ColorBox = new TColorBox(settingsFile, this);
    ColorBox->setObjectName("ColorBox" + n);
    auto* colorLabel = new QLabel("Drawing &color:", this);
    colorLabel->setBuddy(ColorBox);

    PanelPtr = new QFrame(this);
    PanelPtr->setObjectName("PanelPtr" + n);
    PanelPtr->setFrameShape(QFrame::Panel);
    PanelPtr->setFrameShadow(QFrame::Sunken);
    PanelPtr->setFixedSize(PointerPanelSide, PointerPanelSide);
    Image = new QLabel(PanelPtr);
    Image->setObjectName("Image" + n);
    Image->setGeometry((PointerPanelSide - PointerSize) / 2, (PointerPanelSide - PointerSize) / 2,
                       PointerSize, PointerSize);
    Image->setAlignment(Qt::AlignCenter);
    Image->setAttribute(Qt::WA_TranslucentBackground);
    BtnPointer = new QPushButton("P&ointer", this);
    BtnPointer->setObjectName("BtnPointer" + n);

    BtnFont = new QPushButton("&Font", this);
    BtnFont->setObjectName(FontButtonName(layer));
    PanelFont = new TFontPanel("ABCDEFabcdef", this);
    PanelFont->setObjectName("PanelFont" + n);
    PanelFont->setMinimumSize(200, 48);
    CheckBoxTransparent = new QCheckBox("Transparent", this);
    CheckBoxTransparent->setObjectName(QStringLiteral("CheckBox%1").arg(layer + 3));

    auto* grid = new QGridLayout(this);
    grid->addWidget(widthLabel, 0, 0);
    grid->addWidget(widthBox, 0, 1, Qt::AlignLeft);
    grid->addWidget(colorLabel, 1, 0);
    grid->addWidget(ColorBox, 1, 1);
    grid->addWidget(PanelPtr, 0, 2, 2, 1, Qt::AlignCenter);
    grid->addWidget(BtnPointer, 0, 3, 2, 1, Qt::AlignVCenter);
    grid->addWidget(BtnFont, 2, 0, Qt::AlignTop);
    grid->addWidget(PanelFont, 2, 1, 1, 2);
    grid->addWidget(CheckBoxTransparent, 2, 3, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
}

TLayerPage::~TLayerPage() = default;
