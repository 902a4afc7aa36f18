#include "tools/ToolChoice.h"

#include "platform/ComponentTag.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QMenu>

namespace ToolChoice {

const std::array<TToolImages, 5> Tools = {{
    {"FreeHand", ToolIcons::FreeHand, ToolIcons::FreeHandChosen},
    {"Line", ToolIcons::Line, ToolIcons::LineChosen},
    {"Rectangle", ToolIcons::Rectangle, ToolIcons::RectangleChosen},
    {"Ellipse", ToolIcons::Ellipse, ToolIcons::EllipseChosen},
    {"Text", ToolIcons::Text, ToolIcons::TextChosen},
}};

int ChosenImage(const QString& name) {
    for (const TToolImages& t : Tools)
        if (name == QLatin1String(t.Name)) return t.Chosen;
    return -1;
}

void UncheckTools(const TFindAction& action, QMenu* images, const QVector<QIcon>& imageList) {
    for (const TToolImages& t : Tools) {
        if (QAction* a = action(QString::fromLatin1(t.Name))) {
            a->setChecked(false);
            a->setIcon(imageList.value(t.Plain));
        }
    }
    images->menuAction()->setChecked(false);
    images->menuAction()->setIcon(imageList.value(ToolIcons::ImageStamps));
    UncheckStamps(images);
}

void UncheckStamps(QMenu* images) {
    for (QAction* item : images->actions())
        item->setChecked(false);
}

TStamp ChooseStamp(QMenu* images, QAction* item, bool stampToolBefore,
                   const std::function<void()>& uncheckTools) {
    if (!stampToolBefore) {
        uncheckTools();
        images->menuAction()->setChecked(true);
    }
    UncheckStamps(images);
    item->setChecked(true);
    return {item->data().toString(), Tag(item)};
}

} // namespace ToolChoice
