#include "LayerModel.h"

#include <algorithm>

TLayerModel::TLayerModel() {
    LayerPos.fill(-1);
}

TDrawStep* TLayerModel::InsertDrawn(int layer, std::unique_ptr<TDrawStep> step) {
    TDrawStep* raw = step.get();
    raw->Layer = layer;
    TStepList& list = LayerSteps[layer];
    list.insert(list.begin() + (LayerPos[layer] + 1), std::move(step));
    ++LayerPos[layer];
    return raw;
}

void TLayerModel::AppendToPaintList(TDrawStep* step) {
    Painted.push_back(step);
}

bool TLayerModel::PlaceLoaded(std::unique_ptr<TDrawStep> step) {
    const int layer = step->Layer;
    if (!IsLayer(layer)) return false;
    TDrawStep* raw = step.get();
    TStepList& list = LayerSteps[layer];
    const int next = LayerPos[layer] + 1;
    if (next < static_cast<int>(list.size()))
        list[next] = std::move(step); // the undone step that stood there is freed
    else
        list.push_back(std::move(step));
    LayerPos[layer] = next;
    Painted.push_back(raw);
    return true;
}

bool TLayerModel::Undo(int layer) {
    if (!CanUndo(layer)) return false;
    TDrawStep* step = LayerSteps[layer][LayerPos[layer]].get();
    auto it = std::find(Painted.begin(), Painted.end(), step);
    if (it != Painted.end()) Painted.erase(it);
    --LayerPos[layer];
    return true;
}

bool TLayerModel::Redo(int layer) {
    if (!CanRedo(layer)) return false;
    ++LayerPos[layer];
    Painted.push_back(LayerSteps[layer][LayerPos[layer]].get());
    return true;
}

TDrawStep* TLayerModel::Current(int layer) const {
    return LayerPos[layer] >= 0 ? LayerSteps[layer][LayerPos[layer]].get() : nullptr;
}

void TLayerModel::Clear() {
    Painted.clear();
    for (int layer = 1; layer <= LayerCount; ++layer) {
        LayerSteps[layer].clear();
        LayerPos[layer] = -1;
    }
}
