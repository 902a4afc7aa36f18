#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write to a descriptor: the event loop reads it on the GUI thread.
int SignalSockets[2] = {-1, -1};
volatile sig_atomic_t Signalled = 0;

void OnSignal(int signal) {
    if (Signalled) {
        // Asked twice: the clean-up is not waited for any longer.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    Signalled = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(SignalSockets[0], &byte, 1);
}

} // namespace

void QuitOnTerminationSignals() {
    if (SignalSockets[0] >= 0 || !QCoreApplication::instance()) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalSockets) != 0) return;
    fcntl(SignalSockets[0], F_SETFL, O_NONBLOCK);
    auto* notifier =
        new QSocketNotifier(SignalSockets[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(SignalSockets[1], &byte, 1);
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
