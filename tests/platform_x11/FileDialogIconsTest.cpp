// File dialogs list any folder without reading what its files hold: icons and types come from names and
// kinds alone.
#include "platform/FileDialogIcons.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

// Ends the test process when the GUI thread has not come back within the deadline: a dialog that blocks
// in a read never returns to the test to fail it.
class HangWatch {
public:
    explicit HangWatch(std::chrono::seconds deadline)
        : Thread([this, deadline] {
              std::unique_lock lock(Mutex);
              if (!Done.wait_for(lock, deadline, [this] { return Finished; })) {
                  std::fprintf(stderr, "the GUI thread did not answer within %lld s\n",
                               static_cast<long long>(deadline.count()));
                  std::_Exit(1);
              }
          }) {}
    ~HangWatch() {
        {
            std::lock_guard lock(Mutex);
            Finished = true;
        }
        Done.notify_one();
        Thread.join();
    }

private:
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    std::thread Thread;
};

} // namespace

TEST(FileDialogIcons, TypesComeFromTheNameAndTheKindNeverFromTheContents) {
    QTemporaryDir dir;
    // PNG bytes under a text file's name: sniffing the contents would call it a picture.
    QFile notes(dir.filePath("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray::fromHex("89504E470D0A1A0A0000000D49484452"));
    notes.close();
    // A pipe named like a picture: reading it would wait for a writer that never comes.
    const QString pipe = dir.filePath("picture.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    TNameOnlyIconProvider provider;
    const QMimeDatabase mimes;
    EXPECT_EQ(provider.type(QFileInfo(notes.fileName())), mimes.mimeTypeForName("text/plain").comment());
    EXPECT_EQ(provider.type(QFileInfo(dir.path())), QStringLiteral("Folder"));
    HangWatch watch(std::chrono::seconds(60));
    EXPECT_EQ(provider.type(QFileInfo(pipe)), QStringLiteral("File"));
    EXPECT_FALSE(provider.icon(QFileInfo(pipe)).isNull());
    EXPECT_FALSE(provider.icon(QFileInfo(notes.fileName())).isNull());
}

TEST(FileDialogIcons, ASaveDialogInProcListsItAndAnswers) {
    // /proc/kmsg reports itself a regular file and blocks the first read until the kernel logs
    // something; Qt's own provider reads it on the GUI thread to name its type.
    QFileDialog dialog(nullptr, QStringLiteral("Save screen capture file"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Avi files (*.avi)"));
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    UseNameOnlyIcons(dialog);
    dialog.selectFile(QStringLiteral("/proc/x.avi"));
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    bool listed = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&](const QString& path) {
        if (path != QLatin1String("/proc")) return;
        listed = true;
        dialog.reject();
    });
    // A generous deadline for the listing itself; the watch catches a GUI thread that never returns.
    QTimer::singleShot(30000, &dialog, &QDialog::reject);
    HangWatch watch(std::chrono::seconds(60));
    dialog.exec();
    EXPECT_TRUE(listed);
    EXPECT_GT(model->rowCount(model->index(QStringLiteral("/proc"))), 0);
}
