#include "FrmMainFixture.h"
#include "avi/AviReader.h"
#include "editor/FrameDecodeThread.h"
#include "platform/BitmapInfoHeader.h"
#include "platform/Msvc1Compressor.h"
#include "recorder/AviRecordingSink.h"
#include "recorder/PackedDib.h"
#include "support/DesktopSession.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <set>

namespace {

constexpr int MovingFrames = 40;

// A recording whose frames build on the ones before: a box moves over a still pattern, so most
// blocks of a frame are skipped and a picture is right only when the frames before it were decoded in
// order from the key frame.
bool WriteMovingBoxRecording(const QString& file, int count, int framesPerSecond) {
    QImage picture(QSize(96, 64), QImage::Format_RGB32);
    auto draw = [&picture](int i) {
        picture.fill(QColor(0xEC, 0xEC, 0xEC));
        QPainter p(&picture);
        for (int y = 0; y < picture.height(); y += 8)
            for (int x = (y / 8 % 2) * 8; x < picture.width(); x += 16)
                p.fillRect(x, y, 8, 8, QColor(0x30, 0x60, 0x90));
        p.fillRect((i * 5) % 80, (i * 3) % 48, 16, 16, SolidColor(i));
    };
    draw(0);
    TAviRecordingSink sink(Msvc1CompressorFactory());
    const TPackedDib first = MakeDIB(picture, 32);
    if (sink.Open(file) || sink.CreateStream(framesPerSecond, first) ||
        sink.MakeCompressedStream(MakeFourCC('M', 'S', 'V', 'C'), 15, 7500) || sink.SetFormat(first))
        return false;
    TPackedDib block;
    for (int i = 0; i < count; ++i) {
        draw(i);
        block = MakeDIB(picture, 32, std::move(block));
        if (sink.Write(i, block)) return false;
    }
    return sink.Close() == 0;
}

// Every frame of the file as a reader decoding them in order from the first gives them.
std::vector<QImage> DecodeInOrder(const QString& file) {
    TAVIFile reader;
    reader.Open(file);
    std::vector<QImage> frames;
    for (int i = 0; i < int(reader.FrameCount()); ++i) {
        const QImage* frame = reader.GetFrame(i);
        frames.push_back(frame ? frame->copy() : QImage());
    }
    return frames;
}

int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

class FrmMainPlayback : public FrmMainFixture {
protected:
    static QString Moving() { return Files->filePath(QStringLiteral("moving.avi")); }

    static void SetUpTestSuite() {
        FrmMainFixture::SetUpTestSuite();
        // 50 frames a second, so that the tests see many ticks and page changes.
        if (!QFile::exists(Moving())) ASSERT_TRUE(WriteMovingBoxRecording(Moving(), MovingFrames, 50));
    }

    // Waits until playback has come round from the last position to the first rounds times.
    static bool PlayRounds(TFrmMain& form, int rounds) {
        int last = form.Edits().CurFrame, wraps = 0;
        return WaitUntil(
            [&] {
                const int now = form.Edits().CurFrame;
                if (now < last) ++wraps;
                last = now;
                return wraps >= rounds;
            },
            60000);
    }
};

} // namespace

