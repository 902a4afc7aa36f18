#include "ToolCursors.h"

#include "cursors/BuiltInCursors.h"

#include <QPainter>

namespace {

constexpr int ToolCursorCount = 6;

// The tool's sign in the free lower-right quarter of the pointer, in black on a white ground so
// that it shows over any frame.
void DrawToolSign(QImage& image, int tool) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect box(15, 15, 16, 16);
    p.fillRect(box, Qt::white);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setBrush(Qt::NoBrush);
    const QRect inner = box.adjusted(3, 3, -4, -4);
    switch (tool) {
    case 1: // freehand: a wave
        p.drawLine(inner.left(), inner.bottom(), inner.left() + 3, inner.top() + 3);
        p.drawLine(inner.left() + 3, inner.top() + 3, inner.left() + 6, inner.bottom() - 2);
        p.drawLine(inner.left() + 6, inner.bottom() - 2, inner.right(), inner.top());
        break;
    case 2:
        p.drawLine(inner.bottomLeft(), inner.topRight());
        break;
    case 3:
        p.drawRect(inner.adjusted(0, 1, 0, -1));
        break;
    case 4:
        p.drawEllipse(inner.adjusted(0, 1, 0, -1));
        break;
    case 5: // text: a capital T
        p.drawLine(inner.left(), inner.top(), inner.right(), inner.top());
        p.drawLine(inner.center().x(), inner.top(), inner.center().x(), inner.bottom());
        break;
    case 6: // stamp: a filled block on a base
        p.fillRect(inner.left() + 2, inner.top(), inner.width() - 4, inner.height() - 3, Qt::black);
        p.drawLine(inner.left(), inner.bottom(), inner.right(), inner.bottom());
        break;
    }
}

} // namespace

std::unique_ptr<TCursorEntry> LoadEditorCursorResource(const QString& name) {
    for (int tool = 1; tool <= ToolCursorCount; ++tool) {
        if (name.compare(QStringLiteral("CURSOR%1").arg(tool), Qt::CaseInsensitive) != 0) continue;
        TCursorFrame frame = DefaultArrowFrame();
        DrawToolSign(frame.Image, tool);
        return std::make_unique<TCursorEntry>(std::move(frame));
    }
    return nullptr;
}
