// The drawing window's settings: the reload from the settings file, the stamp menu it builds, and the
// settings the window writes back.
#include "Draw.h"

#include "cursors/CursorTable.h"
#include "platform/ComponentTag.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/ShortCutDispatcher.h"
#include "settings/LayerSettings.h"
#include "settings/TavelinSettings.h"
#include "tools/StampMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>

using namespace TavelinSettings;

void TDrawFrm::LoadSettings() {
    const TIniFile ini(SettingsFile);
    TCursorTable& cursors = TCursorTable::Screen();
    for (int n = 1; n <= LayerCount; ++n) {
        TLayerSettings settings = LayerSettings[n];
        ReadLayerSettings(ini, n, settings);
        if (!settings.CursorFile.isEmpty())
            cursors.LoadFromFile(n, settings.CursorFile);
        else
            cursors.LoadFromResource(n, QStringLiteral("CURSOR%1").arg(n));
        settings.Cursor = cursors.Holds(n) ? n : crHandPoint;
        LayerSettings[n] = settings;
        // The current layer's pen follows.
        SetLayerWidth(n, settings.Width);
        SetLayerColor(n, settings.Color);
    }
    LoadStamps(ini);
    SavePath = ini.ReadString(Section, Keys::SavePath.Name, GetMyPicturesFolder());
    ScriptPath = Keys::ScriptPath.Read(ini, Section);
    // The stored file is written back only at destruction: a reload after a script was chosen would
    // otherwise bring back the older one.
    const QString storedScriptFile = Keys::ScriptFile.Read(ini, Section);
    if (!ScriptFileChosen) ScriptFile = storedScriptFile;
    ConfExit = Keys::ConfExit.Read(ini, Section);
    ColorDialog1.CustomColors = ini.ReadSectionValues(ColorsSection);
    SetCurrLayer(CurrLayer);
}

void TDrawFrm::LoadStamps(const TIniFile& ini) {
    FillStampMenu(Images1, ini, Section, DefaultStampEntry, ProgramDir, [this](QAction* item) {
        RunCommand([this, item] { StampClick(item); });
        RunCommand([this] { UpdateActions(); });
    });
}

void TDrawFrm::WriteSetting(const QString& key, const QString& value) {
    TIniFile(SettingsFile).WriteString(Section, key, value);
}

void TDrawFrm::WriteSettingsOnDestroy() {
    // The program is ending: a settings file that cannot be written loses these values, and there is
    // no one left to tell.
    try {
        TIniFile ini(SettingsFile);
        Keys::ScriptPath.Write(ini, Section, ScriptPath);
        // The last script file chosen in either script dialog; an empty value never replaces a
        // stored one.
        if (!ScriptFile.isEmpty()) Keys::ScriptFile.Write(ini, Section, ScriptFile);
        Keys::SavePath.Write(ini, Section, SavePath);
        Keys::ConfExit.Write(ini, Section, ConfExit);
        WriteCustomColors(ini, ColorDialog1.CustomColors);
    } catch (...) {
    }
}
