#pragma once

#include "AnnotationTarget.h"

#include <QString>
#include <QStringList>
#include <memory>

// The annotation text of a window, as script files and the clipboard carry it: a [Layers] section
// with the visibility of the five layers and the current layer, then one section per painted step.
// Neither function keeps state of its own between calls.

// Appends the whole text: [Layers], then every step of the paint list in drawing order.
void WriteScript(const TAnnotationTarget& target, QStringList& lines);

// Reads a text, one line per entry, adding to what the target shows: each [Layers] section is applied
// when it ends (Current before Visible), and each step section that reads as a usable step of layers
// 1 to 5 is placed, in text order. Other sections, and sections that fail, are left out without a
// word. A layer visibility, a text step's Transparent or an image step's flag that is no Boolean ends
// the reading with EConvertError; what was applied before it stays. A text whose steps ask for more
// drawing than MaxLoadedDrawingWork is refused whole with EReadError (TooMuchDrawingMessage), and
// nothing of it is applied.
void ReadScript(TAnnotationTarget& target, const QStringList& lines);

// A new step of the class that a section header names (without the T, in any letter case), with the
// class's defaults; none for any other name.
std::unique_ptr<TDrawStep> CreateStepForSection(const QString& name);
