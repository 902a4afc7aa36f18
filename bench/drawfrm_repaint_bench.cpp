// Repaint time of the drawing window at 1920 x 1080 with 1,000 steps: plain steps (strokes, lines,
// shapes, texts), image stamps and outside covers, each kind measured on its own. Each repaint
// follows a toggle of the empty fifth layer, which leaves the paint list as it was: the window
// takes it from its kept picture of the list. repaint_bench measures the replays of the list.
//
//   drawfrm_repaint_bench [repaints]
//
// Runs on Qt's offscreen platform with a 1920 x 1080 screen of its own unless QT_QPA_PLATFORM is set.
#include "overlay/Draw.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int StepCount = 1000;

QAction* Find(TDrawFrm& form, const char* name) {
    return form.findChild<QAction*>(QString::fromLatin1(name));
}

void Drag(TDrawFrm& form, TShiftState keys, int x0, int y0, int x1, int y1, int moves) {
    form.FormMouseDown(mbLeft, keys | ssLeft, x0, y0);
    for (int i = 1; i <= moves; ++i)
        form.FormMouseMove(keys | ssLeft, x0 + (x1 - x0) * i / moves, y0 + (y1 - y0) * i / moves);
    form.FormMouseUp(mbLeft, keys, x1, y1);
    if (form.TextEntryOpen()) form.Edit1->setText(QStringLiteral("Annotation %1").arg(x0));
    form.EndTextEntry();
}

// Spreads the steps over the screen and four layers; the fifth stays empty, for toggling.
void AddPlainSteps(TDrawFrm& form) {
    const char* tools[] = {"FreeHand", "Line", "Rectangle", "Ellipse", "Text"};
    for (int i = 0; i < StepCount; ++i) {
        Find(form, (QStringLiteral("ALayer%1").arg(i % 4 + 1)).toLatin1().constData())->trigger();
        Find(form, tools[i % 5])->trigger();
        const int x = (i * 97) % 1700 + 20, y = (i * 61) % 900 + 20;
        Drag(form, (i % 5 == 2 && i % 3 == 0) ? TShiftState(ssCtrl) : TShiftState(0), x, y, x + 150, y + 100,
             i % 5 == 0 ? 20 : 2);
    }
}

void AddStamps(TDrawFrm& form) {
    form.Images1->actions().value(0)->trigger();
    for (int i = 0; i < StepCount; ++i) {
        const int x = (i * 97) % 1850, y = (i * 61) % 1000;
        Drag(form, 0, x, y, x, y, 0);
    }
}

void AddOutsideCovers(TDrawFrm& form) {
    Find(form, "Highlighter")->trigger(); // masked covers: every one of them stays visible
    for (int i = 0; i < StepCount; ++i) {
        Find(form, i % 2 ? "Ellipse" : "Rectangle")->trigger();
        const int x = (i * 97) % 1500, y = (i * 61) % 700;
        Drag(form, ssAlt, x, y, x + 400, y + 300, 1);
    }
}

struct TFigures {
    double Median = 0, Best = 0;
};

TFigures Measure(TDrawFrm& form, int repaints) {
    QAction* toggle = Find(form, "Layer51");
    std::vector<double> times;
    for (int i = 0; i < repaints; ++i) {
        // Toggling the empty layer marks the whole window for a fresh paint of the same picture;
        // repaint() paints it at once.
        toggle->trigger();
        QElapsedTimer timer;
        timer.start();
        form.repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QString config = dir.path() + "/screen.json";
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        f.close();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    }
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int repaints = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    QImage stamp(32, 32, QImage::Format_RGB32);
    stamp.fill(QColor(200, 40, 40));
    const QString stampFile = dir.path() + "/stamp.png";
    stamp.save(stampFile, "PNG");
    QFile ini(dir.path() + "/Tavelin.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write(("[Settings]\nImage0=" + stampFile + ";0\n").toUtf8());
    ini.close();

    struct TCase {
        const char* Name;
        void (*Fill)(TDrawFrm&);
    } cases[] = {
        {"plain steps (strokes, lines, shapes, texts)", AddPlainSteps},
        {"image stamps (one 32 x 32 PNG file)", AddStamps},
        {"outside covers (rectangles and ellipses)", AddOutsideCovers},
    };
    for (const TCase& c : cases) {
        TDrawFrm form(ini.fileName(), dir.path() + "/");
        form.Seams.SnapshotDelayMs = 1;
        QImage desktop(1920, 1080, QImage::Format_RGB32);
        desktop.fill(QColor(230, 230, 230));
        form.Seams.GrabScreen = [desktop] { return desktop; };
        form.Annotate();
        c.Fill(form);
        // Mapped and exposed, so that repaint() paints.
        QApplication::processEvents();
        const TFigures f = Measure(form, repaints);
        std::printf("%-50s %5zu steps  %dx%d  repaint median %8.2f ms  best %8.2f ms\n", c.Name,
                    form.Layers().PaintList().size(), form.GetBackground().width(),
                    form.GetBackground().height(), f.Median, f.Best);
        form.Seams.GrabScreen = {};
    }
    return 0;
}
