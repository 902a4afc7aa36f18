#include "cursors/CurImg.h"
#include "overlay/Draw.h"
#include "pickers/ColorBox.h"
#include "pickers/StampList.h"
#include "platform/Autostart.h"
#include "platform/Help.h"
#include "platform/IniFile.h"
#include "platform/KnownFolders.h"
#include "platform/MessageHandlerScope.h"
#include "platform/ShortCutDispatcher.h"
#include "platform/UpDownEdit.h"
#include "recorder/ScrCam.h"
#include "recorder/SteadyClock.h"
#include "settings/IniFileName.h"
#include "support/DesktopSession.h"
#include "tray/First.h"
#include "tray/HotKeyEdit.h"
#include "tray/LayerPage.h"
#include "tray/Main.h"
#include "tray/OptionsPages.h"
#include "tray/TrayIcons.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

// How long a test waits for something the recorder's thread does: generous, since a loaded machine or a
// sanitizer slows that thread far more than the test; only a failure waits this long.
constexpr int Deadline = 60000;

// The AVI file of a recording as the tests see it: the calls in order, a failing open, and a close
// that can be held back to stand for a file that takes long to complete.
struct TFileLog {
    std::mutex M;
    std::condition_variable Released;
    QStringList Calls;
    bool FailOpen = false;
    bool FailClose = false;
    bool HoldClose = false;

    QStringList Snapshot() {
        std::lock_guard lock(M);
        return Calls;
    }
    void Release() {
        {
            std::lock_guard lock(M);
            HoldClose = false;
        }
        Released.notify_all();
    }
};

class TLoggedSink : public TRecordingSink {
public:
    explicit TLoggedSink(std::shared_ptr<TFileLog> log) : Log(std::move(log)) {}
    uint32_t Open(const QString& fileName) override {
        std::lock_guard lock(Log->M);
        Log->Calls << "open " + QFileInfo(fileName).fileName();
        return Log->FailOpen ? 0x8004406F : 0;
    }
    uint32_t CreateStream(int, const TPackedDib&) override { return 0; }
    uint32_t MakeCompressedStream(uint32_t, int, int) override { return 0; }
    uint32_t SetFormat(const TPackedDib&) override { return 0; }
    uint32_t Write(int, const TPackedDib&) override { return 0; }
    uint32_t Close() override {
        std::unique_lock lock(Log->M);
        Log->Released.wait(lock, [&] { return !Log->HoldClose; });
        Log->Calls << "close";
        return Log->FailClose ? 0x8004406E : 0;
    }
    std::shared_ptr<TFileLog> Log;
};

class TSmallGrabber : public TFrameGrabber {
public:
    TPackedDib GrabFrame(const QRect&, bool, bool) override {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::gray);
        return MakeDIB(image, 32);
    }
};

struct TMessage {
    QString Text;
    QString Caption;
    TMsgDlgType Type;
};

// A main form on fakes: hot keys that another program may hold, a scripted save dialog, a recorder
// on a logged file, and every message box seen and answered.
class MainFrmTest : public ::testing::Test {
protected:
    void SetUp() override {
        // As the entry does: the default stamps beside the program include cursor files.
        RegisterCursorFormat();
        InitIniFileName();
        QFile::remove(IniFileName);
        DrawFrm = MakeDrawFrm();
    }

    TMainFrmSeams Seams() {
        TMainFrmSeams seams;
        seams.MakeRecorder = [log = Files](QObject* owner) {
            TRecorderSeams recorder;
            recorder.Clock = std::make_shared<TSteadyClock>();
            recorder.MakeSink = [log] { return std::make_unique<TLoggedSink>(log); };
            recorder.MakeGrabber = [] { return std::make_unique<TSmallGrabber>(); };
            return new TScreenCam(owner, recorder);
        };
        seams.RegisterHotKey = [this](int id, TShortCut key) {
            Registrations.push_back(id);
            if (TakenElsewhere.count(ShortCutToText(key))) return false;
            Grabbed[id] = ShortCutToText(key);
            return true;
        };
        seams.UnregisterHotKey = [this](int id) { Grabbed.erase(id); };
        seams.RunSaveDialog = [this](const TCaptureFileDialog& dialog) -> std::optional<QString> {
            Proposed << dialog.FileName;
            EXPECT_EQ(dialog.Title, "Save screen capture file");
            if (Answers.empty()) return std::nullopt;
            const QString answer = Answers.front();
            Answers.pop_front();
            if (answer.isEmpty()) return std::nullopt;
            return answer;
        };
        seams.StartProgram = [this](const QString& program) {
            Started << program;
            return StartSucceeds;
        };
        return seams;
    }

