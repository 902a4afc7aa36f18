#include "model/AnnotationScript.h"
#include "model/DrawSteps.h"
#include "model/LoadedStepBounds.h"
#include "overlay/LayerModel.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "support/PeakMemory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString IconPath = QStringLiteral(TAVELIN_BINARY_DIR "/Forbidden.ico");

// The drawing window's side of the text, over the real layer model.
class TModelTarget : public TAnnotationTarget {
public:
    TLayerModel Model;
    bool Visible[LayerCount + 1] = {false, true, true, true, true, true};
    int Current = 3;
    QStringList Calls;

    bool GetLayerVisible(int layer) const override { return Visible[layer]; }
    void SetLayerVisible(int layer, bool visible) override {
        Visible[layer] = visible;
        Calls << QString("Visible%1=%2").arg(layer).arg(visible);
    }
    int GetCurrLayer() const override { return Current; }
    void SetCurrLayer(int layer) override {
        Current = layer;
        Calls << QString("Current=%1").arg(layer);
    }
    void PlaceLoaded(std::unique_ptr<TDrawStep> step) override {
        const int layer = step->Layer;
        EXPECT_TRUE(Model.PlaceLoaded(std::move(step))) << "layer " << layer;
    }
    const std::vector<TDrawStep*>& PaintList() const override { return Model.PaintList(); }

    QStringList Written() const {
        QStringList lines;
        WriteScript(*this, lines);
        return lines;
    }
};

QStringList Lines(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split('\n');
}

// The state a reading leaves, written back as text; a thrown conversion error's message after it.
QString ReadAndWriteBack(const QString& text) {
    TModelTarget target;
    QString error;
    try {
        ReadScript(target, Lines(QString(text).replace("%ICO%", IconPath)));
    } catch (const EConvertError& e) {
        error = "\nerror: " + e.message();
    }
    return target.Written().join('\n').replace(IconPath, "%ICO%") + error;
}

// What an untouched window writes: all layers visible, layer 3 current.
const QString Untouched = "[Layers]\nVisible=-1,-1,-1,-1,-1\nCurrent=3";

struct TReadCase {
    const char* Name;
    const char* Text;
    const char* Expected; // after the untouched [Layers] section, or the whole text when it starts with "["
};

void PrintTo(const TReadCase& c, std::ostream* os) {
    *os << c.Name;
}

QString Expectation(const TReadCase& c) {
    const QString expected = c.Expected;
    if (expected.startsWith("[Layers]")) return expected;
    return expected.isEmpty() ? Untouched : Untouched + '\n' + expected;
}

