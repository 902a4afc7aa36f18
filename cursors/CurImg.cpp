#include "CurImg.h"

#include "CursorEntry.h"
#include "platform/Canvas.h"

TCursorImage::TCursorImage() : Bitmap(kCursorSize, kCursorSize, QImage::Format_RGB32) {
    Bitmap.fill(Qt::white); // a new bitmap of the class library starts white
}

void TCursorImage::LoadFromFile(const QString& fileName) {
    Cursor = TCursorFrame();
    Bitmap.fill(Qt::white);
    const std::unique_ptr<TCursorEntry> entry = TCursorEntry::FromFile(fileName);
    if (!entry) return;
    Cursor = entry->Frame(0);
    Cursor.DrawOn(Bitmap, 0, 0);
}

void TCursorImage::Draw(Canvas& canvas, int x, int y) const {
    DrawOn(canvas.Image(), x, y, canvas.ClipRegion);
}

void TCursorImage::DrawOn(QImage& target, int x, int y, const QRegion& clip) const {
    if (Transparent()) {
        Cursor.DrawOn(target, x, y, clip);
        return;
    }
    if (target.format() != QImage::Format_RGB32) return;
    for (int cy = 0; cy < kCursorSize; ++cy) {
        const int ty = y + cy;
        if (ty < 0 || ty >= target.height()) continue;
        const QRgb* src = reinterpret_cast<const QRgb*>(Bitmap.constScanLine(cy));
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(ty));
        for (int cx = 0; cx < kCursorSize; ++cx) {
            const int tx = x + cx;
            if (tx < 0 || tx >= target.width()) continue;
            if (!clip.isEmpty() && !clip.contains(QPoint(tx, ty))) continue;
            dst[tx] = src[cx] | 0xFF000000u;
        }
    }
}
