#include "PaintCheckpoints.h"

#include "DrawSteps.h"
#include "platform/Canvas.h"
#include "platform/Screen.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <thread>

namespace {

// A step not drawn yet is taken to cost about what a freehand stroke costs.
constexpr double kUnknownCostMs = 0.03;

uint64_t Mix(uint64_t h, uint64_t v) {
    // The finaliser of splitmix64 over the running value and the next word.
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 31;
    return h;
}

uint64_t Pair(int32_t a, int32_t b) {
    return (uint64_t(uint32_t(a)) << 32) | uint32_t(b);
}

uint64_t HashText(const QString& text) {
    return Mix(uint64_t(text.size()), qHash(text, 0x5A17));
}

uint64_t HashFont(uint64_t h, const TFont& font) {
    h = Mix(h, HashText(font.Name));
    h = Mix(h, Pair(font.Size, int32_t(font.Color)));
    return Mix(h, Pair(font.Style, font.Charset));
}

// The file of a stamp as it stands now; a file that cannot be looked at is a value of its own.
uint64_t HashFile(uint64_t h, const QString& fileName) {
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0) return Mix(h, 0xDEAD);
    h = Mix(h, uint64_t(info.st_dev));
    h = Mix(h, uint64_t(info.st_ino));
    h = Mix(h, uint64_t(info.st_size));
    h = Mix(h, uint64_t(info.st_mode));
    h = Mix(h, uint64_t(info.st_mtim.tv_sec));
    return Mix(h, uint64_t(info.st_mtim.tv_nsec));
}

// `to` becomes a picture equal to `from`: a copy into its own pixels when it has them to itself,
// else a share of `from`'s, which the first drawing on either copies (QImage's copy on write). A
// repaint that only shows a kept picture then copies nothing.
void CopyPicture(const QImage& from, QImage& to) {
    if (to.isDetached() && from.size() == to.size() && from.format() == to.format() &&
        from.bytesPerLine() == to.bytesPerLine()) {
        std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
        return;
    }
    to = from;
}

void SharePicture(const QImage& from, QImage& to) {
    to = from;
}

// A picture with pixels of its own, so that threads may write into them.
uchar* OwnPixels(QImage& picture, QSize size) {
    if (picture.size() != size || picture.format() != QImage::Format_RGB32 || !picture.isDetached())
        picture = QImage(size, QImage::Format_RGB32);
    return picture.bits();
}

void CopyTools(const Canvas& from, Canvas& to) {
    to.Pen = from.Pen;
    to.Brush = from.Brush;
    to.Font = from.Font;
    to.BkMode = from.BkMode;
    to.ClipRegion = from.ClipRegion;
}

double ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

uint64_t StepFingerprint(const TDrawStep& step) {
    uint64_t h = Mix(Pair(step.StartX, step.StartY), step.Mode);
    if (const auto* s = dynamic_cast<const TMoveList*>(&step)) {
        h = Mix(h, 1);
        h = Mix(h, s->Points.size());
        for (const TMove& p : s->Points) {
            h = Mix(h, Pair(p.X, p.Y));
            h = Mix(h, Pair(p.Width, int32_t(p.Color)));
        }
    } else if (const auto* s = dynamic_cast<const TLineStep*>(&step)) {
        h = Mix(h, 2);
        h = Mix(h, Pair(s->EndPoint.X, s->EndPoint.Y));
        h = Mix(h, Pair(s->EndPoint.Width, int32_t(s->EndPoint.Color)));
    } else if (const auto* s = dynamic_cast<const TEllipseRect*>(&step)) {
        h = Mix(h, 3);
        h = Mix(h, Pair(s->EndX, s->EndY));
        h = Mix(h, Pair(s->Width, int32_t(s->Color)));
        h = Mix(h, (s->IsRect ? 1u : 0u) | (s->Filled ? 2u : 0u) | (s->Outside ? 4u : 0u));
    } else if (const auto* s = dynamic_cast<const TTextStep*>(&step)) {
        h = Mix(h, 4);
        h = Mix(h, HashText(s->Text));
        h = HashFont(h, s->Font);
        h = Mix(h, s->Transparent ? 1 : 0);
    } else if (const auto* s = dynamic_cast<const TImageStep*>(&step)) {
        h = Mix(h, 5);
        h = Mix(h, HashText(s->FileName));
        h = Mix(h, s->Transparent ? 1 : 0);
        if (!s->FileName.isEmpty()) h = HashFile(h, s->FileName);
    } else {
        return 0;
    }
    return h == 0 ? 1 : h;
}