const TReadCase ReadCases[] = {
    {"EmptyTextChangesNothing", "", ""},
    {"HeadersInAnyLetterCase", "[layers]\nCurrent=2\n[movelist]\nLayer=1\nMode=4\nMove=1,2,3,clRed",
     "[Layers]\nVisible=-1,-1,-1,-1,-1\nCurrent=2\n[MoveList]\nStart=0,0\nLayer=1\nMode=4\nMove=1,2,3,clRed"},
    {"BlankAfterTheBracketKeepsItInTheName", "[MoveList] \nLayer=1\nMode=4\nMove=1,2,3,clRed", ""},
    {"BlankBeforeTheBracketIsNoHeader", "[Layers]\nCurrent=2\n [MoveList]\nLayer=1\nMode=4\nMove=1,2,3,clRed",
     "[Layers]\nVisible=-1,-1,-1,-1,-1\nCurrent=2"},
    {"LinesBeforeTheFirstHeaderAndOtherSectionsAreIgnored",
     "Layer=1\nMode=4\nMove=1,2,3,clRed\n[Other]\nLayer=1\nMode=4\nMove=1,2,3,clRed", ""},
    {"EmptyQuotedText", "[TextStep]\nLayer=1\nMode=4\nText=\"\"\nTransparent=0",
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"\"\nFont=\"MS Sans "
     "Serif\";8;clWindowText\nTransparent=0"},
    {"QuotesInsideAndAtTheEndsOfATextStay",
     "[TextStep]\nLayer=1\nMode=4\nText=\"\"a\" = b\"\"\nFont=\"Arial\";12;clRed;Italic\nTransparent=-1",
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"\"a\" = b\"\"\nFont=\"Arial\";12;clRed;Italic\n"
     "Transparent=-1"},
    {"UnquotedTextIsTakenAsItStands", "[TextStep]\nLayer=1\nMode=4\nText=a b\nTransparent=true",
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"a b\"\nFont=\"MS Sans Serif\";8;clWindowText\n"
     "Transparent=-1"},
    {"StrokeKeepsItsGoodPoints",
     "[MoveList]\nStart=5,6\nLayer=2\nMode=12\nMove=1,2,3,clRed\nMove=1,2,3\nmove=7,8,9,$00102030",
     "[MoveList]\nStart=5,6\nLayer=2\nMode=12\nMove=1,2,3,clRed\nMove=7,8,9,$00102030"},
    {"StrokeWithoutAGoodPointIsDropped",
     "[MoveList]\nLayer=2\nMode=4\nMove=1,2,3\nMove=a,2,3,clRed\nMove=1,2,3,clNoSuch", ""},
    {"LineTakesItsFirstMoveLine",
     "[LineStep]\nStart=10,200\nLayer=2\nMode=4\nMove=250,200,3,clRed\nMove=1,1,1,clBlack",
     "[LineStep]\nStart=10,200\nLayer=2\nMode=4\nMove=250,200,3,clRed"},
    {"LineWithABadEndIsDropped", "[LineStep]\nLayer=2\nMode=4\nMove=250,200,3", ""},
    {"MissingTransparentStopsTheReadingAfterEarlierSteps",
     "[LineStep]\nLayer=2\nMode=4\nMove=250,200,3,clRed\n[TextStep]\nLayer=1\nMode=4\nText=\"x\"\n"
     "[LineStep]\nLayer=3\nMode=4\nMove=1,1,1,clRed",
     "[LineStep]\nStart=0,0\nLayer=2\nMode=4\nMove=250,200,3,clRed\nerror: '' is not a valid boolean value"},
    {"TransparentThatIsNoBooleanStopsTheReading", "[TextStep]\nLayer=1\nMode=4\nText=\"x\"\nTransparent=yes",
     "error: 'yes' is not a valid boolean value"},
    {"CurrentTakesItsFirstCharacter", "[Layers]\nCurrent=12", "[Layers]\nVisible=-1,-1,-1,-1,-1\nCurrent=1"},
    {"CurrentZeroIsIgnored", "[Layers]\nCurrent=0", ""},
    {"CurrentWordIsIgnored", "[Layers]\nCurrent=x", ""},
    {"VisibleWithTwoItemsLeavesTheOtherLayers", "[Layers]\nVisible=0,0",
     "[Layers]\nVisible=0,0,-1,-1,-1\nCurrent=3"},
    {"VisibleItemsAfterTheFifthAreIgnored", "[Layers]\nVisible=-1, 0,true,FALSE,2,junk",
     "[Layers]\nVisible=-1,0,-1,0,-1\nCurrent=3"},
    {"VisibleItemThatIsNoBooleanStopsTheReading",
     "[Layers]\nCurrent=5\nVisible=0,maybe,0\n[LineStep]\nLayer=2\nMode=4\nMove=250,200,3,clRed",
     "[Layers]\nVisible=0,-1,-1,-1,-1\nCurrent=5\nerror: 'maybe' is not a valid boolean value"},
    {"EachLayersSectionIsAppliedWhenItEnds",
     "[LineStep]\nLayer=2\nMode=4\nMove=1,1,1,clRed\n[Layers]\nCurrent=4\nVisible=0\n[Layers]\nVisible=-1,0",
     "[Layers]\nVisible=-1,0,-1,-1,-1\nCurrent=4\n[LineStep]\nStart=0,0\nLayer=2\nMode=4\nMove=1,1,1,clRed"},
    {"ModeKeepsItsLowByte", "[LineStep]\nLayer=1\nMode=260\nMove=1,1,1,clRed",
     "[LineStep]\nStart=0,0\nLayer=1\nMode=4\nMove=1,1,1,clRed"},
    {"StartMayBeMissingOrHoldOneNumber",
     "[LineStep]\nLayer=1\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nStart=7\nLayer=1\nMode=4\nMove=1,1,1,clRed",
     "[LineStep]\nStart=0,0\nLayer=1\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nStart=7,0\nLayer=1\nMode=4\n"
     "Move=1,1,1,clRed"},
    {"BadCommonLinesDropTheSection",
     "[LineStep]\nStart=7,x\nLayer=1\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nMode=4\nMove=1,1,1,clRed\n"
     "[LineStep]\nLayer =1\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nLayer=1\nMode=normal\nMove=1,1,1,clRed",
     ""},
    {"StepsOutsideTheFiveLayersAreDropped",
     "[LineStep]\nLayer=0\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nLayer=6\nMode=4\nMove=1,1,1,clRed\n"
     "[LineStep]\nLayer=-1\nMode=4\nMove=1,1,1,clRed\n[LineStep]\nLayer=5\nMode=4\nMove=1,1,1,clRed",
     "[LineStep]\nStart=0,0\nLayer=5\nMode=4\nMove=1,1,1,clRed"},
    {"ShapeReadsEndAndType",
     "[EllipseRect]\nStart=40,40\nLayer=2\nMode=12\nEnd=300,90,3,clYellow\nType=0,1,0",
     "[EllipseRect]\nStart=40,40\nLayer=2\nMode=12\nEnd=300,90,3,clYellow\nType=0,-1,0"},
    {"ShapeWithABadEndOrTypeIsDropped",
     "[EllipseRect]\nLayer=2\nMode=4\nEnd=300,90,3\nType=0,0,0\n[EllipseRect]\nLayer=2\nMode=4\nEnd=1,1,1,"
     "clRed\n"
     "Type=0,0\n[EllipseRect]\nLayer=2\nMode=4\nEnd=1,1,1,clRed\nType=0,0,0,0\n[EllipseRect]\nLayer=2\nMode="
     "4\n"
     "End=1,1,1,clRed",
     ""},
    {"StampWithItsFlag", "[ImageStep]\nStart=300,300\nLayer=1\nMode=4\nImage=\"%ICO%\",0",
     "[ImageStep]\nStart=300,300\nLayer=1\nMode=4\nImage=\"%ICO%\",0"},
    {"StampWithoutAFlagIsTransparent", "[ImageStep]\nLayer=1\nMode=4\nImage=%ICO%",
     "[ImageStep]\nStart=0,0\nLayer=1\nMode=4\nImage=\"%ICO%\",-1"},
    {"StampOfAMissingOrEmptyFileIsDropped",
     "[ImageStep]\nLayer=1\nMode=4\nImage=\"/no/such/file.ico\",0\n[ImageStep]\nLayer=1\nMode=4\nImage=\n"
     "[ImageStep]\nLayer=1\nMode=4\nImage=\"\",0",
     ""},
    {"StampFlagThatIsNoBooleanStopsTheReading", "[ImageStep]\nLayer=1\nMode=4\nImage=\"%ICO%\",no",
     "error: 'no' is not a valid boolean value"},
    {"NumbersThatNoCanvasCouldDrawAreClamped",
     "[MoveList]\nStart=-2000000000,2000000000\nLayer=1\nMode=4\nMove=5000000,-5000000,1000000,clRed\n"
     "Move=1,2,-5,clRed\n[EllipseRect]\nLayer=1\nMode=4\nEnd=300000,90,2147483647,clRed\nType=0,0,0\n"
     "[TextStep]\nLayer=1\nMode=4\nText=\"x\"\nFont=\"Arial\";1000000;clRed\nTransparent=0\n"
     "[TextStep]\nLayer=1\nMode=4\nText=\"y\"\nFont=\"Arial\";-3;clRed\nTransparent=0\n"
     "[TextStep]\nLayer=1\nMode=4\nText=\"z\"\nFont=\"Arial\";-2000000;clRed\nTransparent=0",
     "[MoveList]\nStart=-100000,100000\nLayer=1\nMode=4\nMove=100000,-100000,1000,clRed\nMove=1,2,0,clRed\n"
     "[EllipseRect]\nStart=0,0\nLayer=1\nMode=4\nEnd=100000,90,1000,clRed\nType=0,0,0\n"
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"x\"\nFont=\"Arial\";1000;clRed\nTransparent=0\n"
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"y\"\nFont=\"Arial\";-3;clRed\nTransparent=0\n"
     "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"z\"\nFont=\"Arial\";-1000;clRed\nTransparent=0"},
};

