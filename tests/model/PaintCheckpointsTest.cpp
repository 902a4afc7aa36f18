#include "model/PaintCheckpoints.h"
#include "model/DrawSteps.h"
#include "platform/Canvas.h"
#include "platform/StampPictureCache.h"

#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 160, kHeight = 120;

// A snapshot with detail, so that every raster operation shows.
QImage Snapshot() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y,
                           0xFF000000u | uint32_t(x * 255 / kWidth) << 16 | uint32_t(y * 255 / kHeight) << 8 |
                               ((x / 8 + y / 8) % 2 ? 0xE0u : 0x30u));
    return image;
}

bool DrawGuarded(const TDrawStep& step, Canvas& canvas) {
    try {
        step.Draw(canvas);
        return true;
    } catch (...) {
        return false;
    }
}

// Five layers with undo and redo, and a paint list in drawing order, as the drawing window keeps them.
struct TLayers {
    std::array<std::vector<std::unique_ptr<TDrawStep>>, 6> Steps;
    std::array<int, 6> Pos{-1, -1, -1, -1, -1, -1};
    std::array<bool, 6> Visible{true, true, true, true, true, true};
    std::vector<TDrawStep*> Painted;

    void Add(int layer, std::unique_ptr<TDrawStep> step) {
        step->Layer = layer;
        Painted.push_back(step.get());
        Steps[layer].insert(Steps[layer].begin() + (Pos[layer] + 1), std::move(step));
        ++Pos[layer];
    }
    // A loaded step takes the place of the undone step behind the position, which is freed.
    void Replace(int layer, std::unique_ptr<TDrawStep> step) {
        const int next = Pos[layer] + 1;
        if (next >= int(Steps[layer].size())) return Add(layer, std::move(step));
        step->Layer = layer;
        Painted.push_back(step.get());
        Steps[layer][size_t(next)] = std::move(step);
        Pos[layer] = next;
    }
    void Undo(int layer) {
        if (Pos[layer] < 0) return;
        TDrawStep* step = Steps[layer][size_t(Pos[layer])].get();
        Painted.erase(std::find(Painted.begin(), Painted.end(), step));
        --Pos[layer];
    }
    void Redo(int layer) {
        if (Pos[layer] + 1 >= int(Steps[layer].size())) return;
        ++Pos[layer];
        Painted.push_back(Steps[layer][size_t(Pos[layer])].get());
    }
    std::vector<const TDrawStep*> VisibleSteps() const {
        std::vector<const TDrawStep*> list;
        for (const TDrawStep* s : Painted)
            if (Visible[s->Layer]) list.push_back(s);
        return list;
    }
};

class Generator {
public:
    Generator(unsigned seed, QString stamp) : Rng(seed), StampFile(std::move(stamp)) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(Rng); }
    TColor Color() {
        static const TColor palette[] = {clBlack, clRed,    clYellow, clLime,
                                         clNavy,  clSilver, clWhite,  0x3080C0};
        return palette[Int(0, 7)];
    }
    // Mostly plain drawing and the highlighter, now and then any other raster operation.
    uint8_t Mode() {
        const int k = Int(0, 9);
        return k < 4 ? uint8_t(pmCopy) : k < 8 ? uint8_t(pmMask) : uint8_t(Int(0, 16));
    }

    std::unique_ptr<TDrawStep> Step() {
        const int kind = Int(0, 9);
        if (kind < 4) {
            auto s = std::make_unique<TMoveList>();
            s->Mode = Mode();
            s->StartX = Int(-10, kWidth + 10);
            s->StartY = Int(-10, kHeight + 10);
            const TColor color = Color();
            const int width = Int(0, 3) == 0 ? 1 : Int(2, 14);
            for (int i = Int(0, 12); i > 0; --i) {
                TMove m;
                m.X = Int(-10, kWidth + 10);
                m.Y = Int(-10, kHeight + 10);
                m.Width = width;
                m.Color = Int(0, 5) ? color : Color();
                s->Points.push_back(m);
            }
            return s;
        }
        if (kind < 5) {
            auto s = std::make_unique<TLineStep>();
            s->Mode = Mode();
            s->StartX = Int(0, kWidth);
            s->StartY = Int(0, kHeight);
            s->EndPoint.X = Int(0, kWidth);
            s->EndPoint.Y = Int(0, kHeight);
            s->EndPoint.Width = Int(1, 9);
            s->EndPoint.Color = Color();
            return s;
        }
        if (kind < 8) {
            auto s = std::make_unique<TEllipseRect>();
            s->Mode = Mode();
            s->IsRect = Int(0, 1) == 0;
            s->StartX = Int(-5, kWidth);
            s->StartY = Int(-5, kHeight);
            s->EndX = Int(0, kWidth + 5);
            s->EndY = Int(0, kHeight + 5);
            s->Width = Int(1, 6);
            s->Color = Color();
            s->Filled = Int(0, 2) == 0;
            s->Outside = Int(0, 4) == 0;
            return s;
        }
        if (kind < 9) {
            auto s = std::make_unique<TTextStep>();
            s->StartX = Int(0, kWidth - 20);
            s->StartY = Int(0, kHeight - 10);
            s->Text = Int(0, 3) ? QStringLiteral("note %1").arg(Int(0, 99)) : QString();
            s->Font.Name = Int(0, 1) ? QStringLiteral("Arial") : QStringLiteral("Times New Roman");
            s->Font.Size = Int(6, 16);
            s->Font.Color = Color();
            s->Font.Style = TFontStyles(Int(0, 15));
            s->Transparent = Int(0, 1) == 0;
            return s;
        }
        auto s = std::make_unique<TImageStep>();
        s->StartX = Int(-8, kWidth);
        s->StartY = Int(-8, kHeight);
        s->FileName = Int(0, 5) ? StampFile : StampFile + QStringLiteral(".missing.png");
        s->Transparent = Int(0, 1) == 0;
        return s;
    }

