#include "AnnotationScript.h"

#include "AnnotationText.h"
#include "EllipseRect.h"
#include "ImageStep.h"
#include "LineStep.h"
#include "MoveList.h"
#include "TextForms.h"
#include "TextStep.h"
#include "platform/Convert.h"

#include <algorithm>

namespace {

bool IsLayer(int layer) {
    return layer >= 1 && layer <= LayerCount;
}

// Current before Visible, so a layer made current here can still be hidden by the same section.
void ApplyLayerState(TAnnotationTarget& target, const TAnnotationSection& section) {
    // Only the first character counts: "12" makes layer 1 current.
    const QString current = section.Value("Current");
    if (!current.isEmpty() && current[0] >= '1' && current[0] <= '5')
        target.SetCurrLayer(current[0].digitValue());

    const QString visible = section.Value("Visible");
    if (visible.isEmpty()) return;
    const QStringList items = SplitDelimited(visible, ',', '"');
    const int count = std::min<int>(LayerCount, items.size());
    // Layers before a bad item keep their new visibility: the error ends the reading here.
    for (int layer = 1; layer <= count; ++layer)
        target.SetLayerVisible(layer, TextToBool(items[layer - 1]));
}

void ReadStep(TAnnotationTarget& target, std::unique_ptr<TDrawStep> step, const TAnnotationSection& section) {
    if (!step->LoadFrom(section)) return;
    // The window has layers 1 to 5 only: a step of any other layer is left out like a failed section.
    if (!IsLayer(step->Layer)) return;
    target.PlaceLoaded(std::move(step));
}

} // namespace

std::unique_ptr<TDrawStep> CreateStepForSection(const QString& name) {
    auto is = [&](const char* className) { return name.compare(className, Qt::CaseInsensitive) == 0; };
    if (is("MoveList")) return std::make_unique<TMoveList>();
    if (is("EllipseRect")) return std::make_unique<TEllipseRect>();
    if (is("LineStep")) return std::make_unique<TLineStep>();
    if (is("TextStep")) return std::make_unique<TTextStep>();
    if (is("ImageStep")) return std::make_unique<TImageStep>();
    return nullptr;
}

void WriteScript(const TAnnotationTarget& target, QStringList& lines) {
    lines << "[Layers]";
    QStringList visible;
    for (int layer = 1; layer <= LayerCount; ++layer)
        visible << BoolToText(target.GetLayerVisible(layer));
    lines << "Visible=" + visible.join(',');
    lines << "Current=" + QString::number(target.GetCurrLayer());
    for (const TDrawStep* step : target.PaintList())
        step->SaveTo(lines);
}

void ReadScript(TAnnotationTarget& target, const QStringList& lines) {
    ForEachAnnotationSection(lines, [&](const QString& name, const TAnnotationSection& section) {
        if (name.compare("Layers", Qt::CaseInsensitive) == 0) {
            ApplyLayerState(target, section);
            return;
        }
        if (std::unique_ptr<TDrawStep> step = CreateStepForSection(name))
            ReadStep(target, std::move(step), section);
    });
}
