// Build-time tool: draws the 128 x 128 pictures that the desktop menus show for the two programs.
// Each is the program's own application icon, so the menu shows the picture the program's windows
// and about box show. Usage: MakeDesktopIcons <output folder>
#include "editor/FramoryIcon.h"
#include "tray/TrayIcons.h"

#include <QDir>
#include <QImage>
#include <cstdio>

namespace {

// The size that the hicolor theme folder "128x128" promises.
constexpr int MenuIconSize = 128;

bool Write(const QImage& image, const QString& path) {
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "MakeDesktopIcons: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeDesktopIcons <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "MakeDesktopIcons: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool written = Write(ApplicationIconImage(MenuIconSize), folder + "/tavelin.png") &&
                         Write(FramoryIconImage(MenuIconSize), folder + "/framory.png");
    return written ? 0 : 1;
}