class AnnotationRead : public testing::TestWithParam<TReadCase> {};

TEST_P(AnnotationRead, LeavesTheWindowAsExpected) {
    EXPECT_EQ(ReadAndWriteBack(GetParam().Text), Expectation(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Cases, AnnotationRead, testing::ValuesIn(ReadCases),
                         [](const testing::TestParamInfo<TReadCase>& info) {
                             return std::string(info.param.Name);
                         });

const char* const SampleText = R"([Layers]
Visible=-1,-1,-1,-1,-1
Current=2
[MoveList]
Start=100,120
Layer=1
Mode=4
Move=104,122,3,clBlack
Move=110,125,3,clBlack
[EllipseRect]
Start=40,40
Layer=2
Mode=12
End=300,90,3,clYellow
Type=-1,-1,0
[LineStep]
Start=10,200
Layer=2
Mode=4
Move=250,200,3,clRed
[TextStep]
Start=50,60
Layer=1
Mode=4
Text="My"
Font="Times New Roman";14;clBlack;Bold
Transparent=-1
[ImageStep]
Start=300,300
Layer=1
Mode=4
Image="Forbidden.ico",0)";

// The stamp's relative name is looked up where the program runs, as a script's own names are.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const QString& folder) : Saved(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~CurrentFolderScope() { QDir::setCurrent(Saved); }

private:
    QString Saved;
};

