#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The handler may only write to a descriptor: the event loop reads it on the GUI thread.
int SignalSockets[2] = {-1, -1};
volatile sig_atomic_t Signalled = 0;
volatile sig_atomic_t FirstSignal = 0;
// The watcher's own wake-up: it ends the process when the GUI thread, busy with something else, has
// not taken the request up in time.
int WatcherPipe[2] = {-1, -1};
std::atomic<bool> TakenUp{false};
// Long enough for any command of the program to finish, short enough that the session's end does not
// wait on a program that cannot answer.
std::chrono::milliseconds BusyGrace = std::chrono::seconds(5);
constexpr std::chrono::milliseconds kWatchStep(50);

void OnSignal(int signal) {
    if (Signalled) {
        // Asked twice: the clean-up is not waited for any longer.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    Signalled = 1;
    FirstSignal = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(SignalSockets[0], &byte, 1);
    [[maybe_unused]] const ssize_t woken = write(WatcherPipe[1], &byte, 1);
}

void WatchForBusyEnd() {
    char byte;
    while (::read(WatcherPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    const auto deadline = std::chrono::steady_clock::now() + BusyGrace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (TakenUp.load()) return;
        std::this_thread::sleep_for(kWatchStep);
    }
    if (TakenUp.load()) return;
    // The GUI thread never came back to its event loop: end as the signal would have without us.
    const int signal = FirstSignal;
    std::signal(signal, SIG_DFL);
    ::kill(::getpid(), signal);
}

} // namespace

void SetBusyGrace(std::chrono::milliseconds grace) {
    // Read by the watcher, which QuitOnTerminationSignals starts after this.
    BusyGrace = grace;
}

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void QuitOnTerminationSignals() {
    IgnoreBrokenPipes();
    if (SignalSockets[0] >= 0 || !QCoreApplication::instance()) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalSockets) != 0) return;
    fcntl(SignalSockets[0], F_SETFL, O_NONBLOCK);
    if (pipe2(WatcherPipe, O_CLOEXEC) != 0) return;
    fcntl(WatcherPipe[1], F_SETFL, O_NONBLOCK);
    std::thread(WatchForBusyEnd).detach();
    auto* notifier =
        new QSocketNotifier(SignalSockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(SignalSockets[1], &byte, 1);
        TakenUp = true;
        // This ends every loop running now (a modal dialog's too); the queued call ends the one the
        // program may start next, when the signal came before its main loop.
        QCoreApplication::exit(0);
        QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}
