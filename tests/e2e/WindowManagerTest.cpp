// Both programs as they run on a user's desktop: under a window manager (openbox) with another
// program's window open below them, and on a screen whose size changes.
#include "TavelinTrayFixture.h"
#include "XWindows.h"
#include "support/DesktopSession.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

const QString DrawingCaption = QStringLiteral("Tavelin annotation");

// A light desktop on which a black stroke is plain to see.
QImage PlainDesktop(QSize size, QColor colour) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// How many pixels of a row, between two columns, are (nearly) black.
int DarkPixels(const QImage& shot, int y, int fromX, int toX) {
    int dark = 0;
    if (y < 0 || y >= shot.height()) return 0;
    for (int x = fromX; x < toX && x < shot.width(); ++x)
        if (qGray(shot.pixel(x, y)) < 0x10) ++dark;
    return dark;
}

// Tavelin on a desktop with openbox and xclock running.
class TavelinUnderWindowManager : public TavelinTray {
protected:
    void SetUp() override {
        TavelinTray::SetUp();
        ASSERT_TRUE(Desktop.StartWindowManager());
        ASSERT_TRUE(Desktop.StartOtherWindow());
    }

    // The program's windows inside the window manager's frames: the drawing window is the one as
    // large as the screen, its message boxes carry the same caption.
    std::optional<TXWindow> Named(const QString& name, bool fullScreen = false) const {
        for (const TXWindow& w : ClientWindowsNamed(Desktop.Display(), name))
            if ((w.Geometry.width() == ScreenWidth) == fullScreen) return w;
        return std::nullopt;
    }
    bool WaitFor(const QString& name, bool fullScreen = false, int timeoutMs = 30000) const {
        return WaitUntil([&] { return Named(name, fullScreen).has_value(); }, timeoutMs);
    }
    bool WaitForNo(const QString& name, bool fullScreen = false) const {
        return WaitUntil([&] { return !Named(name, fullScreen).has_value(); });
    }
    std::optional<TXWindow> Drawing() const { return Named(DrawingCaption, true); }

    // Hands the keyboard to a window as a user's click on it would, through the window manager.
    void Activate(const TXWindow& window) {
        Desktop.Xdotool(QString("windowactivate --sync %1").arg(window.Id));
        WaitUntil([&] { return ActiveWindow(Desktop.Display()) == window.Id; }, 5000);
    }

    bool OpenDrawing() {
        return WaitUntil([&] {
            Desktop.Xdotool("key shift+ctrl+w");
            return WaitFor(DrawingCaption, true, 3000);
        });
    }

    // A freehand stroke across a row, to the right of the other program's window.
    void Stroke(int y) {
        Desktop.Xdotool(QString("mousemove 600 %1 mousedown 1 mousemove 700 %1 mousemove 800 %1 "
                                "mousemove 900 %1 mouseup 1")
                            .arg(y));
    }
    bool StrokeShown(int y) const { return DarkPixels(Desktop.Screenshot(), y, 610, 890) > 200; }
    bool StrokeGone(int y) const { return DarkPixels(Desktop.Screenshot(), y, 610, 890) == 0; }
};

// One dialog the drawing window opens: how it is opened, then each window that comes and the keys
// that close it.
struct TDialogStep {
    const char* Title;
    bool TypesMissingFile; // a file name in a folder that does not exist is typed first
    const char* Keys;      // then pressed
};
struct TDialogCase {
    const char* Name;
    const char* OpenKeys; // pressed in the drawing window; null: "MenuKey" in its pop-up menu
    const char* MenuKey;
    std::vector<TDialogStep> Steps;
};

} // namespace