    std::unique_ptr<TMainFrm> Make() {
        auto form = std::make_unique<TMainFrm>(Seams());
        form->SetDrawFrm(DrawFrm.get());
        return form;
    }
    // The drawing window reads the same settings file; a width changed there shows a reload.
    std::unique_ptr<TDrawFrm> MakeDrawFrm() {
        auto drawFrm = std::make_unique<TDrawFrm>(IniFileName, Folder.path() + "/");
        drawFrm->Seams.SnapshotDelayMs = 1;
        drawFrm->Seams.GrabScreen = [] {
            QImage desktop(64, 48, QImage::Format_RGB32);
            desktop.fill(Qt::gray);
            return desktop;
        };
        return drawFrm;
    }
    bool DrawShows() const { return DrawFrm->IsShowing(); }
    void HideDrawFrm() { DrawFrm->hide(); }

    void WriteSetting(const QString& key, const QString& value) {
        TIniFile(IniFileName).WriteString("Settings", key, value);
    }
    QString Path(const QString& name) const { return Folder.path() + "/" + name; }
    // Begins a capture into the file named, as if typed into the save dialog.
    void StartCapture(TMainFrm& form, const QString& typed) {
        Answers.push_back(typed);
        form.Capture1Click();
    }
    QStringList MessageTexts() const {
        QStringList texts;
        for (const TMessage& m : Messages)
            texts << m.Text;
        return texts;
    }

    TMessageHandlerScope Handler{[this](TMessageRequest& request) {
        Messages.push_back({request.Text, request.Caption, request.Type});
        if (request.Type == mtConfirmation) {
            const int answer = Replies.empty() ? mrYes : Replies.front();
            if (!Replies.empty()) Replies.pop_front();
            return answer;
        }
        return int(mrOk);
    }};
    std::vector<TMessage> Messages;
    std::deque<int> Replies;
    std::shared_ptr<TFileLog> Files = std::make_shared<TFileLog>();
    std::set<QString> TakenElsewhere;
    std::map<int, QString> Grabbed;
    std::vector<int> Registrations;
    std::deque<QString> Answers;
    QStringList Proposed;
    QStringList Started;
    bool StartSucceeds = true;
    QTemporaryDir Folder;
    std::unique_ptr<TDrawFrm> DrawFrm;
};

QImage IconImage(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST_F(MainFrmTest, StartsHiddenWithTrayIconMenuAndTheThreeHotKeys) {
    auto form = Make();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->objectName(), "MainFrm");
    EXPECT_EQ(form->windowTitle(), "Tavelin options");
    // F1 anywhere in the options window opens the manual at its section.
    EXPECT_EQ(HelpContext(form->OKBtn), 300);

    QStringList captions;
    for (QAction* action : form->PopupMenu()->actions())
        captions << (action->isSeparator() ? "-" : ActionCaption(action));
    EXPECT_EQ(captions, QStringList({"&Annotate", "Capture", "&Options...", "Launch Avi Editor", "Help",
                                     "A&bout", "-", "E&xit"}));
    EXPECT_EQ(form->PopupMenu()->defaultAction(), form->Draw1);
    EXPECT_EQ(form->Draw1->text(), "&Annotate\tShift+Ctrl+W");
    EXPECT_EQ(form->Capture1->text(), "Capture\tShift+Ctrl+Y");
    EXPECT_TRUE(form->Draw1->shortcut().isEmpty()) << "menus show our text, not Qt's";

    EXPECT_EQ(Registrations,
              std::vector<int>({TMainFrm::HotKeyId3, TMainFrm::HotKeyId2, TMainFrm::HotKeyId1}));
    EXPECT_EQ(Grabbed, (std::map<int, QString>{{TMainFrm::HotKeyId1, "Shift+Ctrl+W"},
                                               {TMainFrm::HotKeyId2, "Shift+Ctrl+Y"},
                                               {TMainFrm::HotKeyId3, "Shift+Ctrl+P"}}));
    EXPECT_TRUE(Messages.empty());

    EXPECT_TRUE(form->TrayIcon(0)->isVisible());
    EXPECT_EQ(form->TrayIcon(0)->toolTip(), "Tavelin 3");
    EXPECT_EQ(IconImage(form->TrayIcon(0)->icon()), IconImage(ApplicationIcon()));
    EXPECT_FALSE(form->TrayIcon(1)->isVisible());
    EXPECT_FALSE(form->TrayIcon(2)->isVisible());
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_TRUE(form->Recorder()->ShowClicks());
}

