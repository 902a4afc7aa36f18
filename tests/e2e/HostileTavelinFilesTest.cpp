// Hostile pictures, pointer files and scripts met through Tavelin's own commands, as a user meets
// them: a stamp from the settings' list chosen with its key and placed with a click, a layer's pointer
// file, a script loaded through Annotations > Load.... Each must end in the program's message, or in
// what the program does instead on purpose (the hand pointer, a script's bad sections dropped), with
// the memory bounded and the program still running.
#include "HostileFileReport.h"
#include "TavelinTrayFixture.h"
#include "XWindows.h"
#include "support/HostileFiles.h"
#include "support/PeakMemory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

using namespace hostile;

const QString Drawing = QStringLiteral("Tavelin annotation");
// The stamp keys: Shift+Ctrl and the slot's digit.
constexpr int StampSlots = 10;

// Limits of the waits for the program's answer, far above what was measured: the slowest answer, to
// the stroke of a million points, took 0.64 s on a quiet machine, 18 s on the 8-core machine loaded
// with other builds (a load of 45), and in the sanitizer build 8.7 s quiet, 79 s loaded and 209 s
// with eight busy processes besides. The boxes answering small files came within 0.3 s even there.
// Only a failure waits them out.
constexpr int AnswerLimitMs = 600000;
constexpr int DialogLimitMs = 120000;

struct TFileCase {
    const char* Kind;
    const char* Malformation;
    QByteArray Bytes;
    // False where the program goes on without a word: a script's bad sections dropped, a cursor file
    // that cannot be read made a blank picture.
    bool Message = true;
};

// What the program answered to one command.
struct TAnswer {
    bool Message = false; // a message box came
    qint64 Ms = 0;
    qint64 PeakKiB = 0;
};

// The file name's extension by which the program tells the format.
QString SuffixOf(const char* kind) {
    return QString::fromLatin1(kind).toLower().replace(QStringLiteral("jpeg"), QStringLiteral("jpg"));
}

QString Shown(const TAnswer& answer, const char* quiet) {
    return answer.Message ? QStringLiteral("message box") : QString::fromLatin1(quiet);
}

