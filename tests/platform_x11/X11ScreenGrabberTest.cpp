#include "platform/X11ScreenGrabber.h"
#include "X11TestScreen.h"
#include "platform/DesktopSnapshot.h"
#include "platform/X11PointerMover.h"
#include "platform/X11PointerReader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// The pixels of the grab that differ from the pattern at their place on the root window.
int PatternMismatches(const QImage& grab) {
    int wrong = 0;
    for (int y = 0; y < grab.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(grab.constScanLine(y));
        for (int x = 0; x < grab.width(); ++x)
            if (row[x] != PatternPixel(grab.offset().x() + x, grab.offset().y() + y)) ++wrong;
    }
    return wrong;
}

void WaitShown(QWidget& w) {
    w.show();
    QElapsedTimer t;
    t.start();
    // Mapped, then a moment for the first paint to reach the screen.
    while (!w.isVisible() && t.elapsed() < 5000)
        QApplication::processEvents();
    while (t.elapsed() < 300)
        QApplication::processEvents();
}

struct GrabCase {
    QRect Asked;
    QRect Expected; // empty: no image
};

class ScreenGrabberTest : public ::testing::TestWithParam<X11ScreenGrabber::Method> {
protected:
    void SetUp() override { PaintRootPattern(TestDisplay()); }
};

} // namespace

TEST_P(ScreenGrabberTest, GrabsExactPixelsClippedToTheRootWindow) {
    X11ScreenGrabber grabber({}, GetParam());
    ASSERT_TRUE(grabber.IsOpen());
    EXPECT_EQ(grabber.UsesSharedMemory(), GetParam() == X11ScreenGrabber::Method::Fastest);
    EXPECT_EQ(grabber.RootRect(), QRect(0, 0, 1920, 1080));
    // One grabber for all, sizes changing from grab to grab: the shared segment is grown and reused.
    const GrabCase cases[] = {
        {{100, 50, 37, 23}, {100, 50, 37, 23}},
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {{1, 1, 1, 1}, {1, 1, 1, 1}},
        {{-10, -20, 50, 60}, {0, 0, 40, 40}},
        {{1900, 1070, 50, 50}, {1900, 1070, 20, 10}},
        {{-5, -5, 1930, 1090}, {0, 0, 1920, 1080}},
        {{1920, 0, 10, 10}, {}},
        {{0, -30, 10, 30}, {}},
        {{-100, -100, 50, 50}, {}},
        {{300, 300, 0, 0}, {}},
        {{500, 600, 333, 111}, {500, 600, 333, 111}},
    };
    for (const GrabCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "asked " << c.Asked.x() << "," << c.Asked.y() << " "
                                        << c.Asked.width() << "x" << c.Asked.height());
        const QImage grab = grabber.Grab(c.Asked);
        if (c.Expected.isEmpty()) {
            EXPECT_TRUE(grab.isNull());
            continue;
        }
        ASSERT_FALSE(grab.isNull());
        EXPECT_EQ(grab.format(), QImage::Format_RGB32);
        EXPECT_EQ(QRect(grab.offset(), grab.size()), c.Expected);
        EXPECT_EQ(PatternMismatches(grab), 0);
    }
}

TEST_P(ScreenGrabberTest, SeesTheWindowsOnTheScreen) {
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(300, 200, 64, 48);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
    window.setPalette(palette);
    WaitShown(window);
    X11ScreenGrabber grabber({}, GetParam());
    const QImage grab = grabber.Grab(QRect(299, 199, 66, 50));
    ASSERT_FALSE(grab.isNull());
    EXPECT_EQ(grab.pixel(1, 1), 0xFF123456u);
    EXPECT_EQ(grab.pixel(64, 48), 0xFF123456u);
    EXPECT_EQ(grab.pixel(0, 0), PatternPixel(299, 199));
    EXPECT_EQ(grab.pixel(65, 49), PatternPixel(364, 248));
}

