#pragma once

#include "DrawStep.h"
#include "Layers.h"

#include <memory>
#include <vector>

// What the annotation text's reader and writer need of the window that shows the annotations: the
// five layers' visibility, the current layer, the paint list and the placement of a loaded step.
// The drawing window implements it over its layers (its own getters of the same names then serve),
// tests over a plain layer model.
class TAnnotationTarget {
public:
    virtual ~TAnnotationTarget() = default;

    // Layers are numbered 1 to LayerCount.
    virtual bool GetLayerVisible(int layer) const = 0;
    // Also sets the tick of the layer's "Visible layers" item.
    virtual void SetLayerVisible(int layer, bool visible) = 0;
    virtual int GetCurrLayer() const = 0;
    // As making a layer current by hand does.
    virtual void SetCurrLayer(int layer) = 0;
    // Takes a step read from text, whose Layer is 1 to LayerCount: it becomes that layer's last done
    // step (taking the place of the undone step right after the layer's position, if any) and is
    // painted above everything.
    virtual void PlaceLoaded(std::unique_ptr<TDrawStep> step) = 0;
    // Every done step of all layers, hidden ones included, in drawing order.
    virtual const std::vector<TDrawStep*>& PaintList() const = 0;
};