class HostileTavelinFiles : public TavelinTray {
protected:
    void SetUp() override {
        TavelinTray::SetUp();
        ASSERT_TRUE(Folder.isValid());
    }
    void TearDown() override { Stop(); }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Folder.filePath(name);
        QFile::remove(path);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        EXPECT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
        return path;
    }

    // Tavelin reads its pointers and stamps when it starts: each set of files gets a start of its own.
    qint64 Restart(const QString& settings) {
        Stop();
        WriteSettings("ShowFirst=0\nConfExit=0\n" + settings);
        QElapsedTimer clock;
        clock.start();
        Tavelin = Start();
        const qint64 ms = clock.elapsed();
        Pid = std::to_string(Tavelin->processId());
        return ms;
    }
    void Stop() {
        if (!Tavelin) return;
        Tavelin->kill();
        Tavelin->waitForFinished(DialogLimitMs);
        Tavelin = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return Icons() == 0; }, DialogLimitMs));
    }
    bool Running() const { return Tavelin && Tavelin->state() == QProcess::Running; }

    // The drawing window covers the screen; a message box shown over it has its caption too.
    std::optional<TXWindow> DrawingWindow() const {
        for (const TXWindow& w : TopLevelsNamed(Desktop.Display(), Drawing))
            if (w.Geometry.size() == QSize(ScreenWidth, ScreenHeight)) return w;
        return std::nullopt;
    }
    std::vector<TXWindow> Boxes() const {
        std::vector<TXWindow> boxes;
        for (const TXWindow& w : TopLevelsNamed(Desktop.Display(), Drawing))
            if (w.Geometry.size() != QSize(ScreenWidth, ScreenHeight)) boxes.push_back(w);
        return boxes;
    }
    bool OpenDrawing() { return PressUntilShown("shift+ctrl+w", Drawing); }
    void KeyInDrawing(const QString& key) {
        const std::optional<TXWindow> window = DrawingWindow();
        if (!window) return;
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(window->Id));
        Desktop.Xdotool("key " + key);
    }

    // Answers the first of these message boxes with Return and waits for it to go; false when there
    // was none.
    bool CloseBox(const std::vector<TXWindow>& boxes) {
        if (boxes.empty()) return false;
        const unsigned long id = boxes.front().Id;
        Desktop.Xdotool(QString("windowfocus --sync %1").arg(id));
        Desktop.Xdotool("key Return");
        EXPECT_TRUE(WaitUntil(
            [&] {
                const std::vector<TXWindow> windows = ViewableWindows(Desktop.Display());
                return std::none_of(windows.begin(), windows.end(),
                                    [&](const TXWindow& w) { return w.Id == id; });
            },
            DialogLimitMs))
            << "the message box stays";
        return true;
    }

    // The steps the drawing window holds, as Annotations > Copy writes them: every section after the
    // layers' own. -1 when the copy did not come.
    int PlacedSteps() {
        QString text;
        // The copy comes once the program has ended what it was doing, a long load included.
        const bool copied = WaitUntil(
            [&] {
                KeyInDrawing("ctrl+c");
                text = ClipboardText(Desktop.Display());
                return text.startsWith(QStringLiteral("[Layers]"));
            },
            AnswerLimitMs);
        EXPECT_TRUE(copied) << "Annotations > Copy gave nothing";
        if (!copied) return -1;
        const QStringList lines = text.split(QChar('\n'));
        return int(std::count_if(lines.begin(), lines.end(),
                                 [](const QString& line) { return line.startsWith(QChar('[')); })) -
               1;
    }

    // Sends the last input of a command (the one that starts the work) and waits for its message box,
    // or, where none may come, for the command to have ended (the window answers Annotations > Copy
    // again). The time runs from that input.
    TAnswer Answer(const QString& lastInput, bool messageExpected) {
        ResetPeakMemory(Pid);
        QElapsedTimer clock;
        clock.start();
        Desktop.Xdotool(lastInput);
        TAnswer answer;
        // Polled closely: the time is what the table reports.
        bool ended = false;
        while (!ended && clock.elapsed() < AnswerLimitMs) {
            ended = !Boxes().empty();
            if (!ended && !messageExpected) {
                KeyInDrawing("ctrl+c");
                ended = ClipboardText(Desktop.Display()).startsWith(QStringLiteral("[Layers]"));
            }
            if (!ended) QThread::msleep(2);
        }
        answer.Ms = clock.elapsed();
        answer.PeakKiB = ProcessStatusKiB(Pid, "VmHWM:");
        EXPECT_TRUE(ended) << "neither a message nor the end of the command came";
        answer.Message = CloseBox(Boxes());
        return answer;
    }

    QProcess* Tavelin = nullptr;
    std::string Pid;
    QTemporaryDir Folder;
};

} // namespace

