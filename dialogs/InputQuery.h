#pragma once

#include <QString>

class QWidget;

// A one-line text question in front of parent: the caption, the prompt above the field, the field
// holding value at first. True with value set to the answer on OK; false, value unchanged, on Cancel.
// The box is wide enough for a window manager to show its whole caption.
bool InputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value);

// The narrowest width at which a window manager's title bar shows the caption whole: the caption in
// the title font (bold, as title bars draw it) and room for the bar's icon and buttons.
int CaptionFitWidth(const QString& caption);