private:
    std::mt19937 Rng;
    QString StampFile;
};

void WriteStamp(const QString& file, QColor colour, int size) {
    QImage stamp(size, size, QImage::Format_RGB32);
    stamp.fill(colour);
    stamp.setPixel(size / 2, size / 2, qRgb(255, 255, 255));
    ASSERT_TRUE(stamp.save(file, "PNG"));
}

// The drawing window's canvas tools: a clear brush, the layer pen.
void SetTools(Canvas& canvas) {
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.Pen.Width = 3;
    canvas.Pen.Color = clRed;
}

class PaintCheckpointsTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Stamp = Dir.path() + QStringLiteral("/stamp.png");
    QImage Base = Snapshot();
    QImage Surface{kWidth, kHeight, QImage::Format_RGB32};
    Canvas SurfaceCanvas{Surface};
    std::vector<const TDrawStep*> Failures;

    static void DrawStep(const TDrawStep& step, Canvas& canvas) { step.Draw(canvas); }

    void SetUp() override {
        WriteStamp(Stamp, QColor(200, 40, 40), 12);
        SetTools(SurfaceCanvas);
    }
    void TearDown() override { ClearStampPictureCache(); }

    void PaintBase(Canvas& canvas) const { canvas.CopyRect(Base.rect(), Base, Base.rect()); }

    // The whole repaint: the snapshot, then every step drawn in turn, on a canvas with the surface's
    // tools.
    QImage Whole(const std::vector<const TDrawStep*>& steps) const {
        QImage image = Base.copy();
        Canvas canvas(image);
        canvas.Pen = SurfaceCanvas.Pen;
        canvas.Brush = SurfaceCanvas.Brush;
        canvas.Font = SurfaceCanvas.Font;
        canvas.BkMode = SurfaceCanvas.BkMode;
        for (const TDrawStep* s : steps)
            DrawGuarded(*s, canvas);
        return image;
    }

    void Paint(TPaintCheckpoints& kept, const std::vector<const TDrawStep*>& steps, uint64_t context = 7) {
        // Whatever the surface showed before (a rubber band, a step drawn live) is painted over.
        Surface.fill(Qt::magenta);
        kept.Paint(
            SurfaceCanvas, context, [this](Canvas& c) { PaintBase(c); }, steps, DrawStep,
            [this](const TDrawStep& s, std::exception_ptr) { Failures.push_back(&s); });
    }
};

// Random sequences of steps of every kind, undo and redo, layers hidden and shown, a text's entry
// ending, layers shifted, undone steps replaced by loaded ones, the stamp file rewritten and the brush
// changed: after each, the repaint through kept pictures equals the whole repaint pixel for pixel.
struct TRandomConfig {
    unsigned Seed;
    qint64 BudgetPictures;
    double CostUnitMs;
    int Threads;
};
constexpr qint64 kPictureBytes = qint64(kWidth) * kHeight * 4;

class PaintCheckpointsRandom : public PaintCheckpointsTest,
                               public testing::WithParamInterface<TRandomConfig> {};

