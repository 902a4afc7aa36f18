#pragma once

#include "dialogs/FileOpenDialog.h"

#include <QGroupBox>
#include <QPointer>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TGraphic;
class TIniFile;

// The group " Images for stamping " of the options windows: at most ten pictures, each a full path
// with a transparency flag (0 opaque, else transparent), in the order of the stamp slots 0 to 9; a
// preview of the selected one; add, replace and remove; the "Transparent" box of the selection.
class TStampList : public QGroupBox {
    Q_OBJECT
public:
    // A stored path without a folder names a file in programFolder, the folder of the program whose
    // settings the list shows.
    explicit TStampList(const QString& programFolder, QWidget* parent = nullptr);
    ~TStampList() override;

    static constexpr int MaxImages = 10;
    // The preview's box: larger pictures are shrunk into it, keeping their proportions.
    static constexpr int PreviewWidth = 77;
    static constexpr int PreviewHeight = 70;

    const QString ProgramDir;
    QTreeWidget* lvImages;
    QLabel* PrevImage;
    QPushButton* BtnAdd;
    QPushButton* BtnReplace;
    QPushButton* BtnRemove;
    QCheckBox* CheckBox1;
    TFileOpenDialog OpenPictureDialog1;
    // Takes the focus after each button's work (the window's OK button).
    QPointer<QWidget> FocusTarget;

    int Count() const;
    QString Path(int index) const;
    int Flag(int index) const;
    // The selected entry's index, or -1.
    int SelectedIndex() const;

    // The Image0 to Image9 keys of a section (an empty value skips the slot; a path without folder
    // names a file in the program's folder; only existing files are listed) and PictureDir; then the
    // first entry is selected and previewed.
    void LoadFromSettings(const TIniFile& ini, const QString& section,
                          const std::function<QString(int slot)>& defaultEntry);
    // The entries to Image0 onwards as "path;flag", the remaining slots empty, then PictureDir.
    void SaveToSettings(TIniFile& ini, const QString& section) const;

    void BtnAddClick();
    void BtnReplaceClick();
    void BtnRemoveClick();
    void CheckBox1Click(bool checked);
    // The preview of the selected entry, after a change of the selection.
    void lvImagesChange();
    // "Picture format not supported or invalid image file"; the selected entry goes.
    void RejectImage();

    // Where a picture of that size is drawn in the preview box: its own size when it fits, else
    // shrunk proportionally; centred.
    static QRect PreviewRect(int width, int height);

private:
    void Clear();
    void Append(const QString& path, int flag);
    void Select(int index);
    QTreeWidgetItem* SelectedItem() const;
    // False when another entry than `except` has this path (compared without letter case) and the user
    // wants no second copy.
    bool AcceptDuplicate(const QString& path, const QTreeWidgetItem* except) const;
    void UpdateAddButton();
    void ShowPreview();
    void ClearPreview();
    void FocusAfterEdit();

    std::unique_ptr<TGraphic> Preview;
};
