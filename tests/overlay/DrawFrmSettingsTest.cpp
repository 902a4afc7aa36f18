#include "DrawFrmFixture.h"

#include "cursors/CursorTable.h"
#include "model/TextForms.h"
#include "platform/KnownFolders.h"
#include "platform/ShortCutDispatcher.h"

namespace {

using DrawFrmSettings = DrawFrmFixture;

QString Caption(const QAction* item) {
    return ActionCaption(item).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

} // namespace

TEST_F(DrawFrmSettings, AnEmptyFileGivesEveryDefault) {
    ProgramFile("QzArrowLT.cur");
    ProgramFile("Forbidden.ico");
    auto form = MakeForm();
    const TColor colors[] = {clBlack, clRed, clLime, clNavy, clYellow};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(form->GetLayerWidth(n), 3) << n;
        EXPECT_EQ(form->GetLayerColor(n), colors[n - 1]) << n;
        EXPECT_TRUE(form->GetLayerTransparentFont(n)) << n;
        EXPECT_EQ(FontToText(form->GetLayerFont(n)), QStringLiteral("\"Times New Roman\";14;clBlack;Bold"))
            << n;
        // The built-in layer pointers.
        EXPECT_EQ(form->GetLayerCursor(n), n) << n;
    }
    EXPECT_TRUE(form->GetConfExit());
    EXPECT_EQ(form->GetSavePath(), GetMyPicturesFolder());
    EXPECT_EQ(form->GetScriptPath(), QString());
    // Slot 1's default picture is missing: two items, in slot order, with the slots' shortcuts.
    const QList<QAction*> stamps = form->Images1->actions();
    ASSERT_EQ(stamps.size(), 2);
    EXPECT_EQ(Caption(stamps[0]), ProgramDir() + "QzArrowLT.cur");
    EXPECT_EQ(ShortCutToText(ActionShortCut(stamps[0])), QStringLiteral("Shift+Ctrl+0"));
    EXPECT_EQ(Caption(stamps[1]), ProgramDir() + "Forbidden.ico");
    EXPECT_EQ(ShortCutToText(ActionShortCut(stamps[1])), QStringLiteral("Shift+Ctrl+2"));
    EXPECT_TRUE(form->Images1->isEnabled());
    // The current layer's pen and font are in force.
    EXPECT_EQ(form->GetCanvas().Pen.Width, 3);
    EXPECT_EQ(form->GetCanvas().Pen.Color, clBlack);
    EXPECT_EQ(form->GetCanvas().Font.Name, QStringLiteral("Times New Roman"));
}

TEST_F(DrawFrmSettings, StampSlotsTakeTheirFlagAndKeepTheirShortcut) {
    ProgramFile("pic.bmp");
    ProgramFile("a.png");
    ProgramFile("b&c.png");
    WriteIni("[Settings]\n"
             "Image0=missing.bmp;0\nImage1=\nImage2=\n"
             "Image3=pic.bmp;0\nImage4=a.png;\nImage5=a.png;x\nImage6=a.png;07\nImage7=a.png\n"
             "Image8=b&c.png;2\n");
    auto form = MakeForm();
    const QList<QAction*> stamps = form->Images1->actions();
    ASSERT_EQ(stamps.size(), 6);
    struct Expect {
        int Slot;
        const char* File;
        int Tag;
    } expected[] = {{3, "pic.bmp", 0}, {4, "a.png", 1}, {5, "a.png", 1},
                    {6, "a.png", 0},   {7, "a.png", 1}, {8, "b&c.png", 2}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Caption(stamps[i]), ProgramDir() + expected[i].File);
        EXPECT_EQ(stamps[i]->property("Tag").toInt(), expected[i].Tag);
        EXPECT_EQ(ShortCutToText(ActionShortCut(stamps[i])),
                  QStringLiteral("Shift+Ctrl+%1").arg(expected[i].Slot));
        EXPECT_TRUE(stamps[i]->isCheckable());
        EXPECT_FALSE(stamps[i]->isChecked());
    }
    // Choosing the first item picks the stamp tool with its file and flag.
    stamps[0]->trigger();
    EXPECT_EQ(form->GetTool(), dtImageStamp);
    EXPECT_EQ(form->GetStampFile(), ProgramDir() + "pic.bmp");
    EXPECT_EQ(form->GetStampTransparent(), 0);
    EXPECT_TRUE(stamps[0]->isChecked());
    EXPECT_TRUE(form->Images1->menuAction()->isChecked());
    stamps[1]->trigger();
    EXPECT_FALSE(stamps[0]->isChecked());
    EXPECT_TRUE(stamps[1]->isChecked());
    EXPECT_EQ(form->GetStampTransparent(), 1);

    // A reload rebuilds the menu unticked; the chosen stamp keeps working with its file.
    WriteIni("[Settings]\nImage0=\nImage1=\nImage2=\n");
    form->LoadSettings();
    EXPECT_TRUE(form->Images1->actions().isEmpty());
    EXPECT_FALSE(form->Images1->isEnabled());
    EXPECT_FALSE(form->Images1->menuAction()->isEnabled());
    EXPECT_EQ(form->GetTool(), dtImageStamp);
    EXPECT_EQ(form->GetStampFile(), ProgramDir() + "a.png");
}

