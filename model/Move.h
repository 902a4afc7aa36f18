#pragma once

#include "platform/Colors.h"

#include <QString>
#include <QStringList>
#include <cstdint>

// One point with the pen width and colour of the segment it ends; not a step.
class TMove {
public:
    // Appends "Move=" and the point form x,y,width,colour.
    void SaveTo(QStringList& lines) const;
    // Reads the point form; true when all four parts were read. Coordinates and width are kept
    // within the bounds of a loaded step.
    bool LoadFrom(const QString& text);

    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    TColor Color = 0;
};
