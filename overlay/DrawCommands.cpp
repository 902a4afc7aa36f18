// The drawing window's commands: colour, pen width and font of a layer, the colour swatch, the choice
// of tool, the plain keys, options, the close command, the reaction to losing the focus, and help.
#include "Draw.h"

#include "MessageDlgWithCheck.h"
#include "dialogs/PenWidth.h"
#include "model/TextForms.h"
#include "model/TextStep.h"
#include "platform/ComponentTag.h"
#include "platform/Convert.h"
#include "platform/FontDialog.h"
#include "platform/Help.h"
#include "platform/IniFile.h"
#include "platform/MessageDlg.h"
#include "platform/ModalDialog.h"
#include "platform/ShortCut.h"
#include "platform/UpDownEdit.h"
#include "settings/TavelinSettings.h"
#include "tools/ToolChoice.h"
#include "tools/ToolIcons.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

using namespace TavelinSettings;

namespace {

// The font dialog's size range; a size outside it is corrected with a message.
constexpr int MinFontSize = 4;
constexpr int MaxFontSize = 100;

} // namespace

void TDrawFrm::RestoreFocus() {
    if (TextEntryOpen())
        Edit1->setFocus();
    else
        setFocus();
}

void TDrawFrm::ColorExecute() {
    // The layer's pen stays as it was while a drag draws with it.
    if (Drawing) return;
    ColorDialog1.Color = LayerSettings[CurrLayer].Color;
    const bool ok =
        Seams.RunColorDialog ? Seams.RunColorDialog(ColorDialog1, this) : ColorDialog1.Execute(this);
    if (ok) {
        SetLayerColor(CurrLayer, ColorDialog1.Color);
        WriteSetting(Keys::DrawColor.At(CurrLayer).Name, ColorToText(ColorDialog1.Color));
    }
    RestoreFocus();
}

void TDrawFrm::PenWidthExecute() {
    if (Drawing) return;
    std::unique_ptr<TWidthDlg> own;
    TWidthDlg* dialog = WidthDlg;
    if (!dialog) {
        own = std::make_unique<TWidthDlg>(this);
        dialog = own.get();
    }
    dialog->Edit1->setText(QString::number(LayerSettings[CurrLayer].Width));
    dialog->UpDown1->SetPosition(LayerSettings[CurrLayer].Width);
    const int result = Seams.RunWidthDialog ? Seams.RunWidthDialog(*dialog) : ExecModalOver(dialog, this);
    if (result == mrOk) {
        const int width = dialog->UpDown1->Position();
        SetLayerWidth(CurrLayer, width);
        TIniFile ini(SettingsFile);
        Keys::DrawWidth.At(CurrLayer).Write(ini, Section, width);
    }
    RestoreFocus();
}

void TDrawFrm::Textstyle1Click() {
    if (Drawing) return;
    TFontDialog dialog;
    dialog.MinFontSize = MinFontSize;
    dialog.MaxFontSize = MaxFontSize;
    dialog.Font = WindowCanvas->Font;
    const bool ok = Seams.RunFontDialog ? Seams.RunFontDialog(dialog, this) : dialog.Execute(this);
    if (ok) {
        TFont font = dialog.Font;
        if (font.Size < dialog.MinFontSize) {
            MessageDlg(QStringLiteral("Font size less than minimum.\r\nUsing 4 as font size"), mtError, mbOK,
                       this);
            font.Size = dialog.MinFontSize;
        }
        if (font.Size > dialog.MaxFontSize) {
            MessageDlg(QStringLiteral("Font size greater than maximum.\r\nUsing 100 as font size"), mtError,
                       mbOK, this);
            font.Size = dialog.MaxFontSize;
        }
        WindowCanvas->Font = font;
        Entry->FollowFont(*WindowCanvas);
        LayerSettings[CurrLayer].Font = font;
        WriteSetting(Keys::Font.At(CurrLayer).Name, FontToText(font));
    }
    if (TextEntryOpen() && Entry->Step()) {
        Entry->Step()->Font = WindowCanvas->Font;
        Edit1->setFocus();
    } else {
        setFocus();
    }
}

void TDrawFrm::UpdateColorIcon(TColor color) {
    ImageList1[ToolIcons::ColorSwatch] = ToolIcons::ColorSwatchIcon(color);
    if (QAction* action = Action(QStringLiteral("Color")))
        action->setIcon(ImageList1[ToolIcons::ColorSwatch]);
}

