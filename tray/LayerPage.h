#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TAniCursor;
class TColorBox;
class TFontPanel;
class TUpDown;

// One "Layer n" page of the options window: the layer's pen width and colour, its pointer with a
// 32 x 32 preview, its text font and text transparency. The controls carry the layer number at the
// end of their names ("Edit3", "ColorBox3"); the transparency box of layer n is "CheckBox" n + 3.
class TLayerPage : public QWidget {
    Q_OBJECT
public:
    TLayerPage(int layer, const QString& settingsFile, QWidget* parent = nullptr);
    ~TLayerPage() override;

    static constexpr int MinWidth = 1;
    static constexpr int MaxWidth = 40;
    static constexpr int PointerSize = 32;

    const int Layer;
    QLineEdit* Edit;
    TUpDown* UpDown;
    TColorBox* ColorBox;
    QFrame* PanelPtr;
    QLabel* Image;
    QPushButton* BtnPointer;
    QPushButton* BtnFont;
    TFontPanel* PanelFont;
    QCheckBox* CheckBoxTransparent;

    // The layer's pointer file as shown and saved; empty: the layer's built-in pointer.
    QString CurrCursor;
    // The value last read from the settings file; it only feeds the check box.
    bool TransparentFont = true;
    // The animated preview of an ".ani" pointer, owned; none for every other pointer.
    std::unique_ptr<TAniCursor> AniPreview;

    // The font buttons' names, as the window was first drawn: "BntFont1", "BtnFont2", "BntFont3", ...
    static QString FontButtonName(int layer);
};
