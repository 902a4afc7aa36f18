#include "RecordedAvi.h"
#include "TavelinTrayFixture.h"
#include "XWindows.h"
#include "support/DesktopSession.h"
#include "support/FaultInjection.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegion>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

// Xlib after Qt.
#include <X11/Xlib.h>

namespace {

// The grab period of the recorder: one stream position per 100 ms of recorded time.
constexpr int GrabPeriodMs = 100;
// The pause of the capture test, and how many positions the lag of key presses and of the file's start
// behind the test's clock may account for.
constexpr int PauseMs = 5000;
constexpr int LagPositions = 20;

// A desktop of flat fields on 4 x 4 blocks, which the video codec keeps exactly (at 5 bits a channel).
QImage KnownDesktop() {
    QImage picture(ScreenWidth, ScreenHeight, QImage::Format_RGB32);
    picture.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&picture);
    p.fillRect(QRect(0, 0, 512, 384), QColor(0x20, 0x60, 0xA0));
    p.fillRect(QRect(512, 384, 512, 384), QColor(0xC0, 0xA0, 0x40));
    return picture;
}

// The screen above the tray host's strip at the bottom.
constexpr int TrayStrip = 48;
bool SameAboveTray(const QImage& a, const QImage& b) {
    const QRect area(0, 0, ScreenWidth, ScreenHeight - TrayStrip);
    return a.size() == b.size() && a.copy(area) == b.copy(area);
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST_F(TavelinTray, ASecondCopyEndsAtOnceAndTheFirstRunsOn) {
    WriteSettings();
    QProcess* first = Start();
    ASSERT_EQ(Icons(), 1);

    QProcess* second = Desktop.Launch("Tavelin");
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(Icons(), 1);

    // The first copy still answers its hot keys.
    ASSERT_TRUE(PressUntilShown("shift+ctrl+y", "Save screen capture file"));
    KeyIn("Save screen capture file", "Escape");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Save screen capture file"); }));
}

// Without a safe place for its lock the program cannot tell whether a copy runs: a lock file another
// user owns is reported (ending without a word would look like a copy running), and the program ends.
TEST_F(TavelinTray, ALockFileOfAnotherUserIsReportedAndTheProgramEnds) {
    WriteSettings();
    const QString lock = Desktop.ConfigHome() + "/QuorvexTavelin.lock";
    QFile planted(lock);
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.close();
    const struct passwd* nobody = getpwnam("nobody");
    ASSERT_EQ(chown(QFile::encodeName(lock).constData(), nobody ? nobody->pw_uid : 65534, gid_t(-1)), 0);
    QProcess* tavelin = Desktop.Launch("Tavelin");
    ASSERT_TRUE(WaitForTopLevel("Tavelin")) << "no message box";
    EXPECT_EQ(Icons(), 0);
    KeyIn("Tavelin", "Return");
    ASSERT_TRUE(WaitUntil([&] { return tavelin->state() == QProcess::NotRunning; }));
    EXPECT_EQ(tavelin->exitStatus(), QProcess::NormalExit);
    EXPECT_NE(tavelin->exitCode(), 0);
}

TEST_F(TavelinTray, AHotKeyHeldByAnotherProgramIsReportedAndTheProgramGoesOn) {
    WriteSettings();
    TForeignKeyGrab other(Desktop.Display(), "w", ShiftMask | ControlMask);
    ASSERT_TRUE(other.Held());
    QProcess* tavelin = Desktop.Launch("Tavelin");
    ASSERT_TRUE(WaitForTopLevel("Tavelin")) << "no message box";
    KeyIn("Tavelin", "Return");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin"); }));
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 1; }));
    EXPECT_EQ(tavelin->state(), QProcess::Running);

    // The keys it could take work, with NumLock and CapsLock on as well.
    Desktop.Xdotool("key Num_Lock Caps_Lock");
    ASSERT_TRUE(PressUntilShown("shift+ctrl+y", "Save screen capture file"));
    KeyIn("Save screen capture file", "Escape");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Save screen capture file"); }));
    Desktop.Xdotool("key Num_Lock Caps_Lock");
}