// Stamps whose pictures lie about themselves, each chosen with its key and placed with a click: each
// click gives the program's message and places no step; a good picture in the same list is placed. A
// cursor file read as a picture is the exception the programs keep on purpose: one that cannot be
// read is a blank 32 x 32 picture, placed without a word.
TEST_F(HostileTavelinFiles, HostileStampPicturesGiveTheMessageAndPlaceNothing) {
    QImage good(16, 16, QImage::Format_RGB32);
    good.fill(Qt::magenta);
    const QByteArray wholeBmp = Complete(Bmp(256, 256, 32), 256 * 256 * 4);
    QByteArray aniLoop = Ani(1, 1, 0);
    // The frame list declares a size that leads 8 bytes back, onto its own start.
    aniLoop.replace(aniLoop.size() - 8, 4, Le32(0xFFFFFFF8ll));
    const TFileCase cases[] = {
        {"BMP", "huge size: 30000 x 30000, 24 bits, in 54 bytes", Bmp(30000, 30000, 24)},
        {"BMP", "wrong sizes: -2147483648 high", Bmp(16, INT32_MIN, 24)},
        {"BMP", "truncated: 256 x 256 with half its pixels", wholeBmp.left(54 + 256 * 256 * 2)},
        {"BMP", "zero sizes: 0 x 0", Complete(Bmp(0, 0, 24), 0)},
        {"PNG", "huge size: 100000 x 100000", Png(100000, 100000)},
        {"PNG", "truncated: its signature only", PngOf(good).left(8)},
        {"PNG", "zero sizes: 0 x 0", Png(0, 0)},
        {"PNG", "zero size: an empty file", QByteArray()},
        {"GIF", "huge size: 65535 x 65535, no data", Gif(65535, 65535)},
        {"GIF", "truncated: its header only", Gif(16, 16).left(13)},
        {"JPEG", "huge size: 65500 x 65500, no data", Jpeg(65500, 65500)},
        {"JPEG", "truncated: its first marker only", QByteArray("\xFF\xD8", 2)},
        {"ICO", "huge counts: 65535 entries in 22 bytes", Icon(1, 65535, 40, 22)},
        {"ICO", "wrong sizes: an image of 4 GiB", Icon(1, 1, 0xFFFFFFFFll, 22)},
        {"CUR", "wrong sizes: its image past the file's end", Icon(2, 1, 1 << 30, 1 << 30), false},
        {"ANI", "huge counts: 65536 steps, 1024 frames, a 4 GiB list", Ani(1024, 65536, 0xFFFFFFF0ll), false},
        {"ANI", "loop: a list whose size leads back onto itself", aniLoop, false},
        {"ANI", "zero sizes: no frames", Ani(0, 0, 4), false},
    };

    PrintHostileTableHead("Message shown");
    // Each start has the good picture first in its list, where the options window previews it at
    // start, and up to nine hostile ones after it.
    const QString goodFile = Write("good.png", PngOf(good));
    for (size_t first = 0; first < std::size(cases); first += StampSlots - 1) {
        const size_t count = std::min<size_t>(StampSlots - 1, std::size(cases) - first);
        QString settings = QString("Image0=%1\n").arg(goodFile);
        for (size_t n = first; n < first + count; ++n) {
            const QString file =
                Write(QString("stamp%1.%2").arg(n).arg(SuffixOf(cases[n].Kind)), cases[n].Bytes);
            settings += QString("Image%1=%2\n").arg(n - first + 1).arg(file);
        }
        Restart(settings);
        ASSERT_TRUE(OpenDrawing());
        // Each click on a place of its own, away from the tray.
        const auto place = [&](int slot, bool message) {
            KeyInDrawing(QString("shift+ctrl+%1").arg(slot));
            const QPoint at(100 + slot * 80, 100 + slot * 50);
            Desktop.Xdotool(QString("mousemove %1 %2").arg(at.x()).arg(at.y()));
            // The picture is read when the button goes down, and a message comes then; a placed
            // stamp is a step once the button is up.
            if (!message) return Answer("click 1", false);
            const TAnswer answer = Answer("mousedown 1", true);
            Desktop.Xdotool("mouseup 1");
            return answer;
        };
        EXPECT_FALSE(place(0, false).Message) << "the good picture";
        int placed = PlacedSteps();
        ASSERT_EQ(placed, 1) << "the good picture was not placed";
        for (size_t n = first; n < first + count; ++n) {
            const TFileCase& c = cases[n];
            const TAnswer answer = place(int(n - first + 1), c.Message);
            PrintHostileRow(c.Kind, c.Malformation, Shown(answer, "(none: a blank 32 x 32 picture placed)"),
                            answer.Ms, answer.PeakKiB);
            EXPECT_EQ(answer.Message, c.Message) << c.Malformation;
            ASSERT_TRUE(Running()) << c.Malformation;
            if (!c.Message) ++placed;
            EXPECT_EQ(PlacedSteps(), placed) << c.Malformation;
            EXPECT_LT(answer.PeakKiB, PeakLimitKiB) << c.Malformation;
        }
    }

    // First in the list, a hostile picture meets the options window's preview at start: the program
    // reports it there and runs on.
    const QString first = Write("first.bmp", Bmp(30000, 30000, 24));
    Stop();
    WriteSettings("ShowFirst=0\nConfExit=0\nImage0=" + first + "\n");
    QElapsedTimer clock;
    clock.start();
    Tavelin = Desktop.Launch("Tavelin");
    Pid = std::to_string(Tavelin->processId());
    ASSERT_TRUE(WaitForTopLevel("Tavelin error", AnswerLimitMs)) << "no message at start";
    const qint64 ms = clock.elapsed();
    const qint64 peakKiB = ProcessStatusKiB(Pid, "VmHWM:");
    PrintHostileRow("BMP", "huge size, first in the list (previewed at start)", "message box", ms, peakKiB);
    EXPECT_TRUE(CloseBox(TopLevelsNamed(Desktop.Display(), "Tavelin error")));
    EXPECT_TRUE(WaitUntil([&] { return Icons() == 1; })) << "the tray icon did not come";
    EXPECT_TRUE(Running());
    EXPECT_LT(peakKiB, PeakLimitKiB);
}

