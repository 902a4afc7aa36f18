#pragma once

#include "platform/FontDialog.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TColorBox;
class TFontPanel;
class TStampList;
class TUpDown;

// Framory's options dialog: the drawing defaults (pen width, colour, text font) and the images for
// stamping, kept in [AviSettings] of the editor's settings file. Every showing starts from the file;
// OK writes it and closes with mrOk, Cancel writes nothing.
class TOptionsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int HelpContextId = 300;
    static constexpr int MinWidth = 1;
    static constexpr int MaxWidth = 40;

    // Stamp files without a folder are looked up in the program folder.
    TOptionsDlg(const QString& settingsFile, const QString& programFolder, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    TUpDown* UpDown1;
    QLabel* Label2;
    TColorBox* ColorBox1;
    QPushButton* BntFont1;
    TFontPanel* PanelFont1;
    TStampList* Stamps;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    TFontDialog FontDialog1;
    // Runs the font dialog; tests put their own answer in place. Empty: the real dialog.
    std::function<bool(TFontDialog&)> RunFontDialog;

    void LoadSettings();
    void SaveSettings();
    void FormShow();
    void OKBtnClick();
    void BtnFontClick();
    // False when the width's text is no whole number from 1 to 40: then "Invalid drawing width", the
    // last valid width back in the edit, and the focus there.
    bool Edit1Exit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString SettingsFile;
};
