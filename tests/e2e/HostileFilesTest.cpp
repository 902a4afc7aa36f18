// Hostile files opened through the programs' own commands, as a user would: each must end in the
// program's message, with the program's memory bounded and the program still running.
#include "support/HostileFiles.h"
#include "HostileFileReport.h"
#include "XWindows.h"
#include "support/DesktopSession.h"
#include "support/PeakMemory.h"
#include "support/SolidRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace hostile;

const QString Caption = QStringLiteral("Tavelin 3 AVI Editor");

struct TCase {
    const char* Kind;
    const char* Malformation;
    QByteArray Bytes;
    // Tolerated, as a recording killed before its header was completed is: the frames the file really
    // holds open.
    bool Opens = false;
};

// The opened-file window's title, or a message box's, whichever shows first.
QString MessageOrTitle(const TDesktopSession& desktop, const QString& opened) {
    for (const QString& title : {QStringLiteral("Error"), QStringLiteral("Warning"), opened})
        if (!TopLevelsNamed(desktop.Display(), title).empty()) return title;
    return {};
}

} // namespace

// Every kind of malformed AVI file through Framory's Open, one after the other in one program: each is
// refused with a message box (or, where a recorder's killed file looks so, opened), the memory stays bounded
// and the file open before stays open.
TEST(HostileFiles, MalformedAviFilesOpenedInFramoryGiveItsMessage) {
    TDesktopSession desktop(1024, 768);
    ASSERT_TRUE(desktop.IsRunning());
    QTemporaryDir dir;
    const QString good = dir.filePath("good.avi");
    ASSERT_TRUE(WriteSolidRecording(good, QSize(64, 48), 10, 10));
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray whole = goodFile.readAll();

    QByteArray loop = Avi(64, 48, 1, 1);
    // The header list declares a size that leads 4 bytes back, onto its own start.
    loop.replace(16, 4, Le32(0xFFFFFFFCll));
    QByteArray zeroList = Avi(64, 48, 1, 1);
    zeroList.replace(16, 4, Le32(0));
    const TCase cases[] = {
        {"AVI", "truncated in its header (200 bytes)", whole.left(200)},
        {"AVI", "truncated to its RIFF header (12 bytes)", whole.left(12)},
        {"AVI", "empty file", QByteArray()},
        {"AVI", "wrong size: 100000 x 100000 frames", Avi(100000, 100000, 1, 1)},
        {"AVI", "wrong size: RIFF size past the end", Avi(64, 48, 1, 1).replace(4, 4, Le32(0x7FFFFFF0)),
         true},
        {"AVI", "huge counts: 2^31 frames, 2^28 index entries", Avi(64, 48, INT32_MAX, 1 << 28), true},
        {"AVI", "loop: a list whose size leads back onto itself", loop, true},
        {"AVI", "zero sizes: 0 x 0 frames", Avi(0, 0, 1, 1)},
        {"AVI", "zero sizes: a header list of size 0", zeroList},
    };

    QProcess* framory = desktop.Launch("Framory", {good});
    QString title = Caption + " - good.avi";
    ASSERT_TRUE(WaitUntil([&] { return !TopLevelsNamed(desktop.Display(), title).empty(); }));
    const std::string pid = std::to_string(framory->processId());

    PrintHostileTableHead("Message shown");
    int n = 0;
    for (const TCase& c : cases) {
        const QString name = QStringLiteral("hostile%1.avi").arg(++n);
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(c.Bytes), c.Bytes.size());
        file.close();

        ResetPeakMemory(pid);
        ASSERT_TRUE(OpenThroughDialog(desktop, title, file.fileName())) << c.Malformation;
        QElapsedTimer clock;
        clock.start();
        QString shown;
        EXPECT_TRUE(WaitUntil([&] {
            return !(shown = MessageOrTitle(desktop, Caption + " - " + name)).isEmpty();
        })) << c.Malformation;
        const qint64 ms = clock.elapsed();
        const qint64 peakKiB = ProcessStatusKiB(pid, "VmHWM:");
        PrintHostileRow(c.Kind, c.Malformation, shown, ms, peakKiB);
        const QString opened = Caption + " - " + name;
        EXPECT_EQ(shown, c.Opens ? opened : shown == "Error" ? "Error" : "Warning") << c.Malformation;
        EXPECT_LT(peakKiB, PeakLimitKiB) << c.Malformation;
        ASSERT_EQ(framory->state(), QProcess::Running) << c.Malformation;
        if (shown == "Error" || shown == "Warning") {
            const auto boxes = TopLevelsNamed(desktop.Display(), shown);
            desktop.Xdotool(QString("windowfocus --sync %1").arg(boxes.front().Id));
            desktop.Xdotool("key Return");
            ASSERT_TRUE(WaitUntil([&] { return TopLevelsNamed(desktop.Display(), shown).empty(); }));
        }
        // The file open before stays open, or the tolerated one took its place.
        if (c.Opens) title = opened;
        ASSERT_TRUE(WaitUntil([&] { return !TopLevelsNamed(desktop.Display(), title).empty(); }))
            << c.Malformation;
    }
    framory->kill();
    framory->waitForFinished(5000);
}

