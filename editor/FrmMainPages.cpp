// The page of twelve decoded frames, its thumbnails, and the frame view at its zoom.
#include "FrmMain.h"

#include "FrameDecodeThread.h"
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
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

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
    // zooming and repainting decode nothing. The thread is already on its way through the page that
    // playback comes to next, so waiting for it costs less than decoding those frames again here.
    if (AheadDecoder) TakeDecodedFrames(first, true);
    std::vector<int> cells;
    for (int i = 0; i < Cells && i <= Edit.Count() - 1; ++i) {
        const int32_t frame = Edit.FrameMap[first + i];
        const auto ahead = std::find_if(AheadFrames.begin(), AheadFrames.end(),
                                        [frame](const TAheadFrame& a) { return a.Frame == frame; });
        if (ahead != AheadFrames.end())
            // Shared, not copied: no one writes a decoded frame again (a drawing works on a copy),
            // and two positions of one frame show the same picture.
            PageBitmaps[i] = ahead->Bitmap;
        else
            cells.push_back(i);
    }
    AheadFrames.clear();
    DecodeCells(first, cells);
    PageFirst = first;
    PageSlot = 0;
    PaintBox1->update();
    GoToFrame(first);
}

void TFrmMain::DecodeCells(int first, const std::vector<int>& cells) {
    // A page is twelve full frames, each a copy out of the decoder: a second reader on a thread of its
    // own may decode the later cells meanwhile, so that the page waits for about half the work. The GUI
    // thread, done with its half, takes on those the helper has not begun, in order: on a busy
    // machine the helper may start late or not at all, and the page then costs what it did alone.
    // Only where the page needs fresh memory (the first page of a file): faulting in a hundred
    // megabytes goes twice as fast on two threads, while copying into memory the page already has
    // is bound by the memory's speed, and a second thread there only adds its start.
    const QSize size(AviFile->Width(), AviFile->Height());
    const bool fresh = std::any_of(cells.begin(), cells.end(), [&](int cell) {
        return PageBitmaps[cell].size() != size || !PageBitmaps[cell].isDetached();
    });
    const size_t count = cells.size(), split = fresh && count >= MinCellsToSplit ? count / 2 : count;
    std::vector<int32_t> frames;
    for (int cell : cells)
        frames.push_back(Edit.FrameMap[first + cell]);
    std::vector<QImage> helped(count);
    std::vector<char> byHelper(count, 0), byWindow(count, 0);
    std::atomic<size_t> next{split};
    std::thread helper;
    if (split < count && !PageReader) {
        PageReader = std::make_unique<TAVIFile>();
        try {
            PageReader->OpenSameFileAs(*AviFile);
        } catch (const EAviException&) {
            PageReader.reset();
        }
    }
    if (split < count && PageReader) {
        try {
            helper = std::thread([&, reader = PageReader.get()] {
                // A frame that fails is decoded again by the GUI thread.
                try {
                    for (size_t k; (k = next.fetch_add(1)) < count;)
                        byHelper[k] = reader->ReadFrame(frames[k], helped[k]);
                } catch (...) {
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the GUI thread decodes the whole page.
        }
    }
    // The helper writes into helped until it ends: nothing may leave here before it does.
    struct TJoin {
        std::thread& Thread;
        ~TJoin() {
            if (Thread.joinable()) Thread.join();
        }
    } join{helper};
    auto decodeHere = [&](size_t k) {
        CopyFrame(AviFile->GetFrame(frames[k]), PageBitmaps[cells[k]]);
        byWindow[k] = 1;
    };
    for (size_t k = 0; k < split; ++k)
        decodeHere(k);
    for (size_t k; (k = next.fetch_add(1)) < count;)
        decodeHere(k);
    if (helper.joinable()) helper.join();
    for (size_t k = split; k < count; ++k) {
        if (byHelper[k])
            PageBitmaps[cells[k]] = std::move(helped[k]);
        else if (!byWindow[k])
            decodeHere(k);
    }
}

std::vector<int32_t> TFrmMain::PageFrames(int first) const {
    std::vector<int32_t> frames;
    for (int i = 0; i < Cells && first + i < Edit.Count(); ++i)
        frames.push_back(Edit.FrameMap[first + i]);
    return frames;
}

void TFrmMain::TakeDecodedFrames(int first, bool waitForPage) {
    const std::vector<int32_t> wanted = PageFrames(first);
    // Half a frame time for the thread to finish the page, then the page load decodes the rest.
    const std::chrono::milliseconds patience(qMax(PlayInterval / 2, MinPagePatienceMs));
    std::vector<TFrameDecodeThread::TFrame> finished =
        waitForPage ? AheadDecoder->TakeFinishedOf(wanted, patience) : AheadDecoder->TakeFinished();
    // Frames of any other page came too late for theirs: playback has gone past it.
    auto unwanted = [&wanted](int32_t frame) {
        return std::find(wanted.begin(), wanted.end(), frame) == wanted.end();
    };
    AheadFrames.erase(std::remove_if(AheadFrames.begin(), AheadFrames.end(),
                                     [&](const TAheadFrame& a) { return unwanted(a.Frame); }),
                      AheadFrames.end());
    for (TFrameDecodeThread::TFrame& f : finished)
        if (!f.Bitmap.isNull() && !unwanted(f.Frame)) AheadFrames.push_back({f.Frame, std::move(f.Bitmap)});
}

void TFrmMain::DecodeAhead() {
    if (!TimerEnabled || PlayInterval <= 0 || !FileOpen() || !Edit.HasCurrent()) return;
    const int count = Edit.Count();
    // Playback goes on to the next page, or round to the first one.
    const int next = PageFirst + Cells < count ? PageStart(PageFirst + Cells, count) : 0;
    if (next == PageFirst) return;
    if (!AheadDecoder) {
        // A decoder of its own on the same open file: the window's reader stays the GUI thread's.
        auto reader = std::make_unique<TAVIFile>();
        try {
            reader->OpenSameFileAs(*AviFile);
        } catch (const EAviException&) {
            // The page change then decodes its frames itself, as without the thread.
            return;
        }
        AheadDecoder = std::make_unique<TFrameDecodeThread>(std::move(reader));
    }
    TakeDecodedFrames(next, false);
    std::vector<int32_t> missing;
    for (int32_t frame : PageFrames(next))
        if (std::none_of(AheadFrames.begin(), AheadFrames.end(),
                         [frame](const TAheadFrame& a) { return a.Frame == frame; }) &&
            std::find(missing.begin(), missing.end(), frame) == missing.end())
            missing.push_back(frame);
    AheadDecoder->Request(std::move(missing));
}

void TFrmMain::EndDecodingAhead() {
    AheadDecoder.reset();
    AheadFrames.clear();
}

void TFrmMain::ForgetDecodedFrames() {
    EndDecodingAhead();
    PageReader.reset();
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
    const QColor ground = PaintBox2->palette().color(QPalette::Window);
    part.fill(ground);
    if (!FileOpen() || !Edit.HasCurrent() || area.isEmpty()) {
        ViewCheckpoints.Clear();
        return part;
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
    std::vector<const TDrawStep*> done;
    for (int i = 0; i <= Edit.StepPos && i < steps.Count(); ++i)
        done.push_back(steps.GetItem(i));
    const QImage& frame = PageBitmaps[PageSlot];
    const int zoom = ZoomPercent;
    const QRect area(origin, canvas.Image().size());
    const QColor ground = PaintBox2->palette().color(QPalette::Window);
    // Only the part asked for is drawn: at 500 % a full-HD frame would be 9600 x 5400 pixels.
    auto paintFrame = [&](Canvas& c) {
        c.Image().fill(ground);
        QPainter p(&c.Image());
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.translate(-origin);
        p.scale(zoom / 100.0, zoom / 100.0);
        p.drawImage(0, 0, frame);
    };
    const uint64_t context = qHashMulti(0, area.x(), area.y(), area.width(), area.height(), zoom,
                                        frame.cacheKey(), ground.rgba()) ^
                             (StepToolsKey(canvas) * 0x9E3779B97F4A7C15ull);
    ViewCheckpoints.Paint(
        canvas, context, paintFrame, done,
        [zoom, origin](const TDrawStep& step, Canvas& c) { DrawStepScaled(step, c, zoom, origin); },
        // A stamp whose file has gone must not keep the other steps from the view, nor bring its
        // error back at every repaint and every loop of playback.
        [this](const TDrawStep& step, std::exception_ptr error) {
            if (ReportedSteps.insert(&step).second) ReportStepFailure(error);
        });
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
