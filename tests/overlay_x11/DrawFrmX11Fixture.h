#pragma once

#include "overlay/Draw.h"
#include "platform/MessageHandlerScope.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The drawing window on the test's own X server, driven with xdotool as a user would drive it, every
// message box answered by the test.
class DrawFrmX11Fixture : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::vector<TMessageRequest> Messages;
    int Answer = mrNo;
    TMessageHandlerScope Scope{[this](TMessageRequest& request) {
        Messages.push_back(request);
        return Answer;
    }};
    std::unique_ptr<TDrawFrm> Form;

    QString IniPath() const { return Dir.path() + "/Tavelin.ini"; }
    void WriteIni(const QByteArray& text) const;

    // Paints the picture as the root window's background.
    static void PaintRoot(const QImage& picture);
    // A picture whose every pixel differs from its neighbours, so that a shifted copy cannot match.
    static QImage Pattern(int width, int height);
    // What the screen shows now, read from the X server.
    static QImage ScreenShot();
    // Runs xdotool with the arguments on the test's display.
    static bool Xdotool(const QString& args);
    // What another program gets from the clipboard in that format, read while this one keeps serving
    // it.
    static QByteArray ClipboardData(const QString& type);
    // Pixels whose colour differs (the unused top byte ignored); -1 when the sizes differ.
    static int Mismatches(const QImage& a, const QImage& b);

    // Makes the window and shows it over the desktop as the annotate command does; waits until it has
    // the keyboard and has been painted.
    void ShowForm();
    // Lets the event loop run until the condition holds (or a few seconds have passed).
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
    // Lets the event loop run for a while, so that what xdotool sent has arrived.
    static void Settle(int ms = 200);

    void TearDown() override { Form.reset(); }
};

// The window shown over a patterned desktop, with input sent as a user would.
class DrawFrmOnPatternX11 : public DrawFrmX11Fixture {
protected:
    QImage Desktop;

    void SetUp() override {
        Desktop = Pattern(1920, 1080);
        PaintRoot(Desktop);
        ShowForm();
    }
    size_t Painted() const { return Form->Layers().PaintList().size(); }
    // Sends the input and waits until the window has made that many steps of it.
    void Input(const QString& xdotool, size_t steps) {
        ASSERT_TRUE(Xdotool(xdotool));
        ASSERT_TRUE(WaitFor([&] { return Painted() == steps && !Form->GetDrawing(); }))
            << xdotool.toStdString();
        Settle();
    }
};