TEST_F(TavelinTray, AFreshProfileShowsTheFirstRunForm) {
    QProcess* tavelin = Desktop.Launch("Tavelin");
    ASSERT_TRUE(WaitForTopLevel("Tavelin 3.0"));
    KeyIn("Tavelin 3.0", "Return");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin 3.0"); }));
    EXPECT_EQ(tavelin->state(), QProcess::Running);
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 1; }));
}

TEST_F(TavelinTray, ExitEndsTheProgramWithEveryIconGone) {
    WriteSettings();
    QProcess* tavelin = Start();
    ASSERT_TRUE(ChooseInTrayMenu("x", [&] { return tavelin->state() == QProcess::NotRunning; }));
    EXPECT_EQ(tavelin->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavelin->exitCode(), 0);
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 0; }));
}

TEST_F(TavelinTray, TheEditorIsStartedFromTheProgramsFolder) {
    WriteSettings();
    // A copy of the program in a folder of its own, with an editor there that says it ran.
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QString(TAVELIN_BINARY_DIR) + "/Tavelin", folder.path() + "/Tavelin"));
    QFile::setPermissions(folder.path() + "/Tavelin",
                          QFile::permissions(QString(TAVELIN_BINARY_DIR) + "/Tavelin"));
    const QString marker = folder.path() + "/editor-ran";
    {
        QFile editor(folder.path() + "/Framory");
        ASSERT_TRUE(editor.open(QIODevice::WriteOnly));
        editor.write(QString("#!/bin/sh\necho $$ > '%1'\nexec sleep 60\n").arg(marker).toUtf8());
        editor.setPermissions(editor.permissions() | QFile::ExeOwner);
    }
    Start(folder.path() + "/Tavelin");

    // "Launch Avi Editor" is the fourth item.
    PopTrayMenu();
    Desktop.Xdotool("key Down Down Down Down Return");
    ASSERT_TRUE(WaitUntil([&] { return QFile(marker).size() > 0; })) << "the editor did not start";
    QFile pidFile(marker);
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const qint64 editorPid = pidFile.readAll().trimmed().toLongLong();
    EXPECT_TRUE(QFileInfo::exists(QString("/proc/%1").arg(editorPid))) << "its process runs";
    if (editorPid > 0) kill(pid_t(editorPid), SIGTERM);
    EXPECT_FALSE(HasTopLevel("Error"));

    // Without the editor beside it: the error box.
    QFile::remove(folder.path() + "/Framory");
    PopTrayMenu();
    Desktop.Xdotool("key Down Down Down Down Return");
    ASSERT_TRUE(WaitForTopLevel("Error")) << "no \"Error launching Avi Editor\" box";
    KeyIn("Error", "Return");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Error"); }));
}