uint64_t StepToolsKey(const Canvas& canvas) {
    uint64_t h =
        Mix(uint64_t(canvas.Pen.Style), Pair(int32_t(canvas.Brush.Color), int32_t(canvas.Brush.Style)));
    h = Mix(h, uint64_t(canvas.BkMode));
    h = Mix(h, uint64_t(canvas.ClipRegion.rectCount()));
    for (const QRect& r : canvas.ClipRegion) {
        h = Mix(h, Pair(r.left(), r.top()));
        h = Mix(h, Pair(r.right(), r.bottom()));
    }
    return h;
}

// One paint's list: its steps' fingerprints, the hash of each prefix, and the cost of drawing the
// steps above each prefix.
struct TPaintCheckpoints::TList {
    const std::vector<const TDrawStep*>& Steps;
    std::vector<uint64_t> Fingerprints;
    std::vector<uint64_t> Prefixes; // Prefixes[k]: the context and the first k steps
    std::vector<double> CostAbove;  // CostAbove[k]: drawing steps k to the end
    int Known = 0;                  // the longest prefix without a step that has no fingerprint

    TList(const std::vector<const TDrawStep*>& steps, uint64_t context,
          const std::unordered_map<uint64_t, double>& costs)
        : Steps(steps) {
        const int n = Count();
        Fingerprints.resize(size_t(n));
        Prefixes.resize(size_t(n) + 1);
        CostAbove.assign(size_t(n) + 1, 0.0);
        Prefixes[0] = Mix(context, 0xC0FFEE);
        Known = n;
        for (int i = 0; i < n; ++i) {
            const uint64_t f = StepFingerprint(*steps[size_t(i)]);
            Fingerprints[size_t(i)] = f;
            if (f == 0 && Known == n) Known = i;
            Prefixes[size_t(i) + 1] = Mix(Prefixes[size_t(i)], f);
        }
        for (int i = n - 1; i >= 0; --i) {
            const auto it = costs.find(Fingerprints[size_t(i)]);
            CostAbove[size_t(i)] =
                CostAbove[size_t(i) + 1] + (it != costs.end() ? it->second : kUnknownCostMs);
        }
    }
    int Count() const { return static_cast<int>(Steps.size()); }
};

TPaintCheckpoints::TPaintCheckpoints(qint64 budgetBytes, double costUnitMs, int threads)
    : Budget(budgetBytes), CostUnit(costUnitMs > 0 ? costUnitMs : DefaultCostUnitMs),
      Threads(std::max(0, threads)) {}

int TPaintCheckpoints::Slots() const {
    const qint64 pictureBytes = qint64(Size.width()) * Size.height() * 4;
    return static_cast<int>(std::max<qint64>(2, pictureBytes > 0 ? Budget / pictureBytes : 2));
}

// Prefixes are graded by what drawing the steps above them costs: grade 0 below C, grade g from
// C 2^(g-1) up to C 2^g.
int TPaintCheckpoints::Grade(double costAbove) const {
    if (costAbove < CostUnit) return 0;
    return 1 + static_cast<int>(std::floor(std::log2(costAbove / CostUnit)));
}

TPaintCheckpoints::~TPaintCheckpoints() = default;

void TPaintCheckpoints::Clear() {
    Pictures.clear();
    Costs.clear();
    Size = QSize();
}

qint64 TPaintCheckpoints::KeptBytes() const {
    qint64 bytes = 0;
    for (const auto& p : Pictures)
        bytes += p->Image.sizeInBytes();
    return bytes;
}

