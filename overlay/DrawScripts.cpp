// The "Annotations" commands: the annotations saved to a script file and loaded back, and copied to
// and pasted from the clipboard as the same text.
#include "Draw.h"

#include "BusyScope.h"
#include "ScriptFileDialog.h"
#include "model/AnnotationScript.h"
#include "model/AnnotationText.h"
#include "platform/Exceptions.h"
#include "platform/MessageDlg.h"
#include "platform/RegularFile.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/WholeFile.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

namespace {

// Description and pattern pairs, separated by "|", the first entry chosen when a dialog opens.
const QString ScriptFilter = QStringLiteral("Tavelin annotations|*.tva|All files|*.*");
// Added to a name typed without an extension.
const QString ScriptSuffix = QStringLiteral("TVA");
const QString OverwriteCaption = QStringLiteral("Save annotations");
// Far beyond any script the window could write (a full screen of strokes is a few MiB), yet small
// enough that a huge file chosen by mistake is refused before it is read into memory.
constexpr qint64 MaxScriptBytes = qint64(16) << 20;

QByteArray ReadScriptFile(const QString& fileName) {
    const QString shown = QDir::toNativeSeparators(fileName);
    QFile file;
    QString reason;
    if (!OpenRegularFile(file, fileName, reason))
        throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(shown, reason));
    // The size is checked before reading and the reading itself is bounded, in case the file grows
    // between the two.
    if (file.size() > MaxScriptBytes) throw EReadError(QStringLiteral("Stream read error"));
    QByteArray data = file.read(MaxScriptBytes + 1);
    if (file.error() != QFileDevice::NoError || data.size() > MaxScriptBytes)
        throw EReadError(QStringLiteral("Stream read error"));
    return data;
}

} // namespace

void TDrawFrm::CreateAnnotationsMenu(QMenu* parent) {
    auto* menu = new QMenu(QStringLiteral("Annotations"), parent);
    menu->setObjectName(QStringLiteral("Annotations1"));
    struct TItem {
        const char* Name;
        const char* Caption;
        const char* ShortCut;
        void (TDrawFrm::*Handler)();
    };
    const TItem items[] = {
        {"Copyannotations1", "&Copy", "Ctrl+C", &TDrawFrm::Copyannotations1Click},
        {"Pasteannotations1", "&Paste", "Ctrl+V", &TDrawFrm::Pasteannotations1Click},
        {"Savescript1", "Save...", "Ctrl+Alt+S", &TDrawFrm::Savescript1Click},
        {"Loadscript1", "Load...", "Ctrl+Alt+L", &TDrawFrm::Loadscript1Click},
    };
    for (const TItem& i : items) {
        QAction* item = menu->addAction(QString::fromLatin1(i.Caption));
        item->setObjectName(QString::fromLatin1(i.Name));
        SetActionShortCut(item, TextToShortCut(QString::fromLatin1(i.ShortCut)));
        const auto handler = i.Handler;
        Bind(item, [this, handler] { (this->*handler)(); });
    }
    parent->addMenu(menu);
}

// --- What the annotation text's reader needs ---

void TDrawFrm::SetLayerVisible(int layer, bool visible) {
    if (!TLayerModel::IsLayer(layer)) return;
    LayerVisible[layer] = visible;
    LayerItem(layer)->setChecked(visible);
    Invalidate();
}

void TDrawFrm::PlaceLoaded(std::unique_ptr<TDrawStep> step) {
    const int layer = step->Layer;
    if (!TLayerModel::IsLayer(layer)) return;
    // The undone step that the loaded one replaces is freed; a new step at its address must still
    // have its own failures reported.
    const TLayerModel::TStepList& steps = Model.Steps(layer);
    const size_t next = static_cast<size_t>(Model.Pos(layer) + 1);
    if (next < steps.size()) ReportedSteps.erase(steps[next].get());
    Model.PlaceLoaded(std::move(step));
    Invalidate();
}

// --- The commands ---

QString TDrawFrm::AskScriptFile(bool save) {
    // Both dialogs start in the script folder; only the open dialog has the last script preset.
    const QString preset = save ? QString() : ScriptFile;
    const TSeams::TScriptDialog& seam = save ? Seams.RunScriptSaveDialog : Seams.RunScriptOpenDialog;
    const QString file =
        seam ? seam(ScriptFilter, ScriptSuffix, ScriptPath, preset)
             : RunScriptFileDialog(this, save, ScriptFilter, ScriptSuffix, ScriptPath, preset);
    if (!file.isEmpty()) {
        ScriptFile = file;
        ScriptFileChosen = true;
    }
    return file;
}

void TDrawFrm::Savescript1Click() {
    // A modal dialog would take the mouse release from a running drag.
    if (Drawing) return;
    // The text being typed belongs in the script.
    EndTextEntry();
    const QString file = AskScriptFile(true);
    if (file.isEmpty()) return;
    if (QFileInfo::exists(file)) {
        const QString question = QStringLiteral("File ") + QDir::toNativeSeparators(file) +
                                 QStringLiteral(" already exists. Overwrite?");
        const int answer = Seams.AskOverwriteScript ? Seams.AskOverwriteScript(question, OverwriteCaption)
                                                    : ApplicationMessageBox(question, OverwriteCaption,
                                                                            mtConfirmation, mbYesNo, this);
        if (answer != mrYes) return;
    }
    QStringList lines;
    WriteScript(*this, lines);
    // Through a temporary file beside the target: a save that fails half-way leaves an existing
    // script as it was.
    WriteWholeFileOrThrow<EStreamError>(file, JoinAnnotationText(lines));
}

void TDrawFrm::Loadscript1Click() {
    if (Drawing) return;
    EndTextEntry();
    const TBusyScope busy(Busy);
    const QString file = AskScriptFile(false);
    if (file.isEmpty()) {
        Invalidate();
        return;
    }
    // Each placed step marks the window for a repaint, so the steps read before an error show too.
    ReadScript(*this, SplitAnnotationText(ReadScriptFile(file)));
    Invalidate();
}

void TDrawFrm::Copyannotations1Click() {
    // The text being typed belongs in the copy.
    EndTextEntry();
    QStringList lines;
    WriteScript(*this, lines);
    QGuiApplication::clipboard()->setText(JoinAnnotationTextAsString(lines));
}

void TDrawFrm::Pasteannotations1Click() {
    if (Drawing) return;
    EndTextEntry();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return;
    const TBusyScope busy(Busy);
    ReadScript(*this, SplitAnnotationText(data->text()));
    Invalidate();
}
