// The annotation text form of every step class and of the point class: what each writes into its
// section and how it reads the section back.

#include "AnnotationText.h"
#include "EllipseRect.h"
#include "ImageStep.h"
#include "LineStep.h"
#include "LoadedStepBounds.h"
#include "Move.h"
#include "MoveList.h"
#include "TextForms.h"
#include "TextStep.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"

#include <QFileInfo>

namespace {

// x,y,width,colour: the point form of a TMove, also the End of a shape.
QString PointText(int32_t x, int32_t y, int32_t width, TColor color) {
    return QString::number(x) + ',' + QString::number(y) + ',' + QString::number(width) + ',' +
           ColorToText(color);
}

QString Quoted(const QString& text) {
    return '"' + text + '"';
}

// Texts and file names are written between two quotes and nothing inside is escaped, so one leading
// and one trailing quote are all there is to take away.
QString WithoutOuterQuotes(QString text) {
    if (text.startsWith('"')) text.remove(0, 1);
    if (!text.isEmpty() && text.endsWith('"')) text.chop(1);
    return text;
}

} // namespace

void TMove::SaveTo(QStringList& lines) const {
    lines << "Move=" + PointText(X, Y, Width, Color);
}

bool TMove::LoadFrom(const QString& text) {
    const qsizetype first = text.indexOf(',');
    const qsizetype second = first < 0 ? -1 : text.indexOf(',', first + 1);
    const qsizetype third = second < 0 ? -1 : text.indexOf(',', second + 1);
    if (third < 0) return false;
    try {
        const int32_t x = TextToInt(text.left(first));
        const int32_t y = TextToInt(text.mid(first + 1, second - first - 1));
        const int32_t width = TextToInt(text.mid(second + 1, third - second - 1));
        const TColor color = TextToColor(text.mid(third + 1));
        X = ClampLoadedCoordinate(x);
        Y = ClampLoadedCoordinate(y);
        Width = ClampLoadedPenWidth(width);
        Color = color;
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

void TDrawStep::SaveCommon(QStringList& lines, const QString& sectionName) const {
    lines << '[' + sectionName + ']';
    lines << "Start=" + QString::number(StartX) + ',' + QString::number(StartY);
    lines << "Layer=" + QString::number(Layer);
    lines << "Mode=" + QString::number(Mode);
}

bool TDrawStep::LoadFrom(const TAnnotationSection& section) {
    try {
        Layer = TextToInt(section.Value("Layer"));
        // The pen mode is one byte: only the low 8 bits of the number are kept.
        Mode = static_cast<uint8_t>(TextToInt(section.Value("Mode")) & 0xFF);
        ParsePair(section.Value("Start"), StartX, StartY);
    } catch (const EConvertError&) {
        return false;
    }
    StartX = ClampLoadedCoordinate(StartX);
    StartY = ClampLoadedCoordinate(StartY);
    return true;
}

void TMoveList::SaveTo(QStringList& lines) const {
    SaveCommon(lines, "MoveList");
    for (const TMove& point : Points)
        point.SaveTo(lines);
}

bool TMoveList::LoadFrom(const TAnnotationSection& section) {
    if (!TDrawStep::LoadFrom(section)) return false;
    // A point that does not read whole is left out; the stroke keeps the others.
    for (const QString& value : section.Values("Move")) {
        TMove point;
        if (point.LoadFrom(value)) Points.push_back(point);
    }
    return !Points.empty();
}

void TLineStep::SaveTo(QStringList& lines) const {
    SaveCommon(lines, "LineStep");
    EndPoint.SaveTo(lines);
}

bool TLineStep::LoadFrom(const TAnnotationSection& section) {
    if (!TDrawStep::LoadFrom(section)) return false;
    return EndPoint.LoadFrom(section.Value("Move"));
}

void TEllipseRect::SaveTo(QStringList& lines) const {
    SaveCommon(lines, "EllipseRect");
    lines << "End=" + PointText(EndX, EndY, Width, Color);
    lines << "Type=" + BoolToText(IsRect) + ',' + BoolToText(Filled) + ',' + BoolToText(Outside);
}

bool TEllipseRect::LoadFrom(const TAnnotationSection& section) {
    if (!TDrawStep::LoadFrom(section)) return false;
    TMove end;
    if (!end.LoadFrom(section.Value("End"))) return false;
    EndX = end.X;
    EndY = end.Y;
    Width = end.Width;
    Color = end.Color;

    const QString type = section.Value("Type");
    const qsizetype first = type.indexOf(',');
    const qsizetype second = first < 0 ? -1 : type.indexOf(',', first + 1);
    if (second < 0) return false;
    try {
        IsRect = TextToBool(type.left(first));
        Filled = TextToBool(type.mid(first + 1, second - first - 1));
        Outside = TextToBool(type.mid(second + 1));
    } catch (const EConvertError&) {
        return false;
    }
    return true;
}

void TTextStep::SaveTo(QStringList& lines) const {
    SaveCommon(lines, "TextStep");
    lines << "Text=" + Quoted(Text);
    lines << "Font=" + FontToText(Font);
    lines << "Transparent=" + BoolToText(Transparent);
}

bool TTextStep::LoadFrom(const TAnnotationSection& section) {
    if (!TDrawStep::LoadFrom(section)) return false;
    Text = WithoutOuterQuotes(section.Value("Text"));
    TextToFont(section.Value("Font"), Font);
    Font.Size = ClampLoadedFontSize(Font.Size);
    // Not turned into false: a Transparent that is no Boolean, or none at all, ends the whole reading.
    Transparent = TextToBool(section.Value("Transparent"));
    return true;
}

void TImageStep::SaveTo(QStringList& lines) const {
    SaveCommon(lines, "ImageStep");
    lines << "Image=" + Quoted(FileName) + ',' + BoolToText(Transparent);
}

bool TImageStep::LoadFrom(const TAnnotationSection& section) {
    if (!TDrawStep::LoadFrom(section)) return false;
    const QString value = section.Value("Image");
    if (value.isEmpty()) return false;
    // The flag is the last thing written and holds no comma, so the path runs to the last comma: a
    // stamp whose path has a comma of its own reads back whole.
    const qsizetype comma = value.lastIndexOf(',');
    if (comma >= 0) {
        // Not turned into false: a flag that is no Boolean ends the whole reading.
        Transparent = TextToBool(value.mid(comma + 1));
        FileName = WithoutOuterQuotes(value.left(comma));
    } else {
        Transparent = true;
        FileName = WithoutOuterQuotes(value);
    }
    return QFileInfo(FileName).isFile();
}