bool TPaintCheckpoints::Matches(const TPicture& p, const TList& list) const {
    return p.Length >= 0 && p.Length <= list.Known && p.Prefix == list.Prefixes[size_t(p.Length)];
}

TPaintCheckpoints::TPicture* TPaintCheckpoints::Best(const TList& list) const {
    TPicture* best = nullptr;
    for (const auto& p : Pictures)
        if (Matches(*p, list) && (!best || p->Length > best->Length)) best = p.get();
    return best;
}

TPaintCheckpoints::TPicture* TPaintCheckpoints::FreeSlot(const TList& list,
                                                         const std::vector<const TPicture*>& keep) {
    if (static_cast<int>(Pictures.size()) < Slots()) {
        Pictures.push_back(std::make_unique<TPicture>());
        Pictures.back()->Image = QImage(Size, QImage::Format_RGB32);
        return Pictures.back().get();
    }
    auto kept = [&](const TPicture* p) { return std::find(keep.begin(), keep.end(), p) != keep.end(); };
    // First a picture of another list, the one used longest ago: the current list's pictures are
    // the likelier to be wanted. The top of the list painted last stays, though: a layer hidden is
    // often shown again at once, and that repaint is then a copy.
    const TPicture* previous = nullptr;
    for (const auto& p : Pictures)
        if (!Matches(*p, list) && p->Length >= 0 &&
            (!previous || p->LastUse > previous->LastUse ||
             (p->LastUse == previous->LastUse && p->Length > previous->Length)))
            previous = p.get();
    // A picture that holds nothing goes before any other.
    auto before = [](const TPicture* a, const TPicture* b) {
        return (a->Length >= 0) != (b->Length >= 0) ? a->Length < 0 : a->LastUse < b->LastUse;
    };
    TPicture* victim = nullptr;
    for (const auto& p : Pictures)
        if (!kept(p.get()) && p.get() != previous && !Matches(*p, list) &&
            (!victim || before(p.get(), victim)))
            victim = p.get();
    if (!victim) {
        // Else the picture of this list whose loss costs least against what it saves: dropping
        // prefix b between a and c makes a change above b draw from a, which costs CostAbove[a]
        // rather than CostAbove[b].
        std::vector<TPicture*> mine;
        for (const auto& p : Pictures)
            if (Matches(*p, list)) mine.push_back(p.get());
        std::sort(mine.begin(), mine.end(),
                  [](const TPicture* a, const TPicture* b) { return a->Length < b->Length; });
        double lowest = 0;
        for (size_t i = 0; i < mine.size(); ++i) {
            if (kept(mine[i])) continue;
            const double below = list.CostAbove[size_t(i == 0 ? 0 : mine[i - 1]->Length)];
            const double at = list.CostAbove[size_t(mine[i]->Length)];
            const double loss = (below - at) / (at + CostUnit);
            if (!victim || loss < lowest) {
                victim = mine[i];
                lowest = loss;
            }
        }
    }
    if (victim) {
        victim->Length = -1;
        if (victim->Image.size() != Size) victim->Image = QImage(Size, QImage::Format_RGB32);
    }
    return victim;
}

void TPaintCheckpoints::Prune(const TList& list) {
    // Only the costs of the current list are worth keeping.
    std::unordered_map<uint64_t, double> current;
    current.reserve(list.Fingerprints.size());
    for (const uint64_t f : list.Fingerprints) {
        const auto it = Costs.find(f);
        if (it != Costs.end()) current.emplace(f, it->second);
    }
    Costs.swap(current);
}

void TPaintCheckpoints::Paint(Canvas& canvas, uint64_t context, const TBasePainter& base,
                              const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
                              const TFailureHandler& failed) {
    Run(&canvas, canvas, context, base, steps, draw, failed);
}

void TPaintCheckpoints::Follow(const Canvas& tools, uint64_t context, const TBasePainter& base,
                               const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
                               const TFailureHandler& failed) {
    Run(nullptr, tools, context, base, steps, draw, failed);
}