TEST_F(MainFrmTest, SettingsGiveTheHotKeysAndTheClickCircle) {
    WriteSetting("HotKey", "Shift+Alt+A");
    WriteSetting("HotKey2", "Ctrl+F9");
    WriteSetting("ShowClicks", "0");
    auto form = Make();
    EXPECT_EQ(form->Draw1->text(), "&Annotate\tShift+Alt+A");
    EXPECT_EQ(form->Capture1->text(), "Capture\tCtrl+F9");
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId3], "Shift+Ctrl+P");
    EXPECT_FALSE(form->Recorder()->ShowClicks());

    // The box reaches the recorder at once, before any OK.
    form->CheckBox2->setChecked(true);
    EXPECT_TRUE(form->Recorder()->ShowClicks());
    form->CheckBox2->setChecked(false);
    EXPECT_FALSE(form->Recorder()->ShowClicks());
}

TEST_F(MainFrmTest, AKeyHeldElsewhereIsReportedAndTheProgramGoesOnWithoutIt) {
    TakenElsewhere = {"Shift+Ctrl+W", "Shift+Ctrl+P"};
    auto form = Make();
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0].Text,
              "Activation HotKey (Shift+Ctrl+P) cannot be registered.\rPlease, use the Options "
              "dialog to change it");
    EXPECT_EQ(Messages[1].Text,
              "Activation HotKey (Shift+Ctrl+W) cannot be registered.\rPlease, use the Options "
              "dialog to change it");
    EXPECT_EQ(Messages[1].Caption, "Tavelin");
    EXPECT_EQ(Messages[1].Type, mtError);
    EXPECT_EQ(form->Draw1->text(), "&Annotate") << "the item keeps its previous shortcut text";
    EXPECT_EQ(form->Capture1->text(), "Capture\tShift+Ctrl+Y");
    EXPECT_EQ(Grabbed.count(TMainFrm::HotKeyId1), 0u);

    // A cleared control asks for no key: nothing to grab, nothing to report.
    Messages.clear();
    form->HotKey1->SetHotKey({});
    EXPECT_TRUE(form->RegisterHotKeyFor(form->HotKey1));
    EXPECT_TRUE(Messages.empty());
}

// Without a tray the user learns what still works: the hot keys as configured, and how to end the
// program.
TEST_F(MainFrmTest, TheNoTrayNoticeNamesTheConfiguredHotKeysAndTheWayToEnd) {
    WriteSetting("HotKey", "Shift+Alt+A");
    WriteSetting("HotKey3", "");
    auto form = Make();
    const QString notice = form->NoTrayNotice();
    EXPECT_TRUE(notice.contains("No system tray")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("Shift+Alt+A annotates the screen")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("Shift+Ctrl+Y starts and stops a capture.")) << notice.toStdString();
    EXPECT_FALSE(notice.contains("pauses")) << "a cleared key is no hot key: " << notice.toStdString();
    EXPECT_FALSE(notice.contains("Shift+Ctrl+W")) << notice.toStdString();
    EXPECT_TRUE(notice.contains(QString("kill %1").arg(QCoreApplication::applicationPid())))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains("icon appears")) << notice.toStdString();
    EXPECT_TRUE(Messages.empty()) << "the form itself shows no box for it";
}

TEST_F(MainFrmTest, HotKeysDispatchByTheirIdentifier) {
    auto form = Make();
    form->WMHotKey(TMainFrm::HotKeyId3); // pause while idle: nothing
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    form->WMHotKey(99);
    EXPECT_FALSE(DrawShows());
    form->WMHotKey(TMainFrm::HotKeyId1);
    EXPECT_TRUE(DrawShows());
    form->WMHotKey(TMainFrm::HotKeyId2);
    EXPECT_EQ(Proposed.size(), 1) << "the capture key opens the save dialog";
}