void TDrawFrm::DrawToolExecute(QAction* action) {
    EndPartialSelection(true, true);
    EndTextEntry();
    if (Drawing || !action) return;
    const int tool = Tag(action) - 1;
    if (tool == Tool) return;
    UncheckTools();
    action->setChecked(true);
    const int image = ToolChoice::ChosenImage(action->objectName());
    action->setIcon(image >= 0 ? ImageList1[image] : QIcon());
    SetTool(tool);
}

void TDrawFrm::SetTool(int tool) {
    Tool = tool;
}

void TDrawFrm::Config1Click() {
    // A reload would change the pen of a running drag.
    if (Drawing) return;
    if (ShowOptions) ShowOptions(CurrLayer - 1, this);
    LoadSettings();
    SetCurrLayer(CurrLayer);
}

void TDrawFrm::Close1Click() {
    if (SavePartial) {
        EndPartialSelection(true, false);
        return;
    }
    if (CopyPartial) {
        EndPartialSelection(false, true);
        return;
    }
    if (Drawing) {
        if (Tools.Kind() == TDragKind::Window) return;
        // The step being drawn is finished where the pointer is, then undone: redo brings it back.
        const QPoint at = Seams.CursorPos ? Seams.CursorPos() : QPoint(Tools.LastX(), Tools.LastY());
        FormMouseUp(mbLeft, 0, at.x(), at.y());
        UndoExecute();
        return;
    }
    if (!ConfExit || !Modified) {
        close();
        return;
    }
    bool dontAskAgain = false;
    const int answer = MessageDlgWithCheck(
        QStringLiteral("If you close now, all changes will be lost. Confirm closing?"), mtConfirmation,
        mbYesNo, dontAskAgain, QStringLiteral("Don't show this dialog again"), QStringLiteral("Confirm exit"),
        this);
    if (dontAskAgain) ConfExit = false;
    if (answer == mrYes) close();
    if (dontAskAgain) {
        TIniFile ini(SettingsFile);
        Keys::ConfExit.Write(ini, Section, false);
    }
}

void TDrawFrm::FormKeyDown(uint8_t key, TShiftState shift) {
    if (TextEntryOpen()) return;
    switch (key) {
    case VKey::Esc:
        if (SavePartial)
            EndPartialSelection(true, false);
        else if (CopyPartial)
            EndPartialSelection(false, true);
        else
            Close1Click();
        return;
    case 'F':
        DrawToolExecute(Action(QStringLiteral("FreeHand")));
        return;
    case 'L':
        DrawToolExecute(Action(QStringLiteral("Line")));
        return;
    case 'R':
        DrawToolExecute(Action(QStringLiteral("Rectangle")));
        return;
    case 'E':
        DrawToolExecute(Action(QStringLiteral("Ellipse")));
        return;
    case 'T':
        DrawToolExecute(Action(QStringLiteral("Text")));
        return;
    case 'H': {
        if (Drawing) return;
        QAction* highlighter = Action(QStringLiteral("Highlighter"));
        highlighter->setChecked(!highlighter->isChecked());
        ChangeMode1Click();
        return;
    }
    case 'Z':
        UndoExecute();
        return;
    default:
        break;
    }
    if (key >= '1' && key <= '5') CurrLayerClick(ALayerAction(key - '0'));
    (void)shift;
}

void TDrawFrm::keyPressEvent(QKeyEvent* event) {
    const uint8_t key = KeyFromKeyEvent(*event);
    const TShiftState shift = ShiftStateOf(event->modifiers(), QGuiApplication::mouseButtons());
    RunCommand([&] { FormKeyDown(key, shift); });
    RunCommand([this] { UpdateActions(); });
}

void TDrawFrm::ApplicationEvents1Deactivate() {
    if (Drawing) Close1Click();
}

void TDrawFrm::contextMenuEvent(QContextMenuEvent* event) {
    // A menu would take the mouse from a running drag, and its release with it.
    if (Drawing) return;
    RunCommand([this] { UpdateActions(); });
    QMenu* menu = TextEntryOpen() ? PopupMenu2 : PopupMenu1;
    menu->popup(event->globalPos());
}

void TDrawFrm::Help1Click() {
    ShowHelp(HelpFile, HelpContextId, this);
}