namespace {

// What drawing a range of steps gave: each step's drawing time and the first error of each step.
struct TRangeResult {
    std::vector<double> Ms;
    std::vector<std::exception_ptr> Errors;
    TRangeResult(size_t count) : Ms(count, 0.0), Errors(count) {}
};

struct TSnapshotPlan {
    int Length;
    uchar* Bits; // of a picture with pixels of its own, of the same size and row length
};

// Draws steps [from, to) on the rows `band` of `bits` (a picture of `size`), copying those rows into
// each planned picture once its prefix is drawn. The canvas covers the whole picture, so that the
// steps see its whole size, and clips to the band.
void DrawBand(uchar* bits, qsizetype bytesPerLine, QSize size, const QRect& band, bool banded,
              const Canvas& tools, const std::vector<const TDrawStep*>& steps, int from, int to,
              const std::vector<TSnapshotPlan>& plan, const TPaintCheckpoints::TStepPainter& draw,
              TRangeResult& result) {
    QImage alias(bits, size.width(), size.height(), bytesPerLine, QImage::Format_RGB32);
    Canvas canvas(alias);
    CopyTools(tools, canvas);
    bool visible = true;
    if (banded) {
        const QRegion clip = tools.ClipRegion.isEmpty() ? QRegion(band) : tools.ClipRegion.intersected(band);
        visible = !clip.isEmpty();
        canvas.ClipRegion = clip;
    }
    size_t next = 0;
    for (int i = from; i < to; ++i) {
        if (visible) {
            const auto since = std::chrono::steady_clock::now();
            try {
                draw(*steps[size_t(i)], canvas);
            } catch (...) {
                result.Errors[size_t(i - from)] = std::current_exception();
            }
            result.Ms[size_t(i - from)] = ElapsedMs(since);
        }
        for (; next < plan.size() && plan[next].Length == i + 1; ++next) {
            uchar* copy = plan[next].Bits;
            for (int y = band.top(); y <= band.bottom(); ++y)
                std::memcpy(copy + y * bytesPerLine, bits + y * bytesPerLine, size_t(size.width()) * 4);
        }
    }
}

} // namespace

int TPaintCheckpoints::Bands(double cost, int rows) const {
    if (Threads > 0) return std::max(1, std::min(Threads, rows));
    // Threads pay off for a long drawing only; each band keeps enough rows to be worth a thread.
    constexpr double kWorthMs = 3.0;
    constexpr int kMinRows = 96;
    if (cost < kWorthMs) return 1;
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return std::max(1, std::min({4, cores, rows / kMinRows}));
}

