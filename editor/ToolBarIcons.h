#pragma once

#include <QIcon>

// The pictures of the main window's toolbar buttons, drawn at run time (the disabled look is
// derived from them).
namespace ToolBarIcons {

enum TIcon {
    Open,
    FirstFrame,
    PrevPage,
    PreviousFrame,
    StopPlay,
    Play,
    NextFrame,
    NextPage,
    LastFrame,
    ZoomIn,
    ZoomOut,
    Thumbnails,
    Exit,
    Save,
    InsertFrame,
    DeleteFrame,
};

QIcon Icon(TIcon icon);

} // namespace ToolBarIcons
