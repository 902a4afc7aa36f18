#pragma once

// Readable failure output for Qt values; included into every test source by the build.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <ostream>

void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const QByteArray& s, std::ostream* os);
void PrintTo(const QSize& s, std::ostream* os);
void PrintTo(const QPoint& p, std::ostream* os);
void PrintTo(const QRect& r, std::ostream* os);