// A recorder hands each frame's picture back for the next grab to fill; one shared elsewhere, or of
// another size, must be left as it is.
TEST_P(ScreenGrabberTest, FillsAPictureGivenBackOnlyWhenItIsFree) {
    X11ScreenGrabber grabber({}, GetParam());
    const QRect rect(200, 100, 64, 32);
    QImage first = grabber.Grab(rect);
    ASSERT_FALSE(first.isNull());
    first.fill(Qt::red);
    const uchar* memory = first.constBits();
    const QImage again = grabber.Grab(rect.translated(10, 5), std::move(first));
    ASSERT_FALSE(again.isNull());
    EXPECT_EQ(again.constBits(), memory);
    EXPECT_EQ(again.offset(), QPoint(210, 105));
    EXPECT_EQ(PatternMismatches(again), 0);

    const QImage kept = again;
    const QImage fresh = grabber.Grab(rect, again);
    EXPECT_NE(fresh.constBits(), kept.constBits());
    EXPECT_EQ(kept.offset(), QPoint(210, 105));
    EXPECT_EQ(PatternMismatches(kept), 0) << "the shared picture keeps its pixels";
    EXPECT_EQ(PatternMismatches(fresh), 0);
    const QImage larger = grabber.Grab(QRect(0, 0, 100, 40), QImage(fresh));
    EXPECT_EQ(larger.size(), QSize(100, 40));
    EXPECT_EQ(PatternMismatches(larger), 0);
}

