#pragma once

#include "DrawStep.h"
#include "Move.h"

#include <vector>

// A freehand stroke: from the start point through each point in turn.
class TMoveList : public TDrawStep {
public:
    void Draw(Canvas& canvas) const override;
    void SaveTo(QStringList& lines) const override;
    // True when at least one point reads whole; the others are left out.
    bool LoadFrom(const TAnnotationSection& section) override;

    // Each point ends one segment and carries that segment's pen width and colour. The points are
    // values owned by the step: copying the list copies them.
    std::vector<TMove> Points;
};
