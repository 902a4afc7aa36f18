#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// The grace for a busy GUI thread in these tests, far shorter than the programs' own.
constexpr std::chrono::milliseconds TestGrace(300);

// The end of the session must end the program also when its GUI thread is busy and never returns
// to the event loop (a blocking call, a long computation): a program that ignores it is killed
// later by the session without any clean-up at all.
TEST(TerminationSignalsDeathTest, TheFirstSignalEndsABusyProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetBusyGrace(TestGrace);
            QuitOnTerminationSignals();
            std::raise(SIGTERM);
            // Busy far longer than the grace the handling gives, never back in the event loop.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

// A GUI thread that takes the signal up ends its event loop normally, and nothing kills it while its
// clean-up runs.
TEST(TerminationSignalsDeathTest, AnIdleProgramEndsThroughItsEventLoop) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetBusyGrace(TestGrace);
            QuitOnTerminationSignals();
            std::raise(SIGTERM);
            const int code = QCoreApplication::exec();
            // The clean-up after the loop may take longer than the grace for a busy thread.
            std::this_thread::sleep_for(TestGrace * 4);
            std::exit(code == 0 ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
}

// The X server going away closes the program's connection under it: a write there must answer an
// error, which ends the program through its clean-up, not SIGPIPE, which ends it with none.
TEST(TerminationSignalsDeathTest, AWriteToAConnectionThatIsGoneAnswersAnError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGPIPE, SIG_DFL);
            QuitOnTerminationSignals();
            int ends[2];
            if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) std::exit(2);
            ::close(ends[1]);
            const char byte = 0;
            const bool refused = ::write(ends[0], &byte, 1) < 0 && errno == EPIPE;
            std::exit(refused ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}