// After any of its dialogs closes, the drawing window has the keyboard again: the window manager
// would hand it to the other program's window below, and the next key would be lost there.
TEST_F(TavelinUnderWindowManager, TheDrawingWindowHasTheKeyboardAgainAfterEachDialog) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WriteSettings("ShowFirst=0\nSavePath=" + folder.path() + "\nScriptPath=" + folder.path() + "\n");
    Desktop.PaintRoot(PlainDesktop(QSize(ScreenWidth, ScreenHeight), QColor(0xC0, 0xC0, 0xC0)));
    Start();
    ASSERT_TRUE(OpenDrawing());

    const QString missingFolder = folder.filePath("missing/shot.png");
    const std::vector<TDialogCase> cases = {
        {"Confirm exit answered No", "Escape", nullptr, {{"Confirm exit", false, "n"}}},
        {"the save dialog cancelled", "ctrl+s", nullptr, {{"Save current image", false, "Escape"}}},
        {"an error box after a save that fails",
         "ctrl+s",
         nullptr,
         {{"Save current image", true, "Return"}, {"Tavelin annotation", false, "Return"}}},
        {"the pen-width dialog cancelled", nullptr, "w", {{"Drawing width", false, "Escape"}}},
        {"the font dialog cancelled", nullptr, "n", {{"Font", false, "Escape"}}},
        {"the colour dialog cancelled", nullptr, "c", {{"Color", false, "Escape"}}},
        {"the partial-save box cancelled", "ctrl+p", nullptr, {{"Information", false, "Escape"}}},
        {"the script open dialog cancelled", "ctrl+alt+l", nullptr, {{"Open", false, "Escape"}}},
        {"the script save dialog cancelled", "ctrl+alt+s", nullptr, {{"Save As", false, "Escape"}}},
    };
    int row = 130;
    for (const TDialogCase& c : cases) {
        SCOPED_TRACE(c.Name);
        row += 40;
        const std::optional<TXWindow> drawing = Drawing();
        ASSERT_TRUE(drawing);
        Activate(*drawing);
        Stroke(row);
        ASSERT_TRUE(WaitUntil([&] { return StrokeShown(row); })) << "the drag drew nothing";

        if (c.OpenKeys) {
            Desktop.Xdotool(QString("key ") + c.OpenKeys);
        } else {
            const int before = PopupCount();
            Desktop.Xdotool("mousemove 700 650 click 3");
            ASSERT_TRUE(WaitUntil([&] { return PopupCount() > before; })) << "no pop-up menu";
            Desktop.Xdotool(QString("key ") + c.MenuKey);
        }
        for (const TDialogStep& step : c.Steps) {
            ASSERT_TRUE(WaitFor(step.Title)) << step.Title << " did not show";
            Activate(*Named(step.Title));
            // A dialog takes keys only once its fields are laid out.
            QThread::msleep(300);
            if (step.TypesMissingFile) {
                Desktop.Xdotool("key ctrl+a");
                Desktop.Xdotool("type --delay 5 '" + missingFolder + "'");
            }
            Desktop.Xdotool(QString("key ") + step.Keys);
            ASSERT_TRUE(WaitForNo(step.Title)) << step.Title << " did not close";
        }

        // The next key, pressed with nothing else done, undoes the stroke.
        ASSERT_TRUE(Drawing()) << "the drawing window closed";
        WaitUntil([&] { return ActiveWindow(Desktop.Display()) == drawing->Id; }, 5000);
        EXPECT_EQ(ActiveWindow(Desktop.Display()), drawing->Id) << "another window has the keyboard";
        Desktop.Xdotool("key ctrl+z");
        EXPECT_TRUE(WaitUntil([&] { return StrokeGone(row); }, 10000)) << "Ctrl+Z went elsewhere";
        if (!StrokeGone(row)) {
            // Undone by hand, so that the next case starts alike.
            Activate(*drawing);
            Desktop.Xdotool("key ctrl+z");
            WaitUntil([&] { return StrokeGone(row); }, 10000);
        }
    }
}

namespace {

// Tavelin's drawing window and the pointer the X server shows over it.
class TavelinPointer : public TavelinTray {
protected:
    void SetUp() override {
        TavelinTray::SetUp();
        WriteSettings("ShowFirst=0\nConfExit=0\n");
        Desktop.PaintRoot(PlainDesktop(QSize(ScreenWidth, ScreenHeight), QColor(0xC0, 0xC0, 0xC0)));
        Start();
        ASSERT_TRUE(PressUntilShown("shift+ctrl+w", DrawingCaption));
    }

