// Full-screen grabs per second through shared memory and through the plain request, and the cost of
// the pointer work each recorded frame adds.
//
//   grab_bench                   starts its own Xvfb at 1920x1080x24 (Xvfb must be installed)
//   grab_bench --display :0      measures an existing display instead
#include "platform/PointerOverlay.h"
#include "platform/X11PointerReader.h"
#include "platform/X11ScreenGrabber.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int MeasureMs = 3000;

// A private server, so the figures do not depend on what the desktop shows.
std::unique_ptr<QProcess> StartXvfb(QByteArray& display) {
    auto server = std::make_unique<QProcess>();
    // The server writes the display number it found free to standard output.
    server->start("Xvfb",
                  {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1920x1080x24"});
    QByteArray number;
    while (!number.endsWith('\n') && server->waitForReadyRead(15000))
        number += server->readAllStandardOutput();
    if (number.trimmed().isEmpty()) return nullptr;
    display = ":" + number.trimmed();
    return server;
}

void MeasureGrabs(const QByteArray& display, X11ScreenGrabber::Method method, const char* name) {
    X11ScreenGrabber grabber(display, method);
    if (!grabber.IsOpen()) {
        std::printf("%-28s cannot read the screen\n", name);
        return;
    }
    const QRect screen = grabber.RootRect();
    int grabs = 0, failed = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < MeasureMs) {
        if (grabber.Grab(screen).isNull()) ++failed;
        ++grabs;
    }
    std::printf("%-28s %dx%d: %8.1f grabs/s%s%s\n", name, screen.width(), screen.height(),
                grabs * 1000.0 / t.elapsed(),
                method == X11ScreenGrabber::Method::Fastest && !grabber.UsesSharedMemory()
                    ? " (shared memory refused: plain request)"
                    : "",
                failed ? " (some failed)" : "");
}

void MeasurePointerWork(const QByteArray& display) {
    X11PointerReader reader(display);
    QImage frame(1920, 1080, QImage::Format_RGB32);
    frame.fill(Qt::white);
    int frames = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < MeasureMs) {
        const QPoint at = reader.Position().value_or(QPoint(960, 540));
        DrawClickCircle(frame, at, ClickCircleColor(reader.ButtonsSinceLastQuery()).value_or(clRed));
        if (const auto cursor = reader.CursorImage()) DrawPointer(frame, at, *cursor);
        ++frames;
    }
    std::printf("%-28s %8.1f us/frame\n", "pointer, buttons, drawing", t.nsecsElapsed() / 1000.0 / frames);
}

} // namespace

int main(int argc, char** argv) {
    QByteArray display;
    std::unique_ptr<QProcess> server;
    if (argc == 3 && std::strcmp(argv[1], "--display") == 0) {
        display = argv[2];
    } else {
        server = StartXvfb(display);
        if (!server) {
            std::fprintf(stderr, "Xvfb could not be started\n");
            return 1;
        }
    }
    std::printf("display %s\n", display.constData());
    MeasureGrabs(display, X11ScreenGrabber::Method::Fastest, "XShmGetImage");
    MeasureGrabs(display, X11ScreenGrabber::Method::PlainRequest, "XGetImage");
    MeasurePointerWork(display);
    if (server) {
        server->terminate();
        server->waitForFinished(3000);
    }
    return 0;
}
