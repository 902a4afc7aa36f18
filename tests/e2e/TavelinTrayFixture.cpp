#include "TavelinTrayFixture.h"

#include "XWindows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <vector>

void TavelinTray::SetUp() {
    ASSERT_TRUE(Desktop.IsRunning());
    ASSERT_TRUE(Desktop.StartTray());
    QDir().mkpath(QFileInfo(Desktop.SettingsFile("Tavelin")).path());
}

void TavelinTray::WriteSettings(const QString& lines) {
    QFile file(Desktop.SettingsFile("Tavelin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[Settings]\n" + lines).toUtf8());
}

QProcess* TavelinTray::Start(const QString& executable) {
    // The session starts programs from the build folder; a copy elsewhere is named relative to it.
    const QString program =
        executable.isEmpty() ? QString("Tavelin") : QDir(TAVELIN_BINARY_DIR).relativeFilePath(executable);
    QProcess* process = Desktop.Launch(program);
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 1; })) << "the tray icon did not come";
    const auto icons = TrayIconsOf(Desktop.Display(), "Tavelin");
    if (!icons.empty()) Icon0 = icons.front().Id;
    return process;
}

int TavelinTray::Icons() const {
    return int(TrayIconsOf(Desktop.Display(), "Tavelin").size());
}

bool TavelinTray::HasTopLevel(const QString& name) const {
    return !TopLevelsNamed(Desktop.Display(), name).empty();
}

bool TavelinTray::WaitForTopLevel(const QString& name, int timeoutMs) const {
    return WaitUntil([&] { return HasTopLevel(name); }, timeoutMs);
}

bool TavelinTray::PressUntilShown(const QString& key, const QString& window) {
    return WaitUntil([&] {
        Desktop.Xdotool("key " + key);
        return WaitForTopLevel(window, 3000);
    });
}

void TavelinTray::KeyIn(const QString& name, const QString& key) {
    const auto windows = TopLevelsNamed(Desktop.Display(), name);
    ASSERT_FALSE(windows.empty()) << name.toStdString();
    Desktop.Xdotool(QString("windowfocus --sync %1").arg(windows.front().Id));
    Desktop.Xdotool("key " + key);
}

void TavelinTray::PopTrayMenu() {
    ASSERT_TRUE(TryPopTrayMenu()) << "the tray menu did not pop up";
}

bool TavelinTray::TryPopTrayMenu() {
    // The program's own icon; the capture icons stand beside it.
    std::vector<TXWindow> icons;
    for (const TXWindow& w : TrayIconsOf(Desktop.Display(), "Tavelin"))
        if (w.Id == Icon0) icons.push_back(w);
    if (icons.empty()) return false;
    // Two clicks close together in time and place make a double click, which the right button
    // does not answer: each click lands a few pixels away from the last.
    const QPoint at = icons.front().Geometry.center() + QPoint(ClickSide ? 4 : -4, 0);
    ClickSide = !ClickSide;
    const int before = PopupCount();
    Desktop.Xdotool(QString("mousemove %1 %2 click 3").arg(at.x()).arg(at.y()));
    return WaitUntil([&] { return PopupCount() > before; });
}

bool TavelinTray::ChooseInTrayMenu(const QString& key, const std::function<bool()>& done, int timeoutMs) {
    return WaitUntil(
        [&] {
            if (PopupCount() == 0 && !TryPopTrayMenu()) return done();
            Desktop.Xdotool("key " + key);
            return WaitUntil(done, 3000);
        },
        timeoutMs);
}

void TavelinTray::StartCapture(const QString& typed) {
    ASSERT_TRUE(PressUntilShown("shift+ctrl+y", "Save screen capture file"));
    // On a loaded machine the first keys can reach the dialog before its file field takes them:
    // while the dialog stays open, the name is typed again over whatever arrived.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto dialog = TopLevelsNamed(Desktop.Display(), "Save screen capture file");
        if (dialog.empty()) break;
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(dialog.front().Id));
        QThread::msleep(300);
        Desktop.Xdotool("key ctrl+a");
        Desktop.Xdotool("type --delay 5 '" + typed + "'");
        Desktop.Xdotool("key Return");
        if (WaitUntil([&] { return Icons() == 3; }, 5000)) break;
    }
    ASSERT_TRUE(WaitUntil([&] { return Icons() == 3; })) << "no pause and stop icons";
}

int TavelinTray::PopupCount() const {
    int n = 0;
    for (const TXWindow& w : ViewableWindows(Desktop.Display()))
        if (w.TopLevel && w.OverrideRedirect && w.Class.compare("Tavelin", Qt::CaseInsensitive) == 0 &&
            w.Geometry.height() > 60)
            ++n;
    return n;
}
