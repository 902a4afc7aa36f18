#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// "Name=Value" lines, the form in which a string list holds a settings section, a version resource or
// a section of the annotation text: a line's name is the text before its first "=", its value the
// text after it, and names compare without letter case.

// Whether blanks around a line's name count: the custom colours are read from files people edit by
// hand, where "ColorC = 123456" means ColorC; elsewhere the name is taken exactly as it stands.
enum class TNameBlanks { Significant, Ignored };

// The value of the first line of that name, or none when no line has it.
std::optional<QString> FindNameValue(const QStringList& lines, const QString& name,
                                     TNameBlanks blanks = TNameBlanks::Significant);
// As FindNameValue, empty when no line has the name.
QString NameValue(const QStringList& lines, const QString& name);
// The values of every line of that name, in list order.
QStringList NameValues(const QStringList& lines, const QString& name);
