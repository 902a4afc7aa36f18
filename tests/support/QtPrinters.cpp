#include "QtPrinters.h"

#include <QByteArray>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QByteArray& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << "x" << s.height();
}
void PrintTo(const QPoint& p, std::ostream* os) {
    *os << "(" << p.x() << ", " << p.y() << ")";
}
void PrintTo(const QRect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << " " << r.width() << "x" << r.height() << ")";
}
