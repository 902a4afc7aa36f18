#include "XWindows.h"
#include "avi/AviReader.h"
#include "support/DesktopSession.h"
#include "support/FaultInjection.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString Caption = "Tavelin 3 AVI Editor - movie.avi";

// Framory on a desktop of its own, opening a recording of solid-colour frames, driven with xdotool.
class FramorySave : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Desktop.IsRunning()); }

    QString TempFolder() const { return Dir.path() + "/temp"; }

    QProcess* Start(const QString& file) {
        QProcess* framory = Desktop.Launch("Framory", {file});
        EXPECT_TRUE(WaitUntil([&] { return !TopLevelsNamed(Desktop.Display(), Caption).empty(); }, 20000));
        return framory;
    }
    // Gives the keyboard to the window of that name and presses keys in it.
    void KeyIn(const QString& name, const QString& keys) {
        const auto windows = TopLevelsNamed(Desktop.Display(), name);
        ASSERT_FALSE(windows.empty()) << name.toStdString();
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(windows.front().Id));
        Desktop.Xdotool("key --delay 60 " + keys);
    }
    bool WaitForTopLevel(const QString& name) {
        return WaitUntil([&] { return !TopLevelsNamed(Desktop.Display(), name).empty(); }, 10000);
    }
    bool WaitForNoTopLevel(const QString& name) {
        return WaitUntil([&] { return TopLevelsNamed(Desktop.Display(), name).empty(); }, 10000);
    }
    // Menus by keyboard: the File menu opens with Alt+F; Right moves to Edit. A menu opened by the
    // keyboard starts on its first item.
    void FileMenu(int down) { KeyIn(Caption, "alt+f" + QString(" Down").repeated(down) + " Return"); }
    void EditMenu(int down) { KeyIn(Caption, "alt+f Right" + QString(" Down").repeated(down) + " Return"); }

    TDesktopSession Desktop{1024, 768};
    QTemporaryDir Dir;
    fault::TTempFolderScope Temp{Dir.path() + "/temp"};
};

// Each source frame shows its own colour, so the saved file tells which frames it holds in which
// order, after every kind of frame edit.
TEST_F(FramorySave, EditsSavedAndReadBack) {
    const QString movie = Dir.path() + "/movie.avi";
    ASSERT_TRUE(WriteSolidRecording(movie, QSize(160, 120), 10, 8));
    QProcess* framory = Start(movie);

    // Frame 1 is current. Ctrl+Del deletes it; Ctrl+Ins copies the new frame 1 (source 1).
    KeyIn(Caption, "ctrl+Delete");
    KeyIn(Caption, "ctrl+Insert"); // 1 1 2 3 4 5 6 7
    KeyIn(Caption, "Down Down");   // position 3, source 2
    EditMenu(2);                   // Duplicate frame...
    ASSERT_TRUE(WaitForTopLevel("Number of copies"));
    KeyIn("Number of copies", "ctrl+a 3 Return"); // 1 1 2 2 2 2 3 4 5 6 7
    ASSERT_TRUE(WaitForNoTopLevel("Number of copies"));
    EditMenu(3); // Remove frames...
    ASSERT_TRUE(WaitForTopLevel("Remove frames"));
    KeyIn("Remove frames", "ctrl+a 8 Tab ctrl+a 9 Return"); // 1 1 2 2 2 2 3 6 7
    ASSERT_TRUE(WaitForNoTopLevel("Remove frames"));

    const QByteArray before = fault::ReadAll(movie);
    FileMenu(2); // Save
    ASSERT_TRUE(WaitUntil([&] { return fault::ReadAll(movie) != before; }, 20000)) << "nothing saved";

    const int expected[] = {1, 1, 2, 2, 2, 2, 3, 6, 7};
    auto check = [&](const QString& file) {
        TAVIFile saved;
        saved.Open(file);
        ASSERT_EQ(saved.FrameCount(), std::size(expected));
        for (int i = 0; i < int(std::size(expected)); ++i)
            EXPECT_EQ(PositionShown(saved.GetFrame(i)->pixel(80, 60), 8), expected[i])
                << "position " << i + 1;
    };
    check(movie);
    EXPECT_TRUE(QDir(TempFolder()).entryList(QDir::Files).isEmpty());

    // The editor goes on with the saved file: a frame deleted now and saved again leaves 8.
    KeyIn(Caption, "ctrl+Delete");
    const QByteArray first = fault::ReadAll(movie);
    FileMenu(2);
    ASSERT_TRUE(WaitUntil([&] { return fault::ReadAll(movie) != first; }, 20000));
    TAVIFile again;
    again.Open(movie);
    EXPECT_EQ(again.FrameCount(), 8u);

    // Save As over a file that exists asks first: No keeps it, Yes replaces it, and the window then
    // shows the new name.
    const QString copy = Dir.path() + "/copy.avi";
    ASSERT_TRUE(fault::WriteAll(copy, "someone else's file"));
    KeyIn(Caption, "ctrl+Delete");
    auto saveAs = [&](const char* answer) {
        FileMenu(3); // Save As...
        ASSERT_TRUE(WaitForTopLevel("Save file as..."));
        QThread::msleep(300);
        KeyIn("Save file as...", "ctrl+a");
        Desktop.Xdotool("type --delay 5 '" + copy + "'");
        Desktop.Xdotool("key Return");
        ASSERT_TRUE(WaitForTopLevel("Confirm"));
        KeyIn("Confirm", answer);
        ASSERT_TRUE(WaitForNoTopLevel("Confirm"));
    };
    saveAs("Escape");
    QThread::msleep(500);
    EXPECT_EQ(fault::ReadAll(copy), "someone else's file");
    saveAs("Return");
    ASSERT_TRUE(WaitForTopLevel("Tavelin 3 AVI Editor - copy.avi"));
    TAVIFile saved;
    saved.Open(copy);
    EXPECT_EQ(saved.FrameCount(), 7u);
    again.Close();
    again.Open(movie);
    EXPECT_EQ(again.FrameCount(), 8u);
    framory->kill();
    framory->waitForFinished(5000);
}