TEST_F(TavelinTray, ACaptureRecordsThePointerAndLeavesThePauseOut) {
    WriteSettings();
    Desktop.PaintRoot(KnownDesktop());
    Start();
    QTemporaryDir folder;
    const QString file = folder.path() + "/clip.avi";

    // Typed without extension: the dialog adds ".avi".
    ASSERT_NO_FATAL_FAILURE(StartCapture(folder.path() + "/clip"));
    QElapsedTimer clock;
    clock.start();

    // About two seconds of pointer moves and clicks.
    for (int i = 0; clock.elapsed() < 2000; ++i)
        Desktop.Xdotool(QString("mousemove %1 %2%3")
                            .arg(100 + (i * 37) % 800)
                            .arg(100 + (i * 23) % 500)
                            .arg(i % 4 ? "" : " click 1"));
    const qint64 paused = clock.elapsed();
    Desktop.Xdotool("key shift+ctrl+p");
    QThread::msleep(PauseMs); // the pause itself: time that must not be recorded
    const qint64 resumed = clock.elapsed();
    Desktop.Xdotool("key shift+ctrl+p");
    // The pointer rests where the last frames show it.
    const QPoint pointer(300, 500);
    Desktop.Xdotool(QString("mousemove %1 %2").arg(pointer.x()).arg(pointer.y()));
    QThread::msleep(1000);
    const qint64 stopped = clock.elapsed();
    Desktop.Xdotool("key shift+ctrl+y");
    ASSERT_TRUE(WaitUntil([&] { return Icons() == 1; })) << "the capture icons stayed";

    ASSERT_TRUE(WaitUntil([&] { return AviFileComplete(file); }, 60000)) << "the file was not completed";
    TRecordedAvi avi;
    ASSERT_TRUE(WaitUntil([&] {
        avi = ReadRecordedAvi(file);
        return avi.Opened && avi.Length > 0;
    }));
    EXPECT_EQ(avi.Size, QSize(ScreenWidth, ScreenHeight));
    EXPECT_EQ(avi.FramesPerSecond, 10);

    const qint64 recordedMs = paused + (stopped - resumed);
    const qint64 expected = recordedMs / GrabPeriodMs;
    const qint64 withPause = stopped / GrabPeriodMs;
    // The start of the file and the key presses lag behind what the test measures, by seconds on a
    // loaded machine; the 50 positions of the pause stay apart from that, half of them either way.
    EXPECT_GE(avi.Length, expected - LagPositions) << "recorded " << recordedMs << " ms";
    EXPECT_LE(avi.Length, expected + LagPositions) << "recorded " << recordedMs << " ms";
    EXPECT_LT(avi.Length, withPause - PauseMs / GrabPeriodMs / 2) << "the pause was recorded";

    // The last frame: the known desktop, and the pointer where it rests.
    ASSERT_FALSE(avi.Frames.empty());
    const QImage last = avi.Frames.back().second;
    ASSERT_FALSE(last.isNull());
    const QImage desktop = KnownDesktop();
    const QRect pointerBox(pointer - QPoint(4, 4), QSize(40, 40));
    const QRect trayArea(0, ScreenHeight - TrayStrip, ScreenWidth, TrayStrip);
    int outside = 0, outsideSame = 0, pointerPixels = 0;
    for (int y = 0; y < ScreenHeight; y += 2)
        for (int x = 0; x < ScreenWidth; x += 2) {
            const QPoint at(x, y);
            if (trayArea.contains(at)) continue;
            const bool same = Near(last.pixel(at), desktop.pixel(at), 10);
            if (pointerBox.contains(at)) {
                if (!Near(last.pixel(at), desktop.pixel(at), 60)) ++pointerPixels;
            } else {
                ++outside;
                if (same) ++outsideSame;
            }
        }
    EXPECT_GT(outsideSame, outside * 99 / 100) << "the desktop is not in the frame";
    EXPECT_GE(pointerPixels, 10) << "no pointer in the frame";
}

// Frames of an AVI file as the ffmpeg command decodes them, by stream position. A position the file
// leaves empty is absent: players show the frame before it there.
std::map<qint64, QImage> DecodedByFfmpeg(const QString& file, const QString& folder) {
    std::map<qint64, QImage> frames;
    QDir().mkpath(folder);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-i", file, "-fps_mode", "passthrough", "-frame_pts",
                            "1", "-pix_fmt", "rgb24", folder + "/%d.png"});
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) return frames;
    for (const QString& name : QDir(folder).entryList({"*.png"}, QDir::Files))
        frames[QFileInfo(name).baseName().toLongLong()] =
            QImage(folder + "/" + name).convertToFormat(QImage::Format_RGB32);
    return frames;
}

// The stream's length in positions, as ffprobe reads the header.
qint64 PositionsOf(const QString& file) {
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=nb_frames",
                              "-of", "csv=p=0", file});
    ffprobe.waitForFinished(30000);
    return ffprobe.readAllStandardOutput().trimmed().toLongLong();
}

// What a player shows at a position: the last frame at or before it.
QImage ShownAt(const std::map<qint64, QImage>& frames, qint64 position) {
    auto it = frames.upper_bound(position);
    return it == frames.begin() ? QImage() : std::prev(it)->second;
}

