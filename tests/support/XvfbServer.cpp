#include "XvfbServer.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

XvfbServer::XvfbServer(int width, int height, int depth) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const QByteArray screen =
        QByteArray::number(width) + "x" + QByteArray::number(height) + "x" + QByteArray::number(depth);
    const QByteArray fdText = QByteArray::number(fds[1]);
    Pid = fork();
    if (Pid == 0) {
        // The write end must survive exec: Xvfb writes the display number into it.
        fcntl(fds[1], F_SETFD, 0);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        // Without -noreset the server resets whenever its last client leaves, between two xdotool calls.
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.constData(), "-noreset", "-nolisten", "tcp", "-screen",
               "0", screen.constData(), "+extension", "XInputExtension", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (Pid < 0) {
        close(fds[0]);
        return;
    }
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    const int timeoutMs = 15000;
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (true) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed >= timeoutMs || poll(&p, 1, static_cast<int>(timeoutMs - elapsed)) <= 0) break;
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number.append(c);
    }
    close(fds[0]);
    if (!number.isEmpty()) Display = ":" + QString::fromLatin1(number);
}

XvfbServer::~XvfbServer() {
    Stop();
}

void XvfbServer::Stop() {
    if (Pid <= 0) return;
    const pid_t pid = Pid;
    Pid = -1;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

int RunOnDisplay(const QString& display, const QString& command, QByteArray* output) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    process.setProcessEnvironment(env);
    process.start("/bin/sh", {"-c", command});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output) *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