TEST_F(MainFrmTest, AnnotateAndOptionsAreEnabledExactlyWhileNeitherWindowShows) {
    auto form = Make();
    // The right button pops the menu up; a single left click does nothing; a double click annotates.
    form->WMTrayIcon(0, QSystemTrayIcon::Context);
    EXPECT_TRUE(form->PopupMenu()->isVisible());
    form->PopupMenu()->hide();
    form->WMTrayIcon(0, QSystemTrayIcon::Trigger);
    EXPECT_FALSE(DrawShows());
    form->WMTrayIcon(0, QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(DrawShows());
    EXPECT_FALSE(form->Draw1->isEnabled());
    EXPECT_FALSE(form->Configuration1->isEnabled());

    // Annotating again only brings the window to the front.
    form->Draw1Click();
    EXPECT_TRUE(DrawShows());

    HideDrawFrm(); // its notice enables the items
    EXPECT_TRUE(form->Draw1->isEnabled());
    EXPECT_TRUE(form->Configuration1->isEnabled());

    // The options window: the hot keys are let go while it shows, no drawing window comes.
    form->Configuration1Click();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(Grabbed.empty());
    EXPECT_FALSE(form->Draw1->isEnabled());
    form->WMTrayIcon(0, QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(DrawShows());
    EXPECT_FALSE(form->Draw1->isEnabled());

    WriteSetting("DrawWidth1", "7");
    form->CancelBtnClick();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->Draw1->isEnabled());
    EXPECT_EQ(Grabbed.size(), 3u);
    EXPECT_EQ(DrawFrm->GetLayerWidth(1), 7) << "the drawing window reloads its settings";
}

TEST_F(MainFrmTest, ClosingTheOptionsWindowIsCancel) {
    auto form = Make();
    form->Configuration1Click();
    form->HotKey1->SetHotKey(TextToShortCut("Shift+Alt+Q"));
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId1], "Shift+Ctrl+W") << "the hot keys are back, unchanged";
    EXPECT_FALSE(QFile::exists(IniFileName)) << "nothing is written";
    EXPECT_TRUE(form->Draw1->isEnabled());
}

TEST_F(MainFrmTest, OkWritesTheKeysAndRegistersThem) {
    auto form = Make();
    form->Configuration1Click();
    form->HotKey1->SetHotKey(TextToShortCut("Shift+Alt+A"));
    form->CheckBox2->setChecked(false);
    form->OKBtnClick();
    EXPECT_FALSE(form->isVisible());
    const TIniFile ini(IniFileName);
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", ""), "Shift+Alt+A");
    EXPECT_EQ(ini.ReadString("Settings", "HotKey2", ""), "Shift+Ctrl+Y");
    EXPECT_EQ(ini.ReadString("Settings", "ShowClicks", ""), "0");
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId1], "Shift+Alt+A");
    EXPECT_EQ(form->Draw1->text(), "&Annotate\tShift+Alt+A");

    // A showing starts from the file again: edits left by Cancel are gone.
    form->Configuration1Click();
    form->HotKey2->SetHotKey(TextToShortCut("F5"));
    form->CancelBtnClick();
    form->Configuration1Click();
    EXPECT_EQ(ShortCutToText(form->HotKey2->HotKey()), "Shift+Ctrl+Y");
    form->CancelBtnClick();
}

TEST_F(MainFrmTest, OptionsOverTheDrawingWindowLeaveTheItemsDisabledUntilItHides) {
    auto form = Make();
    form->Draw1Click();
    ASSERT_TRUE(DrawShows());
    QTimer::singleShot(0, form.get(), [&] {
        EXPECT_TRUE(form->isVisible());
        form->OKBtnClick();
    });
    // The drawing window's "&Options..." command.
    DrawFrm->Config1Click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Draw1->isEnabled());
    EXPECT_FALSE(form->Configuration1->isEnabled());
    HideDrawFrm(); // its notice enables the items
    EXPECT_TRUE(form->Draw1->isEnabled());
}

TEST_F(MainFrmTest, FirstRunFormBlocksAnnotateAndTrayButNotCapture) {
    WriteSetting("HotKey", "Shift+Alt+A");
    auto form = Make();
    bool checked = false;
    QTimer::singleShot(0, form.get(), [&] {
        auto* first = qobject_cast<TFirstFrm*>(QApplication::activeModalWidget());
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(
            first->Message().startsWith("To activate it, use the hotkeys Shift+Alt+A \r\nto annotate the "
                                        "screen or Shift+Ctrl+Y \r\n"));
        EXPECT_TRUE(form->ModalFlag());
        form->WMTrayIcon(0, QSystemTrayIcon::Context);
        EXPECT_FALSE(form->PopupMenu()->isVisible());
        form->WMTrayIcon(0, QSystemTrayIcon::DoubleClick);
        form->WMHotKey(TMainFrm::HotKeyId1);
        EXPECT_FALSE(DrawShows());
        form->WMHotKey(TMainFrm::HotKeyId2);
        EXPECT_EQ(Proposed.size(), 1) << "the capture key still works";
        first->findChild<QCheckBox*>("CheckBox1")->setChecked(true);
        first->accept();
        checked = true;
    });
    form->ShowFirstForm();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(form->ModalFlag());
    EXPECT_EQ(TIniFile(IniFileName).ReadString("Settings", "ShowFirst", ""), "0");

    // Never again.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        ADD_FAILURE() << "the first-run form came again";
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(0);
    form->ShowFirstForm();
}