TEST_F(FrmMainPlayback, EveryPaintDuringPlaybackShowsTheFramesADecodeInOrderGives) {
    const std::vector<QImage> reference = DecodeInOrder(Moving());
    ASSERT_EQ(reference.size(), size_t(MovingFrames));
    auto form = OpenForm(Moving());
    form->show();
    std::vector<QString> wrong;
    int views = 0, pages = 0;
    std::set<int> shown;
    const auto viewPaint = form->PaintBox2->OnPaint;
    form->PaintBox2->OnPaint = [&](QPaintEvent* e) {
        const TEditList& edits = form->Edits();
        if (edits.HasCurrent()) {
            ++views;
            shown.insert(edits.CurFrame);
            if (form->PageBitmap(form->GetPageSlot()) != reference[edits.FrameMap[edits.CurFrame]])
                wrong.push_back(QStringLiteral("view at position %1").arg(edits.CurFrame));
        }
        viewPaint(e);
    };
    const auto pagePaint = form->PaintBox1->OnPaint;
    form->PaintBox1->OnPaint = [&](QPaintEvent* e) {
        const TEditList& edits = form->Edits();
        ++pages;
        for (int cell = 0; cell < 12 && form->GetPageFirst() + cell < edits.Count(); ++cell)
            if (form->PageBitmap(cell) != reference[edits.FrameMap[form->GetPageFirst() + cell]])
                wrong.push_back(
                    QStringLiteral("cell %1 of the page at %2").arg(cell).arg(form->GetPageFirst()));
        pagePaint(e);
    };

    form->Action("Play")->trigger();
    EXPECT_TRUE(form->DecodingAhead());
    ASSERT_TRUE(PlayRounds(*form, 2));
    // Frame edits while playing: positions now show other frames, some of them twice.
    form->DeleteFrameExecute();
    form->InsertCopies(3);
    ASSERT_EQ(form->Edits().Count(), MovingFrames + 2);
    ASSERT_TRUE(PlayRounds(*form, 2));
    form->Action("StopPlay")->trigger();

    EXPECT_TRUE(wrong.empty()) << qPrintable(QStringList(wrong.begin(), wrong.end()).join(", "));
    EXPECT_GT(views, MovingFrames);
    EXPECT_GT(pages, 4);
    EXPECT_GT(shown.size(), size_t(MovingFrames / 4)) << "playback went through the positions";
}

TEST_F(FrmMainPlayback, StopCloseOpenAndTheWindowsEndEndTheDecodingThread) {
    auto form = MakeForm();
    const int noFile = OpenDescriptors();
    Open(*form, Moving());
    const int openDescriptors = OpenDescriptors();
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
    EXPECT_FALSE(form->DecodingAhead());

    form->Action("Play")->trigger();
    EXPECT_TRUE(form->DecodingAhead());
    EXPECT_EQ(TFrameDecodeThread::Running(), 1);
    ASSERT_TRUE(WaitUntil([&] { return form->Edits().CurFrame >= 14; }, 30000)) << "past a page change";
    form->Action("StopPlay")->trigger();
    EXPECT_FALSE(form->DecodingAhead());
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
    EXPECT_EQ(OpenDescriptors(), openDescriptors) << "the thread's reader is closed";

    // Close does not stop playing, but there is nothing to decode: the thread ends.
    form->Action("Play")->trigger();
    ASSERT_TRUE(form->DecodingAhead());
    form->Close1Click();
    EXPECT_TRUE(form->Playing());
    EXPECT_FALSE(form->DecodingAhead());
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
    EXPECT_EQ(OpenDescriptors(), noFile) << "no reader is left open";

    // A file opened while playing plays at once, with a thread of its own.
    Open(*form, Moving());
    ASSERT_TRUE(WaitUntil([&] { return form->DecodingAhead(); }, 30000));
    EXPECT_EQ(TFrameDecodeThread::Running(), 1);
    // Another file opened over it: the thread of the file before ends.
    Open(*form, Recording(40));
    EXPECT_LE(TFrameDecodeThread::Running(), 1);
    ASSERT_TRUE(WaitUntil([&] { return form->DecodingAhead(); }, 30000));
    EXPECT_EQ(TFrameDecodeThread::Running(), 1);

    // The window's end while playing.
    form.reset();
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
}

// What the user draws on and what the window hands out (an exported picture, the clipboard's copy)
// stays as it was made while the thread decodes on; a decoded frame never takes a step into itself.
TEST_F(FrmMainPlayback, FramesDrawnOnOrHandedOutAreNeverTouchedByTheDecodingThread) {
    const std::vector<QImage> reference = DecodeInOrder(Moving());
    auto form = OpenForm(Moving());
    form->show();
    form->Action("Play")->trigger();
    struct THeld {
        int Position;
        QImage Shared, Snapshot;
    };
    std::vector<THeld> held;
    std::set<int> drawnOn;
    for (int round = 0; round < 6; ++round) {
        const int pageFirst = form->GetPageFirst();
        ASSERT_TRUE(WaitUntil([&] { return form->GetPageFirst() != pageFirst; }, 30000));
        const int position = form->Edits().CurFrame;
        // A stroke on the frame view, as the user draws it.
        form->PaintBox2MouseDown(mbLeft, ssLeft, 10, 10);
        form->PaintBox2MouseMove(ssLeft, 60, 40);
        form->PaintBox2MouseUp(mbLeft, 0, 60, 40);
        ASSERT_GT(form->Edits().CurrentSteps().Count(), 0);
        drawnOn.insert(position);
        const QImage page = form->PageBitmap(form->GetPageSlot());
        const QImage picture = form->FramePicture();
        form->Copyscreenshot1Click();
        const QImage clipboard = QGuiApplication::clipboard()->image();
        EXPECT_NE(picture, page) << "the stroke is in the picture";
        for (const QImage& image : {page, picture, clipboard})
            held.push_back({position, image, image.copy()});
    }
    ASSERT_TRUE(PlayRounds(*form, 1));
    form->Action("StopPlay")->trigger();

    for (const THeld& h : held)
        EXPECT_TRUE(h.Shared == h.Snapshot) << "an image of position " << h.Position << " changed";
    for (int position : drawnOn) {
        form->GoToFrame(position);
        EXPECT_EQ(form->PageBitmap(form->GetPageSlot()), reference[position])
            << "the decoded frame of position " << position << " holds no stroke";
        const QRect area(0, 0, 96, 64);
        EXPECT_NE(form->RenderView(area), reference[position]) << "the view shows the stroke";
    }
}

