#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class Canvas;
class TAnnotationSection;

// One drawing operation made on the screen copy. The fields are stored in annotation files and
// clipboard texts; their meaning must not change.
class TDrawStep {
public:
    TDrawStep() = default;
    virtual ~TDrawStep() = default;
    TDrawStep(const TDrawStep&) = delete;
    TDrawStep& operator=(const TDrawStep&) = delete;

    // Draws in canvas pixels as stored: no scaling, clipping or translation of its own. Only an image
    // step can fail, by throwing; every step leaves the canvas tools it changes as it found them.
    virtual void Draw(Canvas& canvas) const = 0;
    // Appends the step's section of the annotation text: its header, the lines every step has, then
    // the lines of its class.
    virtual void SaveTo(QStringList& lines) const = 0;
    // Fills the step from the lines of its section; true when the step is usable. A value that does
    // not convert gives false, except the Booleans whose error ends the whole reading: those throw
    // EConvertError. Numbers are kept within bounds that any canvas can draw.
    virtual bool LoadFrom(const TAnnotationSection& section);

    int32_t StartX = 0;
    int32_t StartY = 0;
    // Pen-mode ordinal: pmCopy (4) draws normally, pmMask (12) highlights.
    uint8_t Mode = 0;
    // 1 to 5 in the drawing window; the step itself does not check it.
    int32_t Layer = 0;

protected:
    // What every class writes first: "[" + its class name without the T + "]", then Start, Layer and
    // Mode. The section names are data in users' files: never rename them.
    void SaveCommon(QStringList& lines, const QString& sectionName) const;
};
