#pragma once

#include <QIcon>
#include <QString>
#include <QVector>
#include <array>
#include <functional>

class QAction;
class QMenu;

// The ticks and images of a drawing view's tool actions and image-stamp menu, the same in both
// programs: the chosen tool shows its chosen image, the others their plain ones, and the stamp items
// are one radio group under the stamp menu.
namespace ToolChoice {

struct TToolImages {
    const char* Name;
    int Plain;
    int Chosen;
};
// The five tool actions by name, in tool order (dtFreeHand to dtText).
extern const std::array<TToolImages, 5> Tools;

// The image a tool action shows while it is chosen; -1 for none.
int ChosenImage(const QString& name);

using TFindAction = std::function<QAction*(const QString& name)>;

// Every tool action and the stamp menu lose their ticks and show their plain images; so do the
// stamp items.
void UncheckTools(const TFindAction& action, QMenu* images, const QVector<QIcon>& imageList);
void UncheckStamps(QMenu* images);

struct TStamp {
    QString File;
    int Transparent = 0;
};
// A stamp item clicked: when another tool was chosen, the tools lose their ticks (uncheckTools) and
// the stamp menu takes one; the item alone among the stamps is ticked. The item's file and flag.
TStamp ChooseStamp(QMenu* images, QAction* item, bool stampToolBefore,
                   const std::function<void()>& uncheckTools);

} // namespace ToolChoice
