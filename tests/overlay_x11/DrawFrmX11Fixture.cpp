#include "DrawFrmX11Fixture.h"

#include "support/DesktopSession.h"

#include "platform/X11ScreenGrabber.h"
#include "support/XvfbServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QWindow>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

void DrawFrmX11Fixture::WriteIni(const QByteArray& text) const {
    QFile f(IniPath());
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
}

void DrawFrmX11Fixture::PaintRoot(const QImage& picture) {
    ASSERT_TRUE(PaintRootWindow({}, picture));
}

QImage DrawFrmX11Fixture::Pattern(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | uint32_t((x * 7 + y) & 0xFF) << 16 |
                     uint32_t((y * 5 + x / 3) & 0xFF) << 8 | uint32_t((x ^ y) & 0xFF);
    }
    return picture;
}

QImage DrawFrmX11Fixture::ScreenShot() {
    X11ScreenGrabber grabber({}, X11ScreenGrabber::Method::PlainRequest);
    QImage shot = grabber.Grab(grabber.RootRect());
    shot.setOffset(QPoint());
    return shot;
}

bool DrawFrmX11Fixture::Xdotool(const QString& args) {
    return RunOnDisplay(qEnvironmentVariable("DISPLAY"), QStringLiteral("xdotool ") + args) == 0;
}

QByteArray DrawFrmX11Fixture::ClipboardData(const QString& type) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", type, "-o"});
    if (!xclip.waitForStarted()) return {};
    // The clipboard's owner is this process: it must go on answering while xclip asks.
    WaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000);
    return xclip.readAllStandardOutput();
}

int DrawFrmX11Fixture::Mismatches(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* rx = reinterpret_cast<const uint32_t*>(x.constScanLine(row));
        const auto* ry = reinterpret_cast<const uint32_t*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if ((rx[col] & 0xFFFFFF) != (ry[col] & 0xFFFFFF)) ++wrong;
    }
    return wrong;
}

bool DrawFrmX11Fixture::WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return WaitUntil(condition, timeoutMs);
}

void DrawFrmX11Fixture::Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void DrawFrmX11Fixture::ShowForm() {
    if (!Form) Form = std::make_unique<TDrawFrm>(IniPath(), Dir.path() + "/");
    Form->Annotate();
    ASSERT_TRUE(WaitFor([this] {
        return Form->isVisible() && QGuiApplication::focusWindow() == Form->windowHandle() &&
               Form->hasFocus();
    }));
    Settle();
}