TEST_P(PaintCheckpointsRandom, RepaintThroughKeptPicturesEqualsWholeRepaint) {
    const TRandomConfig& config = GetParam();
    const qint64 budget = config.BudgetPictures * kPictureBytes;
    {
        SCOPED_TRACE(testing::Message() << "seed " << config.Seed);
        TPaintCheckpoints kept(budget, config.CostUnitMs, config.Threads);
        Generator g(config.Seed, Stamp);
        TLayers layers;
        int reused = 0;
        for (int op = 0; op < 300; ++op) {
            const int layer = g.Int(1, 5);
            const int what = g.Int(0, 99);
            if (what < 40) {
                layers.Add(layer, g.Step());
            } else if (what < 55) {
                layers.Undo(layer);
            } else if (what < 67) {
                layers.Redo(layer);
            } else if (what < 75) {
                layers.Visible[layer] = !layers.Visible[layer];
            } else if (what < 80) {
                // A text entry ends on the step last painted, or that step changes its colour.
                if (!layers.Painted.empty()) {
                    TDrawStep* top = layers.Painted.back();
                    if (auto* text = dynamic_cast<TTextStep*>(top))
                        text->Text += QStringLiteral("x");
                    else if (auto* shape = dynamic_cast<TEllipseRect*>(top))
                        shape->Color ^= 0x00FF00;
                    else
                        top->StartX += 1;
                }
            } else if (what < 85) {
                // A layer shift moves the done steps of a layer.
                const int dx = g.Int(-6, 6), dy = g.Int(-6, 6);
                for (int i = 0; i <= layers.Pos[layer]; ++i) {
                    TDrawStep* s = layers.Steps[layer][size_t(i)].get();
                    s->StartX += dx;
                    s->StartY += dy;
                    if (auto* m = dynamic_cast<TMoveList*>(s))
                        for (TMove& p : m->Points)
                            p.X += dx, p.Y += dy;
                    if (auto* l = dynamic_cast<TLineStep*>(s)) l->EndPoint.X += dx, l->EndPoint.Y += dy;
                    if (auto* r = dynamic_cast<TEllipseRect*>(s)) r->EndX += dx, r->EndY += dy;
                }
            } else if (what < 92) {
                layers.Replace(layer, g.Step());
            } else if (what < 95) {
                WriteStamp(Stamp, QColor(g.Int(0, 255), g.Int(0, 255), g.Int(0, 255)), g.Int(6, 16));
            } else if (what < 97) {
                SurfaceCanvas.Brush.Style = SurfaceCanvas.Brush.Style == TBrushStyle::bsClear
                                                ? TBrushStyle::bsSolid
                                                : TBrushStyle::bsClear;
                SurfaceCanvas.Brush.Color = g.Color();
            }
            const std::vector<const TDrawStep*> steps = layers.VisibleSteps();
            Paint(kept, steps, StepToolsKey(SurfaceCanvas));
            ASSERT_TRUE(Surface == Whole(steps))
                << "after operation " << op << " with " << steps.size() << " steps";
            ASSERT_LE(kept.KeptBytes(), std::max(budget, 2 * kPictureBytes));
            if (kept.LastStart() > 0) ++reused;
        }
        // With the default unit these cheap steps are all drawn straight onto the surface; with the
        // small units the paints must have started from kept pictures.
        if (config.CostUnitMs < TPaintCheckpoints::DefaultCostUnitMs) {
            EXPECT_GT(reused, 0) << "kept pictures were used";
        }
    }
}

// Small cost units put the prefixes of these cheap steps in many grades; the default unit keeps the
// kept pictures to the top of the list; two pictures are the least ever kept. Bands of rows drawn by
// threads must meet without a seam. One test each, so that a slow build gives each its own time.
INSTANTIATE_TEST_SUITE_P(Configurations, PaintCheckpointsRandom,
                         testing::Values(TRandomConfig{1, 6, 0.002, 1}, TRandomConfig{2, 6, 0.0005, 3},
                                         TRandomConfig{3, 2, 0.002, 1},
                                         TRandomConfig{4, 6, TPaintCheckpoints::DefaultCostUnitMs, 0},
                                         TRandomConfig{5, 4, 0.00001, 4}, TRandomConfig{6, 3, 0.001, 7}),
                         [](const testing::TestParamInfo<TRandomConfig>& info) {
                             return "Seed" + std::to_string(info.param.Seed);
                         });

