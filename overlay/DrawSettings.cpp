// The drawing window's settings: the reload from the settings file, the stamp menu it builds, and the
// settings the window writes back.
#include "Draw.h"

#include "ComponentTag.h"
#include "cursors/CursorTable.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/ShortCutDispatcher.h"
#include "settings/TavelinSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>

using namespace TavelinSettings;

void TDrawFrm::LoadSettings() {
    const TIniFile ini(SettingsFile);
    TCursorTable& cursors = TCursorTable::Screen();
    for (int n = 1; n <= LayerCount; ++n) {
        const QString cursorFile = ini.ReadString(Section, LayerKey("CurrCursor", n), {});
        if (!cursorFile.isEmpty())
            cursors.LoadFromFile(n, cursorFile);
        else
            cursors.LoadFromResource(n, QStringLiteral("CURSOR%1").arg(n));
        LayerCursor[n] = cursors.Holds(n) ? n : crHandPoint;
        SetLayerWidth(n, ReadLayerWidth(ini, n));
        SetLayerColor(n, ReadLayerColor(ini, n));
        LayerTransparentFont[n] = ini.ReadBool(Section, LayerKey("TransparentFont", n), true);
        ApplyFontText(ini.ReadString(Section, LayerKey("Font", n), DefaultFontText), LayerFont[n]);
    }
    LoadStamps(ini);
    SavePath = ini.ReadString(Section, QStringLiteral("SavePath"), GetMyPicturesFolder());
    ScriptPath = ini.ReadString(Section, QStringLiteral("ScriptPath"), {});
    // The stored file is written back only at destruction: a reload after a script was chosen would
    // otherwise bring back the older one.
    const QString storedScriptFile = ini.ReadString(Section, QStringLiteral("ScriptFile"), {});
    if (!ScriptFileChosen) ScriptFile = storedScriptFile;
    ConfExit = ini.ReadBool(Section, QStringLiteral("ConfExit"), true);
    ColorDialog1.CustomColors = ini.ReadSectionValues(ColorsSection);
    SetCurrLayer(CurrLayer);
}

void TDrawFrm::LoadStamps(const TIniFile& ini) {
    for (QAction* item : Images1->actions()) {
        Images1->removeAction(item);
        delete item;
    }
    for (int slot = 0; slot < StampSlots; ++slot) {
        const QString value =
            ini.ReadString(Section, QStringLiteral("Image%1").arg(slot), DefaultStampEntry(slot));
        const std::optional<TStampEntry> entry = ParseStampEntry(value, ProgramDir);
        if (!entry || !QFileInfo(entry->Path).isFile()) continue;
        auto* item = new QAction(Images1);
        item->setObjectName(QStringLiteral("Stamp%1").arg(slot));
        // The caption is the file's path as it stands: an "&" in it is no accelerator.
        item->setText(QString(entry->Path).replace(QChar('&'), QStringLiteral("&&")));
        item->setData(entry->Path);
        // The shortcut follows the slot, not the place in the menu.
        SetActionShortCut(item, TextToShortCut(QStringLiteral("Shift+Ctrl+%1").arg(slot)));
        SetTag(item, entry->Flag);
        item->setCheckable(true);
        Images1->addAction(item);
        Bind(item, [this, item] {
            item->setChecked(!item->isChecked());
            StampClick(item);
        });
    }
    Images1->setEnabled(!Images1->actions().isEmpty());
    Images1->menuAction()->setEnabled(Images1->isEnabled());
}

void TDrawFrm::WriteSetting(const QString& key, const QString& value) {
    TIniFile(SettingsFile).WriteString(Section, key, value);
}

void TDrawFrm::WriteSettingsOnDestroy() {
    // The program is ending: a settings file that cannot be written loses these values, and there is
    // no one left to tell.
    try {
        TIniFile ini(SettingsFile);
        ini.WriteString(Section, QStringLiteral("ScriptPath"), ScriptPath);
        // The last script file chosen in either script dialog; an empty value never replaces a
        // stored one.
        if (!ScriptFile.isEmpty()) ini.WriteString(Section, QStringLiteral("ScriptFile"), ScriptFile);
        ini.WriteString(Section, QStringLiteral("SavePath"), SavePath);
        ini.WriteBool(Section, QStringLiteral("ConfExit"), ConfExit);
        for (char letter = 'A'; letter <= 'P'; ++letter) {
            const QString name = QStringLiteral("Color") + QChar(letter);
            QString value;
            for (const QString& line : ColorDialog1.CustomColors) {
                const qsizetype eq = line.indexOf('=');
                if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0) {
                    value = line.mid(eq + 1);
                    break;
                }
            }
            ini.WriteString(ColorsSection, name, value);
        }
    } catch (...) {
    }
}
