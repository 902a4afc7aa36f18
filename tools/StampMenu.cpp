#include "tools/StampMenu.h"

#include "platform/ComponentTag.h"
#include "platform/IniFile.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "settings/TavelinSettings.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

using namespace TavelinSettings;

void FillStampMenu(QMenu* images, const TIniFile& ini, const QString& section,
                   const std::function<QString(int slot)>& defaultEntry, const QString& programFolder,
                   const std::function<void(QAction* item)>& onClick) {
    for (QAction* item : images->actions()) {
        images->removeAction(item);
        delete item;
    }
    for (int slot = 0; slot < StampSlots; ++slot) {
        const QString value = ini.ReadString(section, Keys::Image.At(slot).Name, defaultEntry(slot));
        const std::optional<TStampEntry> entry = ParseStampEntry(value, programFolder);
        if (!entry || !QFileInfo(entry->Path).isFile()) continue;
        auto* item = new QAction(images);
        item->setObjectName(QStringLiteral("Stamp%1").arg(slot));
        // The caption is the file's path as it stands: an "&" in it is no accelerator.
        item->setText(QString(entry->Path).replace(QChar('&'), QStringLiteral("&&")));
        item->setData(entry->Path);
        // The shortcut follows the slot, not the place in the menu.
        SetActionShortCut(item, TextToShortCut(QStringLiteral("Shift+Ctrl+%1").arg(slot)));
        SetTag(item, entry->Flag);
        item->setCheckable(true);
        images->addAction(item);
        QObject::connect(item, &QAction::triggered, images, [item, onClick] {
            // The click decides the ticks itself.
            item->setChecked(!item->isChecked());
            onClick(item);
        });
    }
    images->setEnabled(!images->actions().isEmpty());
    images->menuAction()->setEnabled(images->isEnabled());
}
