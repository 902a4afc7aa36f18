// The page of twelve decoded frames, its thumbnails, and the frame view at its zoom.
#include "FrmMain.h"

#include "PageGeometry.h"
#include "PaintBox.h"
#include "ScaledSteps.h"
#include "avi/AviReader.h"
#include "model/DrawStep.h"
#include "platform/MessageDlg.h"
#include "platform/WinMath.h"

#include <QAction>
#include <QComboBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <algorithm>
#include <cstring>

using namespace PageGeometry;

namespace {

// The reader fills one bitmap of its own, so a page keeps a copy. The copy goes into the memory the
// target already has when the sizes agree: fresh memory for a full-HD frame costs a page fault every
// 4 KiB, as much again as the copy itself.
void CopyFrame(const QImage* frame, QImage& target) {
    if (!frame) {
        target = QImage();
        return;
    }
    if (target.size() != frame->size() || target.format() != frame->format() || target.isNull()) {
        target = frame->copy();
        return;
    }
    const qsizetype rowBytes = std::min(frame->bytesPerLine(), target.bytesPerLine());
    for (int y = 0; y < frame->height(); ++y)
        std::memcpy(target.scanLine(y), frame->constScanLine(y), rowBytes);
}

} // namespace

void TFrmMain::LoadPage(int first) {
    if (!FileOpen()) return;
    first = PageStart(first, Edit.Count());
    // Frames are decoded here only, or ahead of the page during playback: moving within the page,
    // zooming and repainting decode nothing.
    for (int i = 0; i < Cells && i <= Edit.Count() - 1; ++i) {
        const int32_t frame = Edit.FrameMap[first + i];
        const auto ahead = std::find_if(AheadFrames.begin(), AheadFrames.end(),
                                        [frame](const TAheadFrame& a) { return a.Frame == frame; });
        if (ahead != AheadFrames.end()) {
            std::swap(PageBitmaps[i], ahead->Bitmap);
            ahead->Frame = -1;
        } else {
            CopyFrame(AviFile->GetFrame(frame), PageBitmaps[i]);
        }
    }
    for (TAheadFrame& a : AheadFrames)
        a.Frame = -1;
    PageFirst = first;
    PageSlot = 0;
    PaintBox1->update();
    GoToFrame(first);
}

void TFrmMain::DecodeAhead() {
    if (!TimerEnabled || !FileOpen() || !Edit.HasCurrent()) return;
    const int count = Edit.Count();
    // Playback goes on to the next page, or round to the first one.
    const int next = PageFirst + Cells < count ? PageStart(PageFirst + Cells, count) : 0;
    if (next == PageFirst) return;
    for (int i = 0; i < Cells && next + i < count; ++i) {
        const int32_t frame = Edit.FrameMap[next + i];
        if (std::any_of(AheadFrames.begin(), AheadFrames.end(),
                        [frame](const TAheadFrame& a) { return a.Frame == frame; }))
            continue;
        auto free = std::find_if(AheadFrames.begin(), AheadFrames.end(),
                                 [](const TAheadFrame& a) { return a.Frame < 0; });
        if (free == AheadFrames.end()) {
            if (AheadFrames.size() >= static_cast<size_t>(Cells)) return;
            free = AheadFrames.insert(AheadFrames.end(), TAheadFrame());
        }
        CopyFrame(AviFile->GetFrame(frame), free->Bitmap);
        free->Frame = free->Bitmap.isNull() ? -1 : frame;
        // One frame a step: the step's own paint must not wait for more.
        return;
    }
}

QRect TFrmMain::ThumbCellRect(int cell) const {
    return CellRect(cell, QSize(ThumbWidth, ThumbHeight));
}

void TFrmMain::HighlightThumb(int cell, bool on) {
    // The frame is drawn with the page: the cell is painted again with or without it.
    (void)on;
    PaintBox1->update(ThumbCellRect(cell));
}

