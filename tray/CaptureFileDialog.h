#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The save dialog of a screen capture: its title, filter and default extension are fixed, and it keeps
// the last chosen name, so the next capture proposes it again.
class TCaptureFileDialog {
public:
    // What the user typed or picked, as the file dialog hands it back; nothing when cancelled. Tests
    // put their own in place of the file dialog.
    using TRunner = std::function<std::optional<QString>(const TCaptureFileDialog& dialog)>;

    QString Title = QStringLiteral("Save screen capture file");
    QString Filter = QStringLiteral("Avi files (*.avi)");
    QString DefaultExt = QStringLiteral("avi");
    // The name proposed when the dialog opens, and the one chosen after it.
    QString FileName;

    // Runs the dialog in front of owner (none: no owner). False when the user cancels; otherwise
    // FileName is the chosen name, with the default extension added when its name had no dot.
    bool Execute(QWidget* owner = nullptr);
    void SetRunner(TRunner runner) { Runner = std::move(runner); }

    static QString WithDefaultExt(const QString& name, const QString& extension);

private:
    std::optional<QString> RunFileDialog(QWidget* owner) const;

    TRunner Runner;
};
