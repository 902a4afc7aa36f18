#pragma once

#include "dialogs/FileOpenDialog.h"
#include "model/Layers.h"
#include "platform/FontDialog.h"
#include "platform/ShortCut.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TIniFile;
class THotKeyEdit;
class TLayerPage;
class TStampList;

// The content of the "Tavelin options" window: the five layer pages, the images for stamping, the
// three hot keys, the two program-wide check boxes and the button row. While the window is open the
// settings live in these controls; LoadSettings fills them from the settings file and the autostart
// entry, SaveSettings writes them all back. The window that embeds the pages (the main form) owns
// the show, hide, OK and Cancel steps and the hot-key registration.
class TOptionsPages : public QWidget {
    Q_OBJECT
public:
    explicit TOptionsPages(QWidget* parent = nullptr);
    ~TOptionsPages() override;

    // The autostart entry that "Start with Windows" keeps.
    static const QString AutostartName;

    QTabWidget* PageControl1;
    // Page of layer 1 to 5.
    TLayerPage* Page(int layer) const { return Pages[layer - 1]; }
    TStampList* Stamps;
    QTreeWidget* lvImages; // the stamp list's
    THotKeyEdit* HotKey1;  // annotate
    THotKeyEdit* HotKey2;  // capture
    THotKeyEdit* HotKey3;  // pause and restart of a capture
    QCheckBox* CheckBox2;  // "Show mouse clicks in captured video"
    QCheckBox* CheckBox3;  // "Start with Windows"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* BitBtn4; // "&Help"
    QPushButton* BitBtn5; // "&About"

    TFontDialog FontDialog1;
    TFileOpenDialog OpenDialog1; // "Pointer selection"
    // Runs FontDialog1; tests put their own answer in place. Empty: the real dialog.
    std::function<bool(TFontDialog&)> RunFontDialog;

    // Fills every control from [Settings] and from the autostart entry; the window moves to Left and
    // Top. Whatever an earlier showing left unsaved is discarded.
    void LoadSettings();
    // Writes every key of the controls to [Settings], then keeps or removes the autostart entry. A file
    // that cannot be written is reported; the rest goes on, so the caller's apply step still runs.
    void SaveSettings();

    // Cursor-table entry `layer` and the preview Image`layer` from the page's CurrCursor.
    void LoadLayerCursor(int layer);
    void BtnPointerClick(int layer);
    void BtnFontClick(int layer);
    // Leaving Edit`layer`: a text that is no number from 1 to 40 goes back to the last valid width.
    void Edit1Exit(int layer);

    // The pages' share of the window's show step: the hot keys in force are noted, every control is
    // read afresh, the animated pointer previews start, Add is enabled while fewer than ten images are
    // listed, and OK takes the focus.
    void ShowPages();
    // The pages' share of the hide step: the animated previews stop (they stay loaded).
    void HidePages();
    // Cancel: the hot-key fields go back to the keys in force when the window was shown, so that the
    // registration that follows does not take up abandoned edits.
    void RestoreHotKeys();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadLayer(const TIniFile& ini, int layer);
    void SaveLayer(TIniFile& ini, int layer) const;
    void SaveAutostart();
    void FocusOK();

    std::array<TLayerPage*, LayerCount> Pages{};
    std::array<TShortCut, 3> HotKeysInForce{};
};