    QImage Pointer() const { return PointerImage(Desktop.Display()); }
    bool WaitForPointer(const QImage& expected) const {
        return WaitUntil([&] { return Pointer() == expected; }, 10000);
    }
    // The pointer once it is no longer the one shown before.
    QImage PointerAfter(const QImage& before) const {
        QImage shown;
        WaitUntil([&] { return (shown = Pointer()) != before; }, 10000);
        return shown;
    }
    void Key(const QString& key) { KeyIn(DrawingCaption, key); }
};

struct TEntryEnd {
    const char* Name;
    const char* Keys; // pressed while the entry is open
};

} // namespace

// Whatever ends a text entry, the window shows the current layer's pointer again afterwards, and it
// follows each later change of layer, tool and place: the entry's I-beam is no longer kept.
TEST_F(TavelinPointer, TheLayersPointerComesBackWhenATextEntryEnds) {
    Desktop.Xdotool("mousemove 500 400");
    const QImage overRoot = Pointer();
    const QImage layer1 = PointerAfter(overRoot);
    Key("ctrl+3");
    const QImage layer3 = PointerAfter(layer1);
    Key("ctrl+4");
    const QImage layer4 = PointerAfter(layer3);
    ASSERT_NE(layer1, layer3) << "the layers' pointers cannot be told apart";
    ASSERT_NE(layer3, layer4) << "the layers' pointers cannot be told apart";
    Key("ctrl+1");
    ASSERT_TRUE(WaitForPointer(layer1));

    const TEntryEnd ends[] = {
        {"Enter", "Return"},
        {"Esc (cancel text)", "Escape"},
        {"a change of layer", "ctrl+3 ctrl+1"},
    };
    int y = 200;
    for (const TEntryEnd& end : ends) {
        SCOPED_TRACE(end.Name);
        y += 80;
        Key("t");
        // The entry opens under the pointer, which then shows the edit's I-beam.
        Desktop.Xdotool(QString("mousemove 300 %1 click 1").arg(y));
        const QImage typing = PointerAfter(layer1);
        ASSERT_NE(typing, layer1) << "no text entry opened";
        Desktop.Xdotool("type --delay 20 abc");
        Key(end.Keys);
        EXPECT_TRUE(WaitForPointer(layer1)) << "the pointer stayed the text entry's";

        // It follows the layer, over the place where the entry stood and elsewhere.
        Key("ctrl+3");
        EXPECT_TRUE(WaitForPointer(layer3)) << "the layer's pointer did not follow";
        Key("ctrl+4");
        EXPECT_TRUE(WaitForPointer(layer4));
        Desktop.Xdotool("mousemove 700 500");
        EXPECT_TRUE(WaitForPointer(layer4));
        // The tools keep the layer's pointer; a drag draws and leaves it so.
        Key("f");
        Desktop.Xdotool("mousemove 700 600 mousedown 1 mousemove 760 600 mouseup 1");
        EXPECT_TRUE(WaitForPointer(layer4));
        Key("ctrl+1");
        Desktop.Xdotool(QString("mousemove 300 %1").arg(y));
        EXPECT_TRUE(WaitForPointer(layer1));
    }
}

