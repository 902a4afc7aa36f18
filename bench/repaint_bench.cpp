// Repaint time of the drawing window at 1920x1080: the desktop snapshot, then every step of the paint
// list, as one paint event does it. Prints the median over many runs for a realistic mix of 1,000
// steps, and separately for highlighter strokes and for covers of everything outside a shape.
//
// Then the repaints that the drawing window makes through its kept pictures of the paint list: undo
// and redo of the last step, the end of a text entry, and a layer hidden and shown again (a change at
// the bottom of the list, so a repaint from the snapshot up).
//
//   repaint_bench [--busy N] [--threads N]
//
// --busy N measures beside N processes that keep cores busy; every figure shows the load average.
// --threads N draws a long repaint in N bands of rows (by default up to four, as the cores allow).
// Runs on Qt's offscreen platform with a 1920x1080 screen unless QT_QPA_PLATFORM says otherwise.
#include "model/EllipseRect.h"
#include "model/LineStep.h"
#include "model/MoveList.h"
#include "model/PaintCheckpoints.h"
#include "model/TextStep.h"
#include "platform/Canvas.h"
#include "platform/Screen.h"
#include "support/BusyLoad.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr int kRuns = 31;
using Steps = std::vector<std::unique_ptr<TDrawStep>>;

const TColor kPalette[] = {clBlack, clRed, clBlue, clGreen, clNavy, clMaroon, clPurple, clFuchsia};

// A snapshot with detail in it, so that copies and masks work on varied pixels.
QImage MakeBackground() {
    QImage image(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    for (int y = 0; y < kScreenHeight; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < kScreenWidth; ++x)
            row[x] = 0xFF000000u | ((x * 255 / kScreenWidth) << 16) | ((y * 255 / kScreenHeight) << 8) |
                     ((x / 16 + y / 16) % 2 ? 0xE0 : 0x30);
    }
    return image;
}

class Generator {
public:
    explicit Generator(unsigned seed) : Rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(Rng); }
    TColor Color() { return kPalette[Int(0, 7)]; }
    int PenWidth() { return Int(0, 9) < 6 ? 3 : Int(1, 12); } // the default width 3, now and then another

    // A mouse-drawn stroke: 40 to 120 points a few pixels apart, wandering smoothly.
    std::unique_ptr<TMoveList> Stroke(uint8_t mode, int width) {
        auto s = std::make_unique<TMoveList>();
        s->Mode = mode;
        s->StartX = Int(50, kScreenWidth - 50);
        s->StartY = Int(50, kScreenHeight - 50);
        const TColor color = Color();
        double x = s->StartX, y = s->StartY, angle = Int(0, 359) * 3.14159 / 180;
        const int count = Int(40, 120);
        for (int i = 0; i < count; ++i) {
            angle += (Int(-30, 30)) * 3.14159 / 180;
            const int step = Int(2, 12);
            x = std::clamp(x + step * std::cos(angle), 0.0, double(kScreenWidth - 1));
            y = std::clamp(y + step * std::sin(angle), 0.0, double(kScreenHeight - 1));
            TMove m;
            m.X = int(x);
            m.Y = int(y);
            m.Width = width;
            m.Color = color;
            s->Points.push_back(m);
        }
        return s;
    }

    std::unique_ptr<TLineStep> Line() {
        auto s = std::make_unique<TLineStep>();
        s->Mode = pmCopy;
        s->StartX = Int(0, kScreenWidth - 1);
        s->StartY = Int(0, kScreenHeight - 1);
        s->EndPoint.X = std::clamp(s->StartX + Int(-800, 800), 0, kScreenWidth - 1);
        s->EndPoint.Y = std::clamp(s->StartY + Int(-500, 500), 0, kScreenHeight - 1);
        s->EndPoint.Width = PenWidth();
        s->EndPoint.Color = Color();
        return s;
    }

    std::unique_ptr<TEllipseRect> Shape(bool isRect, uint8_t mode = pmCopy, bool outside = false) {
        auto s = std::make_unique<TEllipseRect>();
        s->Mode = mode;
        s->IsRect = isRect;
        s->StartX = Int(0, kScreenWidth - 100);
        s->StartY = Int(0, kScreenHeight - 100);
        s->EndX = std::min(s->StartX + Int(30, 600), kScreenWidth);
        s->EndY = std::min(s->StartY + Int(30, 400), kScreenHeight);
        s->Width = PenWidth();
        s->Color = Color();
        s->Filled = Int(0, 3) == 0;
        s->Outside = outside;
        return s;
    }

    std::unique_ptr<TTextStep> Text() {
        static const char* const kWords[] = {"check", "this",      "value", "error here",
                                             "OK",    "see below", "step 3"};
        auto s = std::make_unique<TTextStep>();
        s->StartX = Int(0, kScreenWidth - 300);
        s->StartY = Int(0, kScreenHeight - 30);
        QString text;
        const int words = Int(1, 5);
        for (int i = 0; i < words; ++i)
            text += QString(i ? " " : "") + kWords[Int(0, 6)];
        s->Text = text;
        s->Font.Name = Int(0, 1) ? "Times New Roman" : "Arial";
        s->Font.Size = 14;
        s->Font.Color = Color();
        s->Transparent = Int(0, 1) == 0;
        return s;
    }

