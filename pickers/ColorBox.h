#pragma once

#include "platform/Colors.h"

#include <QComboBox>
#include <functional>

class TColorDialog;

// The colour combo box of the options windows: a custom-colour entry first, then the sixteen standard
// and the four extended colours, named as plain words ("Black", "MoneyGreen"). Choosing the custom
// entry opens the colour dialog with the sixteen custom colours of the settings file's [Colors]
// section, so every colour box and the drawing window's colour dialog share them.
class TColorBox : public QComboBox {
    Q_OBJECT
public:
    // settingsFile: the file whose [Colors] section holds the custom colours.
    explicit TColorBox(const QString& settingsFile, QWidget* parent = nullptr);

    // The colour of the selected entry.
    TColor Selected() const;
    // Selects the entry of that colour; a colour the list does not name becomes the custom entry's.
    void SetSelected(TColor color);
    TColor ItemColor(int index) const;

    // The custom-colour pick: the dialog starts from the custom entry's colour and the custom colours
    // of [Colors]; OK makes the chosen colour the custom entry's. Whatever the answer, ColorA to ColorP
    // are written back: after OK as the dialog left them, after Cancel as they were read (empty for a
    // key the file did not have). True when a colour was chosen.
    bool PickCustomColor();

    // Runs the colour dialog; tests put their own answer in place. Empty: the real dialog.
    std::function<bool(TColorDialog&)> RunColorDialog;

    static constexpr int CustomIndex = 0;
    const QString SettingsFile;

private:
    void AddColor(const QString& caption, TColor color);
    void SetItemColor(int index, TColor color);
    void Activated(int index);

    // The entry selected before the user chose the custom one: a cancelled pick goes back to it.
    int LastIndex = 1;
};
