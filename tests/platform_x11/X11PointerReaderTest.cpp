#include "platform/X11PointerReader.h"
#include "X11TestScreen.h"
#include "platform/PointerOverlay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include <X11/Xlib.h>

namespace {

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents();
}

} // namespace

void PrintTo(const PointerButtons& b, std::ostream* os) {
    *os << "{left " << b.Left << ", right " << b.Right << ", middle " << b.Middle << "}";
}

namespace {

// The button mapping that a left-handed user sets; {1, 2, 3} is the default.
void SetPointerMapping(std::vector<unsigned char> map) {
    Display* dpy = XOpenDisplay(TestDisplay().constData());
    ASSERT_NE(dpy, nullptr);
    unsigned char all[256];
    const int count = XGetPointerMapping(dpy, all, 256);
    for (int i = 0; i < count; ++i)
        all[i] = static_cast<unsigned char>(i + 1);
    std::copy(map.begin(), map.end(), all);
    ASSERT_EQ(XSetPointerMapping(dpy, all, count), MappingSuccess);
    XSync(dpy, False);
    XCloseDisplay(dpy);
}

class PointerReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RunCommand("xdotool mouseup 1 mouseup 2 mouseup 3 mousemove 400 300"));
        ASSERT_TRUE(Reader.IsOpen());
        ASSERT_TRUE(Reader.LatchesPresses());
        Reader.ButtonsSinceLastQuery();
    }
    void TearDown() override { RunCommand("xdotool mouseup 1 mouseup 2 mouseup 3"); }
    X11PointerReader Reader;
};

} // namespace

TEST_F(PointerReaderTest, PositionFollowsThePointer) {
    ASSERT_TRUE(RunCommand("xdotool mousemove 123 456"));
    EXPECT_EQ(Reader.Position(), QPoint(123, 456));
    ASSERT_TRUE(RunCommand("xdotool mousemove 1919 1079"));
    EXPECT_EQ(Reader.Position(), QPoint(1919, 1079));
}

TEST_F(PointerReaderTest, AClickBetweenTwoQueriesCountsOnce) {
    ASSERT_TRUE(RunCommand("xdotool click 1"));
    EXPECT_EQ(Reader.HeldButtons(), PointerButtons{});
    EXPECT_EQ(Reader.ButtonsSinceLastQuery(), (PointerButtons{true, false, false}));
    EXPECT_EQ(Reader.ButtonsSinceLastQuery(), PointerButtons{});

    ASSERT_TRUE(RunCommand("xdotool click 3 click 2"));
    EXPECT_EQ(Reader.ButtonsSinceLastQuery(), (PointerButtons{false, true, true}));
    EXPECT_EQ(Reader.ButtonsSinceLastQuery(), PointerButtons{});
}

TEST_F(PointerReaderTest, HeldButtonsGiveTheCircleColour) {
    struct Case {
        const char* Buttons;
        PointerButtons Held;
        std::optional<TColor> Color;
    };
    const Case cases[] = {
        {"", {}, std::nullopt},
        {"1", {true, false, false}, clRed},
        {"3", {false, true, false}, clGreen},
        {"2", {false, false, true}, clNavy},
        {"1 3", {true, true, false}, clGreen},
        {"1 2", {true, false, true}, clNavy},
        {"3 2", {false, true, true}, clNavy},
        {"1 2 3", {true, true, true}, clNavy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Buttons);
        QString down, up;
        for (const QString& b : QString(c.Buttons).split(' ', Qt::SkipEmptyParts)) {
            down += " mousedown " + b;
            up += " mouseup " + b;
        }
        if (!down.isEmpty()) {
            ASSERT_TRUE(RunCommand("xdotool" + down));
        }
        EXPECT_EQ(Reader.HeldButtons(), c.Held);
        EXPECT_EQ(ClickCircleColor(Reader.ButtonsSinceLastQuery()), c.Color);
        // Still held: still counted, though no new press came.
        EXPECT_EQ(Reader.ButtonsSinceLastQuery(), c.Held);
        if (!up.isEmpty()) {
            ASSERT_TRUE(RunCommand("xdotool" + up));
        }
        EXPECT_EQ(Reader.ButtonsSinceLastQuery(), PointerButtons{});
    }
}

TEST_F(PointerReaderTest, LatchedAndHeldButtonsAgreeUnderALeftHandedMapping) {
    ASSERT_TRUE(RunCommand("xdotool mousedown 1"));
    const PointerButtons heldNormally = Reader.HeldButtons();
    ASSERT_TRUE(RunCommand("xdotool mouseup 1"));
    SetPointerMapping({3, 2, 1});
    Reader.ButtonsSinceLastQuery();
    ASSERT_TRUE(RunCommand("xdotool mousedown 1"));
    const PointerButtons heldSwapped = Reader.HeldButtons();
    ASSERT_TRUE(RunCommand("xdotool mouseup 1"));
    const PointerButtons latchedSwapped = Reader.ButtonsSinceLastQuery();
    SetPointerMapping({1, 2, 3});
    EXPECT_EQ(heldNormally, (PointerButtons{true, false, false}));
    EXPECT_EQ(latchedSwapped, heldSwapped);
}

TEST_F(PointerReaderTest, CursorImageHasPixelsAndAHotSpot) {
    const auto cursor = Reader.CursorImage();
    ASSERT_TRUE(cursor.has_value());
    const QImage& image = cursor->Image;
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.rect().contains(cursor->HotSpot));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            opaque += qAlpha(p) == 255;
            // Premultiplied: no channel above its alpha.
            EXPECT_LE(qRed(p), qAlpha(p));
        }
    EXPECT_GT(opaque, 0);
}

TEST_F(PointerReaderTest, ABlankCursorIsNoPointer) {
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    window.setGeometry(200, 200, 200, 200);
    window.setCursor(Qt::BlankCursor);
    window.show();
    Settle(300);
    ASSERT_TRUE(RunCommand("xdotool mousemove 300 300"));
    Settle(100);
    EXPECT_FALSE(Reader.CursorImage().has_value());
    window.setCursor(Qt::CrossCursor);
    Settle(100);
    EXPECT_TRUE(Reader.CursorImage().has_value());
}
