#pragma once

#include "platform/VersionInfo.h"

#include <QDialog>
#include <QStringList>

class QFrame;
class QLabel;
class QPushButton;

// The about box of both programs: the application's icon and the version data the program carries.
// Framory's box has no publication lines and is shorter.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // Callers make it with a form as owner, show it modally and free it. The box is transient for the
    // owner's window, so it stays in front of it even while that window is hidden.
    explicit TAboutBox(QWidget* owner, TProgram layout = TProgram::Tavelin);

    // Appends key + "=" + value for every version key that the application's version data holds, in
    // the order of VersionKeys().
    static void GetVersionInfo(QStringList& list);

    static constexpr int AboutHelpContext = 2600;

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* TradeMarks;
    QLabel* Label2;
    QLabel* Label1 = nullptr; // Tavelin only: the publication credit line
    QLabel* Label3 = nullptr; // Tavelin only: the publication date
    QFrame* Panel1;
    QFrame* Bevel1;
    QPushButton* Button1;

private:
    void FormCreate();
    void Button1Click();
    void CreateParams(QWidget* owner);

    TProgram Layout;
};
