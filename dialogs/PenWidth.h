#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

// The pen-width dialog of both programs: a drawing width from 1 to 40. Callers set Edit1's text and
// UpDown1's position to the current width, show it modally (ExecModalOver, so that it stands in front
// of the window that asks) and, when it returns mrOk, take UpDown1's position as the new width.
class TWidthDlg : public QDialog {
    Q_OBJECT
public:
    explicit TWidthDlg(QWidget* parent = nullptr);

    static constexpr int MinWidth = 1;
    static constexpr int MaxWidth = 40;

    QLabel* Label1;
    QLineEdit* Edit1;
    TUpDown* UpDown1;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn3; // Cancel

    // Cancel, Esc and closing the window end the dialog with mrCancel, without validation.
    void reject() override;

private:
    void BitBtn1Click();
};