void TPaintCheckpoints::Run(Canvas* target, const Canvas& tools, uint64_t context, const TBasePainter& base,
                            const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
                            const TFailureHandler& failed) {
    Start = 0;
    Drawn = 0;
    const QSize size = tools.Image().size();
    if (size != Size) {
        Pictures.clear();
        Size = size;
    }
    // The screen's size is part of every picture: an outside cover spans it.
    const QSize screen = ScreenSize();
    context = Mix(Mix(context, Pair(size.width(), size.height())), Pair(screen.width(), screen.height()));
    const TList list(steps, context, Costs);
    const int n = list.Count();
    ++Clock;

    TPicture* from = Best(list);
    const int start = from ? from->Length : 0;
    Start = start;
    if (from) from->LastUse = Clock;
    if (!target && (!from || start == n || list.CostAbove[size_t(start)] < CostUnit)) return;
    if (target && start == n) {
        if (from)
            SharePicture(from->Image, target->Image());
        else
            base(*target);
        return;
    }

    auto begin = [&](Canvas& canvas) {
        if (from)
            CopyPicture(from->Image, canvas.Image());
        else
            base(canvas);
    };
    // Errors reach the caller on this thread, in drawing order, once the drawing is over.
    int firstFailure = n;
    auto finish = [&](const TRangeResult& result) {
        for (int i = start; i < n; ++i) {
            const size_t r = size_t(i - start);
            if (list.Fingerprints[size_t(i)] != 0) Costs[list.Fingerprints[size_t(i)]] = result.Ms[r];
            if (!result.Errors[r]) continue;
            firstFailure = std::min(firstFailure, i);
            if (failed) failed(*steps[size_t(i)], result.Errors[r]);
        }
        Drawn = n - start;
        Prune(list);
    };
    auto drawOn = [&](Canvas& canvas, int bands, const std::vector<TSnapshotPlan>& plan) {
        TRangeResult result(size_t(n - start));
        uchar* bits = canvas.Image().bits();
        const qsizetype bpl = canvas.Image().bytesPerLine();
        if (bands <= 1) {
            DrawBand(bits, bpl, size, QRect(QPoint(0, 0), size), false, canvas, steps, start, n, plan, draw,
                     result);
            finish(result);
            return;
        }
        std::vector<TRangeResult> results(size_t(bands), TRangeResult(size_t(n - start)));
        std::vector<std::thread> threads;
        for (int b = 0; b < bands; ++b) {
            const int top = size.height() * b / bands, bottom = size.height() * (b + 1) / bands - 1;
            const QRect band(0, top, size.width(), bottom - top + 1);
            threads.emplace_back([&, band, b] {
                DrawBand(bits, bpl, size, band, true, canvas, steps, start, n, plan, draw,
                         results[size_t(b)]);
            });
        }
        for (std::thread& t : threads)
            t.join();
        // A step costs what its bands cost together; its error is the first band's that had one.
        for (int b = 1; b < bands; ++b)
            for (size_t r = 0; r < result.Ms.size(); ++r) {
                results[0].Ms[r] += results[size_t(b)].Ms[r];
                if (!results[0].Errors[r]) results[0].Errors[r] = results[size_t(b)].Errors[r];
            }
        finish(results[0]);
    };

    const double cost = list.CostAbove[size_t(start)];
    // A little left to draw: straight onto the target, leaving the kept pictures as they are.
    if (target && cost < CostUnit) {
        begin(*target);
        drawOn(*target, 1, {});
        return;
    }

    // Otherwise the steps are drawn on a picture that is kept, copies of it are kept on the way at
    // the last prefix of each grade, and the target gets a copy at the end.
    std::vector<const TPicture*> keep;
    if (from) keep.push_back(from);
    TPicture* work = FreeSlot(list, keep);
    if (!work) {
        if (target) {
            begin(*target);
            drawOn(*target, Bands(cost, size.height()), {});
        }
        return;
    }
    keep.push_back(work);
    // The prefixes to keep on the way: the last of each grade that the pictures can hold, but not
    // of the grade of the prefix this paint started from, whose picture is kept already. The prefix
    // just below the whole list is always kept: undoing the last step, or changing it (a text whose
    // entry ended), is then a copy.
    const int slotCount = Slots();
    const int startGrade = Grade(cost);
    std::vector<TSnapshotPlan> plan;
    std::vector<TPicture*> planned;
    for (int k = start + 1; k < n && k <= list.Known; ++k) {
        const int grade = Grade(list.CostAbove[size_t(k)]);
        if (k + 1 < n) {
            if (grade == Grade(list.CostAbove[size_t(k) + 1]) || grade > slotCount - 2) continue;
            if (from && grade == startGrade) continue;
        }
        TPicture* copy = FreeSlot(list, keep);
        if (!copy) break;
        keep.push_back(copy);
        planned.push_back(copy);
        plan.push_back({k, OwnPixels(copy->Image, size)});
    }
    Canvas canvas(work->Image);
    CopyTools(tools, canvas);
    begin(canvas);
    drawOn(canvas, Bands(cost, size.height()), plan);
    for (size_t i = 0; i < plan.size(); ++i) {
        // A picture past a step that failed is not what a later paint would draw.
        if (plan[i].Length > firstFailure) continue;
        planned[i]->Length = plan[i].Length;
        planned[i]->Prefix = list.Prefixes[size_t(plan[i].Length)];
        planned[i]->LastUse = Clock;
    }
    if (firstFailure == n && n <= list.Known) {
        work->Length = n;
        work->Prefix = list.Prefixes[size_t(n)];
        work->LastUse = Clock;
    }
    if (target) SharePicture(work->Image, target->Image());
}