TEST(AnnotationScript, SampleTextReadIntoAnEmptyWindowWritesBackTheSame) {
    CurrentFolderScope folder(TAVELIN_BINARY_DIR);
    TModelTarget target;
    const QStringList sample = QString(SampleText).split('\n');
    ReadScript(target, sample);
    EXPECT_EQ(target.Written(), sample);
    // Each layer holds its steps in paint order, all done.
    ASSERT_EQ(target.Model.Steps(1).size(), 3u);
    ASSERT_EQ(target.Model.Steps(2).size(), 2u);
    EXPECT_EQ(target.Model.Pos(1), 2);
    EXPECT_EQ(target.Model.Pos(2), 1);
    EXPECT_EQ(dynamic_cast<TTextStep&>(*target.Model.Steps(1)[1]).Font,
              (TFont{"Times New Roman", 14, clBlack, fsBold, 1}));
}

TEST(AnnotationScript, ReadingAgainAddsCopiesAboveAndLayersApplyInTextOrder) {
    CurrentFolderScope folder(TAVELIN_BINARY_DIR);
    TModelTarget target;
    const QStringList sample = QString(SampleText).split('\n');
    ReadScript(target, sample);
    target.Calls.clear();
    ReadScript(target, sample);
    EXPECT_EQ(target.PaintList().size(), 10u);
    EXPECT_EQ(target.Calls, QStringList({"Current=2", "Visible1=1", "Visible2=1", "Visible3=1", "Visible4=1",
                                         "Visible5=1"}));
    QStringList twice = sample;
    twice += sample.mid(3);
    EXPECT_EQ(target.Written(), twice);
}

TEST(AnnotationScript, WriterSkipsUndoneStepsAndKeepsHiddenLayers) {
    TModelTarget target;
    auto line = [](int layer, int x) {
        auto step = std::make_unique<TLineStep>();
        step->Layer = layer;
        step->Mode = pmCopy;
        step->StartX = x;
        step->EndPoint.Width = 3;
        return step;
    };
    target.Model.AppendToPaintList(target.Model.InsertDrawn(4, line(4, 1)));
    target.Model.AppendToPaintList(target.Model.InsertDrawn(1, line(1, 2)));
    target.Model.AppendToPaintList(target.Model.InsertDrawn(1, line(1, 3)));
    target.Model.Undo(1);
    target.Visible[4] = false;
    target.Current = 1;
    EXPECT_EQ(target.Written().join('\n'), "[Layers]\nVisible=-1,-1,-1,0,-1\nCurrent=1\n"
                                           "[LineStep]\nStart=1,0\nLayer=4\nMode=4\nMove=0,0,3,clBlack\n"
                                           "[LineStep]\nStart=2,0\nLayer=1\nMode=4\nMove=0,0,3,clBlack");
}

TEST(AnnotationScript, LoadedStepTakesThePlaceOfTheNextUndoneStep) {
    TModelTarget target;
    for (int x : {1, 2, 3}) {
        auto step = std::make_unique<TLineStep>();
        step->Layer = 2;
        step->StartX = x;
        target.Model.AppendToPaintList(target.Model.InsertDrawn(2, std::move(step)));
    }
    target.Model.Undo(2);
    target.Model.Undo(2);
    ReadScript(target, Lines("[LineStep]\nStart=9,9\nLayer=2\nMode=4\nMove=1,1,1,clRed"));
    ASSERT_EQ(target.Model.Steps(2).size(), 3u);
    EXPECT_EQ(target.Model.Steps(2)[1]->StartX, 9);
    EXPECT_EQ(target.Model.Steps(2)[2]->StartX, 3);
    EXPECT_TRUE(target.Model.CanRedo(2));
}

TEST(AnnotationScript, StampPathWithACommaReadsBackWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a,b.ico");
    ASSERT_TRUE(QFile::copy(IconPath, path));
    TModelTarget source;
    auto stamp = std::make_unique<TImageStep>();
    stamp->Layer = 1;
    stamp->Mode = pmCopy;
    stamp->FileName = path;
    source.Model.PlaceLoaded(std::move(stamp));

    TModelTarget target;
    ReadScript(target, source.Written());
    ASSERT_EQ(target.PaintList().size(), 1u);
    const auto& read = dynamic_cast<const TImageStep&>(*target.PaintList()[0]);
    EXPECT_EQ(read.FileName, path);
    EXPECT_FALSE(read.Transparent);
}

