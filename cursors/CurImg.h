#pragma once

#include "CursorFrame.h"
#include "platform/Picture.h"

#include <QImage>
#include <QRegion>
#include <QString>

// A cursor or animated-cursor file as an ordinary picture: a 32 x 32 bitmap of the cursor (of its
// first step for an animated one) over white.
class TCursorImage : public TGraphic {
public:
    TCursorImage();

    // Raises nothing: a file that cannot be read as a cursor leaves a white picture with nothing drawn
    // on it.
    void LoadFromFile(const QString& fileName);

    int Width() const override { return kCursorSize; }
    int Height() const override { return kCursorSize; }
    // Opaque, the bitmap; transparent, the cursor drawn with its own mask, as the pointer looks there.
    void Draw(Canvas& canvas, int x, int y) const override;
    // Transparent: the cursor with its own mask, as Draw leaves the canvas around it; else the
    // 32 x 32 bitmap over white.
    QImage ToImage() const override { return Transparent() ? Cursor.Preview() : Bitmap; }
    // The same onto any RGB32 image, touching only pixels inside clip (an empty clip touches all).
    void DrawOn(QImage& target, int x, int y, const QRegion& clip = QRegion()) const;

    bool HasCursor() const { return !Cursor.IsNull(); }
    const TCursorFrame& Frame() const { return Cursor; }

private:
    TCursorFrame Cursor;
    QImage Bitmap; // Format_RGB32
};

// Registers TCursorImage with the picture registry for "cur" and "ani" as "Cursor file". Each program
// calls it once at start-up.
void RegisterCursorFormat();
