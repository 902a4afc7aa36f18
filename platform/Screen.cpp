#include "Screen.h"

#include <QGuiApplication>
#include <QScreen>

QRect ScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QRect(0, 0, 1920, 1080);
    const qreal ratio = screen->devicePixelRatio();
    const QRect g = screen->geometry();
    return QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio),
                 qRound(g.height() * ratio));
}
