#include "PatternWindow.h"

#include "platform/X11ScreenGrabber.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

namespace {

constexpr int CellSize = 16;
constexpr int TextBandTop = 64;
constexpr int TextBandHeight = 48;

// Channels kept between 64 and 191, and green or blue at least 100: far from the pointer's black and
// white and from the circle's red.
QRgb CellColour(int cx, int cy) {
    const int r = 64 + (cx * 37 + cy * 11) % 128;
    const int g = 100 + (cx * 13 + cy * 29) % 92;
    const int b = 64 + (cx * 7 + cy * 43) % 128;
    return qRgb(r, g, b);
}

} // namespace

QImage MakePattern(QSize size, bool withText) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = CellColour(x / CellSize, y / CellSize);
    }
    if (withText && size.height() > TextBandTop + TextBandHeight) {
        QPainter p(&image);
        const QRect band(0, TextBandTop, size.width(), TextBandHeight);
        p.fillRect(band, Qt::white);
        QFont font("DejaVu Sans");
        font.setPixelSize(28);
        // Plain two-colour glyphs: the codec's two-colour blocks keep them whole.
        font.setStyleStrategy(QFont::NoAntialias);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(band.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   "The quick brown fox jumps over the lazy dog 0123456789");
    }
    return image;
}

TPatternWindow::TPatternWindow(const QRect& geometry, QImage content)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
      Picture(std::move(content)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    setGeometry(geometry);
}

void TPatternWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Picture);
}

bool TPatternWindow::ShowAndWait() {
    show();
    raise();
    X11ScreenGrabber screen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        QApplication::processEvents();
        const QImage shown = screen.Grab(geometry());
        if (!shown.isNull() && shown.size() == Picture.size() &&
            shown.convertToFormat(QImage::Format_RGB32) == Picture)
            return true;
    }
    return false;
}
