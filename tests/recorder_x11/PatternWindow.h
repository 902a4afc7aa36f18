#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

// Known pixels on the screen for a recording to be compared against: cells of 16 x 16 pixels in mid
// colours (never near black, white or red, so a pointer and a click circle stand out against every
// cell), with a band of black text on white. Cells start on the 4 x 4 block grid of the picture, so the
// codec keeps every cell at its 5-bit colour.
QImage MakePattern(QSize size, bool withText);

// A frameless window that shows a picture, placed by itself (no window manager runs on the test's
// server), with the arrow pointer.
class TPatternWindow : public QWidget {
public:
    TPatternWindow(const QRect& geometry, QImage content);

    const QImage& Content() const { return Picture; }
    // Shows the window and waits until its picture is on the screen; false when it did not get there.
    bool ShowAndWait();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage Picture;
};