// --- The decoding thread on its own ---

TEST_F(FrmMainPlayback, TheThreadDecodesWhatIsAskedForOnceEachAndEndsWhileDecoding) {
    const std::vector<QImage> reference = DecodeInOrder(Moving());
    TAVIFile window;
    window.Open(Moving());
    auto reader = [&window] {
        auto r = std::make_unique<TAVIFile>();
        r->OpenSameFileAs(window);
        return r;
    };
    {
        TFrameDecodeThread thread(reader());
        EXPECT_EQ(TFrameDecodeThread::Running(), 1);
        thread.Request({12, 13, 14, 3});
        std::vector<TFrameDecodeThread::TFrame> done = thread.TakeFinishedOf({12, 13, 14, 3});
        ASSERT_EQ(done.size(), 4u);
        const int order[] = {12, 13, 14, 3};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(done[i].Frame, order[i]);
            EXPECT_EQ(done[i].Bitmap, reference[order[i]]) << order[i];
        }

        // Asked for again and again before it is taken, a frame is decoded once.
        for (int i = 0; i < 5; ++i)
            thread.Request({20});
        done = thread.TakeFinishedOf({20});
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].Bitmap, reference[20]);

        // A new request drops the frames not begun: what comes is a part of the first one at most
        // and then the second one, each frame once.
        std::vector<int32_t> all;
        for (int i = 0; i < MovingFrames; ++i)
            all.push_back(i);
        thread.Request(all);
        thread.Request({5, 6});
        done = thread.TakeFinishedOf(all);
        std::set<int> frames;
        for (const auto& f : done) {
            EXPECT_TRUE(frames.insert(f.Frame).second) << "frame " << f.Frame << " came twice";
            EXPECT_EQ(f.Bitmap, reference[f.Frame]) << f.Frame;
        }
        EXPECT_TRUE(frames.count(5) && frames.count(6));
        EXPECT_TRUE(thread.TakeFinished().empty());

        // Out of patience, the frames not begun are dropped: what comes is finished, each once, and
        // nothing follows.
        thread.Request(all);
        done = thread.TakeFinishedOf(all, std::chrono::milliseconds(0));
        frames.clear();
        for (const auto& f : done) {
            EXPECT_TRUE(frames.insert(f.Frame).second) << "frame " << f.Frame << " came twice";
            EXPECT_EQ(f.Bitmap, reference[f.Frame]) << f.Frame;
        }
        EXPECT_TRUE(thread.TakeFinishedOf(all).empty());
        // A frame outside the file comes empty.
        thread.Request({MovingFrames + 3});
        done = thread.TakeFinishedOf({MovingFrames + 3});
        ASSERT_EQ(done.size(), 1u);
        EXPECT_TRUE(done[0].Bitmap.isNull());
    }
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
    // Ended with work asked for and frames not taken.
    for (int trial = 0; trial < 20; ++trial) {
        TFrameDecodeThread thread(reader());
        std::vector<int32_t> backwards;
        for (int i = MovingFrames - 1; i >= 0; --i)
            backwards.push_back(i);
        thread.Request(backwards);
    }
    EXPECT_EQ(TFrameDecodeThread::Running(), 0);
}