// The pixels where two pictures differ by more than Microsoft Video 1 keeps (5 bits a channel).
QRegion Differences(const QImage& a, const QImage& b) {
    QRegion region;
    if (a.size() != b.size()) return QRect(QPoint(0, 0), a.size().expandedTo(b.size()));
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (!Near(p[x], q[x], 8)) region += QRect(x, y, 1, 1);
    }
    return region;
}

// The whole road: a changing window recorded with Tavelin's capture key, the recording opened in the
// editor that the tray starts, annotations drawn on three frames with the mouse, and Save. The ffmpeg
// command then finds the annotations in exactly those frames, where they were drawn, and every other
// frame as it was recorded.
TEST_F(TavelinTray, ARecordingAnnotatedInTheEditorIsSavedWithTheAnnotationsBurnedIn) {
    WriteSettings();
    // The desktop: a flat field with a magenta square at the top left, by which the test finds the
    // frame in the editor's view; the codec keeps flat 4 x 4 blocks exactly.
    QImage desktop(ScreenWidth, ScreenHeight, QImage::Format_RGB32);
    desktop.fill(QColor(0x80, 0x80, 0x80));
    const QRgb marker = qRgb(0xFF, 0, 0xFF);
    QPainter(&desktop).fillRect(QRect(0, 0, 64, 64), QColor(marker));
    Desktop.PaintRoot(desktop);
    Desktop.Xdotool("mousemove 1000 300"); // the pointer rests away from what is drawn on
    Start();
    QTemporaryDir folder;
    const QString file = folder.path() + "/road.avi";

    // A window that changes its colour every 100 ms while it is recorded.
    TColourWindow changing(Desktop.Display(), QRect(128, 96, 512, 384));
    ASSERT_TRUE(changing.Shown());
    changing.Fill(SolidColor(0).rgb());
    ASSERT_NO_FATAL_FAILURE(StartCapture(file));
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; clock.elapsed() < 4000; ++i) {
        changing.Fill(SolidColor(i).rgb());
        QThread::msleep(100);
    }
    Desktop.Xdotool("key shift+ctrl+y");
    ASSERT_TRUE(WaitUntil([&] { return Icons() == 1; })) << "the capture icons stayed";
    ASSERT_TRUE(WaitUntil([&] { return AviFileComplete(file); }, 60000)) << "the file was not completed";
    const qint64 positions = PositionsOf(file);
    ASSERT_GE(positions, 20) << "too short a recording";
    const std::map<qint64, QImage> recorded = DecodedByFfmpeg(file, folder.path() + "/recorded");
    ASSERT_FALSE(recorded.empty());

    // "Launch Avi Editor", the fourth item of the tray menu: the editor starts without a file, and
    // opens the recording through its open dialog.
    const QString editor = "Tavelin 3 AVI Editor";
    ASSERT_TRUE(ChooseInTrayMenu("Down Down Down Down Return", [&] { return HasTopLevel(editor); }))
        << "the editor did not start";
    ASSERT_TRUE(OpenThroughDialog(Desktop, editor, file));
    const QString caption = editor + " - road.avi";
    ASSERT_TRUE(WaitForTopLevel(caption)) << "the recording did not open";

    // The frame view: the square of the desktop's colour at its top left, at 100 %.
    const QRect window = TopLevelsNamed(Desktop.Display(), caption).front().Geometry;
    auto viewOrigin = [&]() -> std::optional<QPoint> {
        const QImage shot = Desktop.Screenshot();
        for (int y = window.top(); y < window.bottom() - 50; ++y)
            for (int x = window.left(); x < window.right() - 50; ++x)
                if (shot.pixel(x, y) == marker && shot.pixel(x + 50, y) == marker &&
                    shot.pixel(x, y + 50) == marker && shot.pixel(x + 50, y + 50) == marker)
                    return QPoint(x, y);
        return std::nullopt;
    };
    std::optional<QPoint> origin;
    ASSERT_TRUE(WaitUntil([&] { return (origin = viewOrigin()).has_value(); })) << "no frame view";

    // Three positions, each with its own tool, dragged from (150, 140) to (330, 300) of the frame.
    struct TAnnotation {
        int Position;
        const char* ToolKey;
    };
    const TAnnotation annotations[] = {{2, "ctrl+r"}, {7, "ctrl+e"}, {13, "ctrl+f"}};
    const QRect drag(150, 140, 180, 160);
    int at = 0;
    for (const TAnnotation& a : annotations) {
        KeyIn(caption, QStringList(a.Position - at, "Down").join(' '));
        at = a.Position;
        const QImage expected = ShownAt(recorded, a.Position);
        // The view shows the position's frame before anything is drawn on it.
        ASSERT_TRUE(WaitUntil([&] {
            const QPoint inside = *origin + QPoint(300, 120);
            return Near(Desktop.Screenshot().pixel(inside), expected.pixel(300, 120), 8);
        })) << "position "
            << a.Position;
        KeyIn(caption, a.ToolKey);
        const QPoint from = *origin + drag.topLeft(), to = *origin + drag.bottomRight();
        Desktop.Xdotool(QString("mousemove %1 %2 mousedown 1").arg(from.x()).arg(from.y()));
        for (int step = 1; step <= 8; ++step) {
            const QPoint p = from + (to - from) * step / 8;
            Desktop.Xdotool(QString("mousemove %1 %2").arg(p.x()).arg(p.y()));
        }
        Desktop.Xdotool("mouseup 1");
        // The step shows in the view: black where the drag's path ran.
        const QPoint middle = *origin + drag.topLeft() + (drag.bottomRight() - drag.topLeft()) / 2;
        ASSERT_TRUE(WaitUntil([&] {
            const QImage shot = Desktop.Screenshot();
            int dark = 0;
            for (int d = -40; d <= 40; ++d)
                for (const QPoint p : {QPoint(middle.x() + d, from.y()), QPoint(from.x(), middle.y() + d),
                                       QPoint(middle.x() + d, middle.y() + d * 8 / 9)})
                    if (qGray(shot.pixel(p)) < 0x20) ++dark;
            return dark > 20;
        })) << "nothing drawn at position "
            << a.Position;
    }

    // Save, from the File menu (Open, Close, Save, ...).
    const QByteArray before = fault::ReadAll(file);
    KeyIn(caption, "alt+f Down Down Return");
    ASSERT_TRUE(WaitUntil([&] { return fault::ReadAll(file) != before; }, 60000)) << "nothing saved";

    EXPECT_EQ(PositionsOf(file), positions);
    const std::map<qint64, QImage> saved = DecodedByFfmpeg(file, folder.path() + "/saved");
    // The annotations lie within the drag's rectangle, the pen's width and the codec's 4 x 4 blocks
    // around it.
    const QRect annotated = drag.adjusted(-6, -6, 6, 6);
    for (qint64 p = 0; p < positions; ++p) {
        const QImage now = ShownAt(saved, p);
        ASSERT_EQ(now.size(), QSize(ScreenWidth, ScreenHeight)) << "position " << p;
        const QRegion changed = Differences(now, ShownAt(recorded, p));
        const bool drawnOn = std::any_of(std::begin(annotations), std::end(annotations),
                                         [&](const TAnnotation& a) { return a.Position == p; });
        if (drawnOn) {
            EXPECT_TRUE(annotated.contains(changed.boundingRect()))
                << "position " << p << ": " << ::testing::PrintToString(changed.boundingRect());
            // The figure spans the drag, black.
            EXPECT_GE(changed.boundingRect().width(), drag.width() * 3 / 4) << "position " << p;
            EXPECT_GE(changed.boundingRect().height(), drag.height() * 3 / 4) << "position " << p;
            int black = 0;
            for (const QRect& r : changed)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        if (Near(now.pixel(x, y), qRgb(0, 0, 0), 8)) ++black;
            EXPECT_GT(black, 300) << "position " << p;
        } else {
            EXPECT_TRUE(changed.isEmpty())
                << "position " << p << ": " << ::testing::PrintToString(changed.boundingRect());
        }
    }

    // The editor ends by its own command, nothing left to ask.
    KeyIn(caption, "alt+f x");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel(caption); }));
}