// A layer's pointer file that cannot be read leaves the layer the hand pointer, as a missing file
// does, within the program's start.
TEST_F(HostileTavelinFiles, HostilePointerFilesLeaveTheLayerTheHandPointer) {
    // The pointer over the drawing window once it has taken its own.
    const auto pointerOverDrawing = [&] {
        const QImage overRoot = PointerImage(Desktop.Display());
        EXPECT_TRUE(OpenDrawing());
        Desktop.Xdotool("mousemove 500 400");
        QImage shown;
        WaitUntil([&] { return (shown = PointerImage(Desktop.Display())) != overRoot; }, DialogLimitMs);
        return shown;
    };
    Restart("CurrCursor1=" + Folder.filePath("missing.cur") + "\n");
    const QImage hand = pointerOverDrawing();
    Restart(QString());
    const QImage ownPointer = pointerOverDrawing();
    ASSERT_FALSE(hand.isNull());
    ASSERT_NE(hand, ownPointer) << "the hand cannot be told from the layer's own pointer";

    QByteArray curTruncated = Icon(2, 1, 40, 22);
    curTruncated.truncate(10);
    const TFileCase cases[] = {
        {"CUR", "truncated: 10 bytes of its directory", curTruncated},
        {"CUR", "huge counts: 65535 entries in 22 bytes", Icon(2, 65535, 40, 22)},
        {"CUR", "wrong sizes: its image past the file's end", Icon(2, 1, 1 << 30, 1 << 30)},
        {"CUR", "zero size: an empty file", QByteArray()},
        {"ANI", "huge counts: 65536 steps, 1024 frames, a 4 GiB list", Ani(1024, 65536, 0xFFFFFFF0ll)},
        {"ANI", "truncated: its RIFF header only", Ani(1, 1, 4).left(12)},
        {"ANI", "zero sizes: no frames", Ani(0, 0, 4)},
        {"ANI", "wrong sizes: a header chunk of 2 GiB", Ani(1, 1, 4).replace(16, 4, Le32(0x7FFFFFF8))},
    };
    PrintHostileTableHead("Pointer shown");
    int n = 0;
    for (const TFileCase& c : cases) {
        const QString file = Write(QString("pointer%1.%2").arg(++n).arg(SuffixOf(c.Kind)), c.Bytes);
        const qint64 ms = Restart("CurrCursor1=" + file + "\n");
        const QImage shown = pointerOverDrawing();
        const qint64 peakKiB = ProcessStatusKiB(Pid, "VmHWM:");
        PrintHostileRow(c.Kind, c.Malformation, shown == hand ? "the hand pointer" : "(another pointer)", ms,
                        peakKiB);
        EXPECT_EQ(shown, hand) << c.Malformation;
        EXPECT_LT(peakKiB, PeakLimitKiB) << c.Malformation;
        EXPECT_TRUE(Running()) << c.Malformation;
        EXPECT_TRUE(Boxes().empty()) << c.Malformation;
    }
}