TEST_F(DrawFrmSettings, UnreadableValuesGiveDefaultsAndNeverStopTheReload) {
    WriteIni("[Settings]\n"
             "DrawWidth1=abc\nDrawWidth2=0x10\nDrawWidth3=$20\nDrawWidth4=99999999\n"
             "DrawColor1=$0000FF\nDrawColor2=nonsense\nDrawColor3=clBlue\n"
             "TransparentFont3=0\nTransparentFont4=x\n"
             "ConfExit=0\nSavePath=/pics\nScriptPath=/scripts\nScriptFile=/scripts/a.tva\n");
    auto form = MakeForm();
    EXPECT_EQ(form->GetLayerWidth(1), 3);
    EXPECT_EQ(form->GetLayerWidth(2), 16);
    EXPECT_EQ(form->GetLayerWidth(3), 32);
    EXPECT_EQ(form->GetLayerWidth(4), 1000);
    EXPECT_EQ(form->GetLayerColor(1), clRed);
    // The bad colour gives the layer's own default, and the keys after it are still read.
    EXPECT_EQ(form->GetLayerColor(2), clRed);
    EXPECT_EQ(form->GetLayerColor(3), clBlue);
    EXPECT_FALSE(form->GetLayerTransparentFont(3));
    EXPECT_TRUE(form->GetLayerTransparentFont(4));
    EXPECT_FALSE(form->GetConfExit());
    EXPECT_EQ(form->GetSavePath(), QStringLiteral("/pics"));
    EXPECT_EQ(form->GetScriptPath(), QStringLiteral("/scripts"));
    EXPECT_EQ(form->GetScriptFile(), QStringLiteral("/scripts/a.tva"));
    // The first layer's pen carries its colour.
    EXPECT_EQ(form->GetCanvas().Pen.Color, clRed);
}

TEST_F(DrawFrmSettings, FontTextsReplaceOrPatchTheLayerFont) {
    auto form = MakeForm();
    WriteIni("[Settings]\n"
             "Font1=\"Arial\";xx;clRed;Italic\n"
             "Font2=\"Arial\";12;clRed\n"
             "Font3=\"Arial\";99999;clRed;Underline\n");
    form->LoadSettings();
    // A size that does not convert stops there: only the face changes.
    EXPECT_EQ(FontToText(form->GetLayerFont(1)), QStringLiteral("\"Arial\";14;clBlack;Bold"));
    // A whole text is the font, its styles included: Bold goes.
    EXPECT_EQ(FontToText(form->GetLayerFont(2)), QStringLiteral("\"Arial\";12;clRed"));
    // A size that would need a glyph cache beyond any screen is held.
    EXPECT_EQ(form->GetLayerFont(3).Size, 1000);
    EXPECT_EQ(form->GetCanvas().Font.Name, QStringLiteral("Arial"));
}

TEST_F(DrawFrmSettings, ALayerWithoutALoadableCursorShowsTheHand) {
    WriteIni("[Settings]\nCurrCursor2=/no/such/file.cur\n");
    auto form = MakeForm();
    EXPECT_EQ(form->GetLayerCursor(1), 1);
    EXPECT_EQ(form->GetLayerCursor(2), crHandPoint);
    Find(*form, "ALayer2")->trigger();
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(DrawFrmSettings, DestructionWritesFoldersFlagAndColoursButNeverAnEmptyScriptFile) {
    WriteIni("[Settings]\nScriptFile=/kept/last.tva\nSavePath=/shots\nScriptPath=/scripts\n"
             "[Colors]\nColorA=FF0000\nColorC=00FF00\n");
    {
        auto form = MakeForm();
        EXPECT_EQ(form->ColorDialog1.CustomColors, QStringList({"ColorA=FF0000", "ColorC=00FF00"}));
    }
    EXPECT_EQ(Setting("ScriptFile"), QStringLiteral("/kept/last.tva"));
    EXPECT_EQ(Setting("SavePath"), QStringLiteral("/shots"));
    EXPECT_EQ(Setting("ScriptPath"), QStringLiteral("/scripts"));
    EXPECT_EQ(Setting("ConfExit"), QStringLiteral("1"));
    EXPECT_EQ(Setting("ColorA", "Colors"), QStringLiteral("FF0000"));
    EXPECT_EQ(Setting("ColorB", "Colors"), QString());
    EXPECT_EQ(Setting("ColorC", "Colors"), QStringLiteral("00FF00"));
    EXPECT_EQ(Setting("ColorP", "Colors"), QString());

    // No script file ever: the key is not made up.
    WriteIni("");
    { auto form = MakeForm(); }
    EXPECT_EQ(Setting("ScriptFile"), QStringLiteral("<none>"));
}