TEST_F(TavelinTray, TheAnnotateKeyShowsTheDesktopToDrawOnAndEscClosesIt) {
    // No question on closing, so that Esc closes at once.
    WriteSettings("ShowFirst=0\nConfExit=0\n");
    Desktop.PaintRoot(KnownDesktop());
    Start();
    const QImage before = Desktop.Screenshot();
    // The tray host paints the icon in its own time: the strip it stands in is left out.
    auto showsDesktop = [&] { return SameAboveTray(Desktop.Screenshot(), before); };

    ASSERT_TRUE(PressUntilShown("shift+ctrl+w", "Tavelin annotation"));
    // The window shows the copy of the desktop it was opened over.
    EXPECT_TRUE(WaitUntil(showsDesktop)) << "the window does not show the desktop";

    // A drag draws a freehand stroke in layer 1's black.
    Desktop.Xdotool("mousemove 100 150 mousedown 1 mousemove 200 150 mousemove 300 150 mouseup 1");
    auto strokeDrawn = [&] {
        const QImage shot = Desktop.Screenshot();
        int dark = 0;
        for (int x = 110; x < 290; ++x)
            if (qGray(shot.pixel(x, 150)) < 0x10) ++dark;
        return dark > 150;
    };
    EXPECT_TRUE(WaitUntil(strokeDrawn)) << "the drag drew nothing";

    KeyIn("Tavelin annotation", "Escape");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin annotation"); }));
    EXPECT_TRUE(WaitUntil(showsDesktop));

    // "&Annotate" is enabled again: its key in the tray menu opens a new, empty showing.
    ASSERT_TRUE(ChooseInTrayMenu("a", [&] { return HasTopLevel("Tavelin annotation"); }))
        << "\"&Annotate\" stayed disabled";
    EXPECT_TRUE(WaitUntil(showsDesktop)) << "the old stroke came back";
    KeyIn("Tavelin annotation", "Escape");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin annotation"); }));
}

