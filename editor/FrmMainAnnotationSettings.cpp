// The drawing settings of the frame annotations (colour, width, font, highlighter, stamps), written to
// the settings file as they change, and the per-position undo and redo.
#include "FrmMain.h"

#include "OptionsDlg.h"
#include "PaintBox.h"
#include "dialogs/PenWidth.h"
#include "model/TextForms.h"
#include "model/TextStep.h"
#include "pickers/ColorBox.h"
#include "pickers/FontPanel.h"
#include "pickers/FontSizeCheck.h"
#include "platform/ColorDialog.h"
#include "platform/Convert.h"
#include "platform/FontDialog.h"
#include "platform/IniFile.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"
#include "platform/WinMath.h"
#include "tools/StampMenu.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

namespace {

// The editor's own section of its settings file; the keys are data in users' files.
const QString Section = QStringLiteral("AviSettings");

} // namespace

void TFrmMain::CreateAnnotationSettingsActions() {
    auto action = [this](const char* name, const char* caption, const char* shortCut, int icon,
                         std::function<void()> handler) {
        QAction* a =
            NewAction(QString::fromLatin1(name), QString::fromLatin1(caption), {}, std::move(handler));
        if (*shortCut) SetActionShortCut(a, TextToShortCut(QString::fromLatin1(shortCut)));
        if (icon >= 0) a->setIcon(ImageList3[icon]);
        return a;
    };
    action("Color", "&Color", "", ToolIcons::ColorSwatch, [this] { ColorExecute(); });
    action("PenWidth", "Drawing &width", "", ToolIcons::PenWidth, [this] { PenWidthExecute(); });
    action("Highlighter", "&Highlighter mode", "Ctrl+H", -1, [this] {
        HighlighterExecute();
    })->setCheckable(true);
    action("Undo", "&Undo", "Ctrl+Z", ToolIcons::Undo, [this] { UndoExecute(); });
    action("Redo", "Re&do", "Shift+Ctrl+Z", ToolIcons::Redo, [this] { RedoExecute(); });
    action("Textstyle1", "Fo&nt...", "", ToolIcons::Font, [this] { Textstyle1Click(); });
    NewAction(QStringLiteral("Options1"), QStringLiteral("&Options..."), {}, [this] { Options1Click(); });
    NewAction(QStringLiteral("Drawingoptions1"), QStringLiteral("Drawing options..."), {},
              [this] { Options1Click(); });
    EditMenu->addAction(Action(QStringLiteral("Drawingoptions1")));
    EditMenu->menuAction()->setVisible(true);
    // The editor's dialogs live as long as the window.
    WidthDlg = new TWidthDlg(this);
    OptionsDlg = new TOptionsDlg(SettingsFile, ProgramDir, this);
    UpdateColorIcon(DrawColor);
}

void TFrmMain::UpdateAnnotationActions() {
    const bool current = FileOpen() && Edit.HasCurrent();
    // A disabled command's shortcut does nothing: the keys reach no other command.
    Action(QStringLiteral("Undo"))->setEnabled(current && Edit.StepPos >= 0);
    Action(QStringLiteral("Redo"))->setEnabled(current && Edit.StepPos < Edit.CurrentSteps().Count() - 1);
    for (const char* name : {"MenuItem2", "Copyscreenshot1", "Savepartial1"})
        if (QAction* a = Action(QString::fromLatin1(name))) a->setEnabled(current);
}

void TFrmMain::FocusAfterDialog() {
    if (TextEntryOpen())
        Edit3->setFocus();
    else
        setFocus();
}

// --- Colour, width, font, highlighter ---

void TFrmMain::UpdateColorIcon(TColor color) {
    if (ImageList3.size() <= ToolIcons::ColorSwatch) return;
    ImageList3[ToolIcons::ColorSwatch] = ToolIcons::ColorSwatchIcon(color);
    if (QAction* a = Action(QStringLiteral("Color"))) a->setIcon(ImageList3[ToolIcons::ColorSwatch]);
}

