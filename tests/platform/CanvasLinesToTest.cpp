#include "platform/Canvas.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

QImage Pattern() {
    QImage image(90, 70, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 37 % 256, y * 53 % 256, (x ^ y) * 11 % 256));
    return image;
}

} // namespace

// A stroke handed over whole draws exactly what a LineTo to each of its points draws, in every raster
// operation, with wide and thin and styled pens, a clip, and points far outside the canvas.
TEST(CanvasLinesTo, DrawsWhatLineToThroughEachPointDraws) {
    std::mt19937 rng(9);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int mode = 0; mode <= 16; ++mode) {
        for (int trial = 0; trial < 12; ++trial) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", trial " << trial);
            QImage joined = Pattern(), single = Pattern();
            Canvas a(joined), b(single);
            for (Canvas* c : {&a, &b}) {
                c->Pen.Mode = uint8_t(mode);
                c->Pen.Color = TColor(pick(0, 0xFFFFFF));
                c->Pen.Style = trial % 4 == 3 ? TPenStyle::psDot : TPenStyle::psSolid;
                if (trial % 5 == 4) c->ClipRegion = QRegion(10, 5, 50, 40);
            }
            b.Pen = a.Pen;
            const int count = pick(1, 20);
            const bool thin = trial % 3 == 0;
            std::vector<Canvas::TWidePoint> points;
            for (int i = 0; i < count; ++i)
                points.push_back({pick(-20, 110), pick(-20, 90), thin ? pick(0, 1) : pick(1, 17)});
            if (trial == 11) points.push_back({1 << 28, 5, 3}); // beyond the device space
            const QPoint start(pick(0, 89), pick(0, 69));
            a.MoveTo(start.x(), start.y());
            b.MoveTo(start.x(), start.y());
            a.LinesTo(points.data(), int(points.size()));
            const int width = b.Pen.Width;
            for (const Canvas::TWidePoint& p : points) {
                b.Pen.Width = p.Width;
                b.LineTo(p.X, p.Y);
            }
            b.Pen.Width = width;
            EXPECT_TRUE(joined == single);
            EXPECT_EQ(a.PenPos(), b.PenPos());
            EXPECT_EQ(a.Pen, b.Pen);
        }
    }
}
