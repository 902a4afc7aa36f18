#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

// Helpers that put known pixels on an X screen and read them back by other means than the code under
// test.

// The colour the test pattern has at (x, y) of the root window: every pixel of a 1920 x 1080 screen
// differs from its neighbours in each direction, so a shifted or mirrored grab cannot match.
uint32_t PatternPixel(int x, int y);
// Paints the pattern over the whole root window of the display (24-bit screens).
void PaintRootPattern(const QByteArray& display);
// Fills a rectangle of the root window with a raw pixel value of the screen's own format.
void FillRoot(const QByteArray& display, const QRect& rect, unsigned long pixel);

// An X server of another depth than the harness's, for the pixel formats the grabber converts.
class DepthXvfb {
public:
    DepthXvfb(int width, int height, int depth);
    ~DepthXvfb();
    bool IsRunning() const { return !Display.isEmpty(); }
    QByteArray Display;

private:
    QProcess Server;
};

// Runs a command with the test's display; true when it exited with 0.
bool RunCommand(const QString& command, QByteArray* output = nullptr);
QByteArray TestDisplay();