// Builds a list of strokes; with a cost unit below any step's cost every paint keeps pictures.
class KeptPictures : public PaintCheckpointsTest {
protected:
    TPaintCheckpoints Kept{TPaintCheckpoints::DefaultBudgetBytes, 1e-6, 1};
    std::vector<std::unique_ptr<TDrawStep>> Owned;
    std::vector<const TDrawStep*> List;

    void SetUp() override {
        PaintCheckpointsTest::SetUp();
        Generator g(11, Stamp);
        for (int i = 0; i < 40; ++i) {
            auto s = std::make_unique<TMoveList>();
            s->Mode = i % 2 ? pmMask : pmCopy;
            s->StartX = 10 + i * 3;
            s->StartY = 10;
            TMove m;
            m.X = 20 + i * 3;
            m.Y = 100;
            m.Width = 9;
            m.Color = g.Color();
            s->Points.push_back(m);
            List.push_back(s.get());
            Owned.push_back(std::move(s));
        }
        Paint(Kept, List);
        ASSERT_EQ(Kept.LastStart(), 0);
        ASSERT_EQ(Kept.LastDrawn(), 40);
    }
    void ExpectWhole(const std::vector<const TDrawStep*>& steps) { EXPECT_TRUE(Surface == Whole(steps)); }
};

TEST_F(KeptPictures, UndoAndRedoOfTheLastStepDrawNothing) {
    const std::vector<const TDrawStep*> undone(List.begin(), List.end() - 1);
    Paint(Kept, undone);
    EXPECT_EQ(Kept.LastStart(), 39);
    EXPECT_EQ(Kept.LastDrawn(), 0);
    ExpectWhole(undone);
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastStart(), 40);
    EXPECT_EQ(Kept.LastDrawn(), 0);
    ExpectWhole(List);
}

TEST_F(KeptPictures, AChangedTopStepDrawsItselfAlone) {
    // The last step changes in place, at the same address: only its content tells.
    static_cast<TMoveList*>(Owned.back().get())->Points[0].Color = clLime;
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastStart(), 39);
    EXPECT_EQ(Kept.LastDrawn(), 1);
    ExpectWhole(List);
}

TEST_F(KeptPictures, ANewStepDrawsItselfAlone) {
    auto s = std::make_unique<TEllipseRect>();
    s->Mode = pmMask;
    s->Outside = true;
    s->StartX = 30;
    s->StartY = 30;
    s->EndX = 90;
    s->EndY = 80;
    s->Color = clYellow;
    List.push_back(s.get());
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastStart(), 40);
    EXPECT_EQ(Kept.LastDrawn(), 1);
    ExpectWhole(List);
}

TEST_F(KeptPictures, ALayerHiddenRepaintsFromTheChangeAndShownAgainFindsItsPicture) {
    // Every fourth step from the tenth on belongs to the hidden layer.
    std::vector<const TDrawStep*> hidden;
    for (size_t i = 0; i < List.size(); ++i)
        if (i < 10 || i % 4 != 0) hidden.push_back(List[i]);
    Paint(Kept, hidden);
    EXPECT_LE(Kept.LastStart(), 10);
    ExpectWhole(hidden);
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastDrawn(), 0) << "the whole list's picture is still kept";
    ExpectWhole(List);
}

TEST_F(KeptPictures, AnotherContextSharesNoPicture) {
    Paint(Kept, List, 8);
    EXPECT_EQ(Kept.LastStart(), 0);
    EXPECT_EQ(Kept.LastDrawn(), 40);
}

TEST_F(KeptPictures, AStampFileRewrittenIsDrawnAnew) {
    auto s = std::make_unique<TImageStep>();
    s->StartX = 40;
    s->StartY = 40;
    s->FileName = Stamp;
    List.push_back(s.get());
    Paint(Kept, List);
    ExpectWhole(List);
    WriteStamp(Stamp, QColor(20, 200, 40), 14);
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastStart(), 40) << "the steps below the stamp are kept";
    EXPECT_EQ(Kept.LastDrawn(), 1);
    ExpectWhole(List);
}

TEST_F(KeptPictures, AFailedStepIsNotKept) {
    auto s = std::make_unique<TImageStep>();
    s->StartX = 40;
    s->StartY = 40;
    s->FileName = Dir.path() + QStringLiteral("/later.png");
    List.push_back(s.get());
    Paint(Kept, List);
    ExpectWhole(List);
    ASSERT_EQ(Failures.size(), 1u);
    EXPECT_EQ(Failures[0], s.get());
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastStart(), 40) << "the picture with the failed stamp was not kept";
    EXPECT_EQ(Kept.LastDrawn(), 1);
    EXPECT_EQ(Failures.size(), 2u) << "tried again, failed again";
}