namespace {

// Tavelin on a screen that starts at 1920 x 1080, the largest size the server offers; with openbox
// managing the screen or without a window manager.
class TavelinScreenSize : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Desktop.IsRunning());
        ASSERT_TRUE(Desktop.StartTray());
        if (GetParam()) ASSERT_TRUE(Desktop.StartWindowManager());
        ASSERT_TRUE(Folder.isValid());
        QDir().mkpath(QFileInfo(Desktop.SettingsFile("Tavelin")).path());
        QFile settings(Desktop.SettingsFile("Tavelin"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write(("[Settings]\nShowFirst=0\nConfExit=0\nSavePath=" + Folder.path() + "\n").toUtf8());
    }

    // Opens the drawing window over the desktop as it is, saves a screenshot and closes the window;
    // returns the window's size and the saved picture.
    std::optional<TXWindow> Named(const QString& name) const {
        const auto windows = ClientWindowsNamed(Desktop.Display(), name);
        if (windows.empty()) return std::nullopt;
        return windows.front();
    }
    void KeyIn(const TXWindow& window, const QString& key) {
        if (GetParam()) {
            Desktop.Xdotool(QString("windowactivate --sync %1").arg(window.Id));
            WaitUntil([&] { return ActiveWindow(Desktop.Display()) == window.Id; }, 5000);
        } else {
            // Without a window manager nobody answers an activation request: the focus is set directly.
            Desktop.Xdotool(QString("windowfocus --sync %1").arg(window.Id));
        }
        Desktop.Xdotool("key " + key);
    }

    std::pair<QSize, QImage> ShowAndSave(const QString& name) {
        std::optional<TXWindow> drawing;
        WaitUntil([&] {
            Desktop.Xdotool("key shift+ctrl+w");
            return WaitUntil([&] { return (drawing = Named(DrawingCaption)).has_value(); }, 3000);
        });
        if (!drawing) return {};
        // The window takes its size as it shows; what it shows then is what the test looks at.
        QThread::msleep(500);
        drawing = Named(DrawingCaption);
        if (!drawing) return {};
        const QString file = Folder.filePath(name);
        KeyIn(*drawing, "ctrl+s");
        if (!WaitUntil([&] { return Named("Save current image").has_value(); }))
            return {drawing->Geometry.size(), QImage()};
        // The dialog takes keys only once its fields are laid out.
        KeyIn(*Named("Save current image"), "ctrl+a");
        QThread::msleep(300);
        Desktop.Xdotool("key ctrl+a");
        Desktop.Xdotool("type --delay 5 '" + file + "'");
        Desktop.Xdotool("key Return");
        WaitUntil([&] { return QFile::exists(file) && !QImage(file).isNull(); });
        KeyIn(*drawing, "Escape");
        WaitUntil([&] { return !Named(DrawingCaption).has_value(); });
        return {drawing->Geometry.size(), QImage(file).convertToFormat(QImage::Format_RGB32)};
    }

    // A desktop that differs everywhere from the one painted before: a new picture for each size.
    void PaintDesktop(QSize size, int seed) {
        QImage picture(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                picture.setPixel(x, y,
                                 qRgb((x / 8 + seed * 50) % 256, (y / 8 + seed * 90) % 256, seed * 70 % 256));
        Desktop.PaintRoot(picture);
    }

    TDesktopSession Desktop{1920, 1080};
    QTemporaryDir Folder;
};

// The tray host's strip at the bottom is left out of comparisons: it paints in its own time.
bool SameAboveTray(const QImage& a, const QImage& b) {
    constexpr int strip = 48;
    const QRect area(0, 0, a.width(), a.height() - strip);
    return a.size() == b.size() && a.copy(area) == b.copy(area);
}

} // namespace

// A change of the screen's size, smaller or larger, is taken at the next showing: the window covers the
// new screen and a saved screenshot holds the new desktop, nothing of the old one.
TEST_P(TavelinScreenSize, TheDrawingWindowAndItsScreenshotFollowTheScreensSize) {
    PaintDesktop(QSize(1920, 1080), 1);
    Desktop.Launch("Tavelin");
    ASSERT_TRUE(WaitUntil([&] { return TrayIconsOf(Desktop.Display(), "Tavelin").size() == 1; }));
    // A first showing at the size the program started with.
    const auto [firstSize, first] = ShowAndSave("first.png");
    EXPECT_EQ(firstSize, QSize(1920, 1080));
    EXPECT_EQ(first.size(), QSize(1920, 1080));

    struct TSize {
        const char* Name;
        QSize Size;
    };
    const TSize sizes[] = {{"smaller", QSize(1280, 720)}, {"larger again", QSize(1920, 1080)}};
    int seed = 2;
    for (const TSize& s : sizes) {
        SCOPED_TRACE(s.Name);
        ASSERT_TRUE(Desktop.SetScreenSize(s.Size.width(), s.Size.height()));
        PaintDesktop(s.Size, seed);
        const QImage desktop = Desktop.Screenshot();
        ASSERT_EQ(desktop.size(), s.Size);
        const auto [windowSize, saved] = ShowAndSave(QString("shot%1.png").arg(seed));
        EXPECT_EQ(windowSize, s.Size) << "the window kept another size";
        EXPECT_EQ(saved.size(), s.Size) << "the screenshot kept another size";
        EXPECT_TRUE(SameAboveTray(saved, desktop)) << "the screenshot does not show the new desktop";
        ++seed;
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, TavelinScreenSize, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "UnderOpenbox" : "Bare";
                         });

