#pragma once

#include "model/DrawStep.h"
#include "model/Layers.h"

#include <array>
#include <memory>
#include <vector>

// The five layers of the drawing window and their undo history.
//
// Each layer owns its steps in layer order; the entries up to its position are done, those behind it
// are undone and can be redone. The paint list refers to every done step of all layers, each once, in
// drawing order (bottom first): the order of finishing and redoing, whatever the layer numbers say.
class TLayerModel {
public:
    using TStepList = std::vector<std::unique_ptr<TDrawStep>>;

    TLayerModel();

    static bool IsLayer(int layer) { return layer >= 1 && layer <= LayerCount; }

    const TStepList& Steps(int layer) const { return LayerSteps[layer]; }
    int Pos(int layer) const { return LayerPos[layer]; }
    const std::vector<TDrawStep*>& PaintList() const { return Painted; }

    // The step being drawn goes into the layer right after its position, which advances; the undone
    // steps behind it stay redoable, so drawing never cuts the redo history. It reaches the paint list
    // only when the drag ends (AppendToPaintList). The returned step stays owned by the layer.
    TDrawStep* InsertDrawn(int layer, std::unique_ptr<TDrawStep> step);
    void AppendToPaintList(TDrawStep* step);

    // A loaded or pasted step goes into the layer it names: it replaces the undone step right behind
    // the position, or is appended when there is none; it is done and painted at once. A step whose
    // layer lies outside 1 to 5 is dropped (false).
    bool PlaceLoaded(std::unique_ptr<TDrawStep> step);

    bool CanUndo(int layer) const { return LayerPos[layer] >= 0; }
    bool CanRedo(int layer) const { return LayerPos[layer] < static_cast<int>(LayerSteps[layer].size()) - 1; }
    // The last done step leaves the paint list (its first occurrence) but stays in the layer.
    bool Undo(int layer);
    // The next undone step becomes done and is painted above everything painted before it.
    bool Redo(int layer);

    // The last done step of the layer, or none.
    TDrawStep* Current(int layer) const;

    // Frees every step of every layer.
    void Clear();

private:
    std::array<TStepList, LayerCount + 1> LayerSteps; // index 0 unused: layers are numbered from 1
    std::array<int, LayerCount + 1> LayerPos;
    std::vector<TDrawStep*> Painted;
};
