#include "AnnotationScript.h"

#include "AnnotationText.h"
#include "EllipseRect.h"
#include "ImageStep.h"
#include "LineStep.h"
#include "LoadedStepBounds.h"
#include "MoveList.h"
#include "TextForms.h"
#include "TextStep.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/StampPictureCache.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <optional>

namespace {

// Ends the walk over the sections as soon as the text asks for too much.
struct ETooMuchDrawing {};

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

// What drawing a step costs at a repaint, in canvas pixels touched, as far as its own numbers tell:
// each segment of a stroke, each shape and each character of a text touches at most a screen, and
// every step and every point has a fixed cost of its own.
int64_t SegmentWork(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width) {
    const int64_t pen = std::max<int64_t>(width, 1);
    const int64_t length = std::abs(x1 - x0) + std::abs(y1 - y0);
    return PointDrawingWork + std::min((length + pen) * pen, ScreenDrawingWork);
}

int64_t DrawingWorkOf(const TDrawStep& step) {
    int64_t work = StepDrawingWork;
    if (const auto* stroke = dynamic_cast<const TMoveList*>(&step)) {
        int64_t x = stroke->StartX, y = stroke->StartY;
        for (const TMove& point : stroke->Points) {
            work += SegmentWork(x, y, point.X, point.Y, point.Width);
            x = point.X;
            y = point.Y;
        }
    } else if (const auto* line = dynamic_cast<const TLineStep*>(&step)) {
        work +=
            SegmentWork(line->StartX, line->StartY, line->EndPoint.X, line->EndPoint.Y, line->EndPoint.Width);
    } else if (const auto* shape = dynamic_cast<const TEllipseRect*>(&step)) {
        const int64_t w = std::abs(int64_t(shape->EndX) - shape->StartX) + 1;
        const int64_t h = std::abs(int64_t(shape->EndY) - shape->StartY) + 1;
        const int64_t pen = std::max<int64_t>(shape->Width, 1);
        const int64_t area = shape->Outside  ? ScreenDrawingWork
                             : shape->Filled ? w * h
                                             : 2 * (w + h + 2 * pen) * pen;
        work += std::min(area, ScreenDrawingWork);
    } else if (const auto* text = dynamic_cast<const TTextStep*>(&step)) {
        const int64_t px = text->Font.PixelSize();
        work += text->Text.size() * (PointDrawingWork + std::min(px * px, ScreenDrawingWork));
    } else if (const auto* image = dynamic_cast<const TImageStep*>(&step)) {
        // The picture is drawn at its own size, which only its file tells; one that does not load draws
        // nothing but its error.
        try {
            const std::shared_ptr<const TGraphic> picture =
                CachedStampPicture(image->FileName, image->Transparent);
            work += std::min(int64_t(picture->Width()) * picture->Height(), ScreenDrawingWork);
        } catch (const Exception&) {
        }
    }
    return work;
}

// One section of the text as it will be applied: the layer state, or a step that read as usable.
struct TReadItem {
    std::optional<TAnnotationSection> Layers;
    std::unique_ptr<TDrawStep> Step;
};

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
    // Everything is read before anything is applied, so that a text that asks for more drawing than a
    // repaint can afford is refused whole. A conversion error ends the reading where it stands: what
    // came before it is applied, then the error passes on.
    std::vector<TReadItem> items;
    std::exception_ptr error;
    int64_t work = 0;
    try {
        ForEachAnnotationSection(lines, [&](const QString& name, const TAnnotationSection& section) {
            if (name.compare("Layers", Qt::CaseInsensitive) == 0) {
                items.push_back({section, nullptr});
                return;
            }
            std::unique_ptr<TDrawStep> step = CreateStepForSection(name);
            if (!step || !step->LoadFrom(section)) return;
            // The window has layers 1 to 5 only: a step of any other layer is left out like a failed
            // section.
            if (!IsLayer(step->Layer)) return;
            work += DrawingWorkOf(*step);
            if (work > MaxLoadedDrawingWork) throw ETooMuchDrawing();
            items.push_back({std::nullopt, std::move(step)});
        });
    } catch (const ETooMuchDrawing&) {
        throw EReadError(QString::fromLatin1(TooMuchDrawingMessage));
    } catch (const EConvertError&) {
        error = std::current_exception();
    }
    for (TReadItem& item : items) {
        if (item.Layers)
            ApplyLayerState(target, *item.Layers);
        else
            target.PlaceLoaded(std::move(item.Step));
    }
    if (error) std::rethrow_exception(error);
}