private:
    std::mt19937 Rng;
};

// Half freehand strokes; lines, rectangles, ellipses and texts share the rest.
Steps MixedSteps(int count) {
    Generator g(1);
    Steps steps;
    for (int i = 0; i < count; ++i) {
        const int kind = g.Int(0, 99);
        if (kind < 50)
            steps.push_back(g.Stroke(pmCopy, g.PenWidth()));
        else if (kind < 65)
            steps.push_back(g.Line());
        else if (kind < 77)
            steps.push_back(g.Shape(true));
        else if (kind < 89)
            steps.push_back(g.Shape(false));
        else
            steps.push_back(g.Text());
    }
    return steps;
}

Steps Strokes(int count, uint8_t mode, int minWidth, int maxWidth) {
    Generator g(2);
    Steps steps;
    for (int i = 0; i < count; ++i)
        steps.push_back(g.Stroke(mode, g.Int(minWidth, maxWidth)));
    return steps;
}

Steps Covers(int count, uint8_t mode) {
    Generator g(3);
    Steps steps;
    for (int i = 0; i < count; ++i)
        steps.push_back(g.Shape(i % 2 == 0, mode, true));
    return steps;
}

struct Timing {
    double Median, Fastest;
};

// One paint event: the snapshot copied in, then every step over it.
Timing RepaintMs(const QImage& background, const Steps& steps) {
    QImage surface(background.size(), QImage::Format_RGB32);
    Canvas canvas(surface);
    canvas.Brush.Style = TBrushStyle::bsClear;
    std::vector<double> times;
    for (int run = 0; run < kRuns + 2; ++run) {
        QElapsedTimer timer;
        timer.start();
        std::memcpy(surface.bits(), background.constBits(), size_t(background.sizeInBytes()));
        for (const auto& step : steps)
            step->Draw(canvas);
        const double ms = timer.nsecsElapsed() / 1e6;
        if (run >= 2) times.push_back(ms); // the first runs warm caches and fonts
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

std::vector<const TDrawStep*> Pointers(const Steps& steps) {
    std::vector<const TDrawStep*> list;
    for (const auto& step : steps)
        list.push_back(step.get());
    return list;
}

// The window's repaints through its kept pictures. Each figure is the median of kRuns repaints of
// one kind, alternating with the repaint that undoes it (undo with redo, hide with show).
struct TCheckpointFigures {
    Timing Undo, Redo, TextEnd, Hide, Show;
};

TCheckpointFigures CheckpointRepaints(const QImage& background, Steps& steps, int threads) {
    QImage surface(background.size(), QImage::Format_RGB32);
    Canvas canvas(surface);
    canvas.Brush.Style = TBrushStyle::bsClear;
    TPaintCheckpoints checkpoints(TPaintCheckpoints::DefaultBudgetBytes, TPaintCheckpoints::DefaultCostUnitMs,
                                  threads);
    const auto base = [&](Canvas& c) {
        std::memcpy(c.Image().bits(), background.constBits(), size_t(background.sizeInBytes()));
    };
    const auto draw = [](const TDrawStep& step, Canvas& c) { step.Draw(c); };
    const std::vector<const TDrawStep*> all = Pointers(steps);
    uint64_t context = 1;
    auto paint = [&](const std::vector<const TDrawStep*>& list) {
        QElapsedTimer timer;
        timer.start();
        checkpoints.Paint(canvas, context, base, list, draw);
        return timer.nsecsElapsed() / 1e6;
    };
    auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return Timing{times[times.size() / 2], times.front()};
    };
    // The steps spread over four layers in turn; hiding layer 1 changes the list from its first step.
    std::vector<const TDrawStep*> hidden;
    for (size_t i = 0; i < all.size(); ++i)
        if (i % 4 != 0) hidden.push_back(all[i]);
    const std::vector<const TDrawStep*> undone(all.begin(), all.end() - 1);

    std::vector<double> undo, redo, hide, show, text;
    paint(all);
    for (int run = 0; run < kRuns + 2; ++run) {
        const double u = paint(undone), r = paint(all);
        if (run >= 2) undo.push_back(u), redo.push_back(r);
    }
    // Each hide is the first: in a context of its own, the kept pictures are those of the whole list
    // alone. Their memory is in use already, as it is once the window has painted a few times.
    for (int run = 0; run < kRuns + 2; ++run) {
        context = 100 + run;
        paint(all);
        const double h = paint(hidden), s = paint(all);
        if (run >= 2) hide.push_back(h), show.push_back(s);
    }
    // A text typed as the last step: its entry ends with a new text each time.
    auto typed = std::make_unique<TTextStep>();
    typed->StartX = 300;
    typed->StartY = 200;
    typed->Font.Name = "Arial";
    typed->Font.Size = 14;
    context = 1;
    std::vector<const TDrawStep*> withText = all;
    withText.push_back(typed.get());
    paint(withText);
    for (int run = 0; run < kRuns + 2; ++run) {
        typed->Text = QStringLiteral("typed text %1").arg(run);
        const double t = paint(withText);
        if (run >= 2) text.push_back(t);
    }
    return {median(undo), median(redo), median(text), median(hide), median(show)};
}

size_t SegmentCount(const Steps& steps) {
    size_t n = 0;
    for (const auto& step : steps)
        if (auto* s = dynamic_cast<const TMoveList*>(step.get())) n += s->Points.size();
    return n;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryFile screens;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && screens.open()) {
        screens.write(QString(R"({"screens":[{"name":"bench","x":0,"y":0,"width":%1,"height":%2,)"
                              R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                          .arg(kScreenWidth)
                          .arg(kScreenHeight)
                          .toUtf8());
        screens.flush();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName()).toLocal8Bit());
    }
    const int busyProcesses = TBusyLoad::TakeBusyArgument(argc, argv);
    QGuiApplication app(argc, argv);
    // --threads N: the bands of a long repaint, as the window leaves them to the machine unless told.
    int threads = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--threads") == 0) threads = std::max(1, std::atoi(argv[i + 1]));
    const TBusyLoad busy(busyProcesses);
    const QSize screen = ScreenSize();
    std::printf("screen %dx%d, canvas %dx%d, median of %d runs\n", screen.width(), screen.height(),
                kScreenWidth, kScreenHeight, kRuns);

    const QImage background = MakeBackground();
    auto report = [&](const char* what, const Steps& steps) {
        const Timing t = RepaintMs(background, steps);
        std::printf("%-62s %7.2f ms  (fastest %.2f)%s\n", what, t.Median, t.Fastest, busy.Label().c_str());
        return t.Median;
    };
    const double empty = report("snapshot copy alone", {});

    const Steps mixed = MixedSteps(1000);
    std::printf("mix: %zu stroke segments\n", SegmentCount(mixed));
    report("1,000 mixed steps (strokes, lines, rectangles, ellipses, texts)", mixed);

    const Steps strokes = Strokes(1000, pmCopy, 1, 5);
    std::printf("strokes: %zu segments\n", SegmentCount(strokes));
    report("1,000 freehand strokes, width 1-5", strokes);

    const double h = report("1,000 highlighter strokes, mode 12, width 15-25", Strokes(1000, pmMask, 15, 25));
    std::printf("%-62s %7.1f us\n", "  a highlighter stroke", (h - empty));

    {
        QImage from = background, to = background.copy();
        std::vector<double> times;
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("%-62s %7.2f ms%s\n", "one kept picture copied", times[times.size() / 2],
                    busy.Label().c_str());
    }
    auto reportKept = [&](const char* what, Steps steps) {
        const TCheckpointFigures f = CheckpointRepaints(background, steps, threads);
        const std::pair<const char*, Timing> rows[] = {{"undo of the last step", f.Undo},
                                                       {"redo of the last step", f.Redo},
                                                       {"end of a text entry on top", f.TextEnd},
                                                       {"layer hidden (repaint from the snapshot)", f.Hide},
                                                       {"layer shown again", f.Show}};
        std::printf("%s, through the kept pictures:\n", what);
        for (const auto& [name, t] : rows)
            std::printf("  %-60s %7.2f ms  (fastest %.2f)%s\n", name, t.Median, t.Fastest,
                        busy.Label().c_str());
    };
    reportKept("1,000 mixed steps", MixedSteps(1000));
    reportKept("1,000 highlighter strokes", Strokes(1000, pmMask, 15, 25));

    for (const uint8_t mode : {uint8_t(pmCopy), uint8_t(pmMask)}) {
        const double c = report(mode == pmCopy ? "10 outside covers, mode 4" : "10 outside covers, mode 12",
                                Covers(10, mode));
        std::printf("%-62s %7.2f ms\n", "  a cover", (c - empty) / 10);
    }
    return 0;
}
