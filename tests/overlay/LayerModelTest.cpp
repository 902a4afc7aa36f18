#include "overlay/LayerModel.h"

#include <gtest/gtest.h>

namespace {

// A step that only carries a name, so lists can be compared by eye.
class TNamedStep : public TDrawStep {
public:
    explicit TNamedStep(char name, int layer = 0) : Name(name) { Layer = layer; }
    void Draw(Canvas&) const override {}
    void SaveTo(QStringList&) const override {}
    char Name;
};

std::string Names(const std::vector<TDrawStep*>& steps) {
    std::string s;
    for (const TDrawStep* step : steps)
        s += static_cast<const TNamedStep*>(step)->Name;
    return s;
}

std::string Names(const TLayerModel::TStepList& steps) {
    std::string s;
    for (const auto& step : steps)
        s += static_cast<const TNamedStep*>(step.get())->Name;
    return s;
}

void Draw(TLayerModel& m, int layer, char name) {
    m.AppendToPaintList(m.InsertDrawn(layer, std::make_unique<TNamedStep>(name)));
}

} // namespace

TEST(LayerModel, RedoPaintsAboveStepsOfOtherLayers) {
    TLayerModel m;
    Draw(m, 1, 'A');
    Draw(m, 2, 'B');
    EXPECT_EQ(Names(m.PaintList()), "AB");
    EXPECT_TRUE(m.Undo(1));
    EXPECT_EQ(Names(m.PaintList()), "B");
    EXPECT_TRUE(m.Redo(1));
    EXPECT_EQ(Names(m.PaintList()), "BA");
}

TEST(LayerModel, DrawingKeepsTheRedoHistory) {
    TLayerModel m;
    Draw(m, 1, 'A');
    Draw(m, 1, 'B');
    Draw(m, 1, 'C');
    m.Undo(1);
    m.Undo(1);
    EXPECT_EQ(m.Pos(1), 0);
    Draw(m, 1, 'D');
    EXPECT_EQ(Names(m.Steps(1)), "ADBC");
    EXPECT_EQ(m.Pos(1), 1);
    EXPECT_EQ(Names(m.PaintList()), "AD");
    EXPECT_TRUE(m.Redo(1));
    EXPECT_EQ(Names(m.PaintList()), "ADB");
    EXPECT_TRUE(m.CanRedo(1));
    EXPECT_EQ(m.Steps(1)[0]->Layer, 1);
}

TEST(LayerModel, LoadedStepReplacesOneUndoneStep) {
    TLayerModel m;
    Draw(m, 3, 'A');
    Draw(m, 3, 'B');
    Draw(m, 3, 'C');
    m.Undo(3);
    m.Undo(3);
    EXPECT_TRUE(m.PlaceLoaded(std::make_unique<TNamedStep>('L', 3)));
    EXPECT_EQ(Names(m.Steps(3)), "ALC");
    EXPECT_EQ(m.Pos(3), 1);
    EXPECT_EQ(Names(m.PaintList()), "AL");
    // With nothing undone it is appended.
    EXPECT_TRUE(m.PlaceLoaded(std::make_unique<TNamedStep>('M', 2)));
    EXPECT_EQ(Names(m.Steps(2)), "M");
    EXPECT_EQ(Names(m.PaintList()), "ALM");
}

TEST(LayerModel, LoadedStepOutsideTheLayersIsDropped) {
    TLayerModel m;
    for (int layer : {0, 6, -1, 12})
        EXPECT_FALSE(m.PlaceLoaded(std::make_unique<TNamedStep>('X', layer))) << layer;
    EXPECT_TRUE(m.PaintList().empty());
}

TEST(LayerModel, UndoAndRedoAtTheEndsDoNothing) {
    TLayerModel m;
    EXPECT_FALSE(m.CanUndo(1));
    EXPECT_FALSE(m.Undo(1));
    EXPECT_FALSE(m.Redo(1));
    Draw(m, 1, 'A');
    EXPECT_FALSE(m.Redo(1));
    EXPECT_EQ(m.Current(1), m.Steps(1)[0].get());
    m.Clear();
    EXPECT_TRUE(m.Steps(1).empty());
    EXPECT_EQ(m.Pos(1), -1);
    EXPECT_TRUE(m.PaintList().empty());
}
