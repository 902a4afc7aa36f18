#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class Canvas;
class TDrawStep;

// What a step draws, in 64 bits: two steps with the same fingerprint draw the same pixels on the same
// canvas. It covers every field that drawing reads and, for a stamp, its file as it stands on disk
// (device, inode, size and modification time), since a stamp shows its file as it is at each paint.
// 0 for a class not known here: such a step never counts as unchanged.
uint64_t StepFingerprint(const TDrawStep& step);

// The canvas tools that steps draw with as they find them, in 64 bits: the pen's style, the brush,
// the background mode and the clip. Steps set the pen's colour, width and mode and the font
// themselves, so those play no part.
uint64_t StepToolsKey(const Canvas& canvas);

// Pictures of a paint list part-way through, so that a repaint after a change near the top of the list
// draws only the steps above the change.
//
// A paint is the base picture with the steps drawn over it in order. After each paint the pictures
// of a few prefixes of the list are kept: the whole list, the list without its last step, and
// prefixes whose steps above them cost about C, 2C, 4C, ... to draw (C, the cost unit, 2 ms unless
// told otherwise; costs as measured when the steps were last drawn).
// The next paint starts from the longest kept prefix that the new list still begins with and draws
// the rest. A prefix is known by a running hash of the paint's context and of its steps'
// fingerprints, never by addresses: a step that was changed, freed or replaced by another one at the
// same address simply makes the prefixes through it unknown.
//
// Undo or redo of the last step, the end of a text entry and a new step therefore cost a step or two
// at most, while a change far down (a layer shown or hidden) draws from the base. A picture shown as
// it was kept is not even copied: the canvas's image shares its pixels until either is drawn upon.
// The pictures are the canvas's size; at most budget / (4 x width x height) of them are kept (with
// the default budget, five at 1920 x 1080), and never fewer than two.
//
// Every step must leave the canvas's tools as it found them, as the model's steps do: a kept picture
// then stands for the same canvas state as a paint from the base.
class TPaintCheckpoints {
public:
    // Draws one step; it may throw. A long drawing is split into bands of rows drawn by several
    // threads at once, each on a canvas of its own that clips to its band: it must not touch
    // anything but the canvas and the step.
    using TStepPainter = std::function<void(const TDrawStep&, Canvas&)>;
    // Hears of a step that threw, on the thread that paints, once the drawing is over. The pictures
    // from that step on are not kept, so the step is tried again at the next paint.
    using TFailureHandler = std::function<void(const TDrawStep&, std::exception_ptr)>;
    // Draws the base over the whole canvas.
    using TBasePainter = std::function<void(Canvas&)>;

    static constexpr qint64 DefaultBudgetBytes = qint64(48) << 20;
    static constexpr double DefaultCostUnitMs = 2.0;

    // threads: 0 leaves the number of bands to the cost of the drawing and the machine's cores; any
    // other number draws every long drawing in that many bands.
    explicit TPaintCheckpoints(qint64 budgetBytes = DefaultBudgetBytes, double costUnitMs = DefaultCostUnitMs,
                               int threads = 0);
    ~TPaintCheckpoints();
    TPaintCheckpoints(const TPaintCheckpoints&) = delete;
    TPaintCheckpoints& operator=(const TPaintCheckpoints&) = delete;

    // Makes the canvas's picture the base with every step drawn over it, exactly as painting the base
    // and drawing each step in turn would. `context` stands for everything besides the steps that
    // the picture depends on (the base, a scale, the canvas's tools): another context shares no
    // picture with this one. The pen, brush, font, background mode and clip of `canvas` are those
    // the steps are drawn with.
    void Paint(Canvas& canvas, uint64_t context, const TBasePainter& base,
               const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
               const TFailureHandler& failed = {});
    // Brings the kept pictures up to the list without painting anything: after steps were added, the
    // next paint then has little left to draw. Does nothing when no kept picture begins the list, or
    // when the steps past the longest one cost less than C.
    void Follow(const Canvas& tools, uint64_t context, const TBasePainter& base,
                const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
                const TFailureHandler& failed = {});
    // Frees every kept picture.
    void Clear();

    // What the last Paint or Follow did: the prefix it started from (0: the base) and the steps it drew.
    int LastStart() const { return Start; }
    int LastDrawn() const { return Drawn; }
    int Kept() const { return static_cast<int>(Pictures.size()); }
    qint64 KeptBytes() const;

private:
    struct TPicture {
        QImage Image;
        int Length = -1; // -1: holds nothing usable
        uint64_t Prefix = 0;
        uint64_t LastUse = 0;
    };
    struct TList; // one paint's list: fingerprints, prefix hashes, costs

    void Run(Canvas* target, const Canvas& tools, uint64_t context, const TBasePainter& base,
             const std::vector<const TDrawStep*>& steps, const TStepPainter& draw,
             const TFailureHandler& failed);
    int Bands(double costMs, int rows) const;
    TPicture* Best(const TList& list) const;
    TPicture* FreeSlot(const TList& list, const std::vector<const TPicture*>& keep);
    bool Matches(const TPicture& p, const TList& list) const;
    void Prune(const TList& list);

    int Slots() const;
    int Grade(double costAbove) const;

    qint64 Budget;
    double CostUnit;
    int Threads;
    QSize Size;
    std::vector<std::unique_ptr<TPicture>> Pictures;
    // Drawing time of each step as last measured, by fingerprint.
    std::unordered_map<uint64_t, double> Costs;
    uint64_t Clock = 0;
    int Start = 0, Drawn = 0;
};