// Scripts that no window wrote, each loaded through Annotations > Load... from the file the open dialog
// offers: each gives the program's message, or, where the reading rules drop bad sections without a
// word, places nothing; a good script loaded first is placed.
TEST_F(HostileTavelinFiles, HostileScriptsGiveTheMessageAndPlaceNothing) {
    const QByteArray good = "[Layers]\r\nVisible=1,1,1,1,1\r\nCurrent=1\r\n[MoveList]\r\nStart=10,10\r\n"
                            "Layer=1\r\nMode=13\r\nMove=20,20,3,0\r\n";
    QByteArray stroke = "[MoveList]\r\nStart=10,10\r\nLayer=1\r\nMode=13\r\n";
    stroke.reserve(16 << 20);
    for (int i = 0; i < 1000000; ++i)
        stroke += i % 2 ? "Move=10,10,1,0\r\n" : "Move=11,11,1,0\r\n";
    const QByteArray missingImages = QByteArray("[ImageStep]\r\nStart=1,1\r\nLayer=1\r\nMode=13\r\nImage=") +
                                     Folder.filePath("nowhere.png").toUtf8() + "\r\n";
    const QByteArray text = "[TextStep]\r\nStart=10,10\r\nLayer=1\r\nMode=13\r\nText=\"a\"\r\n";
    QByteArray binary(1 << 20, 0);
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 2654435761u) >> 13);
    const TFileCase cases[] = {
        {"Script", "truncated: a text section cut before its Transparent line", text, true},
        {"Script", "wrong sizes: numbers past the integer range",
         "[MoveList]\r\nStart=99999999999999999999,1\r\nLayer=4294967297\r\nMode=13\r\nMove=1,1,1,0\r\n",
         false},
        {"Script", "huge counts: a stroke of 1,000,000 points (15 MiB)", stroke, true},
        {"Script", "huge counts: 16 MiB of picture sections naming a missing file",
         missingImages.repeated(qsizetype(16 << 20) / missingImages.size() - 1), false},
        {"Script", "a 15 MiB line without its end",
         "[MoveList]\r\nLayer=1\r\nMode=13\r\nMove=" + QByteArray(15 << 20, '7'), false},
        {"Script", "beyond the size bound: 17 MiB", QByteArray(17 << 20, '['), true},
        {"Script", "binary bytes, 1 MiB", binary, false},
        {"Script", "zero size: an empty file", QByteArray(), false},
    };
    const QString script = Folder.filePath("script.tva");
    Write("script.tva", good);
    Restart("ScriptPath=" + Folder.path() + "\nScriptFile=" + script + "\n");
    ASSERT_TRUE(OpenDrawing());
    // The open dialog comes with the last script chosen in it, which Return loads.
    const auto load = [&](bool message) {
        KeyInDrawing("ctrl+alt+l");
        EXPECT_TRUE(WaitForTopLevel("Open", DialogLimitMs)) << "no open dialog";
        const auto dialog = TopLevelsNamed(Desktop.Display(), "Open");
        if (!dialog.empty()) Desktop.Xdotool(QString("windowfocus --sync %1").arg(dialog.front().Id));
        const TAnswer answer = Answer("key Return", message);
        EXPECT_FALSE(HasTopLevel("Open")) << "the open dialog stays";
        return answer;
    };
    const TAnswer loaded = load(false);
    EXPECT_FALSE(loaded.Message) << "the good script";
    ASSERT_EQ(PlacedSteps(), 1) << "the good script was not loaded";

    PrintHostileTableHead("Message shown");
    const auto check = [&](const char* kind, const char* malformation, bool message) {
        const TAnswer answer = load(message);
        PrintHostileRow(kind, malformation, Shown(answer, "(none: nothing placed)"), answer.Ms,
                        answer.PeakKiB);
        EXPECT_EQ(answer.Message, message) << malformation;
        ASSERT_TRUE(Running()) << malformation;
        EXPECT_EQ(PlacedSteps(), 1) << malformation << ": a step was placed";
        EXPECT_LT(answer.PeakKiB, PeakLimitKiB) << malformation;
    };
    for (const TFileCase& c : cases) {
        Write("script.tva", c.Bytes);
        check(c.Kind, c.Malformation, c.Message);
    }
    // A pipe where the script was: opening it must neither wait for a writer nor read forever.
    QFile::remove(script);
    ASSERT_EQ(mkfifo(QFile::encodeName(script).constData(), 0600), 0);
    check("Script", "a FIFO in the script's place", true);
}
