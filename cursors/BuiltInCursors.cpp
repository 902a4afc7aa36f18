#include "BuiltInCursors.h"

#include <array>
#include <utility>

namespace {

// The arrow with its tip at (0, 0). 'B' is the outline, 'L' the lit face, 'S' the shaded edge.
constexpr std::array<const char*, 20> kArrow = {
    "B",            //
    "BB",           //
    "BLB",          //
    "BLLB",         //
    "BLLSB",        //
    "BLLLSB",       //
    "BLLLLSB",      //
    "BLLLLLSB",     //
    "BLLLLLLSB",    //
    "BLLLLLLLSB",   //
    "BLLLLLLLLSB",  //
    "BLLLLLSBBBBB", //
    "BLLSBLSB",     //
    "BLSB.BLSB",    //
    "BSB..BLSB",    //
    "BB....BLSB",   //
    "B.....BLSB",   //
    ".......BLSB",  //
    ".......BLSB",  //
    "........BB",   //
};

// Digits 1 to 5 on a 5 x 7 grid, drawn at twice that size.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphScale = 2;
constexpr std::array<std::array<const char*, kGlyphHeight>, 5> kDigits = {{
    {"..X..", ".XX..", "..X..", "..X..", "..X..", "..X..", ".XXX."},
    {".XXX.", "X...X", "....X", "...X.", "..X..", ".X...", "XXXXX"},
    {".XXX.", "X...X", "....X", "..XX.", "....X", "X...X", ".XXX."},
    {"...X.", "..XX.", ".X.X.", "X..X.", "XXXXX", "...X.", "...X."},
    {"XXXXX", "X....", "XXXX.", "....X", "....X", "X...X", ".XXX."},
}};
// Below and to the right of the arrow, whose widest row ends at x = 11 and whose tail at y = 19.
constexpr QPoint kDigitOrigin(18, 16);

// Colours of the 16-colour palette the cursors are drawn in.
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kYellow = 0xFFFFFF00u;
constexpr QRgb kOlive = 0xFF808000u;

TCursorFrame ArrowFrame(QRgb lit, QRgb shaded) {
    TCursorFrame frame;
    frame.Image = QImage(kCursorSize, kCursorSize, QImage::Format_ARGB32);
    frame.Image.fill(Qt::transparent);
    for (int y = 0; y < static_cast<int>(kArrow.size()); ++y)
        for (int x = 0; kArrow[y][x] != '\0'; ++x) {
            const char c = kArrow[y][x];
            if (c == 'B') frame.Image.setPixel(x, y, kBlack);
            if (c == 'L') frame.Image.setPixel(x, y, lit);
            if (c == 'S') frame.Image.setPixel(x, y, shaded);
        }
    frame.HotSpot = QPoint(0, 0);
    return frame;
}

bool GlyphPixel(int digit, int gx, int gy) {
    if (gx < 0 || gy < 0 || gx >= kGlyphWidth * kGlyphScale || gy >= kGlyphHeight * kGlyphScale) return false;
    return kDigits[digit - 1][gy / kGlyphScale][gx / kGlyphScale] == 'X';
}

// The digit in yellow with a one-pixel black outline, so that it shows on dark and light screens.
void DrawDigit(QImage& image, int digit) {
    const int w = kGlyphWidth * kGlyphScale;
    const int h = kGlyphHeight * kGlyphScale;
    for (int gy = -1; gy <= h; ++gy)
        for (int gx = -1; gx <= w; ++gx) {
            const QPoint p = kDigitOrigin + QPoint(gx, gy);
            if (GlyphPixel(digit, gx, gy)) {
                image.setPixel(p, kYellow);
                continue;
            }
            bool touches = false;
            for (int dy = -1; dy <= 1 && !touches; ++dy)
                for (int dx = -1; dx <= 1 && !touches; ++dx)
                    touches = GlyphPixel(digit, gx + dx, gy + dy);
            if (touches) image.setPixel(p, kBlack);
        }
}

} // namespace

TCursorFrame LayerPointerFrame(int layer) {
    TCursorFrame frame = ArrowFrame(kYellow, kOlive);
    if (layer >= 1 && layer <= static_cast<int>(kDigits.size())) DrawDigit(frame.Image, layer);
    return frame;
}

TCursorFrame DefaultArrowFrame() {
    return ArrowFrame(kWhite, kWhite);
}

std::unique_ptr<TCursorEntry> LoadCursorResource(const QString& name) {
    const QString upper = name.toUpper();
    for (int layer = 1; layer <= static_cast<int>(kDigits.size()); ++layer)
        if (upper == QStringLiteral("CURSOR%1").arg(layer))
            return std::make_unique<TCursorEntry>(LayerPointerFrame(layer));
    return nullptr;
}
