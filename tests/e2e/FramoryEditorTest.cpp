// Framory as a user meets it: started on a recording of our recorder, driven with keys, the mouse and
// its dialogs on a desktop of its own, and seen only through the screen.
#include "XWindows.h"
#include "support/DesktopSession.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {

const QString Caption = QStringLiteral("Tavelin 3 AVI Editor");

class FramoryEditor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Desktop.IsRunning());
        ASSERT_TRUE(WriteSolidRecording(File("recording.avi"), QSize(160, 120), 10, 30));
    }

    QString File(const QString& name) const { return Files.filePath(name); }

    QRect Window(const QString& title) const {
        const auto windows = TopLevelsNamed(Desktop.Display(), title);
        return windows.empty() ? QRect() : windows.front().Geometry;
    }
    bool WaitForTitle(const QString& title, int timeoutMs = 60000) const {
        return WaitUntil([&] { return !Window(title).isNull(); }, timeoutMs);
    }
    void KeyIn(const QString& title, const QString& keys) {
        const auto windows = TopLevelsNamed(Desktop.Display(), title);
        ASSERT_FALSE(windows.empty()) << title.toStdString();
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(windows.front().Id));
        Desktop.Xdotool("key --delay 50 " + keys);
    }

    // The position whose colour shows inside the red frame of the thumbnail page, if any.
    std::optional<int> FramedPosition(const QRect& window, int count) const {
        const QImage screen = Desktop.Screenshot().copy(window);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                if (screen.pixel(x, y) != qRgb(0xFF, 0, 0)) continue;
                // The first red pixel is the frame's top-left; the picture starts 5 across, 15 down
                // from the cell, which begins 1 or 2 pixels before the frame.
                const QPoint inside(x + 20, y + 30);
                if (!screen.rect().contains(inside)) return std::nullopt;
                for (int position = 0; position < count; ++position)
                    if (ShowsPosition(screen.pixel(inside), position)) return position;
                return std::nullopt;
            }
        return std::nullopt;
    }
    bool WaitForFramed(const QString& title, int position, int count) const {
        return WaitUntil([&] { return FramedPosition(Window(title), count) == position; }, 60000);
    }

    // Clicks the n-th word of the menu bar (0 "File", 1 "Edit", 2 "View", 3 "Help").
    void ClickMenu(const QRect& window, int word) { ASSERT_TRUE(ClickMenuWord(Desktop, window, word)); }

    // The toolbar button whose picture holds the colour (its edges are smoothed), on the screen.
    std::optional<QPoint> ButtonOfColour(const QRect& window, QRgb colour) const {
        const QImage bar = Desktop.Screenshot().copy(window.x(), window.y(), window.width(), 80);
        for (int y = 0; y < bar.height(); ++y)
            for (int x = 0; x < bar.width(); ++x)
                if (std::abs(qRed(bar.pixel(x, y)) - qRed(colour)) < 24 &&
                    std::abs(qGreen(bar.pixel(x, y)) - qGreen(colour)) < 24 &&
                    std::abs(qBlue(bar.pixel(x, y)) - qBlue(colour)) < 24)
                    return window.topLeft() + QPoint(x, y);
        return std::nullopt;
    }
    void Click(QPoint at) { Desktop.Xdotool(QString("mousemove %1 %2 click 1").arg(at.x()).arg(at.y())); }

    // Opens a file through the open dialog as a user types its path.
    void OpenThroughDialog(const QString& title, const QString& file) {
        ASSERT_TRUE(::OpenThroughDialog(Desktop, title, file));
    }

    TDesktopSession Desktop{1024, 768};
    QTemporaryDir Files;
};

} // namespace

