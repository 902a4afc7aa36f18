// The dialogs of both programs as a user sees them: no control covers another, whatever the size of
// a font sample.
#include "dialogs/About.h"
#include "dialogs/InputQuery.h"
#include "dialogs/PenWidth.h"
#include "editor/FrmRemove.h"
#include "editor/OptionsDlg.h"
#include "pickers/FontPanel.h"
#include "platform/MessageHandlerScope.h"
#include "settings/IniFileName.h"
#include "tray/First.h"
#include "tray/LayerPage.h"
#include "tray/OptionsPages.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A widget whose children are controls laid out side by side. Every other widget is one control,
// whose children are its own parts (a list's viewport, a combo box's field).
bool IsContainer(const QWidget* w) {
    const QByteArray name = w->metaObject()->className();
    return w->layout() || qobject_cast<const QDialog*>(w) || name == "QWidget" || name == "QFrame";
}

QString NameOf(const QWidget* w) {
    const QRect g = w->geometry();
    return QStringLiteral("%1 \"%2\" at (%3, %4) %5 x %6")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height());
}

// Every pair of visible sibling controls that overlap, under `container`, as "a / b" lines.
void CollectOverlaps(const QWidget* container, const QWidget* form, QStringList& out, int& seen) {
    QList<const QWidget*> controls;
    for (const QObject* child : container->children()) {
        const auto* w = qobject_cast<const QWidget*>(child);
        if (!w || w->isWindow() || !w->isVisibleTo(form) || w->geometry().isEmpty()) continue;
        controls << w;
    }
    seen += int(controls.size());
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                out << NameOf(controls[i]) + " / " + NameOf(controls[j]);
    for (const QWidget* w : controls)
        if (IsContainer(w)) CollectOverlaps(w, form, out, seen);
}

// The overlaps of a shown form; each page of a tab control is looked at in turn, as a user opens it.
// A form with fewer controls than it shows was not looked into, which is a failure too.
QStringList Overlaps(QWidget* form, int fewestControls = 4) {
    QApplication::processEvents();
    QStringList out;
    int seen = 0;
    CollectOverlaps(form, form, out, seen);
    for (QTabWidget* tabs : form->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            CollectOverlaps(tabs->widget(i), form, out, seen);
        }
        tabs->setCurrentIndex(0);
    }
    if (seen < fewestControls) out << QStringLiteral("only %1 controls found").arg(seen);
    return out;
}

TFont SampleFont(int size) {
    TFont font;
    font.Name = QStringLiteral("Times New Roman");
    font.Size = size;
    font.Style = fsBold;
    return font;
}

// The smallest and the largest size the font dialogs let a sample take.
constexpr int SampleSizes[] = {4, 100};

class DialogLayout : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    TMessageHandlerScope Messages{[](TMessageRequest&) { return int(mrOk); }};

    QString IniPath(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
    QString ProgramDir() const { return Dir.path() + "/"; }
};

} // namespace

TEST_F(DialogLayout, AboutBoxesPenWidthAndRemoveFramesOverlapNothing) {
    for (TProgram program : {TProgram::Tavelin, TProgram::Framory}) {
        TAboutBox box(nullptr, program);
        box.show();
        EXPECT_EQ(Overlaps(&box), QStringList()) << "about box " << int(program);
    }
    TWidthDlg width;
    width.show();
    EXPECT_EQ(Overlaps(&width), QStringList());
    TFrmRemove remove;
    remove.show();
    EXPECT_EQ(Overlaps(&remove), QStringList());
    TFirstFrm first(QStringLiteral("Shift+Ctrl+W"), QStringLiteral("Shift+Ctrl+Y"));
    first.show();
    EXPECT_EQ(Overlaps(&first), QStringList());
}

TEST_F(DialogLayout, TextQuestionsOverlapNothing) {
    for (const char* caption : {"Number of copies", "Goto frame"}) {
        SCOPED_TRACE(caption);
        QStringList overlaps = {QStringLiteral("never shown")};
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QInputDialog*>(w);
                if (!box || !box->isVisible()) continue;
                poll.stop();
                overlaps = Overlaps(box);
                box->reject();
                return;
            }
        });
        poll.start(10);
        QString value = QStringLiteral("1");
        EXPECT_FALSE(InputQuery(nullptr, QString::fromLatin1(caption),
                                QStringLiteral("Enter number of copies"), value));
        EXPECT_EQ(overlaps, QStringList());
    }
}

TEST_F(DialogLayout, FramorysOptionsDialogOverlapsNothingAtEverySampleSize) {
    for (int size : SampleSizes) {
        SCOPED_TRACE(size);
        TOptionsDlg dialog(IniPath("Framory.ini"), ProgramDir());
        dialog.show();
        dialog.PanelFont1->SetFont(SampleFont(size));
        EXPECT_EQ(Overlaps(&dialog), QStringList());
        // Also as it opens on a sample stored that large.
        dialog.OKBtn->click();
        TOptionsDlg again(IniPath("Framory.ini"), ProgramDir());
        again.show();
        EXPECT_EQ(again.PanelFont1->Font().Size, size);
        EXPECT_EQ(Overlaps(&again), QStringList());
    }
}

TEST_F(DialogLayout, TavelinsOptionsPagesOverlapNothingAtEverySampleSize) {
    const QString saved = IniFileName;
    IniFileName = IniPath("Tavelin.ini");
    for (int size : SampleSizes) {
        SCOPED_TRACE(size);
        TOptionsPages pages;
        pages.LoadSettings();
        pages.show();
        for (int layer = 1; layer <= 5; ++layer)
            pages.Page(layer)->PanelFont->SetFont(SampleFont(size));
        EXPECT_EQ(Overlaps(&pages), QStringList());
    }
    IniFileName = saved;
}
