// Real key presses from the X server: the hardware key code, not Qt's shifted symbol, decides the key.
#include "platform/ShortCut.h"
#include "platform/ShortCutDispatcher.h"
#include "support/XvfbServer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>
#include <map>

namespace {

// Keeps what each key press came to, as the hot-key control will read it.
class TKeyRecorder : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QStringList Seen;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString text = ShortCutToText(ShortCutFromKeyEvent(*event));
        if (!text.isEmpty()) Seen << text;
        QLineEdit::keyPressEvent(event);
    }
};

void WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool SendKeys(const QWidget& window, const QString& keys) {
    return RunOnDisplay(qEnvironmentVariable("DISPLAY"),
                        QStringLiteral("xdotool key --window %1 %2").arg(window.winId()).arg(keys)) == 0;
}

} // namespace

TEST(ShortCutX11, KeyPressesReadAsTheirKeysWhateverShiftMakesOfThem) {
    QWidget window;
    auto* edit = new TKeyRecorder(&window);
    window.resize(300, 100);
    window.show();
    edit->setFocus();
    ASSERT_TRUE(SendKeys(window, "shift+1 shift+equal ctrl+shift+0 KP_Add shift+Tab F12"));
    WaitFor([&] { return edit->Seen.size() >= 6; });
    EXPECT_EQ(edit->Seen, (QStringList{"Shift+1", "Shift+=", "Shift+Ctrl+0", "Num +", "Shift+Tab", "F12"}));
}

TEST(ShortCutX11, ActionsFireOnceForTheirKeys) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    window.resize(300, 100);
    std::map<QString, int> fired;
    for (const char* text : {"Shift+Ctrl+1", "Ctrl+Num +", "Ctrl+Num -", "Shift+Ctrl+Z", "Alt+1", "Ctrl+="}) {
        auto* action = new QAction(QString::fromLatin1(text), &window);
        SetActionShortCut(action, TextToShortCut(QString::fromLatin1(text)));
        QObject::connect(action, &QAction::triggered, [&fired, text] { ++fired[QString::fromLatin1(text)]; });
        window.addAction(action);
    }
    window.show();
    edit->setFocus();
    ASSERT_TRUE(
        SendKeys(window, "ctrl+shift+1 ctrl+KP_Add ctrl+KP_Subtract ctrl+shift+z alt+1 ctrl+shift+equal"));
    WaitFor([&] { return fired.size() >= 5; });
    QApplication::processEvents();
    EXPECT_EQ(fired["Shift+Ctrl+1"], 1);
    EXPECT_EQ(fired["Ctrl+Num +"], 1);
    EXPECT_EQ(fired["Ctrl+Num -"], 1);
    EXPECT_EQ(fired["Shift+Ctrl+Z"], 1);
    EXPECT_EQ(fired["Alt+1"], 1);
    // Shift+Ctrl+= is not Ctrl+=, and keypad plus is not the main keyboard's key.
    EXPECT_EQ(fired["Ctrl+="], 0);
    EXPECT_TRUE(edit->text().isEmpty()) << "the edit never saw the shortcuts";
}

TEST(ShortCutX11, KeysFollowTheLayoutInUse) {
    const QString display = qEnvironmentVariable("DISPLAY");
    ASSERT_EQ(RunOnDisplay(display, "setxkbmap de"), 0);
    struct TRestoreLayout {
        QString Display;
        ~TRestoreLayout() { RunOnDisplay(Display, "setxkbmap us"); }
    } restore{display};
    QWidget window;
    auto* edit = new TKeyRecorder(&window);
    window.resize(300, 100);
    window.show();
    edit->setFocus();
    // On a German keyboard Shift+7 types "/", and Z and Y swap places: the keys are 7, Z and Y all the
    // same, as the layout names them, not as a US keyboard would.
    ASSERT_TRUE(SendKeys(window, "shift+7 ctrl+z y"));
    WaitFor([&] { return edit->Seen.size() >= 3; });
    EXPECT_EQ(edit->Seen, (QStringList{"Shift+7", "Ctrl+Z", "Y"}));
}