TEST_F(TavelinTray, TheOptionsWindowWritesItsKeysOnOkAndNothingOnCancel) {
    WriteSettings("ShowFirst=0\nConfExit=0\n");
    Start();
    QTemporaryDir folder;
    const QString stamp = folder.path() + "/stamp.png";
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::magenta);
    ASSERT_TRUE(picture.save(stamp, "PNG"));
    auto settings = [&] {
        QFile file(Desktop.SettingsFile("Tavelin"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    // A hot key works once pressing it opens the drawing window; that window is closed again.
    auto annotatesWith = [&](const QString& key) {
        const bool shown = PressUntilShown(key, "Tavelin annotation");
        if (shown) {
            KeyIn("Tavelin annotation", "Escape");
            EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin annotation"); }));
        }
        return shown;
    };
    auto heldByTavelin = [&](const char* key) {
        return !TForeignKeyGrab(Desktop.Display(), key, ShiftMask | ControlMask).Held();
    };

    ASSERT_TRUE(ChooseInTrayMenu("o", [&] { return HasTopLevel("Tavelin options"); }));
    // Layer 2's page (Ctrl+Tab from inside the pages): its width and colour.
    KeyIn("Tavelin options", "alt+w ctrl+Tab");
    KeyIn("Tavelin options", "alt+w ctrl+a");
    Desktop.Xdotool("type 12");
    Desktop.Xdotool("key alt+c");
    Desktop.Xdotool("type n"); // the first colour named with N: Navy
    // A stamp picture, typed into the picture dialog ("&Add" shares its letter with "&About", so the
    // letter only moves the focus to it).
    Desktop.Xdotool("key alt+a space");
    ASSERT_TRUE(WaitForTopLevel("Load images"));
    KeyIn("Load images", "ctrl+a");
    Desktop.Xdotool("mousemove 10 10"); // away from the tray icon and its tip
    Desktop.Xdotool("type --delay 5 '" + stamp + "'");
    // The name field offers the file in a list of its own; Esc closes that list, not the dialog.
    auto completerShows = [&] {
        for (const TXWindow& w : ViewableWindows(Desktop.Display()))
            if (w.TopLevel && w.OverrideRedirect && w.Class.compare("Tavelin", Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    // A slow build may lose typed keys or show the list late: the name is typed again until it takes.
    for (int attempt = 0; attempt < 3 && HasTopLevel("Load images"); ++attempt) {
        if (attempt > 0) {
            KeyIn("Load images", "ctrl+a");
            Desktop.Xdotool("type --delay 20 '" + stamp + "'");
        }
        if (WaitUntil(completerShows, 3000)) Desktop.Xdotool("key Escape");
        Desktop.Xdotool("key Return");
        WaitUntil([&] { return !HasTopLevel("Load images"); }, 20000);
    }
    ASSERT_FALSE(HasTopLevel("Load images"));
    // The annotate key, then Enter for OK.
    KeyIn("Tavelin options", "alt+n");
    Desktop.Xdotool("key shift+ctrl+q");
    Desktop.Xdotool("key Return");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin options"); }));

    // The new annotate key works, the old one is let go.
    ASSERT_TRUE(annotatesWith("shift+ctrl+q")) << "the new annotate key does nothing";
    EXPECT_FALSE(heldByTavelin("w")) << "Shift+Ctrl+W is still taken";
    EXPECT_TRUE(heldByTavelin("y"));
    const QString text = settings();
    for (const QString line :
         {"DrawWidth2=12\n", "DrawColor2=clNavy\n", "HotKey=Shift+Ctrl+Q\n", "DrawWidth1=3\n",
          "HotKey2=Shift+Ctrl+Y\n", "ShowClicks=1\n", "Font5=\"Times New Roman\";14;clBlack;Bold\n",
          "TransparentFont3=1\n", "CurrCursor4=\n", "Image9=\n", "PictureDir=\n"})
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << "\n" << text.toStdString();
    EXPECT_TRUE(QRegularExpression("\nImage[0-9]=" + QRegularExpression::escape(stamp) + ";1\n")
                    .match(text)
                    .hasMatch())
        << text.toStdString();

    // Cancel, here by Esc, writes nothing and gives the keys in force back, not those typed.
    ASSERT_TRUE(ChooseInTrayMenu("o", [&] { return HasTopLevel("Tavelin options"); }));
    EXPECT_FALSE(heldByTavelin("q")) << "the hot keys are not let go while the window shows";
    KeyIn("Tavelin options", "alt+w ctrl+a");
    Desktop.Xdotool("type 30");
    Desktop.Xdotool("key alt+n shift+ctrl+z");
    Desktop.Xdotool("key Escape");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin options"); }));
    ASSERT_TRUE(annotatesWith("shift+ctrl+q")) << "the annotate key did not come back";
    EXPECT_FALSE(heldByTavelin("z")) << "the cancelled Shift+Ctrl+Z was taken";
    EXPECT_EQ(settings(), text);
}

// The program ends while a capture runs, by its exit command or by the end of the session.
class TavelinEndDuringCapture : public TavelinTray, public ::testing::WithParamInterface<bool> {};

TEST_P(TavelinEndDuringCapture, CompletesTheFileFirst) {
    const bool sessionEnd = GetParam();
    WriteSettings();
    QProcess* tavelin = Start();
    QTemporaryDir folder;
    const QString file = folder.path() + "/exit.avi";
    ASSERT_NO_FATAL_FAILURE(StartCapture(file));
    // Some frames are in the file before the end comes.
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(file).size() > 64 * 1024; }, 60000));

    if (sessionEnd) {
        tavelin->terminate();
    } else {
        // The end completes the file first, which may take long on a loaded machine.
        ASSERT_TRUE(ChooseInTrayMenu(
            "x", [&] { return tavelin->state() == QProcess::NotRunning; }, 60000));
    }
    ASSERT_TRUE(WaitUntil([&] { return tavelin->state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(tavelin->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavelin->exitCode(), 0);
    // Complete as the process ends, without waiting any longer.
    EXPECT_TRUE(AviFileComplete(file));
    const TRecordedAvi avi = ReadRecordedAvi(file);
    EXPECT_TRUE(avi.Opened);
    EXPECT_GT(avi.Length, 0);
    EXPECT_FALSE(avi.Frames.empty());
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 0; }));
}

INSTANTIATE_TEST_SUITE_P(ByExitAndBySessionEnd, TavelinEndDuringCapture, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "SessionEnd" : "ExitCommand";
                         });

// The X server goes away under the program: Qt then ends the process, skipping the windows' clean-up;
// a capture under way is completed first, and the program ends without hanging or crashing.
TEST_F(TavelinTray, TheDisplayGoingAwayDuringACaptureCompletesTheFile) {
    WriteSettings();
    QProcess* tavelin = Start();
    QTemporaryDir folder;
    const QString file = folder.path() + "/display.avi";
    ASSERT_NO_FATAL_FAILURE(StartCapture(file));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(file).size() > 64 * 1024; }, 20000));

    Desktop.StopServer();
    ASSERT_TRUE(tavelin->waitForFinished(30000)) << "the program hangs without its display";
    EXPECT_EQ(tavelin->exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(AviFileComplete(file));
    const TRecordedAvi avi = ReadRecordedAvi(file);
    EXPECT_TRUE(avi.Opened);
    EXPECT_GT(avi.Length, 0);
    EXPECT_FALSE(avi.Frames.empty());
}

