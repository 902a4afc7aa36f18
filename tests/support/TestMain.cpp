// Entry of every test executable: isolates the settings folder, picks the Qt platform, and for the
// X11 test folders starts a private X server before the application object exists.
#include "XvfbServer.h"
#include "platform/KnownFolders.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <memory>

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    const bool listing = ::testing::GTEST_FLAG(list_tests);

    // No test may touch the user's own settings.
    QTemporaryDir config(GetTempFolder() + "/tavelin-test-XXXXXX");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    std::unique_ptr<XvfbServer> server;
#ifdef TAVELIN_TEST_X11
    if (!listing) {
        server = std::make_unique<XvfbServer>();
        if (!server->IsRunning()) {
            fprintf(stderr, "Xvfb could not be started\n");
            return 1;
        }
        qputenv("DISPLAY", server->DisplayName().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#else
    (void)listing;
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    return result;
}