TEST_F(MainFrmTest, FirstRunFormWithoutTheTickComesAgain) {
    auto form = Make();
    for (int run = 0; run < 2; ++run) {
        bool shown = false;
        QTimer::singleShot(0, form.get(), [&] {
            if (auto* first = qobject_cast<TFirstFrm*>(QApplication::activeModalWidget())) {
                shown = true;
                first->accept();
            }
        });
        form->ShowFirstForm();
        EXPECT_TRUE(shown) << run;
    }
    EXPECT_FALSE(TIniFile(IniFileName).ValueExists("Settings", "ShowFirst"));
}

TEST_F(MainFrmTest, FileNamesOfACapture) {
    const struct {
        QString typed;
        QString recorded; // empty: refused
    } cases[] = {
        {"clip", "clip.avi"}, {"CLIP.AVI", "CLIP.AVI"}, {"clip.mpg", ""}, {"clip.", ""}, {"clip.avi.mpg", ""},
    };
    for (const auto& c : cases) {
        auto form = Make();
        Messages.clear();
        StartCapture(*form, Path(c.typed));
        if (c.recorded.isEmpty()) {
            EXPECT_EQ(MessageTexts(), QStringList({"File extension must be AVI"})) << c.typed.toStdString();
            EXPECT_EQ(Messages.at(0).Type, mtError);
            EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle) << c.typed.toStdString();
            EXPECT_FALSE(form->TrayIcon(1)->isVisible());
        } else {
            EXPECT_TRUE(Messages.empty()) << c.typed.toStdString();
            EXPECT_EQ(form->CaptureState(), TMainFrm::csRecording) << c.typed.toStdString();
            EXPECT_EQ(form->SaveDialog().FileName, Path(c.recorded));
            form->StopCapture();
            ASSERT_TRUE(form->Recorder()->WaitForWorker(Deadline));
            EXPECT_TRUE(Files->Snapshot().contains("open " + c.recorded)) << c.typed.toStdString();
        }
    }
}

TEST_F(MainFrmTest, CancelledDialogStartsNothing) {
    auto form = Make();
    StartCapture(*form, "");
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Files->Snapshot().isEmpty());
}

TEST_F(MainFrmTest, AnExistingFileIsAskedAboutOnceAndKeptOnNo) {
    const QString existing = Path("old.avi");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    auto form = Make();
    Replies = {mrNo};
    StartCapture(*form, existing);
    ASSERT_EQ(MessageTexts(), QStringList({"File already exists. Overwrite?"}));
    EXPECT_EQ(Messages[0].Type, mtConfirmation);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_EQ(QFileInfo(existing).size(), 4);

    // The next capture proposes the same name, and Yes records into it.
    Messages.clear();
    Replies = {mrYes};
    StartCapture(*form, existing);
    EXPECT_EQ(Proposed.last(), existing);
    EXPECT_EQ(MessageTexts(), QStringList({"File already exists. Overwrite?"}));
    EXPECT_EQ(form->CaptureState(), TMainFrm::csRecording);
    form->StopCapture();
}

