#include "platform/Exceptions.h"
#include "platform/MessageHandlerScope.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

// Records every message dialog instead of showing it, and answers with a fixed result.
struct TCapture {
    explicit TCapture(int answer = mrOk)
        : Scope([this, answer](TMessageRequest& r) {
              Requests.push_back(r);
              Threads.push_back(QThread::currentThread());
              return answer;
          }) {}
    std::vector<TMessageRequest> Requests;
    std::vector<QThread*> Threads;
    TMessageHandlerScope Scope;
};

QMessageBox* OpenMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

} // namespace

TEST(MessageText, CarriageReturnsBreakLinesOnce) {
    const struct {
        const char* In;
        const char* Shown;
    } cases[] = {
        {"Font size less than minimum.\r\nUsing 4 as font size",
         "Font size less than minimum.\nUsing 4 as font size"},
        {"Maximum of 10 images loaded\rReplace or Delete images to continue",
         "Maximum of 10 images loaded\nReplace or Delete images to continue"},
        {"a\r\rb", "a\n\nb"},
        {"a\n\r\nb", "a\n\nb"},
        {"plain", "plain"},
        {"\r\n", "\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageDisplayText(QString::fromLatin1(c.In)), QString::fromLatin1(c.Shown)) << c.In;
}

TEST(MessageDlg, HandsTheRequestToTheHandlerAndReturnsItsAnswer) {
    TCapture capture(mrNo);
    QWidget owner;
    EXPECT_EQ(MessageDlg("File already exists. Overwrite?", mtConfirmation, mbYesNo, &owner), mrNo);
    EXPECT_EQ(ApplicationMessageBox("Picture format not supported or invalid image file", "Tavelin error",
                                    mtError, mbOK),
              mrNo);
    ASSERT_EQ(capture.Requests.size(), 2u);
    const TMessageRequest& question = capture.Requests[0];
    EXPECT_EQ(question.Text, QStringLiteral("File already exists. Overwrite?"));
    EXPECT_EQ(question.Caption, QStringLiteral("Confirm"));
    EXPECT_EQ(question.Type, mtConfirmation);
    EXPECT_EQ(question.Buttons, mbYesNo);
    EXPECT_EQ(question.Parent, &owner);
    EXPECT_EQ(capture.Requests[1].Caption, QStringLiteral("Tavelin error"));
    EXPECT_EQ(MessageCaption(mtError), QStringLiteral("Error"));
    EXPECT_EQ(MessageCaption(mtWarning), QStringLiteral("Warning"));
    EXPECT_EQ(MessageCaption(mtInformation), QStringLiteral("Information"));
    EXPECT_EQ(MessageCaption(mtCustom), QGuiApplication::applicationDisplayName());
}

TEST(MessageDlg, DefaultBoxShowsPlainTextWithOneBreakPerReturnAboveItsOwner) {
    QWidget owner;
    owner.show();
    QString shownText, shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    std::vector<QMessageBox::StandardButton> shownButtons;
    QMessageBox::StandardButton escape = QMessageBox::NoButton, defaultButton = QMessageBox::NoButton;
    QWindow* transientParent = nullptr;
    bool found = false;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = OpenMessageBox();
        if (!box) return;
        found = true;
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        for (QAbstractButton* b : box->buttons())
            shownButtons.push_back(box->standardButton(b));
        escape = box->standardButton(box->escapeButton());
        defaultButton = box->standardButton(box->defaultButton());
        transientParent = box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
        box->button(QMessageBox::No)->click();
    });
    const int result =
        MessageDlg("AVI file was modified.\r\n<b>Save?</b>\rNow", mtConfirmation, mbYesNoCancel, &owner);
    ASSERT_TRUE(found);
    EXPECT_EQ(result, mrNo);
    EXPECT_EQ(shownText, QStringLiteral("AVI file was modified.\n<b>Save?</b>\nNow"));
    EXPECT_EQ(shownTitle, QStringLiteral("Confirm"));
    EXPECT_EQ(shownIcon, QMessageBox::Question);
    EXPECT_EQ(shownButtons.size(), 3u);
    EXPECT_EQ(defaultButton, QMessageBox::Yes);
    EXPECT_EQ(escape, QMessageBox::Cancel);
    EXPECT_EQ(transientParent, owner.windowHandle());
}