namespace {

const QString EditorCaption = QStringLiteral("Tavelin 3 AVI Editor - recording.avi");

// Framory on a recording, under openbox with xclock open.
class FramoryUnderWindowManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Desktop.IsRunning());
        ASSERT_TRUE(Files.isValid());
        ASSERT_TRUE(WriteSolidRecording(Files.filePath("recording.avi"), QSize(160, 120), 10, 30));
        ASSERT_TRUE(Desktop.StartWindowManager());
        ASSERT_TRUE(Desktop.StartOtherWindow());
    }

    std::optional<TXWindow> Named(const QString& name) const {
        const auto windows = ClientWindowsNamed(Desktop.Display(), name);
        if (windows.empty()) return std::nullopt;
        return windows.front();
    }
    bool WaitFor(const QString& name) const {
        return WaitUntil([&] { return Named(name).has_value(); });
    }
    void Activate(const TXWindow& window) {
        Desktop.Xdotool(QString("windowactivate --sync %1").arg(window.Id));
        WaitUntil([&] { return ActiveWindow(Desktop.Display()) == window.Id; }, 5000);
    }

    // The position whose colour shows inside the red frame of the thumbnail page, if any.
    std::optional<int> FramedPosition() const {
        const std::optional<TXWindow> window = Named(EditorCaption);
        if (!window) return std::nullopt;
        const QImage screen = Desktop.Screenshot().copy(window->Geometry);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                if (screen.pixel(x, y) != qRgb(0xFF, 0, 0)) continue;
                // The first red pixel is the frame's top-left; the picture lies inside it.
                const QPoint inside(x + 20, y + 30);
                if (!screen.rect().contains(inside)) return std::nullopt;
                const int position = PositionShown(screen.pixel(inside), 30);
                if (position < 0) return std::nullopt;
                return position;
            }
        return std::nullopt;
    }

    // Clicks the n-th word of the menu bar (0 "File", 1 "Edit", 2 "View", 3 "Help").
    void ClickMenu(int word) {
        const QRect window = Named(EditorCaption)->Geometry;
        ASSERT_TRUE(ClickMenuWord(Desktop, window, word));
    }

    TDesktopSession Desktop{1024, 768};
    QTemporaryDir Files;
};

struct TEditorDialogCase {
    const char* Name;
    const char* OpenKeys; // pressed in the main window; null: a menu item, below
    int MenuWord;
    const char* MenuKeys;
    const char* Title;
};

} // namespace

// The editor's main window has the keyboard again after each of its dialogs: the next arrow key moves
// through the frames.
TEST_F(FramoryUnderWindowManager, TheMainWindowHasTheKeyboardAgainAfterEachDialog) {
    Desktop.Launch("Framory", {Files.filePath("recording.avi")});
    ASSERT_TRUE(WaitFor(EditorCaption));
    ASSERT_TRUE(WaitUntil([&] { return FramedPosition() == 0; }, 60000));

    const TEditorDialogCase cases[] = {
        {"the open dialog cancelled", "ctrl+o", 0, nullptr, "Open"},
        {"the save-frame dialog cancelled", "ctrl+s", 0, nullptr, "Save current image"},
        {"the partial-save box cancelled", "ctrl+p", 0, nullptr, "Confirm"},
        {"Goto frame cancelled", nullptr, 2, "Up Up Up Up Return", "Goto frame"},
        {"the options dialog cancelled", nullptr, 1, "Up Return", "Framoryor options"},
    };
    int position = 0;
    for (const TEditorDialogCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::optional<TXWindow> main = Named(EditorCaption);
        ASSERT_TRUE(main);
        Activate(*main);
        if (c.OpenKeys) {
            Desktop.Xdotool(QString("key ") + c.OpenKeys);
        } else {
            ClickMenu(c.MenuWord);
            QThread::msleep(300);
            Desktop.Xdotool(QString("key --delay 80 ") + c.MenuKeys);
        }
        ASSERT_TRUE(WaitFor(c.Title)) << c.Title << " did not show";
        Activate(*Named(c.Title));
        QThread::msleep(300);
        Desktop.Xdotool("key Escape");
        ASSERT_TRUE(WaitUntil([&] { return !Named(c.Title); })) << c.Title << " did not close";

        WaitUntil([&] { return ActiveWindow(Desktop.Display()) == main->Id; }, 5000);
        EXPECT_EQ(ActiveWindow(Desktop.Display()), main->Id) << "another window has the keyboard";
        Desktop.Xdotool("key Down");
        if (WaitUntil([&] { return FramedPosition() == position + 1; }, 10000)) {
            ++position;
        } else {
            ADD_FAILURE() << "the arrow key went elsewhere";
            position = FramedPosition().value_or(position);
        }
    }
}