void TFrmMain::ColorExecute() {
    // The view pen stays as it is while a drag draws with it.
    if (Drawing) return;
    ColorDialog1.Color = DrawColor;
    activateWindow();
    const bool ok = AnnotationSeams.RunColorDialog ? AnnotationSeams.RunColorDialog(ColorDialog1, this)
                                                   : ColorDialog1.Execute(this);
    if (ok) {
        SetDrawColor(ColorDialog1.Color);
        TIniFile(SettingsFile)
            .WriteString(Section, QStringLiteral("DrawColor"), ColorToText(ColorDialog1.Color));
    }
    FocusAfterDialog();
}

void TFrmMain::PenWidthExecute() {
    if (Drawing) return;
    WidthDlg->Edit1->setText(QString::number(DrawWidth));
    WidthDlg->UpDown1->SetPosition(DrawWidth);
    const int result = AnnotationSeams.RunWidthDialog ? AnnotationSeams.RunWidthDialog(*WidthDlg)
                                                      : ExecModalOver(WidthDlg, this);
    if (result == mrOk) {
        DrawWidth = WidthDlg->UpDown1->Position();
        ViewCanvasPen.Width = MulDiv(DrawWidth, ZoomPercent, 100);
        TIniFile(SettingsFile).WriteInteger(Section, QStringLiteral("DrawWidth"), DrawWidth);
    }
    FocusAfterDialog();
}

void TFrmMain::Textstyle1Click() {
    if (Drawing) return;
    TFontDialog dialog;
    dialog.Font = TextFont;
    activateWindow();
    const bool ok =
        AnnotationSeams.RunFontDialog ? AnnotationSeams.RunFontDialog(dialog, this) : dialog.Execute(this);
    if (ok) {
        TFont font = dialog.Font;
        HoldFontSize(font, dialog.MinFontSize, dialog.MaxFontSize);
        TextFont = font;
        Entry->FollowFont(TextCanvas());
        TIniFile(SettingsFile).WriteString(Section, QStringLiteral("Font"), FontToText(font));
    }
    // Whatever the answer, a text being typed takes the font now chosen.
    if (TextEntryOpen() && Entry->Step()) Entry->Step()->Font = TextFont;
    FocusAfterDialog();
}

bool TFrmMain::GetHighlighter() const {
    const QAction* a = Action(QStringLiteral("Highlighter"));
    return a && a->isChecked();
}

void TFrmMain::HighlighterExecute() {
    // The highlighter combines the pen colour with what lies below by a bitwise AND.
    ViewCanvasPen.Mode = GetHighlighter() ? pmMask : pmCopy;
}

void TFrmMain::Options1Click() {
    const int result = AnnotationSeams.RunOptionsDialog ? AnnotationSeams.RunOptionsDialog(*OptionsDlg)
                                                        : ExecModalOver(OptionsDlg, this);
    if (result != mrOk) return;
    // The dialog has written its settings already: only what the window shows is taken over.
    DrawWidth = OptionsDlg->UpDown1->Position();
    SetDrawColor(OptionsDlg->ColorBox1->Selected());
    TextFont = OptionsDlg->PanelFont1->Font();
    ViewCanvasPen.Width = MulDiv(DrawWidth, ZoomPercent, 100);
    LoadStamps();
}

// --- Undo and redo ---

void TFrmMain::UndoExecute() {
    EndTextEntry();
    if (Drawing || !FileOpen() || !Edit.HasCurrent() || Edit.StepPos < 0) return;
    --Edit.StepPos;
    PaintBox2->update();
}

void TFrmMain::RedoExecute() {
    EndTextEntry();
    if (Drawing || !FileOpen() || !Edit.HasCurrent()) return;
    if (Edit.StepPos >= Edit.CurrentSteps().Count() - 1) return;
    ++Edit.StepPos;
    PaintBox2->update();
}

// --- Stamps ---

void TFrmMain::LoadStamps() {
    if (!Images1) return;
    const TIniFile ini(SettingsFile);
    const bool atStart = !StampsLoaded;
    const bool enabled = Images1->menuAction()->isEnabled();
    StampsLoaded = true;
    FillStampMenu(
        Images1, ini, Section, [](int) { return QString(); }, ProgramDir,
        [this](QAction* item) {
            RunCommand([this, item] { Images1Click(item); });
            RunCommand([this] { UpdateActions(); });
        });
    // Only the start-up disables an empty menu; a later rebuild keeps its state.
    if (!atStart && Images1->actions().isEmpty()) {
        Images1->setEnabled(enabled);
        Images1->menuAction()->setEnabled(enabled);
    }
}