void TFrmMain::PaintBox1Paint(QPaintEvent* event) {
    if (!FileOpen() || !PaintBox1->isVisible()) return;
    QPainter p(PaintBox1);
    p.setClipRegion(event->region());
    const QPalette& palette = PaintBox1->palette();
    const QColor face = ToQColor(clBtnHighlight);
    const QColor shadow = ToQColor(clBtnShadow);
    const int textHeight = p.fontMetrics().height();
    const QSize box(ThumbWidth, ThumbHeight);
    // What is painted is taken out of the region left to paint, in cell order: a picture that reaches
    // below its cell (a thumbnail 100 high starts 15 down a 110-pixel cell) keeps its last rows,
    // since the next row's cells are filled around it.
    QRegion open = event->region();
    for (int i = 0; i < Cells && PageFirst + i < Edit.Count(); ++i) {
        const QRect cell = CellRect(i, box);
        if (cell.top() > height()) break;
        const QImage& frame = PageBitmaps[i];
        const QRect picture =
            frame.isNull() ? QRect() : QRect(PicturePoint(i, box), ThumbnailSize(frame.size(), box));
        // A cell repainted alone is still painted around the picture of the cell above.
        if (!open.intersects(cell) && !open.intersects(picture)) continue;
        p.save();
        p.setClipRegion(open);
        if (!picture.isNull()) {
            p.drawImage(picture.topLeft(),
                        frame.scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
            open -= picture;
            p.setClipRegion(open);
        }
        p.fillRect(cell, face);
        // A sunken edge: dark above and left, light below and right.
        p.setPen(shadow);
        p.drawLine(cell.topLeft(), cell.topRight());
        p.drawLine(cell.topLeft(), cell.bottomLeft());
        p.setPen(face);
        p.drawLine(cell.bottomLeft(), cell.bottomRight());
        p.drawLine(cell.topRight(), cell.bottomRight());
        if (i == PageSlot) {
            p.setPen(QPen(Qt::red, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.drawRect(QRectF(cell).adjusted(2, 2, -2, -2));
        }
        const QRect caption = CaptionRect(i, box, textHeight);
        const QString text = QStringLiteral("Frame %1").arg(PageFirst + i + 1);
        p.setPen(palette.color(QPalette::ButtonText));
        p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine,
                   p.fontMetrics().elidedText(text, Qt::ElideRight, caption.width()));
        p.restore();
        open -= cell;
    }
}

void TFrmMain::PaintBox1MouseDown(int x, int y) {
    const int cell = CellAt(QPoint(x, y), QSize(ThumbWidth, ThumbHeight));
    if (cell >= 0) GoToFrame(PageFirst + cell);
}

void TFrmMain::ComboBox1Change() {
    if (!FileOpen() || !Edit.HasCurrent()) return;
    const int zoom = ZoomTable[ComboBox1->currentIndex()];
    if (zoom != ZoomPercent) {
        // A drag stores its points at the zoom of its press: a new zoom waits for its end.
        if (Drawing) {
            SetZoomIndex(static_cast<int>(std::find(ZoomTable.begin(), ZoomTable.end(), ZoomPercent) -
                                          ZoomTable.begin()));
            return;
        }
        // An open text entry stands where the old zoom put its step: it ends first.
        EndTextEntry();
    }
    ZoomPercent = zoom;
    const QImage& frame = PageBitmaps[PageSlot];
    PaintBox2->setFixedSize(MulDiv(frame.width(), ZoomPercent, 100),
                            MulDiv(frame.height(), ZoomPercent, 100));
    ViewCanvasPen.Width = MulDiv(DrawWidth, ZoomPercent, 100);
    PaintBox2->update();
}

QImage TFrmMain::RenderView(const QRect& area) {
    QImage part(area.size(), QImage::Format_RGB32);
    part.fill(PaintBox2->palette().color(QPalette::Window));
    if (!FileOpen() || !Edit.HasCurrent() || area.isEmpty()) return part;
    // Only the part asked for is drawn: at 500 % a full-HD frame would be 9600 x 5400 pixels.
    {
        QPainter p(&part);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.translate(-area.topLeft());
        p.scale(ZoomPercent / 100.0, ZoomPercent / 100.0);
        p.drawImage(0, 0, PageBitmaps[PageSlot]);
    }
    Canvas canvas(part);
    canvas.Pen = ViewCanvasPen;
    canvas.Brush.Style = ViewBrushStyle;
    canvas.Font = ViewFont;
    // Busy goes back to what it was, by an error too.
    const QScopedValueRollback<bool> busy(Busy, true);
    PaintSteps(canvas, area.topLeft());
    return part;
}

void TFrmMain::PaintSteps(Canvas& canvas, const QPoint& origin) {
    const TDrawSteps& steps = Edit.CurrentSteps();
    for (int i = 0; i <= Edit.StepPos && i < steps.Count(); ++i) {
        const TDrawStep* step = steps.GetItem(i);
        // A stamp whose file has gone must not keep the other steps from the view, nor bring its
        // error back at every repaint and every loop of playback.
        try {
            DrawStepScaled(*step, canvas, ZoomPercent, origin);
        } catch (...) {
            if (ReportedSteps.insert(step).second) ReportStepFailure(std::current_exception());
        }
    }
}

void TFrmMain::ReportStepFailure(std::exception_ptr error) {
    // Not from inside the paint: the box runs an event loop of its own.
    QMetaObject::invokeMethod(
        this, [this, error] { ShowException(error, this); }, Qt::QueuedConnection);
}

void TFrmMain::PaintBox2Paint(QPaintEvent* event) {
    QPainter p(PaintBox2);
    const QRect area = event->rect();
    p.drawImage(area.topLeft(), RenderView(area));
}

void TFrmMain::ThumbnailsExecute() {
    QAction* thumbnails = Action(QStringLiteral("Thumbnails"));
    // Qt has toggled the check already, as the action's own check does.
    const bool shown = thumbnails->isChecked();
    Panel2->setVisible(shown);
    const QString hint = shown ? QStringLiteral("Hide thumbnails") : QStringLiteral("Show thumbnails");
    thumbnails->setToolTip(hint);
    thumbnails->setStatusTip(hint);
    thumbnails->setText(hint);
}
