#include "FontSizeCheck.h"

#include "platform/MessageDlg.h"

void HoldFontSize(TFont& font, int minSize, int maxSize) {
    if (font.Size < minSize) {
        MessageDlg(QStringLiteral("Font size less than minimum.\r\nUsing %1 as font size").arg(minSize),
                   mtError, mbOK);
        font.Size = minSize;
    }
    if (font.Size > maxSize) {
        MessageDlg(QStringLiteral("Font size greater than maximum.\r\nUsing %1 as font size").arg(maxSize),
                   mtError, mbOK);
        font.Size = maxSize;
    }
}