// Settings files that no program wrote, each met at start: Tavelin starts with what it can use of
// them (its tray icon comes), its memory bounded, and stays running.
TEST(HostileFiles, HostileSettingsFilesAtStartLeaveTavelinRunning) {
    const QByteArray longLine = "[Settings]\nShowFirst=0\nSavePath=" + QByteArray(4 << 20, 'x');
    const TCase cases[] = {
        {"INI", "truncated in a section name, binary bytes after", QByteArray("[Sett\0\xFF\xFE\x01", 9)},
        {"INI", "wrong sizes: integers and colours far out of range",
         "[Settings]\nShowFirst=0\nCurrCursor=99999999999999999999\nDrawColor1=clNone\nDrawColor2="
         "-99999999999999\nImage0=,,,,,,,,,,,,,\n"},
        {"INI", "huge counts: one section repeated 100000 times",
         QByteArray("[Settings]\nShowFirst=0\n").repeated(100000)},
        {"INI", "a 4 MiB line without its end", longLine},
        {"INI", "zero size", QByteArray()},
    };
    PrintHostileTableHead("Shown");
    for (const TCase& c : cases) {
        TDesktopSession desktop(1024, 768);
        ASSERT_TRUE(desktop.IsRunning());
        ASSERT_TRUE(desktop.StartTray());
        QDir().mkpath(QFileInfo(desktop.SettingsFile("Tavelin")).path());
        QFile file(desktop.SettingsFile("Tavelin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(c.Bytes), c.Bytes.size());
        file.close();
        QElapsedTimer clock;
        clock.start();
        QProcess* tavelin = desktop.Launch("Tavelin");
        const bool icon = WaitUntil([&] { return !TrayIconsOf(desktop.Display(), "Tavelin").empty(); });
        const qint64 ms = clock.elapsed();
        const qint64 peakKiB = ProcessStatusKiB(std::to_string(tavelin->processId()), "VmHWM:");
        PrintHostileRow(c.Kind, c.Malformation, icon ? "tray icon" : "(nothing)", ms, peakKiB);
        EXPECT_TRUE(icon) << c.Malformation;
        EXPECT_LT(peakKiB, PeakLimitKiB) << c.Malformation;
        EXPECT_EQ(tavelin->state(), QProcess::Running) << c.Malformation;
        tavelin->kill();
        tavelin->waitForFinished(5000);
    }
}

// A settings file far beyond any real one is not read: each program says so, starts on its defaults in
// bounded memory, ends at the session's end while its message shows, and leaves the file as it was (a
// program's end writes settings, which would otherwise replace the user's file with the defaults).
TEST(HostileFiles, ASettingsFileFarBeyondAnyRealOneIsReportedAndLeftAsItIs) {
    QByteArray sections;
    sections.reserve(14 << 20);
    for (int i = 1; i <= 1000000; ++i)
        sections += "[S" + QByteArray::number(i) + "]\nk=v\n";
    const QByteArray repeated = QByteArray("[Settings]\nShowFirst=0\n").repeated(1000000);
    const struct {
        const char* Program;
        const char* Malformation;
        const QByteArray& Bytes;
    } cases[] = {
        {"Tavelin", "huge counts: 1,000,000 sections (13.9 MB)", sections},
        {"Tavelin", "huge counts: [Settings] repeated 1,000,000 times (23 MB)", repeated},
        {"Framory", "huge counts: 1,000,000 sections (13.9 MB)", sections},
    };
    PrintHostileTableHead("Shown");
    for (const auto& c : cases) {
        const QString program = QString::fromLatin1(c.Program);
        const bool tavelin = program == "Tavelin";
        TDesktopSession desktop(1024, 768);
        ASSERT_TRUE(desktop.IsRunning());
        if (tavelin) {
            ASSERT_TRUE(desktop.StartTray());
        }
        const QString path = desktop.SettingsFile(program);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(c.Bytes), c.Bytes.size());
        file.close();

        QElapsedTimer clock;
        clock.start();
        QProcess* process = desktop.Launch(program);
        const bool message = WaitUntil([&] { return !TopLevelsNamed(desktop.Display(), "Error").empty(); });
        const qint64 ms = clock.elapsed();
        // The program runs on its defaults: the tray icon, or the editor's window.
        const bool running = WaitUntil([&] {
            return tavelin ? !TrayIconsOf(desktop.Display(), "Tavelin").empty()
                           : !TopLevelsNamed(desktop.Display(), Caption).empty();
        });
        const qint64 peakKiB = ProcessStatusKiB(std::to_string(process->processId()), "VmHWM:");
        PrintHostileRow("INI", (program + ": " + c.Malformation).toUtf8().constData(),
                        message ? "message box" : "(nothing)", ms, peakKiB);
        EXPECT_TRUE(message) << c.Program << ": " << c.Malformation;
        EXPECT_TRUE(running) << c.Program << ": " << c.Malformation;
        EXPECT_LT(peakKiB, PeakLimitKiB) << c.Program << ": " << c.Malformation;

        process->terminate();
        EXPECT_TRUE(WaitUntil([&] { return process->state() == QProcess::NotRunning; }, 30000))
            << c.Program << " did not end at the session's end";
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == c.Bytes) << c.Program << ": the settings file was changed";
        file.close();
    }
}
