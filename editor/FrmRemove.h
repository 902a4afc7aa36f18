#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The remove-frames dialog: a range From .. To of 1-based positions. OK closes it only for a range
// that leaves at least one position; otherwise a message says why and the dialog stays open.
class TFrmRemove : public QDialog {
    Q_OBJECT
public:
    explicit TFrmRemove(QWidget* parent = nullptr);

    // The number of positions: the upper bound of both fields.
    void SetFrameCount(int n) { FrameLimit = n; }

    QLabel* Label3;
    QLabel* Label1;
    QLineEdit* Edit1; // From
    QLabel* Label2;
    QLineEdit* Edit2;     // To
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel

    void reject() override;
    void BitBtn1Click();

private:
    int FrameLimit = 0;
};