TEST(MessageDlg, DefaultBoxHandsBackTheCheckBox) {
    TMessageRequest request;
    request.Text = "If you close now, all changes will be lost. Confirm closing?";
    request.Caption = "Confirm exit";
    request.Type = mtConfirmation;
    request.Buttons = mbYesNo;
    request.CheckBoxCaption = "Don't show this dialog again";
    QTimer::singleShot(0, [] {
        QMessageBox* box = OpenMessageBox();
        if (!box || !box->checkBox()) return;
        box->checkBox()->setChecked(true);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ShowMessageRequest(request), mrYes);
    EXPECT_TRUE(request.Checked);
}

TEST(MessageDlg, OffTheGuiThreadTheBoxIsHandedOverWithoutWaiting) {
    TCapture capture;
    int result = -1;
    std::thread worker([&] { result = MessageDlg("Error recording video: disk full", mtError, mbOK); });
    worker.join(); // would never return if the worker waited for the GUI thread
    EXPECT_EQ(result, mrNone);
    QElapsedTimer timer;
    timer.start();
    while (capture.Requests.empty() && timer.elapsed() < 5000)
        QCoreApplication::processEvents();
    ASSERT_EQ(capture.Requests.size(), 1u);
    EXPECT_EQ(capture.Requests[0].Text, QStringLiteral("Error recording video: disk full"));
    EXPECT_EQ(capture.Threads[0], QApplication::instance()->thread());
}

TEST(ShowException, ShowsTheErrorsOwnMessage) {
    TCapture capture;
    auto report = [](auto thrown) {
        try {
            thrown();
        } catch (...) {
            ShowException(std::current_exception());
        }
    };
    report([] { throw EConvertError("'abc' is not a valid boolean value"); });
    report([] { throw std::runtime_error("Invalid image file"); });
    report([] { throw 42; });
    ASSERT_EQ(capture.Requests.size(), 3u);
    EXPECT_EQ(capture.Requests[0].Text, QStringLiteral("'abc' is not a valid boolean value"));
    EXPECT_EQ(capture.Requests[0].Type, mtError);
    EXPECT_EQ(capture.Requests[0].Buttons, mbOK);
    EXPECT_EQ(capture.Requests[0].Caption, QCoreApplication::applicationName());
    EXPECT_EQ(capture.Requests[1].Text, QStringLiteral("Invalid image file"));
    EXPECT_FALSE(capture.Requests[2].Text.isEmpty());
}

TEST(ShowException, IsCaptionedWithTheProgramsTitleNotQtsDisplayName) {
    TCapture capture;
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName("Something else");
    SetApplicationTitle("Tavelin annotation");
    RunGuarded([] { throw std::runtime_error("Invalid image file"); });
    EXPECT_EQ(MessageCaption(mtCustom), "Tavelin annotation");
    SetApplicationTitle("Tavelin");
    RunGuarded([] { throw std::runtime_error("Invalid image file"); });
    QGuiApplication::setApplicationDisplayName(displayName);
    ASSERT_EQ(capture.Requests.size(), 2u);
    EXPECT_EQ(capture.Requests[0].Caption, "Tavelin annotation");
    EXPECT_EQ(capture.Requests[1].Caption, "Tavelin");
}

TEST(RunGuarded, ReportsAndStopsTheError) {
    TCapture capture;
    int after = 0;
    EXPECT_TRUE(RunGuarded([&] { ++after; }));
    EXPECT_FALSE(RunGuarded([&] {
        throw EFOpenError("Cannot open file");
        ++after;
    }));
    EXPECT_EQ(after, 1);
    ASSERT_EQ(capture.Requests.size(), 1u);
    EXPECT_EQ(capture.Requests[0].Text, QStringLiteral("Cannot open file"));
}