TEST_F(MainFrmTest, RecordingPausingAndStoppingShowInTheTray) {
    auto form = Make();
    Registrations.clear();
    form->Draw1Click(); // capturing while the drawing window shows is allowed
    StartCapture(*form, Path("run.avi"));
    ASSERT_EQ(form->CaptureState(), TMainFrm::csRecording);
    EXPECT_EQ(ActionCaption(form->Capture1), "Stop capture");
    EXPECT_EQ(form->Capture1->text(), "Stop capture\tShift+Ctrl+Y");
    EXPECT_TRUE(form->TrayIcon(1)->isVisible());
    EXPECT_TRUE(form->TrayIcon(2)->isVisible());
    EXPECT_EQ(form->TrayIcon(1)->toolTip(), "Pause capture");
    EXPECT_EQ(form->TrayIcon(2)->toolTip(), "Stop capture");
    EXPECT_EQ(IconImage(form->TrayIcon(1)->icon()), IconImage(TrayIconResource("IconPause")));
    EXPECT_EQ(IconImage(form->TrayIcon(2)->icon()), IconImage(TrayIconResource("IconStop")));
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 500);
    EXPECT_EQ(Registrations, std::vector<int>({TMainFrm::HotKeyId3}));
    EXPECT_EQ(form->Recorder()->RecordingState(), TScreenCam::Recording);

    // The stop icon swaps its pictures while recording.
    const uint8_t phase = form->BlinkToggle();
    form->Timer1Timer();
    const QImage first = IconImage(form->TrayIcon(2)->icon());
    form->Timer1Timer();
    const QImage second = IconImage(form->TrayIcon(2)->icon());
    EXPECT_NE(first, second);
    EXPECT_EQ(form->BlinkToggle(), phase);
    EXPECT_TRUE(first == IconImage(TrayIconResource("IconStopBl")) ||
                second == IconImage(TrayIconResource("IconStopBl")));

    // Pause from icon 1 (and the pause hot key): play icon, no blinking.
    form->WMTrayIcon(1, QSystemTrayIcon::Trigger);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csPaused);
    EXPECT_EQ(form->Recorder()->RecordingState(), TScreenCam::Paused);
    EXPECT_EQ(form->TrayIcon(1)->toolTip(), "Start capture");
    EXPECT_EQ(IconImage(form->TrayIcon(1)->icon()), IconImage(TrayIconResource("IconPlay")));
    EXPECT_FALSE(form->Timer1->isActive());
    form->WMHotKey(TMainFrm::HotKeyId3);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csRecording);
    EXPECT_EQ(form->TrayIcon(1)->toolTip(), "Pause capture");
    EXPECT_TRUE(form->Timer1->isActive());
    form->TogglePause();

    // "Stop capture" from the menu while paused.
    form->Capture1->trigger();
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_EQ(form->Recorder()->RecordingState(), TScreenCam::Stopped);
    EXPECT_FALSE(form->TrayIcon(1)->isVisible());
    EXPECT_FALSE(form->TrayIcon(2)->isVisible());
    EXPECT_EQ(form->Capture1->text(), "Capture\tShift+Ctrl+Y");
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(Grabbed.count(TMainFrm::HotKeyId3), 0u) << "the pause key is let go after a capture";
    ASSERT_TRUE(form->Recorder()->WaitForWorker(Deadline));
    EXPECT_EQ(Files->Snapshot(), QStringList({"open run.avi", "close"}));
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainFrmTest, TheStopIconStopsACapture) {
    auto form = Make();
    StartCapture(*form, Path("a.avi"));
    form->TogglePause();
    form->WMTrayIcon(2, QSystemTrayIcon::Trigger);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_FALSE(form->TrayIcon(2)->isVisible());
    // And the capture key stops too.
    StartCapture(*form, Path("b.avi"));
    ASSERT_EQ(form->CaptureState(), TMainFrm::csRecording);
    form->WMHotKey(TMainFrm::HotKeyId2);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
}

TEST_F(MainFrmTest, NoCaptureWhileTheOptionsWindowShows) {
    auto form = Make();
    form->Configuration1Click();
    StartCapture(*form, Path("x.avi"));
    EXPECT_TRUE(Proposed.isEmpty());
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    form->CancelBtnClick();
}