// Steps that a script may hold at the bounds still draw, promptly and without exhausting memory.
TEST(AnnotationScript, ClampedStepsDraw) {
    TModelTarget target;
    ReadScript(
        target,
        Lines("[MoveList]\nStart=-2000000000,-2000000000\nLayer=1\nMode=4\n"
              "Move=2000000000,2000000000,2000000000,clRed\nMove=-2000000000,2000000000,2000000000,clRed\n"
              "[EllipseRect]\nStart=-2000000000,-2000000000\nLayer=1\nMode=14\n"
              "End=2000000000,2000000000,2000000000,clRed\nType=0,-1,0\n"
              "[EllipseRect]\nStart=-2000000000,5\nLayer=1\nMode=4\nEnd=2000000000,9,2000000000,clRed\n"
              "Type=-1,0,-1\n"
              "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"Big\"\nFont=\"Arial\";2000000000;clRed\n"
              "Transparent=0"));
    ASSERT_EQ(target.PaintList().size(), 4u);
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(0xFFFFFFFF);
    Canvas canvas(image);
    canvas.Brush.Style = TBrushStyle::bsClear;
    for (const TDrawStep* step : target.PaintList())
        step->Draw(canvas);
    EXPECT_NE(image.pixel(160, 100), 0xFFFFFFFFu);
}

// A pasted or loaded text may ask for any amount of drawing within the bounds of its numbers. A text
// whose repaint would take seconds is refused whole: nothing of it is placed, not even the layer
// state before it, and memory stays in proportion to the text.
TEST(AnnotationScript, TextsThatAskForTooMuchDrawingAreRefusedWhole) {
    QString stroke = "[Layers]\nVisible=0,0,0,0,0\nCurrent=1\n[MoveList]\nStart=0,0\nLayer=1\nMode=4\n";
    for (int i = 0; i < 20000; ++i)
        stroke += QStringLiteral("Move=%1,%2,1000,clRed\n").arg(i % 1920).arg(i % 1080);
    QString outside;
    for (int i = 0; i < 10000; ++i)
        outside += "[EllipseRect]\nStart=10,10\nLayer=2\nMode=4\nEnd=20,20,1,clRed\nType=-1,0,-1\n";
    const QString longText = "[TextStep]\nStart=0,0\nLayer=1\nMode=4\nText=\"" + QString(1000000, 'W') +
                             "\"\nFont=\"Arial\";1000;clRed\nTransparent=-1\n";
    for (const QString* text : std::initializer_list<const QString*>{&stroke, &outside, &longText}) {
        TModelTarget target;
        const TPeakMemoryGrowth growth;
        try {
            ReadScript(target, Lines(*text));
            ADD_FAILURE() << "read";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.message(), TooMuchDrawingMessage);
        }
        EXPECT_TRUE(target.PaintList().empty());
        EXPECT_TRUE(target.Calls.isEmpty()) << target.Calls.join(' ').toStdString();
        EXPECT_LT(growth.MiB(), 64) << "a text of " << text->size() << " characters";
    }

    // What the window itself makes is far within the bound: a thousand strokes of a hundred points.
    QString drawn;
    for (int s = 0; s < 1000; ++s) {
        drawn += QStringLiteral("[MoveList]\nStart=%1,100\nLayer=1\nMode=12\n").arg(s % 1900);
        for (int i = 0; i < 100; ++i)
            drawn += QStringLiteral("Move=%1,%2,40,clYellow\n").arg(s % 1900 + i).arg(100 + i * 5);
    }
    TModelTarget target;
    ReadScript(target, Lines(drawn));
    EXPECT_EQ(target.PaintList().size(), 1000u);
}

// A conversion error still ends the reading where it stands, with what came before it placed.
TEST(AnnotationScript, AConversionErrorKeepsWhatCameBeforeIt) {
    TModelTarget target;
    EXPECT_THROW(ReadScript(target, Lines("[LineStep]\nStart=1,1\nLayer=2\nMode=4\nMove=5,5,1,clRed\n"
                                          "[Layers]\nCurrent=4\nVisible=-1,x\n"
                                          "[LineStep]\nStart=1,1\nLayer=2\nMode=4\nMove=5,5,1,clRed\n")),
                 EConvertError);
    EXPECT_EQ(target.PaintList().size(), 1u);
    EXPECT_EQ(target.Calls, QStringList({"Current=4", "Visible1=1"}));
}

} // namespace
