#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// The plain-text form of annotations shared by script files and the clipboard: INI-like lines with
// look-up rules of their own. Names are not trimmed, the first match wins, letter case is ignored, and a
// value keeps its blanks; the settings INI class follows other rules and must not be used here.

// The text as lines. CR LF, a lone CR or a lone LF ends a line, a last line without an end is still a
// line, and a character 0 ends the text. Valid UTF-8 is read as such; anything else as Windows-1252,
// so that scripts written on older machines still load.
QStringList SplitAnnotationText(const QByteArray& bytes);
QStringList SplitAnnotationText(const QString& text);
// Every line, the last one included, ended with CR LF, in UTF-8.
QByteArray JoinAnnotationText(const QStringList& lines);
QString JoinAnnotationTextAsString(const QStringList& lines);

// The Name=Value lines of one section.
class TAnnotationSection {
public:
    TAnnotationSection() = default;
    explicit TAnnotationSection(QStringList lines) : Lines(std::move(lines)) {}

    // The value of the first line whose name (the part before its first "=") equals the key, ignoring
    // letter case; empty when there is none.
    QString Value(const QString& key) const;
    // The values of every line with that name, in section order.
    QStringList Values(const QString& key) const;
    const QStringList& AllLines() const { return Lines; }

private:
    QStringList Lines;
};

// Walks the lines as sections: empty lines are skipped; a line whose first character is "[" starts a
// section named by the line without its first and last character; each section that has lines is
// handed on when it ends, those before the first header with an empty name.
void ForEachAnnotationSection(
    const QStringList& lines,
    const std::function<void(const QString& name, const TAnnotationSection&)>& handle);
