#include "tools/TextEntryEdit.h"

#include "platform/Canvas.h"

#include <QPainter>
#include <QPalette>
#include <QStyle>

TTextEntryEdit::TTextEntryEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TTextEntryEdit::SetCanvasFont(const TFont& font) {
    CanvasFont = font;
    update();
}

void TTextEntryEdit::paintEvent(QPaintEvent*) {
    // Drawn in canvas pixels and shown at the widget's pixel ratio, so that a step drawn on a canvas
    // of the same ratio gives the same pixels.
    const qreal ratio = devicePixelRatioF();
    QImage picture((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
    const QPalette& colours = palette();
    picture.fill(colours.color(QPalette::Base));
    const int left = qRound(TextLeft * ratio);
    const int top = qRound(TextTop * ratio);
    const QString shown = displayText();
    int caretX = left;
    {
        Canvas canvas(picture);
        canvas.Font = CanvasFont;
        canvas.BkMode = TBkMode::Transparent;
        canvas.TextOut(left, top, shown);
        if (hasSelectedText()) {
            // The selected part in the highlight colours, cut from the same line so that kerning and
            // overhangs stay as they are.
            const int from = left + canvas.TextWidth(shown.left(selectionStart()));
            const int to = left + canvas.TextWidth(shown.left(selectionEnd()));
            const QRect band(from, top, to - from, canvas.TextHeight(shown));
            canvas.Brush.Style = TBrushStyle::bsSolid;
            canvas.Brush.Color = FromQColor(colours.color(QPalette::Highlight));
            canvas.FillRect(band);
            canvas.ClipRegion = QRegion(band);
            canvas.Font.Color = FromQColor(colours.color(QPalette::HighlightedText));
            canvas.TextOut(left, top, shown);
        }
        caretX = left + canvas.TextWidth(shown.left(cursorPosition()));
    }
    picture.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture);
    if (hasFocus()) {
        // The caret stands still: a blinking one would need the edit's own blink state.
        painter.fillRect(QRectF(caretX / ratio, TextTop, 1, height() - 2 * TextTop),
                         colours.color(QPalette::Text));
    }
}
