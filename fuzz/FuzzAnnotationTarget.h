#pragma once

#include "FuzzSupport.h"
#include "model/AnnotationScript.h"
#include "overlay/LayerModel.h"

// The drawing window's side of the annotation text, over the real layer model, as the reader's target:
// a layer outside 1 to 5 reaching it is a finding.
class TFuzzAnnotationTarget : public TAnnotationTarget {
public:
    TLayerModel Model;
    bool Visible[LayerCount + 1] = {false, true, true, true, true, true};
    int Current = 3;

    bool GetLayerVisible(int layer) const override { return Visible[layer]; }
    void SetLayerVisible(int layer, bool visible) override {
        FUZZ_CHECK(layer >= 1 && layer <= LayerCount, QString::number(layer));
        Visible[layer] = visible;
    }
    int GetCurrLayer() const override { return Current; }
    void SetCurrLayer(int layer) override {
        FUZZ_CHECK(layer >= 1 && layer <= LayerCount, QString::number(layer));
        Current = layer;
    }
    void PlaceLoaded(std::unique_ptr<TDrawStep> step) override {
        const int layer = step->Layer;
        FUZZ_CHECK(Model.PlaceLoaded(std::move(step)), QString::number(layer));
    }
    const std::vector<TDrawStep*>& PaintList() const override { return Model.PaintList(); }

    QStringList Written() const {
        QStringList lines;
        WriteScript(*this, lines);
        return lines;
    }
};