TEST_F(KeptPictures, FollowDrawsNewStepsAheadOfThePaint) {
    Generator g(12, Stamp);
    for (int i = 0; i < 5; ++i) {
        Owned.push_back(g.Step());
        List.push_back(Owned.back().get());
    }
    Kept.Follow(
        SurfaceCanvas, 7, [this](Canvas& c) { PaintBase(c); }, List, DrawStep);
    EXPECT_EQ(Kept.LastStart(), 40);
    EXPECT_EQ(Kept.LastDrawn(), 5);
    Paint(Kept, List);
    EXPECT_EQ(Kept.LastDrawn(), 0);
    ExpectWhole(List);
}

TEST_F(KeptPictures, StayWithinTheirBudget) {
    const qint64 picture = qint64(kWidth) * kHeight * 4;
    TPaintCheckpoints small(3 * picture, 1e-6);
    for (int n = 1; n <= 40; ++n) {
        const std::vector<const TDrawStep*> part(List.begin(), List.begin() + n);
        Paint(small, part);
        ExpectWhole(part);
        EXPECT_LE(small.Kept(), 3);
    }
    small.Clear();
    EXPECT_EQ(small.Kept(), 0);
    EXPECT_EQ(small.KeptBytes(), 0);
}

TEST(StepFingerprint, ChangesWithEveryFieldThatDraws) {
    TTextStep text;
    const uint64_t before = StepFingerprint(text);
    auto changed = [&](auto change) {
        TTextStep other;
        change(other);
        return StepFingerprint(other) != before;
    };
    EXPECT_EQ(StepFingerprint(text), before);
    EXPECT_TRUE(changed([](TTextStep& s) { s.Text = "a"; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.StartX = 1; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.StartY = 1; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Font.Name = "Arial"; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Font.Size = 9; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Font.Color = clRed; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Font.Style = fsItalic; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Font.Charset = 0; }));
    EXPECT_TRUE(changed([](TTextStep& s) { s.Transparent = false; }));
    EXPECT_FALSE(changed([](TTextStep& s) { s.Layer = 3; })) << "the layer decides visibility, not pixels";

    TEllipseRect a, b;
    b.Outside = true;
    EXPECT_NE(StepFingerprint(a), StepFingerprint(b));
    b.Outside = false;
    b.Filled = true;
    EXPECT_NE(StepFingerprint(a), StepFingerprint(b));
    b.Filled = false;
    b.Mode = pmMask;
    EXPECT_NE(StepFingerprint(a), StepFingerprint(b));

    TMoveList m1, m2;
    m1.Points.resize(2);
    m2.Points.resize(2);
    m2.Points[1].Width = 2;
    EXPECT_NE(StepFingerprint(m1), StepFingerprint(m2));
    m2.Points[1].Width = 0;
    EXPECT_EQ(StepFingerprint(m1), StepFingerprint(m2));
    TLineStep line;
    EXPECT_NE(StepFingerprint(line), StepFingerprint(m1)) << "the class counts";
}

} // namespace

namespace {

// A repaint that only shows a kept picture shares its pixels with the surface; drawing on the
// surface afterwards (a rubber band, a step drawn live) leaves the kept picture as it was.
TEST_F(KeptPictures, DrawingOnTheSurfaceLeavesKeptPicturesAlone) {
    const std::vector<const TDrawStep*> undone(List.begin(), List.end() - 1);
    const std::vector<const TDrawStep*>* lists[] = {&undone, &List};
    for (int round = 0; round < 3; ++round) {
        for (const std::vector<const TDrawStep*>* list : lists) {
            Kept.Paint(
                SurfaceCanvas, 7, [this](Canvas& c) { PaintBase(c); }, *list, DrawStep);
            EXPECT_EQ(Kept.LastDrawn(), 0);
            ExpectWhole(*list);
            SurfaceCanvas.Pen.Width = 5;
            SurfaceCanvas.MoveTo(0, 0);
            SurfaceCanvas.LineTo(150, 110);
            SurfaceCanvas.Pen.Width = 3;
            EXPECT_FALSE(Surface == Whole(*list)) << "the line shows on the surface";
        }
    }
}

} // namespace