TEST_F(MainFrmTest, ARecorderErrorIsReportedAndACaptureCanStartAgain) {
    auto form = Make();
    Files->FailOpen = true;
    StartCapture(*form, Path("bad.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !Messages.empty(); }, Deadline));
    EXPECT_EQ(MessageTexts(), QStringList({"Error recording video: Error opening Avi file"}));
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_FALSE(form->TrayIcon(1)->isVisible());
    EXPECT_EQ(ActionCaption(form->Capture1), "Capture");

    Files->FailOpen = false;
    StartCapture(*form, Path("good.avi"));
    EXPECT_EQ(form->CaptureState(), TMainFrm::csRecording);
    form->StopCapture();
}

TEST_F(MainFrmTest, ANewCaptureRightAfterAStopWaitsForTheFirstFile) {
    auto form = Make();
    StartCapture(*form, Path("one.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !Files->Snapshot().isEmpty(); }, Deadline));
    {
        std::lock_guard lock(Files->M);
        Files->HoldClose = true;
    }
    form->StopCapture();
    std::thread releaser([log = Files] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        log->Release();
    });
    StartCapture(*form, Path("two.avi"));
    releaser.join();
    EXPECT_EQ(form->CaptureState(), TMainFrm::csRecording);
    ASSERT_TRUE(WaitUntil([&] { return Files->Snapshot().size() >= 3; }, Deadline));
    EXPECT_EQ(Files->Snapshot().mid(0, 3), QStringList({"open one.avi", "close", "open two.avi"}));
    form->StopCapture();
}

TEST_F(MainFrmTest, AFirstFileThatDoesNotCompleteInTimeIsToldAndNothingStarts) {
    auto form = Make();
    // The wait for the first file runs out here: a short one rather than the users' five seconds.
    form->Recorder()->WorkerWaitMs = 300;
    StartCapture(*form, Path("one.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !Files->Snapshot().isEmpty(); }, Deadline));
    {
        std::lock_guard lock(Files->M);
        Files->HoldClose = true;
    }
    form->StopCapture();
    StartCapture(*form, Path("two.avi"));
    EXPECT_EQ(
        MessageTexts(),
        QStringList({"Error recording video: the previous capture is still being saved. Please try again."}));
    EXPECT_EQ(form->CaptureState(), TMainFrm::csIdle);
    EXPECT_FALSE(form->TrayIcon(1)->isVisible());
    EXPECT_EQ(ActionCaption(form->Capture1), "Capture");
    Files->Release();
    ASSERT_TRUE(form->Recorder()->WaitForWorker(Deadline));
    EXPECT_FALSE(Files->Snapshot().contains("open two.avi"));
}

TEST_F(MainFrmTest, TheProgramEndDuringACaptureCompletesTheFile) {
    auto form = Make();
    StartCapture(*form, Path("end.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !Files->Snapshot().isEmpty(); }, Deadline));
    {
        std::lock_guard lock(Files->M);
        Files->HoldClose = true;
    }
    std::thread releaser([log = Files] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        log->Release();
    });
    form.reset();
    EXPECT_EQ(Files->Snapshot(), QStringList({"open end.avi", "close"}));
    releaser.join();
    EXPECT_TRUE(Grabbed.empty()) << "the hot keys are let go";
}

TEST_F(MainFrmTest, AFileThatCannotBeCompletedAtTheProgramEndOpensNoWindow) {
    auto form = Make();
    StartCapture(*form, Path("end.avi"));
    ASSERT_TRUE(WaitUntil([&] { return !Files->Snapshot().isEmpty(); }, Deadline));
    {
        std::lock_guard lock(Files->M);
        Files->FailClose = true;
    }
    form.reset();
    EXPECT_EQ(Files->Snapshot(), QStringList({"open end.avi", "close"}));
    EXPECT_TRUE(MessageTexts().isEmpty()) << MessageTexts().join('|').toStdString();
}

TEST_F(MainFrmTest, TheEditorIsStartedFromTheProgramsFolder) {
    auto form = Make();
    form->LaunchFramoryor1->trigger();
    EXPECT_EQ(Started, QStringList({ProgramFolder() + "Framory"}));
    EXPECT_TRUE(Messages.empty());
    StartSucceeds = false;
    form->LaunchFramoryor1Click();
    EXPECT_EQ(MessageTexts(), QStringList({"Error launching Avi Editor"}));
    EXPECT_EQ(Messages[0].Type, mtError);
}

TEST(HotKeyEdit, TakesTheKeyPressedWithItsModifiers) {
    THotKeyEdit edit;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_W, Qt::ShiftModifier | Qt::ControlModifier, "W");
    QApplication::sendEvent(&edit, &press);
    EXPECT_EQ(ShortCutToText(edit.HotKey()), "Shift+Ctrl+W");
    EXPECT_EQ(edit.text(), "Shift+Ctrl+W");
    QKeyEvent shiftOnly(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QApplication::sendEvent(&edit, &shiftOnly);
    EXPECT_EQ(ShortCutToText(edit.HotKey()), "Shift+Ctrl+W");
    QKeyEvent clear(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(&edit, &clear);
    EXPECT_TRUE(edit.HotKey().IsEmpty());
    EXPECT_EQ(edit.text(), "");
}

TEST(CaptureFileDialog, AddsTheDefaultExtensionOnlyToANameWithoutADot) {
    EXPECT_EQ(TCaptureFileDialog::WithDefaultExt("/tmp/clip", "avi"), "/tmp/clip.avi");
    EXPECT_EQ(TCaptureFileDialog::WithDefaultExt("/tmp/clip.mpg", "avi"), "/tmp/clip.mpg");
    EXPECT_EQ(TCaptureFileDialog::WithDefaultExt("/tmp/dir.d/clip", "avi"), "/tmp/dir.d/clip.avi");
}

TEST_F(MainFrmTest, TheCaptureKeyWhileTheSaveDialogIsOpenOpensNoSecondOne) {
    TMainFrmSeams seams = Seams();
    TMainFrm* self = nullptr;
    int dialogs = 0;
    seams.RunSaveDialog = [&](const TCaptureFileDialog&) -> std::optional<QString> {
        ++dialogs;
        self->WMHotKey(TMainFrm::HotKeyId2); // pressed again while the dialog is open
        return Path("once.avi");
    };
    TMainFrm form(seams);
    self = &form;
    form.Capture1Click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(form.CaptureState(), TMainFrm::csRecording);
    form.StopCapture();
    ASSERT_TRUE(form.Recorder()->WaitForWorker(Deadline));
    EXPECT_EQ(Files->Snapshot(), QStringList({"open once.avi", "close"}));
}

// ---- The options window's pages inside the main form ----

TEST_F(MainFrmTest, OkWritesEveryPageAndTheDrawingWindowTakesItUp) {
    auto form = Make();
    form->Configuration1Click();
    TLayerPage* page = form->Pages->Page(2);
    page->Edit->setText("9");
    page->ColorBox->SetSelected(clPurple);
    const QString stamp = Path("stamp.png");
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(stamp, "PNG"));
    form->Pages->Stamps->OpenPictureDialog1.Runner = [&](TFileOpenDialog& d) {
        d.FileName = stamp;
        return true;
    };
    form->Pages->Stamps->BtnAddClick();
    form->HotKey1->SetHotKey(TextToShortCut("Ctrl+F2"));
    form->OKBtnClick();

    const TIniFile ini(IniFileName);
    EXPECT_EQ(ini.ReadString("Settings", "DrawWidth2", ""), "9");
    EXPECT_EQ(ini.ReadString("Settings", "DrawColor2", ""), "clPurple");
    EXPECT_EQ(ini.ReadString("Settings", "HotKey", ""), "Ctrl+F2");
    EXPECT_EQ(ini.ReadString("Settings", "Font5", ""), "\"Times New Roman\";14;clBlack;Bold");
    EXPECT_EQ(ini.ReadString("Settings", "PictureDir", "?"), "");
    bool stamped = false;
    for (int i = 0; i < 10; ++i)
        stamped |= ini.ReadString("Settings", QStringLiteral("Image%1").arg(i), "") == stamp + ";1";
    EXPECT_TRUE(stamped);
    EXPECT_EQ(DrawFrm->GetLayerWidth(2), 9);
    EXPECT_EQ(DrawFrm->GetLayerColor(2), clPurple);
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId1], "Ctrl+F2");
    EXPECT_EQ(form->Draw1->text(), "&Annotate\tCtrl+F2");
}

TEST_F(MainFrmTest, CancelWritesNothingAndRegistersTheKeysInForceAgain) {
    auto form = Make(); // Shift+Ctrl+W is registered
    // Another hand changed the file meanwhile: the window shows its keys, but they are not in force.
    WriteSetting("HotKey", "Ctrl+F3");
    const QByteArray before = [&] {
        QFile f(IniFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    form->Configuration1Click();
    EXPECT_EQ(form->HotKey1->text(), "Ctrl+F3");
    form->HotKey1->SetHotKey(TextToShortCut("Alt+F4"));
    form->Pages->Page(1)->UpDown->SetPosition(20);
    form->CheckBox3->setChecked(true);
    form->CancelBtnClick();
    QFile f(IniFileName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId1], "Shift+Ctrl+W");
    EXPECT_EQ(form->HotKey1->text(), "Shift+Ctrl+W");
    EXPECT_FALSE(QFile::exists(TAutostart::EntryPath("Tavelin3")));
}

TEST_F(MainFrmTest, ASettingsFileThatCannotBeWrittenStillEndsInTheHotKeys) {
    auto form = Make();
    const QString saved = IniFileName;
    QFile blocker(Path("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    IniFileName = Path("blocked/Tavelin.ini");
    form->Configuration1Click();
    EXPECT_TRUE(Grabbed.empty());
    form->HotKey2->SetHotKey(TextToShortCut("Ctrl+F7"));
    form->OKBtnClick();
    IniFileName = saved;
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, mtError);
    EXPECT_TRUE(Messages[0].Text.contains("blocked")) << Messages[0].Text.toStdString();
    EXPECT_EQ(Grabbed.size(), 3u);
    EXPECT_EQ(Grabbed[TMainFrm::HotKeyId2], "Ctrl+F7");
}

TEST_F(MainFrmTest, TheDrawingWindowOpensTheOptionsOnThePageOfItsLayer) {
    auto form = Make();
    form->Draw1Click();
    ASSERT_TRUE(DrawFrm->IsShowing());
    DrawFrm->SetCurrLayer(4);
    int page = -1;
    bool modal = false;
    QTimer::singleShot(0, form.get(), [&] {
        page = form->PageControl1->currentIndex();
        modal = form->isModal();
        form->CancelBtnClick();
    });
    DrawFrm->Config1Click();
    EXPECT_EQ(page, 3);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Grabbed.size(), 3u);
}