TEST_F(TavelinTray, TheDisplayGoingAwayDuringAnnotationEndsTheProgram) {
    WriteSettings();
    QProcess* tavelin = Start();
    ASSERT_TRUE(WaitUntil(
        [&] {
            Desktop.Xdotool("key shift+ctrl+w");
            return WaitForTopLevel("Tavelin annotation", 1000);
        },
        10000));
    Desktop.Xdotool("mousemove 300 300 mousedown 1 mousemove 500 400 mouseup 1");

    Desktop.StopServer();
    ASSERT_TRUE(tavelin->waitForFinished(30000)) << "the program hangs without its display";
    EXPECT_EQ(tavelin->exitStatus(), QProcess::NormalExit);
}

// Tavelin on a desktop that has no tray yet.
class TavelinWithoutTray : public TavelinTray {
protected:
    void SetUp() override {
        ASSERT_TRUE(Desktop.IsRunning());
        QDir().mkpath(QFileInfo(Desktop.SettingsFile("Tavelin")).path());
    }
};

// Without a tray the program would run unseen with no way to end it: it says so once, naming the hot
// keys, which work while the notice shows; a tray started later gets the icon.
TEST_F(TavelinWithoutTray, SaysOnceWhatStillWorksAndTheIconComesWithATray) {
    WriteSettings();
    QProcess* tavelin = Desktop.Launch("Tavelin");
    ASSERT_TRUE(WaitForTopLevel("Tavelin")) << "no word without a tray";
    ASSERT_TRUE(PressUntilShown("shift+ctrl+y", "Save screen capture file"));
    KeyIn("Save screen capture file", "Escape");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Save screen capture file"); }));
    EXPECT_EQ(TopLevelsNamed(Desktop.Display(), "Tavelin").size(), 1u) << "the notice came more than once";
    KeyIn("Tavelin", "Return");
    ASSERT_TRUE(WaitUntil([&] { return !HasTopLevel("Tavelin"); }));

    ASSERT_TRUE(Desktop.StartTray());
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 1; })) << "no icon once a tray runs";
    EXPECT_FALSE(WaitForTopLevel("Tavelin", 5000)) << "the notice came again";
    EXPECT_EQ(tavelin->state(), QProcess::Running);
}

// With a tray the icon says all: no notice comes.
TEST_F(TavelinTray, WithATrayNoNoticeComes) {
    WriteSettings();
    QProcess* tavelin = Start();
    ASSERT_TRUE(PressUntilShown("shift+ctrl+y", "Save screen capture file"));
    KeyIn("Save screen capture file", "Escape");
    EXPECT_TRUE(WaitUntil([&] { return !HasTopLevel("Save screen capture file"); }));
    // Well past the moment the program looks for a tray.
    EXPECT_FALSE(WaitForTopLevel("Tavelin", 10000)) << "a notice came with a tray running";
    EXPECT_EQ(tavelin->state(), QProcess::Running);
}