namespace {

// Framory on a recording, with the pointer read back from the server over its frame view.
class FramoryPointer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Desktop.IsRunning());
        ASSERT_TRUE(Files.isValid());
        ASSERT_TRUE(WriteSolidRecording(Files.filePath("recording.avi"), QSize(160, 120), 10, 30));
    }

    std::optional<TXWindow> Main() const {
        const auto windows = TopLevelsNamed(Desktop.Display(), EditorCaption);
        if (windows.empty()) return std::nullopt;
        return windows.front();
    }
    void Key(const QString& key) {
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(Main()->Id));
        Desktop.Xdotool("key " + key);
    }
    // The frame view: the one place in the window where the first frame shows at full size (the
    // thumbnails are smaller).
    std::optional<QRect> FrameView() const {
        const std::optional<TXWindow> window = Main();
        if (!window) return std::nullopt;
        const QImage screen = Desktop.Screenshot().copy(window->Geometry);
        for (int y = 0; y < screen.height(); ++y) {
            int run = 0;
            for (int x = 0; x < screen.width(); ++x) {
                run = ShowsPosition(screen.pixel(x, y), 0) ? run + 1 : 0;
                if (run == 150)
                    return QRect(window->Geometry.topLeft() + QPoint(x - 149, y), QSize(150, 100));
            }
        }
        return std::nullopt;
    }
    QImage Pointer() const { return PointerImage(Desktop.Display()); }
    QImage PointerAfter(const QImage& before) const {
        QImage shown;
        WaitUntil([&] { return (shown = Pointer()) != before; }, 10000);
        return shown;
    }
    bool WaitForPointer(const QImage& expected) const {
        return WaitUntil([&] { return Pointer() == expected; }, 10000);
    }
    void MoveTo(QPoint at) { Desktop.Xdotool(QString("mousemove %1 %2").arg(at.x()).arg(at.y())); }

    TDesktopSession Desktop{1024, 768};
    QTemporaryDir Files;
};

} // namespace

// After a text entry in the frame view, the view shows the pointer of the chosen tool again, and each
// later choice of tool shows its own.
TEST_F(FramoryPointer, TheToolsPointerComesBackWhenATextEntryEnds) {
    Desktop.Launch("Framory", {Files.filePath("recording.avi")});
    ASSERT_TRUE(WaitUntil([&] { return Main().has_value(); }, 60000));
    std::optional<QRect> view;
    ASSERT_TRUE(WaitUntil([&] { return (view = FrameView()).has_value(); }, 60000)) << "no frame view";
    const QPoint inside = view->center();

    MoveTo(inside + QPoint(0, 40));
    const QImage overFrame = Pointer();
    MoveTo(inside);
    Key("ctrl+l");
    const QImage line = PointerAfter(overFrame);
    Key("ctrl+t");
    const QImage text = PointerAfter(line);
    ASSERT_NE(line, text) << "the tools' pointers cannot be told apart";

    const TEntryEnd ends[] = {{"Enter", "Return"}, {"Esc (cancel text)", "Escape"}};
    for (const TEntryEnd& end : ends) {
        SCOPED_TRACE(end.Name);
        Desktop.Xdotool(QString("mousemove %1 %2 click 1").arg(inside.x() - 40).arg(inside.y() - 30));
        const QImage typing = PointerAfter(text);
        ASSERT_NE(typing, text) << "no text entry opened";
        Desktop.Xdotool("type --delay 20 abc");
        Key(end.Keys);
        EXPECT_TRUE(WaitForPointer(text)) << "the pointer stayed the text entry's";
        Key("ctrl+l");
        EXPECT_TRUE(WaitForPointer(line)) << "the tool's pointer did not follow";
        MoveTo(inside);
        EXPECT_TRUE(WaitForPointer(line));
        Key("ctrl+t");
        EXPECT_TRUE(WaitForPointer(text));
    }
}
