#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

// The first-run form: where the program went (the tray) and which hot keys to use.
class TFirstFrm : public QDialog {
    Q_OBJECT
public:
    // The texts of the annotate and capture hot keys replace "HKAnn" and "HKCap" in the message.
    TFirstFrm(const QString& annotateKey, const QString& captureKey, QWidget* parent = nullptr);

    bool DontShowAgain() const;
    QString Message() const;

private:
    QLabel* Label2;
    QCheckBox* CheckBox1;
};