// Framory killed at twenty moments of a save, the move over the target included: the target is the
// old file or the whole new one every time.
TEST_F(FramorySave, KilledWhileSavingLeavesTheOldOrTheNewFile) {
    fault::TOtherFileSystemFolder other(TempFolder(), Dir.path() + "/mnt");
    // Across file systems the move is a copy and a rename: the longer road to interrupt.
    const QString folder = other.path().isEmpty() ? Dir.path() : other.path();
    const QString movie = folder + "/movie.avi";
    const QString pristine = Dir.path() + "/pristine.avi";
    ASSERT_TRUE(WriteSolidRecording(pristine, QSize(1280, 720), 10, 200));
    const QByteArray old = fault::ReadAll(pristine);

    // One undisturbed save, timed from the key that starts it, gives the new file and the span.
    ASSERT_TRUE(fault::WriteAll(movie, old));
    QProcess* framory = Start(movie);
    KeyIn(Caption, "ctrl+Delete");
    QElapsedTimer clock;
    clock.start();
    FileMenu(2);
    ASSERT_TRUE(WaitUntil([&] { return fault::ReadAll(movie) != old; }, 60000));
    const qint64 span = clock.elapsed();
    QThread::msleep(200);
    const QByteArray fresh = fault::ReadAll(movie);
    framory->kill();
    framory->waitForFinished(5000);

    int sawOld = 0, sawNew = 0;
    for (int trial = 0; trial < 20; ++trial) {
        ASSERT_TRUE(fault::WriteAll(movie, old));
        framory = Start(movie);
        KeyIn(Caption, "ctrl+Delete");
        // The moments spread over the whole save and a little past it.
        const qint64 at = (span * 6 / 5) * (trial + QRandomGenerator::global()->generateDouble()) / 20;
        FileMenu(2);
        QThread::msleep(at);
        framory->kill();
        framory->waitForFinished(5000);
        const QByteArray now = fault::ReadAll(movie);
        ASSERT_TRUE(now == old || now == fresh) << "trial " << trial << " at " << at << " ms: " << now.size();
        (now == old ? sawOld : sawNew) += 1;
        for (const QString& left : QDir(TempFolder()).entryList({"~Qz*"}, QDir::Files))
            QFile::remove(TempFolder() + "/" + left);
        for (const QString& left : QDir(folder).entryList({"~Qz*"}, QDir::Files))
            QFile::remove(folder + "/" + left);
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
    RecordProperty("span_ms", int(span));
}

} // namespace