// The recorder draws the pointer into the grabber's own memory and copies the frame out once: the
// picture is the grab's, at the grab's place, whatever the pad bytes hold.
TEST_P(ScreenGrabberTest, GrabsInPlaceThePixelsOfACopy) {
    X11ScreenGrabber grabber({}, GetParam());
    // The whole screen first: the segment then has the size of every later grab.
    const QRect cases[] = {{0, 0, 1920, 1080}, {100, 50, 37, 23}, {-10, -20, 50, 60}, {500, 600, 333, 111}};
    const uchar* lastMemory = nullptr;
    for (const QRect& asked : cases) {
        SCOPED_TRACE(testing::Message()
                     << asked.x() << "," << asked.y() << " " << asked.width() << "x" << asked.height());
        const QImage copy = grabber.Grab(asked);
        QImage inPlace = grabber.GrabInPlace(asked);
        ASSERT_FALSE(inPlace.isNull());
        EXPECT_EQ(inPlace.format(), QImage::Format_RGB32);
        EXPECT_EQ(QRect(inPlace.offset(), inPlace.size()), QRect(copy.offset(), copy.size()));
        int wrong = 0;
        for (int y = 0; y < inPlace.height(); ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(inPlace.constScanLine(y));
            for (int x = 0; x < inPlace.width(); ++x)
                if ((row[x] | 0xFF000000u) !=
                    PatternPixel(inPlace.offset().x() + x, inPlace.offset().y() + y))
                    ++wrong;
        }
        EXPECT_EQ(wrong, 0);
        if (GetParam() == X11ScreenGrabber::Method::Fastest && inPlace.width() == copy.width()) {
            // Through shared memory the picture is the segment: no copy.
            EXPECT_NE(inPlace.constBits(), copy.constBits());
            if (lastMemory) EXPECT_EQ(inPlace.constBits(), lastMemory);
            lastMemory = inPlace.constBits();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothMethods, ScreenGrabberTest,
                         ::testing::Values(X11ScreenGrabber::Method::Fastest,
                                           X11ScreenGrabber::Method::PlainRequest),
                         [](const auto& info) {
                             return info.param == X11ScreenGrabber::Method::Fastest ? "SharedMemory"
                                                                                    : "PlainRequest";
                         });

TEST(ScreenGrabber, WorksOnAThreadOfItsOwnWhileQtPaints) {
    PaintRootPattern(TestDisplay());
    std::atomic<int> good{0}, done{0};
    std::thread worker([&] {
        X11ScreenGrabber grabber;
        for (int i = 0; i < 30; ++i) {
            const QImage grab = grabber.Grab(QRect(1000, 900, 200, 100));
            if (!grab.isNull() && PatternMismatches(grab) == 0) ++good;
        }
        done = 1;
    });
    // Qt keeps using its own connection meanwhile, on this thread.
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(10, 10, 100, 100);
    window.show();
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 20000) {
        window.update();
        QApplication::processEvents();
    }
    worker.join();
    EXPECT_EQ(good, 30);
}

TEST(ScreenGrabber, ReadsSixteenBitScreens) {
    DepthXvfb server(640, 480, 16);
    ASSERT_TRUE(server.IsRunning());
    // 5-6-5 pixel values: full channels must read as 255, empty ones as 0.
    FillRoot(server.Display, QRect(0, 0, 10, 10), 0xF800);
    FillRoot(server.Display, QRect(10, 0, 10, 10), 0x07E0);
    FillRoot(server.Display, QRect(20, 0, 10, 10), 0x001F);
    FillRoot(server.Display, QRect(30, 0, 10, 10), 0xFFFF);
    FillRoot(server.Display, QRect(40, 0, 10, 10), 0x0000);
    for (auto method : {X11ScreenGrabber::Method::Fastest, X11ScreenGrabber::Method::PlainRequest}) {
        X11ScreenGrabber grabber(server.Display, method);
        ASSERT_TRUE(grabber.IsOpen());
        EXPECT_EQ(grabber.RootRect(), QRect(0, 0, 640, 480));
        const QImage grab = grabber.Grab(QRect(5, 5, 40, 3));
        ASSERT_FALSE(grab.isNull());
        EXPECT_EQ(grab.pixel(0, 0), 0xFFFF0000u);
        EXPECT_EQ(grab.pixel(10, 1), 0xFF00FF00u);
        EXPECT_EQ(grab.pixel(20, 2), 0xFF0000FFu);
        EXPECT_EQ(grab.pixel(30, 0), 0xFFFFFFFFu);
        EXPECT_EQ(grab.pixel(39, 0), 0xFF000000u);
    }
}

TEST(ScreenGrabber, ReportsPaletteScreensAsUnsupported) {
    DepthXvfb server(640, 480, 8);
    ASSERT_TRUE(server.IsRunning());
    X11ScreenGrabber grabber(server.Display);
    EXPECT_FALSE(grabber.IsOpen());
    EXPECT_TRUE(grabber.Grab(QRect(0, 0, 10, 10)).isNull());
    EXPECT_TRUE(grabber.RootRect().isEmpty());
}

TEST(ScreenGrabber, NoDisplayMeansNoImage) {
    X11ScreenGrabber grabber(":4095");
    EXPECT_FALSE(grabber.IsOpen());
    EXPECT_TRUE(grabber.Grab(QRect(0, 0, 10, 10)).isNull());
}

TEST(X11Connections, AVanishedServerGivesNothingAndLeavesTheProcessAlive) {
    auto server = std::make_unique<DepthXvfb>(320, 200, 24);
    ASSERT_TRUE(server->IsRunning());
    for (auto method : {X11ScreenGrabber::Method::Fastest, X11ScreenGrabber::Method::PlainRequest}) {
        if (!server) server = std::make_unique<DepthXvfb>(320, 200, 24);
        X11ScreenGrabber grabber(server->Display, method);
        ASSERT_FALSE(grabber.Grab(QRect(0, 0, 320, 200)).isNull());
        server.reset();
        EXPECT_TRUE(grabber.Grab(QRect(0, 0, 320, 200)).isNull());
        EXPECT_FALSE(grabber.IsOpen());
        EXPECT_TRUE(grabber.Grab(QRect(0, 0, 10, 10)).isNull());
    }

    server = std::make_unique<DepthXvfb>(320, 200, 24);
    X11PointerReader reader(server->Display);
    X11PointerMover mover(server->Display);
    ASSERT_TRUE(reader.Position().has_value());
    ASSERT_TRUE(mover.Nudge());
    server.reset();
    EXPECT_FALSE(reader.Position().has_value());
    EXPECT_EQ(reader.ButtonsSinceLastQuery(), PointerButtons{});
    EXPECT_FALSE(reader.CursorImage().has_value());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(mover.Nudge());
    EXPECT_FALSE(mover.IsOpen());
}

TEST(DesktopSnapshot, IsTheWholePrimaryScreen) {
    PaintRootPattern(TestDisplay());
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(700, 500, 20, 20);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xAB, 0xCD, 0xEF));
    window.setPalette(palette);
    WaitShown(window);
    const QImage snapshot = GrabDesktop();
    ASSERT_EQ(snapshot.size(), QSize(1920, 1080));
    EXPECT_EQ(snapshot.offset(), QPoint(0, 0));
    EXPECT_EQ(snapshot.pixel(710, 510), 0xFFABCDEFu);
    EXPECT_EQ(snapshot.pixel(0, 0), PatternPixel(0, 0));
    EXPECT_EQ(snapshot.pixel(1919, 1079), PatternPixel(1919, 1079));
    EXPECT_EQ(snapshot.pixel(699, 500), PatternPixel(699, 500));
}
