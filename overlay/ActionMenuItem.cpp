#include "ActionMenuItem.h"

#include "platform/ShortCutDispatcher.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace {

void CopyState(QAction* item, const QAction* action, const QString& caption) {
    item->setText(caption.isEmpty() ? ActionCaption(action) : caption);
    SetActionShortCut(item, ActionShortCut(action));
    item->setIcon(action->icon());
    item->setCheckable(action->isCheckable());
    item->setChecked(action->isChecked());
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
}

} // namespace

QAction* AddActionItem(QMenu* menu, QAction* action, const QString& itemName, const QString& caption) {
    auto* item = new QAction(menu);
    item->setObjectName(itemName);
    CopyState(item, action, caption);
    menu->addAction(item);
    QPointer<QAction> source(action);
    QObject::connect(action, &QAction::changed, item, [item, source, caption] {
        if (source) CopyState(item, source, caption);
    });
    QObject::connect(item, &QAction::triggered, item, [item, source, caption] {
        // Qt has toggled a checkable item already; the action's handler decides instead.
        if (!source) return;
        source->trigger();
        if (source) CopyState(item, source, caption);
    });
    return item;
}
