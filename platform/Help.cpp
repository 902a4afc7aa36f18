#include "Help.h"

#include "MessageDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWidget>

namespace {

// The class library's name for it; the about boxes set it as a property too.
constexpr const char* HelpContextProperty = "HelpContext";

THelpOpener& CurrentOpener() {
    static THelpOpener opener;
    return opener;
}

} // namespace

QString ApplicationHelpFile() {
    return QCoreApplication::applicationFilePath() + QStringLiteral(".html");
}

bool ShowHelp(const QString& helpFile, int context, QWidget* parent) {
    const QFileInfo file(helpFile);
    if (helpFile.isEmpty() || !file.isFile()) {
        MessageDlg(QStringLiteral("Cannot find the help file %1.").arg(helpFile), mtError, mbOK, parent);
        return false;
    }
    QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    if (context != 0) url.setFragment(QString::number(context));
    const THelpOpener& opener = CurrentOpener();
    const bool opened = opener ? opener(url) : QDesktopServices::openUrl(url);
    if (!opened)
        MessageDlg(QStringLiteral("Cannot open the help file %1.").arg(helpFile), mtError, mbOK, parent);
    return opened;
}

THelpOpener SetHelpOpener(THelpOpener opener) {
    THelpOpener previous = std::move(CurrentOpener());
    CurrentOpener() = std::move(opener);
    return previous;
}

void SetHelpContext(QWidget* widget, int context) {
    if (widget) widget->setProperty(HelpContextProperty, context);
}

int HelpContext(const QWidget* widget) {
    for (; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget())
        if (const int context = widget->property(HelpContextProperty).toInt()) return context;
    return 0;
}

THelpKey::THelpKey(QString helpFile, QObject* parent) : QObject(parent), HelpFile(std::move(helpFile)) {
    qApp->installEventFilter(this);
}

THelpKey::~THelpKey() {
    if (qApp) qApp->removeEventFilter(this);
}

bool THelpKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 ||
        (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return false;
    auto* receiver = qobject_cast<QWidget*>(watched);
    const int context = HelpContext(receiver);
    if (!context) return false;
    RunGuarded([&] { ShowHelp(HelpFile, context, receiver->window()); });
    return true;
}