TEST_F(FramoryEditor, OpensARecordingMovesThroughItPlaysItAndRefusesWhatItCannotOpen) {
    Desktop.Launch("Framory", {File("recording.avi")});
    const QString title = Caption + " - recording.avi";
    ASSERT_TRUE(WaitForTitle(title));
    // The first page, its first cell framed.
    ASSERT_TRUE(WaitForFramed(title, 0, 30));

    // Arrows and page keys move the red frame.
    KeyIn(title, "Down Down");
    EXPECT_TRUE(WaitForFramed(title, 2, 30));
    KeyIn(title, "Next");
    EXPECT_TRUE(WaitForFramed(title, 14, 30));
    KeyIn(title, "Prior");
    EXPECT_TRUE(WaitForFramed(title, 2, 30));
    // The last position is number 30: the file's frame count.
    KeyIn(title, "ctrl+Next");
    EXPECT_TRUE(WaitForFramed(title, 29, 30));
    KeyIn(title, "ctrl+Prior");
    EXPECT_TRUE(WaitForFramed(title, 0, 30));

    // "Frame..." goes to the number typed: the View menu's fourth item from its end.
    ClickMenu(Window(title), 2);
    QThread::msleep(300);
    Desktop.Xdotool("key --delay 80 Up Up Up Up Return");
    ASSERT_TRUE(WaitForTitle("Goto frame"));
    KeyIn("Goto frame", "ctrl+a");
    Desktop.Xdotool("type 25");
    Desktop.Xdotool("key Return");
    EXPECT_TRUE(WaitForFramed(title, 24, 30));

    // Playback from near the end goes round to the start.
    KeyIn(title, "ctrl+Next Up Up");
    ASSERT_TRUE(WaitForFramed(title, 27, 30));
    const std::optional<QPoint> play = ButtonOfColour(Window(title), qRgb(0x20, 0x80, 0x30));
    ASSERT_TRUE(play) << "no Play button";
    Click(*play);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto framed = FramedPosition(Window(title), 30);
            return framed && *framed < 27;
        },
        20000))
        << "playback did not loop";
    Click(*play - QPoint(32, 0)); // Stop, left of Play
    EXPECT_TRUE(WaitUntil([&] { return ButtonOfColour(Window(title), qRgb(0x20, 0x80, 0x30)).has_value(); }))
        << "Play is enabled again once stopped";

    // Close and open again.
    KeyIn(title, "ctrl+F4");
    ASSERT_TRUE(WaitForTitle(Caption));
    OpenThroughDialog(Caption, File("recording.avi"));
    ASSERT_TRUE(WaitForTitle(title));
    EXPECT_TRUE(WaitForFramed(title, 0, 30));

    // A file of 32768 frames is refused, and the file open before stays.
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                           "color=c=gray:s=16x16:r=1000:d=32.768", "-c:v", "msvideo1",
                                           File("long.avi")}),
              0);
    OpenThroughDialog(title, File("long.avi"));
    ASSERT_TRUE(WaitForTitle("Error"));
    KeyIn("Error", "Return");
    EXPECT_TRUE(WaitUntil([&] { return TopLevelsNamed(Desktop.Display(), "Error").empty(); }));
    EXPECT_FALSE(Window(title).isNull());
    KeyIn(title, "Down");
    EXPECT_TRUE(WaitForFramed(title, 1, 30)) << "the previous file's frames show";

    // An MP4 file named .avi is refused.
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                           "color=c=red:s=64x48:r=10:d=1", "-c:v", "mpeg4", "-f", "mp4",
                                           File("movie.avi")}),
              0);
    OpenThroughDialog(title, File("movie.avi"));
    ASSERT_TRUE(WaitForTitle("Warning"));
    KeyIn("Warning", "Return");
    EXPECT_TRUE(WaitUntil([&] { return TopLevelsNamed(Desktop.Display(), "Warning").empty(); }));
    EXPECT_FALSE(Window(title).isNull());
    KeyIn(title, "Down");
    EXPECT_TRUE(WaitForFramed(title, 2, 30));
}

TEST_F(FramoryEditor, ItsWindowsAndItsAboutBoxShowItsOwnIcon) {
    Desktop.Launch("Framory");
    ASSERT_TRUE(WaitForTitle(Caption));
    // The icon a window manager and a task bar show: Framory's own picture, the desktop menu's, at its
    // largest size.
    const auto windows = TopLevelsNamed(Desktop.Display(), Caption);
    ASSERT_FALSE(windows.empty());
    const QImage icon = WindowIcon(Desktop.Display(), windows.front().Id);
    ASSERT_FALSE(icon.isNull()) << "no _NET_WM_ICON";
    QImage own;
    ASSERT_TRUE(own.load(QStringLiteral(TAVELIN_BINARY_DIR) + "/icons/framory.png", "PNG"));
    ASSERT_EQ(icon.size(), own.size());
    // Compared as the pictures are blended: the colour of a nearly clear pixel means little.
    const QImage shown = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    own = own.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0, opaque = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = own.pixel(x, y);
            opaque += qAlpha(a) == 255;
            if (std::abs(qAlpha(a) - qAlpha(b)) > 2 || std::abs(qRed(a) - qRed(b)) > 2 ||
                std::abs(qGreen(a) - qGreen(b)) > 2 || std::abs(qBlue(a) - qBlue(b)) > 2)
                ++differing;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(opaque, icon.width() * icon.height() / 4);

    // Help > About: the picture at the top centre of the box, 33 pixels square, is the icon, drawn
    // over the box's plain face.
    KeyIn(Caption, "alt+h Down Return");
    const QString about = "About " + Caption;
    ASSERT_TRUE(WaitForTitle(about));
    const QRect box = Window(about);
    const QImage shot = Desktop.Screenshot().copy(box);
    const QRgb face = shot.pixel(4, 4);
    const QRect place((box.width() - 33) / 2, 8, 33, 33);
    int ink = 0, dark = 0;
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x) {
            ink += shot.pixel(x, y) != face;
            dark += qGray(shot.pixel(x, y)) < 80; // the film
        }
    EXPECT_GT(ink, 33 * 33 / 4) << "the icon's place is empty";
    EXPECT_GT(dark, 33 * 33 / 8);
    // Beside the icon, the box is plain.
    for (int x = 0; x < place.left() - 20; ++x)
        ASSERT_EQ(shot.pixel(x, 4), face);
    KeyIn(about, "Return");
    EXPECT_TRUE(WaitUntil([&] { return TopLevelsNamed(Desktop.Display(), about).empty(); }));
}
